#include "kit/ui/UIKavroEmailTextField.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppCacheDB.h"
#include "kit/core/StoreDataTypes.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/EmailTableCell.h"

namespace kavro {

using platform::Rect;

namespace {
constexpr std::string_view kSuffixKey = "suffix_email";

UIKavroEmailTextField::DictionaryFetcher& fetcher() {
  static UIKavroEmailTextField::DictionaryFetcher f;
  return f;
}
}  // namespace

void UIKavroEmailTextField::setDictionaryFetcher(DictionaryFetcher f) { fetcher() = std::move(f); }

std::shared_ptr<UIKavroEmailTextField> UIKavroEmailTextField::create(Rect frame) {
  std::shared_ptr<UIKavroEmailTextField> field(new UIKavroEmailTextField(frame));
  field->setUp();
  return field;
}

UIKavroEmailTextField::UIKavroEmailTextField(Rect frame) : platform::TextField(frame) {}

UIKavroEmailTextField::~UIKavroEmailTextField() {
  for (auto& [target, token] : observers_)
    platform::NotificationCenter::defaultCenter().removeObserver(token);
  if (emailTipsView_) emailTipsView_->removeFromSuperview();
}

void UIKavroEmailTextField::setUp() {
  setAutocorrectionType(platform::TextAutocorrectionType::No);
  setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  setReturnKeyType(platform::ReturnKeyType::Done);
  setClearButtonMode(platform::TextFieldViewMode::WhileEditing);
  setKeyboardType(platform::KeyboardType::EmailAddress);

  std::weak_ptr<UIKavroEmailTextField> weak = sharedAs<UIKavroEmailTextField>();
  auto adjust = [weak](platform::Control&) {
    if (auto self = weak.lock()) self->adjustEmailSuffix();
  };
  auto hide = [weak](platform::Control&) {
    if (auto self = weak.lock()) self->hideTips();
  };
  addTarget(this, platform::ControlEvent::EditingChanged, adjust);
  addTarget(this, platform::ControlEvent::EditingDidBegin, adjust);
  addTarget(this, platform::ControlEvent::EditingDidEnd, hide);
  addTarget(this, platform::ControlEvent::EditingDidEndOnExit, hide);

  emailTipsView_ = std::make_shared<platform::ImageView>();
  emailTipsView_->setHidden(true);
  emailTipsView_->setUserInteractionEnabled(true);
  AppSkin::apply(emailTipsView_.get(), "email_list_bg", "common");
  emailListView_ = std::make_shared<platform::TableView>(Rect(), platform::TableViewStyle::Plain);
  emailListView_->setClipsToBounds(true);
  emailListView_->setDataSource(sharedAs<UIKavroEmailTextField>());
  emailListView_->setDelegate(sharedAs<UIKavroEmailTextField>());
  AppSkin::apply(emailListView_.get(), "email_list", "common");
  emailTipsView_->addSubview(emailListView_);

  auto db = AppCoreInfo::getCacheDB();
  auto cached = db ? db->getBinValue(STORE_CACHE_EMAIL_SUFFIX, kSuffixKey) : std::nullopt;
  std::shared_ptr<DataItemResult> result = cached ? DataItemResult::FromData(*cached) : nullptr;
  if (result) {
    listViewDataOnReceived(*result);
    emailListView_->reloadData();
  } else if (fetcher()) {
    fetcher()(AppCoreInfo::getLocalizedString("store_dict_register_email_suffix"),
              [weak](const DataItemResult& answer) {
                if (auto self = weak.lock()) self->listViewDataOnReceived(answer);
              });
  }
  AppSkin::apply(this, "skinTextFieldCommonInput", "");
}

void UIKavroEmailTextField::listViewDataOnReceived(const DataItemResult& result) {
  if (result.hasError()) return;
  fullEmailList_ = result.dataList();
  if (fullEmailList_.empty()) return;
  if (auto db = AppCoreInfo::getCacheDB())
    db->setBinValue(STORE_CACHE_EMAIL_SUFFIX, kSuffixKey, result.toData());
}

void UIKavroEmailTextField::hideTips() {
  if (emailTipsView_) emailTipsView_->setHidden(true);
}

void UIKavroEmailTextField::adjustEmailSuffix() {
  const std::string& typed = text();
  if (typed.empty()) {
    hideTips();
    return;
  }
  auto at = typed.find('@');
  std::string name = at == std::string::npos ? typed : typed.substr(0, at);
  std::optional<std::string> typedSuffix;
  if (at != std::string::npos) typedSuffix = typed.substr(at + 1);
  suggestions_.clear();
  std::size_t exact = 0;
  for (const auto& record : fullEmailList_) {
    std::string suffix = record->getString("value");
    if (typedSuffix && !typedSuffix->empty() && !suffix.starts_with(*typedSuffix)) continue;
    auto row = DataItemDetail::newDetail();
    std::string address = name + "@" + suffix;
    row->setItemValue(address);
    if (address == typed) ++exact;
    suggestions_.push_back(row);
  }
  if (suggestions_.size() > exact) {
    emailTipsView_->setHidden(false);
    if (auto parent = emailTipsView_->superview()) parent->bringSubviewToFront(emailTipsView_.get());
  } else {
    hideTips();
  }
  emailListView_->reloadData();
  adjustEmailListSize();
}

void UIKavroEmailTextField::adjustEmailListSize() {
  emailListView_->layoutIfNeeded();
  double h = emailListView_->contentSize().height;
  Rect tips = emailTipsView_->frame(), list = emailListView_->frame();
  if (h < MaxListHeight - 10) {
    tips.size.height = h + 10;
    list.size.height = h;
  } else {
    tips.size.height = MaxListHeight;
    list.size.height = MaxListHeight - 10;
  }
  emailTipsView_->setFrame(tips);
  emailListView_->setFrame(list);
}

void UIKavroEmailTextField::bindParentView(const std::shared_ptr<platform::View>& parent, double top) {
  Rect f = frame();
  emailTipsMaxSize_ = {f.size.width, MaxListHeight};
  emailTipsView_->setFrame(Rect(f.origin.x, top, f.size.width, MaxListHeight));
  emailTipsView_->removeFromSuperview();
  emailListView_->setFrame(Rect(5, 5, f.size.width - 10, MaxListHeight - 10));
  if (parent) parent->addSubview(emailTipsView_);
}

void UIKavroEmailTextField::registerEmailEventForTarget(
    const std::shared_ptr<EmailSelectedObserver>& target) {
  if (!target) return;
  removeEmailEventForTarget(target.get());
  std::weak_ptr<EmailSelectedObserver> weak = target;
  observers_[target.get()] = platform::NotificationCenter::defaultCenter().addObserver(
      UIKavroEmailTextFieldOnSelectedNotification, this, [weak](const platform::Notification& n) {
        if (auto t = weak.lock()) t->onEmailSelected(n);
      });
}

void UIKavroEmailTextField::removeEmailEventForTarget(const EmailSelectedObserver* target) {
  auto it = observers_.find(target);
  if (it == observers_.end()) return;
  platform::NotificationCenter::defaultCenter().removeObserver(it->second);
  observers_.erase(it);
}

void UIKavroEmailTextField::selectedIndexPath(const platform::IndexPath& ip) {
  if (ip.section != 0 || ip.row < 0 || ip.row >= int(suggestions_.size())) return;
  setText(suggestions_[std::size_t(ip.row)]->getItemValue());
  hideTips();
  platform::NotificationCenter::defaultCenter().post(UIKavroEmailTextFieldOnSelectedNotification, this);
}

int UIKavroEmailTextField::numberOfRowsInSection(platform::TableView&, int section) {
  return section == 0 ? int(suggestions_.size()) : 0;
}

std::shared_ptr<platform::TableViewCell> UIKavroEmailTextField::cellForRowAtIndexPath(
    platform::TableView& tv, const platform::IndexPath& ip) {
  auto cell =
      std::dynamic_pointer_cast<EmailTableCell>(tv.dequeueReusableCellWithIdentifier("EmailTableCell"));
  if (!cell) cell = std::make_shared<EmailTableCell>(tv.frame().size.width);
  if (ip.row >= 0 && ip.row < int(suggestions_.size()))
    cell->bindCellData(*suggestions_[std::size_t(ip.row)]);
  return cell;
}

std::optional<double> UIKavroEmailTextField::heightForRowAtIndexPath(platform::TableView&,
                                                                     const platform::IndexPath&) {
  return EmailTableCell::heightForCell();
}

void UIKavroEmailTextField::didSelectRowAtIndexPath(platform::TableView&, const platform::IndexPath& ip) {
  selectedIndexPath(ip);
}

}  // namespace kavro
