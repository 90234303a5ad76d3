#include "kit/ui/UIKavroEditToolbar.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringDisplayLength.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewData.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/TableViewInputBox.h"
#include "kit/ui/UIKavroBarButton.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/RectValue.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

namespace kavro {

using platform::Rect;

namespace {
// The form list of the list framework seen as an edit-toolbar form.
class ListViewForm : public EditToolbarForm {
 public:
  explicit ListViewForm(const std::shared_ptr<ListView>& list) : list_(list) {}
  platform::TableView& formTable() override {
    auto list = list_.lock();
    return list ? *list : *placeholder();
  }
  int numberOfSections() override {
    auto list = list_.lock();
    return list ? int(list->sections().size()) : 0;
  }
  std::vector<std::shared_ptr<DataItemDetail>> recordsOfSection(int section) override {
    auto list = list_.lock();
    auto data = list ? list->dataOfSection(section) : nullptr;
    if (!data || !data->listData()) return {};
    return data->listData()->dataList();
  }
  std::shared_ptr<DataItemDetail> recordOfCell(const platform::View& cell) override {
    auto* dataCell = dynamic_cast<const DataTableCell*>(&cell);
    return dataCell ? dataCell->detail() : nullptr;
  }
  bool submitData() override {
    auto list = list_.lock();
    auto ctrl = list ? list->ctrl() : nullptr;
    return ctrl && ctrl->submitData(*list);
  }

