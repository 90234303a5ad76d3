#include "app/jobmap/MapErrorBoard.h"

#include "app/jobmap/MapSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ViewAdjustPosition.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewSibling.h"
#include "platform/ui/Screen.h"

namespace kavro {

bool MapErrorBoard::isTallScreen() { return platform::Screen::mainScreen().bounds().size.height > 480; }

double MapErrorBoard::boardHeight() { return isTallScreen() ? 238 : 150; }

MapErrorBoard::MapErrorBoard()
    : View(platform::Rect(0, 0, platform::Screen::mainScreen().bounds().size.width, boardHeight())) {
  setClipsToBounds(true);
  errorMessege_ = std::make_shared<platform::Label>(platform::Rect(0, 0, 300, 20));
  errorMessege_->setNumberOfLines(0);
  view::horizontalCenterInView(*errorMessege_, this);
  errorImage_ = std::make_shared<platform::ImageView>();
  addSubview(errorMessege_);
  addSubview(errorImage_);
  mapBoardStart();
  AppSkin::apply(this, "map_board_bg", mapskin::Group);
}

void MapErrorBoard::mapBoardStart() {
  AppSkin::apply(errorMessege_, "map_problem_messege", mapskin::Group);
  AppSkin::apply(errorMessege_, "skinLoadingText");
  label::autoFitHeight(*errorMessege_);
  view::verticalCenterInView(*errorMessege_, this);
}

void MapErrorBoard::mapBoardLocationFailed(const std::string& text) {
  errorMessege_->setText(text);
  mapskin::setImage(*errorImage_, "map_problem_nogps");
  mapBoardError();
}

void MapErrorBoard::mapBoardFunctionError(const std::string& text) {
  errorMessege_->setText(text);
  mapskin::setImage(*errorImage_, "map_problem_failed");
  mapBoardError();
}

void MapErrorBoard::mapBoardError() {
  view::setWidth(*this, platform::Screen::mainScreen().bounds().size.width);
  platform::Size s = errorImage_->sizeThatFits({});
  errorImage_->setFrame(platform::Rect(0, isTallScreen() ? 64 : 15, s.width, s.height));
  view::horizontalCenterInView(*errorImage_, this);
  AppSkin::apply(errorMessege_, "map_problem_messege", mapskin::Group);
  label::autoFitHeight(*errorMessege_);
  view::horizontalCenterInView(*errorMessege_, this);
  view::bottomOfView(*errorMessege_, errorImage_.get(), 9);
}

}  // namespace kavro
