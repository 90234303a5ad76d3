#include "kit/ui/ButtonExt.h"

#include <cmath>

#include "kit/ui/FansBadge.h"
#include "kit/ui/SmallerBadge.h"
#include "kit/ui/ViewAdjustSize.h"
#include "platform/ui/Screen.h"

namespace kavro::button {

using platform::EdgeInsets;
using platform::Rect;

namespace {

struct Measures {
  double W, H;
  Rect T, I;
  double iw, ih;
};

Measures prepare(platform::Button& b, bool resetImageInsets) {
  b.setContentEdgeInsets({});
  if (resetImageInsets) b.setImageEdgeInsets({});
  b.setTitleEdgeInsets({});
  b.titleLabel()->sizeToFit();
  Measures m{};
  m.W = b.frame().width();
  m.H = b.frame().height();
  Rect content = b.contentRectForBounds(b.bounds());
  m.T = b.titleRectForContentRect(content);
  m.I = b.imageRectForContentRect(content);
  auto image = b.imageForState(platform::ControlState::Normal);
  m.iw = image ? image->size().width : 0;
  m.ih = image ? image->size().height : 0;
  return m;
}

void leftOfIconCentred(platform::Button& b, const Measures& m) {
  double Tw = m.T.width(), Th = m.T.height(), Iw = m.I.width();
  double mid = (m.W - Tw - Iw) / 2;
  b.setTitleEdgeInsets(
      {std::floor((m.H - Th) / 2), std::floor(mid - m.T.x()), (m.H - Th) / 2, m.T.x() - mid});
  b.setImageEdgeInsets({std::floor((m.H - m.ih) / 2), std::floor(mid + Tw), (m.H - m.ih) / 2, mid});
}

}  // namespace

std::shared_ptr<platform::Button> buttonForNavigationBar() {
  auto b = platform::Button::buttonWithType(platform::ButtonType::Custom, Rect(0, 0, 180, 44));
  b->titleLabel()->setShadowOffset({0, -0.7});
  b->titleLabel()->setShadowColor(platform::Color::black());
  b->setShowsTouchWhenHighlighted(true);
  return b;
}

void setTitleLeftOfIcon(platform::Button& b) {
  Measures m = prepare(b, true);
  double Tw = m.T.width(), Th = m.T.height(), Iw = m.I.width();
  b.setImageEdgeInsets({std::floor((m.H - m.ih) / 2), std::floor(m.T.x() + Tw - m.I.x() - Iw),
                        (m.H - m.ih) / 2, m.W - m.T.x() - Tw});
  b.setTitleEdgeInsets(
      {std::floor((m.H - Th) / 2), std::floor(m.I.x() - m.T.x()), (m.H - Th) / 2, m.W - m.I.x() - Tw});
}

void setTitleLeftOfIconHorizontalCenter(platform::Button& b) { leftOfIconCentred(b, prepare(b, true)); }

void setTitleLeftOfIconHorizontalLeft(platform::Button& b) {
  b.titleLabel()->setNumberOfLines(1);
  leftOfIconCentred(b, prepare(b, true));
  b.titleLabel()->setLineBreakMode(platform::LineBreakMode::TailTruncation);
}

void setTitleRightOfIconHorizontalLeft(platform::Button& b) {
  Measures m = prepare(b, false);
  double Tw = m.T.width(), Iw = m.I.width();
  double mid = (m.W - Tw - Iw) / 2;
  b.setImageEdgeInsets(
      {std::floor((m.H - m.ih) / 2), std::floor((m.T.x() - Iw) / 2), (m.H - m.ih) / 2, Tw + mid});
  b.titleLabel()->setLineBreakMode(platform::LineBreakMode::TailTruncation);
}

void setTitleUnderIcon(platform::Button& b) { setTitleUnderIconWithTextPadding(b, 0); }

void setTitleUnderIconWithTextPadding(platform::Button& b, double p) {
  Measures m = prepare(b, true);
  view::setWidth(*b.titleLabel(), m.W);
  Rect content = b.contentRectForBounds(b.bounds());
  m.T = b.titleRectForContentRect(content);
  double Th = m.T.height();
  double mid = (m.H - p - m.ih - Th) / 2;
  b.setImageEdgeInsets({std::floor(mid), std::floor((m.W - m.iw) / 2), mid + Th, (m.W - m.iw) / 2});
  Rect I = b.imageRectForContentRect(content);
  b.setTitleEdgeInsets({std::floor(I.y() + I.height() + p), std::floor(-I.width()), I.y() - p, 0});
}

void bringSubViewToRightTop(platform::Button& b, const std::shared_ptr<platform::View>& sub) {
  if (!sub) return;
  Rect f = sub->frame();
  Rect I = b.imageRectForContentRect(b.contentRectForBounds(b.bounds()));
  b.bringSubviewToFront(sub.get());
  sub->setFrame({std::floor(I.x() + I.width() - f.width() / 2 - 10), std::floor(I.y() - f.height() / 2 + 18),
                 f.width(), f.height()});
}

void bringBubbleToRightTop(platform::Button& b, const std::shared_ptr<platform::View>& sub) {
  if (!sub) return;
  Rect f = sub->frame();
  double x = 0;
  if (const auto& title = b.titleLabel()) x = title->frame().x() + title->frame().width();
  b.bringSubviewToFront(sub.get());
  sub->setFrame({std::floor(x), std::floor(f.y()), f.width(), f.height()});
}

void bringBubbleToRighttopOppositeNavbar(platform::Button& b, const std::shared_ptr<platform::View>& sub) {
  if (!sub) return;
  Rect f = sub->frame();
  Rect R = b.superview() ? b.convertRectToView(b.bounds(), b.superview().get()) : b.frame();
  double S = platform::Screen::mainScreen().bounds().width();
  b.bringSubviewToFront(sub.get());
  sub->setFrame({std::floor(S - R.x() - 2 - f.width()), std::floor(2 - R.y()), f.width(), f.height()});
}

void badge(platform::Button& b, const std::shared_ptr<FansBadge>& newBadge, std::string_view value) {
  while (auto old = b.viewWithTag(BadgeTag)) {
    if (old.get() == &b) break;
    old->removeFromSuperview();
  }
  if (!newBadge) return;
  newBadge->setTag(BadgeTag);
  newBadge->setBadgeValue(value);
  b.addSubview(newBadge);
  bringBubbleToRightTop(b, newBadge);
}

void fansBadge(platform::Button& b, std::string_view value) {
  badge(b, std::make_shared<FansBadge>(), value);
}

void smallerBadge(platform::Button& b, std::string_view value) {
  badge(b, std::make_shared<SmallerBadge>(), value);
}

void smallerNavbarBadge(platform::Button& b, std::string_view value) {
  smallerBadge(b, value);
  bringBubbleToRighttopOppositeNavbar(b, b.viewWithTag(BadgeTag));
}

}  // namespace kavro::button
