#pragma once
#include <memory>
#include <string>

#include "kit/core/DataItemDetail.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/View.h"

namespace kavro {

class PageTurnController;

// A page class of the page-turn container. Its views adopt this; the class offers the class
// functions "customPartViewWithDetail" (CustomPartViewFunction: a page view for the record) and
// "getTitle" (TitleFunction: the screen's title).
class PageTurnDelegate {
 public:
  using CustomPartViewFunction = std::shared_ptr<platform::View>(const std::shared_ptr<DataItemDetail>&,
                                                                 platform::Rect, PageTurnController&);
  using TitleFunction = std::string();

  virtual ~PageTurnDelegate() = default;
  virtual std::shared_ptr<PageTurnController> pageTurnCtrl() const = 0;
  virtual void setPageTurnCtrl(std::weak_ptr<PageTurnController> ctrl) = 0;
  // The page became the current one; false: not implemented.
  virtual bool on_view_active() { return false; }
};

}  // namespace kavro
