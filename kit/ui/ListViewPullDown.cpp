#include "kit/ui/ListViewPullDown.h"

#include <numbers>

#include "kit/core/AppCoreInfo.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/ViewSibling.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Format.h"
#include "platform/ui/Screen.h"

namespace kavro {

using platform::AffineTransform;
using platform::Rect;

ListViewPullDown::ListViewPullDown(bool grouped) : ListView(grouped) {}

std::shared_ptr<ListViewPullDown> ListViewPullDown::create(bool grouped) {
  std::shared_ptr<ListViewPullDown> list(new ListViewPullDown(grouped));
  list->initWithGroupStyle();
  return list;
}

void ListViewPullDown::initWithGroupStyle() {
  ListView::initWithGroupStyle();
  isDragged_ = false;
  isLoading_ = false;
  loadingView_ = std::make_shared<UILoadingView>();
  loadingView_->setHidden(true);
  lastRefreshTime();
  addPullToRefreshHeader();
  setSeparatorStyle(platform::TableViewCellSeparatorStyle::None);
}

void ListViewPullDown::setCtrl(std::weak_ptr<ListViewDelegate> ctrl) {
  pullDownDelegate_ = std::dynamic_pointer_cast<ListViewPullDownDelegate>(ctrl.lock());
  ListView::setCtrl(std::move(ctrl));
}

void ListViewPullDown::lastRefreshTime() {
  textPullOff_ = platform::format("%@%@", AppCoreInfo::getLocalizedString("listpulldown_update_time"),
                                  platform::formatDate(platform::Date::now(), "yyyy-MM-dd HH:mm:ss"));
}

void ListViewPullDown::addPullToRefreshHeader() {
  double width = platform::Screen::mainScreen().bounds().size.width;
  header_ = std::make_shared<platform::View>(Rect(0, -HeaderHeight, width, HeaderHeight));
  AppSkin::apply(header_, "listview_header_bg", SkinGroup);

  prompt_ = std::make_shared<platform::Label>(Rect(0, 10, width, 13));
  prompt_->setTextAlignment(platform::TextAlignment::Center);
  prompt_->setNumberOfLines(1);
  prompt_->setBackgroundColor(platform::Color::clear());
  AppSkin::apply(prompt_, "listview_header_label", SkinGroup);

  timeLabel_ = std::make_shared<platform::Label>(Rect(0, 0, width, 13));
  timeLabel_->setTextAlignment(platform::TextAlignment::Center);
  timeLabel_->setNumberOfLines(1);
  timeLabel_->setBackgroundColor(platform::Color::clear());
  timeLabel_->setText(textPullOff_);
  AppSkin::apply(timeLabel_, "listview_header_time_label", SkinGroup);
  view::bottomOfView(*timeLabel_, prompt_.get(), 5);

  arrow_ = std::make_shared<platform::ImageView>(Rect(12.5, 4, 27, 44));
  AppSkin::apply(arrow_, "listview_arrow", SkinGroup);

  loadingView_->setFrame(header_->bounds());
  loadingView_->setText(AppCoreInfo::getLocalizedString("common_text_loading"));
  loadingView_->setHidden(true);
  AppSkin::apply(loadingView_, "listview_header_label", SkinGroup);

  header_->addSubview(prompt_);
  header_->addSubview(timeLabel_);
  header_->addSubview(arrow_);
  header_->addSubview(loadingView_);
  addSubview(header_);
}

void ListViewPullDown::beginPullDownAnimation() {
  isLoading_ = true;
  prompt_->setText(AppCoreInfo::getLocalizedString("listpulldown_loading"));
  loadingUI();
}

void ListViewPullDown::loadingUI() {
  arrow_->setHidden(true);
  prompt_->setHidden(true);
  timeLabel_->setHidden(true);
  loadingView_->setHidden(false);
}

void ListViewPullDown::finishPullDownAnimation() {
  if (!isLoading_) return;
  isLoading_ = false;
  std::weak_ptr<ListViewPullDown> weak = std::static_pointer_cast<ListViewPullDown>(self());
  platform::View::animate(
      0.3,
      [this] {
        setContentInset({});
        arrow_->setTransform(AffineTransform::makeRotation(std::numbers::pi));
      },
      [weak](bool) {
        auto list = weak.lock();
        if (!list) return;
        list->prompt_->setText(AppCoreInfo::getLocalizedString("listpulldown_pulldown_refresh"));
        list->arrow_->setHidden(false);
        list->prompt_->setHidden(false);
        list->timeLabel_->setHidden(false);
        list->loadingView_->setHidden(true);
      });
}

void ListViewPullDown::refresh() {
  if (auto d = pullDownDelegate()) d->finishPullDownList(*this);
}

void ListViewPullDown::scrollViewWillBeginDragging(platform::ScrollView& sv) {
  ListView::scrollViewWillBeginDragging(sv);
  if (!isLoading_) isDragged_ = true;
}

void ListViewPullDown::scrollViewDidScroll(platform::ScrollView& sv) {
  ListView::scrollViewDidScroll(sv);
  double y = contentOffset().y;
  if (isLoading_) {
    prompt_->setText(AppCoreInfo::getLocalizedString("listpulldown_loading"));
    if (y > 0) {
      setContentInset({});
    } else if (y >= -HeaderHeight) {
      platform::EdgeInsets inset = contentInset();
      inset.top = -y;
      setContentInset(inset);
    }
  } else if (isDragged_ && y < 0) {
    lastRefreshTime();
    platform::View::animate(0.2, [this, y] {
      if (y < -HeaderHeight) {
        prompt_->setText(AppCoreInfo::getLocalizedString("listpulldown_release_refresh"));
        timeLabel_->setText(textPullOff_);
        arrow_->setTransform(AffineTransform::makeRotation(2 * std::numbers::pi));
      } else if (y == -HeaderHeight) {
        prompt_->setText(AppCoreInfo::getLocalizedString("listpulldown_loading"));
      } else {
        prompt_->setText(AppCoreInfo::getLocalizedString("listpulldown_pulldown_refresh"));
        arrow_->setTransform(AffineTransform::makeRotation(std::numbers::pi));
      }
    });
  }
  auto first = dataOfSection(0);
  if (first && first->listViewDataStatus() == ListViewDataStatus::Loaded) {
    if (auto d = pullDownDelegate()) {
      if (y < 0)
        d->pullDownOrUpList(false);
      else if (y > 10)
        d->pullDownOrUpList(true);
    }
  }
}

void ListViewPullDown::scrollViewDidEndDragging(platform::ScrollView& sv, bool willDecelerate) {
  ListView::scrollViewDidEndDragging(sv, willDecelerate);
  double y = contentOffset().y;
  if (isLoading_ || y > 0) return;
  isDragged_ = false;
  if (y <= -HeaderHeight) {
    auto keep = self();
    beginPullDownAnimation();
    refresh();
    if (auto d = pullDownDelegate()) d->pullDownToRefresh();
  }
}

}  // namespace kavro