 private:
  // Stands in for a list that is gone, so that every step finds nothing to do.
  static std::shared_ptr<platform::TableView> placeholder() {
    static auto empty = std::make_shared<platform::TableView>();
    return empty;
  }
  std::weak_ptr<ListView> list_;
};
}  // namespace

std::shared_ptr<UIKavroEditToolbar> UIKavroEditToolbar::initWithListView(
    const std::shared_ptr<ListView>& listView) {
  auto bar = std::shared_ptr<UIKavroEditToolbar>(new UIKavroEditToolbar());
  bar->adapter_ = std::make_shared<ListViewForm>(listView);
  bar->listView_ = bar->adapter_;
  bar->build();
  return bar;
}

std::shared_ptr<UIKavroEditToolbar> UIKavroEditToolbar::initWithListView(
    const std::shared_ptr<EditToolbarForm>& listView) {
  auto bar = std::shared_ptr<UIKavroEditToolbar>(new UIKavroEditToolbar());
  bar->listView_ = listView;
  bar->build();
  return bar;
}

UIKavroEditToolbar::UIKavroEditToolbar() = default;

UIKavroEditToolbar::~UIKavroEditToolbar() {
  objext::removeKeyboardNotifications(this);
  platform::RunLoop::main().cancelPerforms(this);
}

void UIKavroEditToolbar::build() {
  Rect screen = platform::Screen::mainScreen().bounds();
  setFrame(Rect(0, screen.size.height, screen.size.width, 44));
  segCtrl_ = std::make_shared<platform::SegmentedControl>(
      std::vector<std::string>{AppCoreInfo::getLocalizedString("toolbar_button_prev"),
                               AppCoreInfo::getLocalizedString("toolbar_button_next")});
  segCtrl_->setSegmentedControlStyle(platform::SegmentedControlStyle::Bar);
  std::weak_ptr<UIKavroEditToolbar> weak = sharedAs<UIKavroEditToolbar>();
  segCtrl_->addTarget(this, platform::ControlEvent::ValueChanged, [weak](platform::Control&) {
    if (auto self = weak.lock()) self->changeItem();
  });
  AppSkin::apply(segCtrl_.get(), "toolbar_segmented", "common");
  textCountLabel_ = std::make_shared<platform::Label>(Rect(0, 0, 80, 44));
  AppSkin::apply(textCountLabel_.get(), "toolbar_customview_label", "common");
  auto done = std::make_shared<platform::BarButtonItem>(
      AppCoreInfo::getLocalizedString("resume_detail_finish_edit"), platform::BarButtonItemStyle::Done,
      [weak](platform::BarButtonItem&) {
        if (auto self = weak.lock()) self->doneButtonClicked();
      });
  setItems({std::make_shared<platform::BarButtonItem>(segCtrl_), UIKavroBarButton::flexItem(),
            std::make_shared<platform::BarButtonItem>(textCountLabel_), done});
  AppSkin::apply(this, "toolbar_editing", "common");
  initEditIndexArray();
  objext::registerForKeyboardNotifications(sharedAs<UIKavroEditToolbar>());
  platform::RunLoop::main().performAfter(0.1, this, [] {
    platform::NotificationCenter::defaultCenter().post(UIkavroEditToolbarCreatedNotification);
  });
}

void UIKavroEditToolbar::initEditIndexArray() {
  currentIndexPath_.reset();
  currentFocusIndex_ = 0;
  arrayEditCellIndex_.clear();
  auto list = listView_.lock();
  if (!list) return;
  int sections = list->numberOfSections();
  for (int s = 0; s < sections; ++s) {
    auto records = list->recordsOfSection(s);
    for (std::size_t r = 0; r < records.size(); ++r) {
      if (records[r] && records[r]->getHasInputBox())
        arrayEditCellIndex_.push_back(platform::IndexPath::forRow(int(r), s));
    }
  }
  if (!arrayEditCellIndex_.empty()) {
    inputbox::unfocusAllInputBox(list->formTable());
    currentIndexPath_.reset();
    currentFocusIndex_ = 0;
  }
  if (arrayEditCellIndex_.size() > 1) {
    segCtrl_->setHidden(false);
    checkSegmentControlStatus();
  } else {
    segCtrl_->setHidden(true);
  }
}

void UIKavroEditToolbar::checkSegmentControlStatus() {
  if (currentFocusIndex_ == 0) {
    segCtrl_->setEnabled(false, 0);
    segCtrl_->setEnabled(true, 1);
  } else {
    segCtrl_->setEnabled(true, 0);
    segCtrl_->setEnabled(currentFocusIndex_ + 1 < arrayEditCellIndex_.size(), 1);
  }
}

void UIKavroEditToolbar::afterFocusChange() {
  scrollToRowAtCurrentIndex();
  checkSegmentControlStatus();
  platform::RunLoop::main().cancelPerforms(this);
  std::weak_ptr<UIKavroEditToolbar> weak = sharedAs<UIKavroEditToolbar>();
  platform::RunLoop::main().performAfter(0.1, this, [weak] {
    if (auto self = weak.lock()) self->textFiledBecomeFirstResponder();
  });
}

void UIKavroEditToolbar::changeItem() {
  segCtrl_->setMomentary(true);
  int segment = segCtrl_->selectedSegmentIndex();
  std::size_t count = arrayEditCellIndex_.size();
  if (segment != 0) {
    if (currentFocusIndex_ + 1 >= count) return;
    ++currentFocusIndex_;
  } else {
    if (currentFocusIndex_ == 0) return;
    --currentFocusIndex_;
  }
  currentIndexPath_ = arrayEditCellIndex_[currentFocusIndex_];
  afterFocusChange();
}

void UIKavroEditToolbar::focusOnIndex(int n) {
  if (n < 0 || n >= int(arrayEditCellIndex_.size())) return;
  if (auto list = listView_.lock()) inputbox::unfocusAllInputBox(list->formTable());
  currentIndexPath_ = arrayEditCellIndex_[std::size_t(n)];
  currentFocusIndex_ = unsigned(n);
  afterFocusChange();
}

void UIKavroEditToolbar::textFiledBecomeFirstResponder() {
  auto list = listView_.lock();
  if (!list || !currentIndexPath_) return;
  auto cell = list->formTable().cellForRowAtIndexPath(*currentIndexPath_);
  if (!cell) return;
  for (const auto& v : inputbox::inputBoxesOfCell(*cell))
    if (!v->isHidden()) v->becomeFirstResponder();
}

void UIKavroEditToolbar::scrollToRowAtCurrentIndex() {
  auto list = listView_.lock();
  if (!list || !currentIndexPath_) return;
  list->formTable().scrollToRowAtIndexPath(*currentIndexPath_,
                                           platform::TableViewScrollPosition(scrollPosition_), false);
}

void UIKavroEditToolbar::keyboardWasShown(const platform::Notification& n) {
  std::optional<Rect> frame;
  if (n.userInfo) {
    if (const auto* v = n.userInfo->objectForKey(platform::KeyboardFrameEndUserInfoKey))
      frame = platform::RectValue::rectFromValue(*v);
  }
  Rect keyboard = frame.value_or(Rect());
  auto list = listView_.lock();
  if (list && list->formTable().isScrollEnabled()) {
    platform::EdgeInsets insets{0, 0, keyboard.size.height + 44, 0};
    list->formTable().setContentInset(insets);
    list->formTable().setScrollIndicatorInsets(insets);
  }
  Rect f = this->frame();
  f.origin.y = keyboard.origin.y - 64;
  setFrame(f);
  scrollToRowAtCurrentIndex();
  setHidden(false);
  if (list) list->formTable().bringSubviewToFront(this);
}

void UIKavroEditToolbar::keyboardWasHidden(const platform::Notification&) {
  auto list = listView_.lock();
  if (list && list->formTable().isScrollEnabled()) {
    list->formTable().setContentInset({});
    list->formTable().setScrollIndicatorInsets({});
  }
  setHidden(true);
}

int UIKavroEditToolbar::indexForIndexPath(platform::IndexPath ip) const {
  for (std::size_t i = 0; i < arrayEditCellIndex_.size(); ++i) {
    if (arrayEditCellIndex_[i].row == ip.row && arrayEditCellIndex_[i].section == ip.section) return int(i);
  }
  return -1;
}

void UIKavroEditToolbar::toolbarEditBegin(platform::View* sender) {
  auto list = listView_.lock();
  int index = -1;
  if (sender && list) {
    platform::TableViewCell* cell = nullptr;
    for (auto* v = sender->superviewPointer(); v && !cell; v = v->superviewPointer())
      cell = dynamic_cast<platform::TableViewCell*>(v);
    if (cell) {
      if (auto ip = list->formTable().indexPathForCell(cell)) index = indexForIndexPath(*ip);
    }
  }
  if (index < 0) {
    setHidden(true);
    return;
  }
  currentFocusIndex_ = unsigned(index);
  currentIndexPath_ = arrayEditCellIndex_[std::size_t(index)];
  checkSegmentControlStatus();
  setHidden(false);
  checkTextChanged(sender);
  if (list) list->formTable().bringSubviewToFront(this);
}

void UIKavroEditToolbar::toolbarEditEnd(platform::View*) {
  setHidden(true);
  if (auto list = listView_.lock()) inputbox::unfocusAllInputBox(list->formTable());
}

void UIKavroEditToolbar::toolbarEditChanged(platform::View* sender) {
  if (isHidden()) return;
  checkTextChanged(sender);
}

void UIKavroEditToolbar::checkTextChanged(platform::View* view) {
  const std::string* text = nullptr;
  if (auto* field = dynamic_cast<platform::TextField*>(view)) text = &field->text();
  if (auto* tv = dynamic_cast<platform::TextView*>(view)) text = &tv->text();
  auto list = listView_.lock();
  std::shared_ptr<DataItemDetail> record;
  if (text && list) {
    for (auto* v = view->superviewPointer(); v && !record; v = v->superviewPointer())
      record = list->recordOfCell(*v);
  }
  if (!record) {
    textCountLabel_->setText("");
    return;
  }
  std::int64_t limit = record->getInputMaxWordsCount();
  bool chinese = false;
  if (limit < 1) {
    limit = record->getInputMaxChineseWordsCount();
    chinese = true;
  }
  if (limit < 1) {
    textCountLabel_->setText("");
    return;
  }
  std::int64_t length = chinese ? str::cnWordsLength(*text) : std::int64_t(platform::utf16Length(*text));
  textCountLabel_->setText(platform::format("%d/%d", length, limit));
  textCountLabel_->setTextColor(length > limit ? platform::Color::red() : platform::Color::white());
}

void UIKavroEditToolbar::doneButtonClicked() {
  scrollToRowAtCurrentIndex();
  toolbarEditEnd(nullptr);
  if (auto list = listView_.lock()) list->submitData();
}

}  // namespace kavro
