#pragma once
#include <memory>
#include <string>

#include "kit/core/DataItemDetail.h"
#include "platform/graphics/Geometry.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/View.h"

namespace kavro {

class PageTurnController;

// The class functions of a page class of the page-turn container: a page view for a record, and
// the screen's title.
struct PageClassFunctions {
  platform::ClassFunction<std::shared_ptr<platform::View>(const std::shared_ptr<DataItemDetail>&,
                                                          platform::Rect, PageTurnController&)>
      customPartViewWithDetail;
  platform::ClassFunction<std::string()> getTitle;
};

// The views of a page class adopt this; the class offers PageClassFunctions.
class PageTurnDelegate {
 public:
  virtual ~PageTurnDelegate() = default;
  virtual std::shared_ptr<PageTurnController> pageTurnCtrl() const = 0;
  virtual void setPageTurnCtrl(std::weak_ptr<PageTurnController> ctrl) = 0;
  // The page became the current one; false: not implemented.
  virtual bool on_view_active() { return false; }
};

}  // namespace kavro
