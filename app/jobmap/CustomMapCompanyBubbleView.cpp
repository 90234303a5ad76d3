#include "app/jobmap/CustomMapCompanyBubbleView.h"

#include "app/jobmap/MapSkin.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewSibling.h"

namespace kavro {

CustomMapCompanyBubbleView::CustomMapCompanyBubbleView(platform::Rect frame) : View(frame) {
  setClipsToBounds(true);
  grayBg_ = std::make_shared<platform::ImageView>(platform::Rect({0, 0}, frame.size));
  mapskin::setImage(*grayBg_, "map_floatbox_bg");
  grayBg_->setUserInteractionEnabled(true);
  whiteBg_ = std::make_shared<platform::ImageView>();
  mapskin::setImage(*whiteBg_, "map_floatbox_white_bg_normal");
  coname_ = std::make_shared<platform::Label>();
  coarea_ = std::make_shared<platform::Label>();
  AppSkin::apply(coname_, "skin_cell_display_jobname");
  AppSkin::apply(coarea_, "skin_cell_left_assist");
  whiteBg_->addSubview(coname_);
  whiteBg_->addSubview(coarea_);
  grayBg_->addSubview(whiteBg_);
  addSubview(grayBg_);
}

void CustomMapCompanyBubbleView::showJobInfo(const DataItemDetail& record) {
  whiteBg_->setFrame(platform::Rect(0, 0, 288, 45));
  view::horizontalCenterInView(*whiteBg_, grayBg_.get());
  view::verticalCenterInView(*whiteBg_, grayBg_.get());
  coname_->setText(record.get_coname());
  coname_->setFrame(platform::Rect(10, 7, 268, 13));
  coarea_->setText(record.get_caddr());
  coarea_->setFrame(coname_->frame());
  view::bottomOfView(*coarea_, coname_.get(), 6);
}

}  // namespace kavro
