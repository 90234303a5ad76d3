#pragma once
#include <memory>

#include "kit/core/DataItemDetail.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

// The bubble with a company's name and address, shown over a map by the map search and the job
// and company location maps. Main thread only.
class CustomMapCompanyBubbleView : public platform::View {
 public:
  explicit CustomMapCompanyBubbleView(platform::Rect frame);

  // The record's company name (coname) and address (caddr).
  void showJobInfo(const DataItemDetail& record);

  const std::shared_ptr<platform::Label>& coname() const { return coname_; }
  const std::shared_ptr<platform::Label>& coarea() const { return coarea_; }
  const std::shared_ptr<platform::ImageView>& grayBg() const { return grayBg_; }
  const std::shared_ptr<platform::ImageView>& whiteBg() const { return whiteBg_; }

 private:
  std::shared_ptr<platform::Label> coname_;
  std::shared_ptr<platform::Label> coarea_;
  std::shared_ptr<platform::ImageView> grayBg_;
  std::shared_ptr<platform::ImageView> whiteBg_;
};

}  // namespace kavro
