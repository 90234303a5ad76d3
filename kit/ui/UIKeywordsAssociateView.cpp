#include "kit/ui/UIKeywordsAssociateView.h"

#include "kit/skin/AppSkin.h"
#include "kit/ui/WidgetTracking.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TapGestureRecognizer.h"

namespace kavro {

using platform::Rect;

UIKeywordsAssociateView::UIKeywordsAssociateView(Rect frame)
    : platform::View(frame),
      associateView_(std::make_shared<platform::TableView>(Rect(0, 0, frame.size.width, frame.size.height),
                                                           platform::TableViewStyle::Plain)) {}

UIKeywordsAssociateView::~UIKeywordsAssociateView() {
  if (associateLoader_) associateLoader_->stopLoading();
  if (associateTimer_) associateTimer_->invalidate();
}

void UIKeywordsAssociateView::initWithFrame() {
  associateView_->setDataSource(sharedAs<UIKeywordsAssociateView>());
  associateView_->setDelegate(sharedAs<UIKeywordsAssociateView>());
  addSubview(associateView_);
  lastKeyword_.clear();
  showEmptyKeywords();
  auto watcher = std::make_shared<platform::TapGestureRecognizer>();
  watcher->setDelegate(sharedAs<UIKeywordsAssociateView>());
  associateView_->addGestureRecognizer(watcher);
}

void UIKeywordsAssociateView::changeKeywords(const std::string& text) {
  loadingKeyword_ = text;
  if (associateTimer_) associateTimer_->invalidate();
  associateTimer_.reset();
  if (associateLoader_) associateLoader_->stopLoading();
  associateLoader_.reset();
  if (!text.empty()) {
    std::weak_ptr<UIKeywordsAssociateView> weak = sharedAs<UIKeywordsAssociateView>();
    associateTimer_ = platform::RunLoop::main().scheduleTimer(PauseSeconds, false, [weak](platform::Timer&) {
      if (auto self = weak.lock()) {
        self->associateTimer_.reset();
        self->startFetchNewAssociateKeywords();
      }
    });
  } else {
    lastKeyword_.clear();
    showEmptyKeywords();
  }
}

void UIKeywordsAssociateView::focusAssociateView() {
  if (auto d = delegate_.lock()) d->onFocusAssociateView(*this);
}

void UIKeywordsAssociateView::closeAssociateView() {
  if (auto d = delegate_.lock()) d->onCloseAssociateView(*this);
  widgettracking::record("TRACKING_JOBSEARCH_PROMPT_CLOSE");
}

std::shared_ptr<platform::Button> UIKeywordsAssociateView::createFooterButton(Rect frame,
                                                                              const std::string& title,
                                                                              std::function<void()> action) {
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom, frame);
  button->setTitle(title);
  if (action) {
    button->addTarget(this, platform::ControlEvent::TouchUpInside,
                      [action = std::move(action)](platform::Control&) { action(); });
  }
  button->setContentHorizontalAlignment(platform::ContentHorizontalAlignment::Center);
  button->setContentVerticalAlignment(platform::ContentVerticalAlignment::Center);
  AppSkin::apply(button.get(), "jobsearch_associate_close_button", "job_related");
  return button;
}

void UIKeywordsAssociateView::changeSkin() {
  AppSkin::apply(associateView_.get(), "jobsearch_associate_tableview", "job_related");
}

std::shared_ptr<platform::TableViewCell> UIKeywordsAssociateView::cellForRowAtIndexPath(
    platform::TableView&, const platform::IndexPath&) {
  return std::make_shared<platform::TableViewCell>(platform::TableViewCellStyle::Default, "");
}

std::optional<bool> UIKeywordsAssociateView::gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer&,
                                                                                 const platform::Touch&) {
  focusAssociateView();
  return false;
}

}  // namespace kavro
