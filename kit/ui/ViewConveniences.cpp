#include <cmath>

#include "kit/ui/LabelExt.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ScrollViewHorizontalPager.h"
#include "kit/ui/TextFieldCommonInput.h"
#include "kit/ui/ViewAdjustSize.h"
#include "kit/ui/ViewControllerExt.h"
#include "kit/ui/ViewMisc.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TextField.h"

namespace kavro {

namespace view {

double getHeight(const platform::View* v) { return v ? v->frame().height() : 0; }
double getWidth(const platform::View* v) { return v ? v->frame().width() : 0; }
double getTop(const platform::View* v) { return v ? v->frame().y() : 0; }
double getLeft(const platform::View* v) { return v ? v->frame().x() : 0; }

std::shared_ptr<platform::TapGestureRecognizer> setTapGesture(
    platform::View& v, std::weak_ptr<platform::GestureRecognizerDelegate> target,
    platform::GestureRecognizer::Action action) {
  v.setUserInteractionEnabled(true);
  auto tap = std::make_shared<platform::TapGestureRecognizer>(std::move(action));
  tap->setDelegate(std::move(target));
  v.addGestureRecognizer(tap);
  return tap;
}

}  // namespace view

namespace vc {

std::vector<std::shared_ptr<platform::ViewController>> navigationStackOf(const platform::ViewController& c) {
  auto nav = c.navigationController();
  return nav ? nav->viewControllers() : std::vector<std::shared_ptr<platform::ViewController>>{};
}

void closeViewController(platform::ViewController& c, bool animated) {
  auto nav = c.navigationController();
  if (!nav || nav->viewControllers().size() < 2) {
    c.dismissModalViewControllerAnimated(animated);
  } else {
    nav->popViewControllerAnimated(animated);
  }
}

namespace {
void enableItem(const std::shared_ptr<platform::BarButtonItem>& item, bool on) {
  if (item) item->setEnabled(on);
}
}  // namespace

void enableRightButton(platform::ViewController& c) {
  enableItem(c.navigationItem()->rightBarButtonItem(), true);
}
void disableRightButton(platform::ViewController& c) {
  enableItem(c.navigationItem()->rightBarButtonItem(), false);
}
void enableLeftButton(platform::ViewController& c) {
  enableItem(c.navigationItem()->leftBarButtonItem(), true);
}
void disableLeftButton(platform::ViewController& c) {
  enableItem(c.navigationItem()->leftBarButtonItem(), false);
}

void addFullSubview(platform::ViewController& c, const std::shared_ptr<platform::View>& view) {
  if (!view) return;
  view->setFrame({0, getMainViewTop(c), c.view()->frame().width(), getMainViewHeight(c)});
  view->removeFromSuperview();
  c.view()->addSubview(view);
}

double getMainViewTop(const platform::ViewController& c) {
  auto nav = c.navigationController();
  return nav && !nav->isNavigationBarHidden() ? nav->navigationBar()->frame().height() : 0;
}

double getMainViewHeight(const platform::ViewController& c) {
  double height = platform::Screen::mainScreen().bounds().height();
  auto& app = platform::Application::sharedApplication();
  if (!app.isStatusBarHidden()) height -= app.statusBarFrame().height();
  if (auto nav = c.navigationController(); nav && !nav->isNavigationBarHidden())
    height -= nav->navigationBar()->frame().height();
  if (auto tabs = c.tabBarController(); tabs && !tabs->tabBar()->isHidden() && !c.hidesBottomBarWhenPushed())
    height -= tabs->tabBar()->frame().height();
  return height;
}

double getWidth(platform::ViewController& c) { return c.view()->frame().width(); }
double getHeight(platform::ViewController& c) { return c.view()->frame().height(); }

}  // namespace vc

namespace label {

namespace {
void fitKeepingOriginAndWidth(platform::Label& l, int lines) {
  platform::Rect before = l.frame();
  l.setNumberOfLines(lines);
  l.sizeToFit();
  l.setFrame({before.x(), before.y(), before.width(), l.frame().height()});
}
}  // namespace

void autoFitHeight(platform::Label& l) { fitKeepingOriginAndWidth(l, 0); }
void autoFitHeightForSingleLine(platform::Label& l) { fitKeepingOriginAndWidth(l, 1); }

double fittedWidth(const platform::Label& l, double maxWidth) {
  if (l.text().empty()) return 0;
  platform::Size size = platform::TextMetrics::sizeWithFont(
      l.text(), l.font(), platform::Size{0, l.bounds().size.height}, platform::LineBreakMode::CharacterWrap);
  return std::min(size.width, maxWidth);
}

void autoFitSizeWithMaxWidth(platform::Label& l, double maxWidth) {
  view::setWidth(l, fittedWidth(l, maxWidth));
}

}  // namespace label

namespace textfield {

void convertToPasswordInput(platform::TextField& f) {
  if (!f.isSecureTextEntry()) f.setSecureTextEntry(true);
}

void convertToCommonInput(platform::TextField& f) {
  if (f.isSecureTextEntry()) f.setSecureTextEntry(false);
}

}  // namespace textfield

namespace scrollview {

void scrollToHorizontalPageIndex(platform::ScrollView& s, int page, bool animated) {
  platform::Rect f = s.frame();
  s.scrollRectToVisible({page * f.width(), 0, f.width(), f.height()}, animated);
}

int getHorizontalPageIndex(const platform::ScrollView& s) {
  double width = s.frame().width();
  if (width <= 0) return 0;
  return int(std::floor((s.contentOffset().x + 1) / width));
}

}  // namespace scrollview

namespace screen {

double screenWidth() { return platform::Screen::mainScreen().bounds().width(); }
double screenHeight() { return platform::Screen::mainScreen().bounds().height(); }
double statusBarHeight() { return platform::Application::sharedApplication().statusBarFrame().height(); }

}  // namespace screen

}  // namespace kavro
