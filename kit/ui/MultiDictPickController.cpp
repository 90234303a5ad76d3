#include "kit/ui/MultiDictPickController.h"

#include <algorithm>
#include <numbers>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringCheck.h"
#include "kit/core/StringMisc.h"
#include "kit/skin/AppSkin.h"
#include "kit/ui/AlertViewExt.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/DictPickerDataCell.h"
#include "kit/ui/ScreenSize.h"
#include "kit/ui/ViewMisc.h"
#include "platform/foundation/Format.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

using platform::Rect;

namespace {
constexpr double BoardTop = 44;
constexpr double BoardHeight = 44;

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    out.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

// Moves a view to the given top, its height unchanged.
void setTop(platform::View& v, double top) {
  Rect f = v.frame();
  f.origin.y = top;
  v.setFrame(f);
}
}  // namespace

std::string MultiDictPickController::strippedCode(std::string_view code) {
  if (!str::isGeneralLegalDictCode(code)) return {};
  return str::stripDoubleSuffixZeros(code);
}

std::shared_ptr<MultiDictPickController> MultiDictPickController::pickerWidthType(
    DictType dictType, std::shared_ptr<DataItemDetail> pickedDetail,
    const std::shared_ptr<platform::ViewController>& delegate) {
  auto picker = initWithData<MultiDictPickController>(nullptr, dictType, delegate);
  picker->setSourceData(std::move(pickedDetail));
  if (auto screen = std::dynamic_pointer_cast<UIBasicController>(delegate))
    picker->ShowUIBasicController(screen);
  else if (auto nav = delegate ? delegate->navigationController() : nullptr)
    nav->pushViewController(picker, true);
  return picker;
}

// ---- Picks in and out ------------------------------------------------------------------------

std::shared_ptr<NSMutableSortedDictionary> MultiDictPickController::convertDetailToDictionary() const {
  auto picks = NSMutableSortedDictionary::dictionary();
  if (!sourceData_) return picks;
  std::string codes = sourceData_->getDictCode();
  std::string values = sourceData_->getDictValue();
  if (codes.empty() || values.empty()) return picks;
  auto c = split(codes);
  auto v = split(values);
  for (std::size_t i = 0; i < std::min(c.size(), v.size()) && picks->count() < MaxPicks; ++i)
    picks->setObject(platform::Value(v[i]), c[i]);
  return picks;
}

std::shared_ptr<DataItemDetail> MultiDictPickController::convertDictionaryToDetail() const {
  auto detail = DataItemDetail::newDetail();
  detail->setDictCode(picked_->joinAllKeysBySeparator(","));
  detail->setDictValue(picked_->joinAllValuesBySeparator(","));
  return detail;
}

void MultiDictPickController::finishPick() {
  auto delegate = std::dynamic_pointer_cast<DictPickerControllerDelegate>(delegateController());
  if (!delegate) return;
  auto keep = sharedAs<MultiDictPickController>();
  delegate->dictPicker(*this, convertDictionaryToDetail());
  closeDictPicker();
}

// ---- Screen ----------------------------------------------------------------------------------

void MultiDictPickController::customView() {
  // The picks exist before any level can be filled.
  if (!parentData()) picked_ = convertDetailToDictionary();
  DictPickerController::customView();
  std::weak_ptr<MultiDictPickController> weak = sharedAs<MultiDictPickController>();
  barbutton::setSureItem(*this, [weak](platform::BarButtonItem&) {
    if (auto p = weak.lock()) p->finishPick();
  });
  initItemsBoard();
}

void MultiDictPickController::initDictView() {
  DictPickerController::initDictView();
  double bar = 44;
  if (auto nav = navigationController()) bar = nav->navigationBar()->frame().height();
  Rect f = dictView_->frame();
  f.origin.y = bar + BoardHeight;
  f.size.height = view()->bounds().height() - bar - BoardHeight;
  dictView_->setFrame(f);
}

std::string MultiDictPickController::boardTitle() const {
  if (dictType() == DictType::JobFunction)
    return AppCoreInfo::getLocalizedString("dictpicker_title_funtype_selected");
  if (dictType() == DictType::Industry)
    return AppCoreInfo::getLocalizedString("dictpicker_title_industry_selected");
  return AppCoreInfo::getLocalizedString("dictpicker_title_area_selected");
}

std::string MultiDictPickController::pickerOverFive() const {
  if (dictType() == DictType::JobFunction)
    return AppCoreInfo::getLocalizedString("dictpicker_picked_function_over_five");
  if (dictType() == DictType::Industry)
    return AppCoreInfo::getLocalizedString("dictpicker_picked_industry_over_five");
  return AppCoreInfo::getLocalizedString("dictpicker_picked_area_over_five");
}

void MultiDictPickController::initItemsBoard() {
  double width = screen::screenWidth();
  itemsBoard_ = std::make_shared<platform::View>(Rect(0, BoardTop, width, BoardHeight));
  std::weak_ptr<MultiDictPickController> weak = sharedAs<MultiDictPickController>();
  view::setTapGesture(*itemsBoard_, weak, [weak](platform::GestureRecognizer&) {
    if (auto p = weak.lock()) p->tapItemsBoard();
  });
  view()->insertSubviewBelow(itemsBoard_, dictView_.get());
  AppSkin::apply(itemsBoard_.get(), "itemsboard_view", "dictpicker");

  auto background = std::make_shared<platform::ImageView>(Rect(0, 0, width, BoardHeight));
  AppSkin::apply(background.get(), "itemsboard_bg", "dictpicker");
  itemsBoard_->addSubview(background);

  auto title = std::make_shared<platform::Label>(Rect(10, 0, 180, 44));
  title->setText(boardTitle());
  AppSkin::apply(title.get(), "itemsboard_label", "dictpicker");
  itemsBoard_->addSubview(title);

  countLabel_ = std::make_shared<platform::Label>(Rect(width - 110, 0, 30, 44));
  AppSkin::apply(countLabel_.get(), "itemsboard_label", "dictpicker");
  itemsBoard_->addSubview(countLabel_);
  countSelectedItems();

  auto fold = std::make_shared<platform::Label>(Rect(width - 80, 0, 80, 44));
  fold->setTag(FoldLabelTag);
  fold->setText(AppCoreInfo::getLocalizedString("dictpicker_picked_unfold_title"));
  AppSkin::apply(fold.get(), "itemsboard_label", "dictpicker");
  itemsBoard_->addSubview(fold);

  indicateImage_ = std::make_shared<platform::ImageView>(Rect(280, (BoardHeight - 19) / 2, 18, 19));
  AppSkin::apply(indicateImage_.get(), "itemsboard_arrow", "dictpicker");
  itemsBoard_->addSubview(indicateImage_);

  closeBoardButton_ = platform::Button::buttonWithType(platform::ButtonType::Custom);
  closeBoardButton_->setFrame(Rect());
  closeBoardButton_->addTarget(this, platform::ControlEvent::TouchUpInside, [weak](platform::Control&) {
    if (auto p = weak.lock()) p->closeItemsBoard();
  });
  view()->insertSubviewAbove(closeBoardButton_, dictView_.get());
}

void MultiDictPickController::countSelectedItems() {
  if (countLabel_)
    countLabel_->setText(platform::format("%d/%d", static_cast<std::int64_t>(picked_->count()),
                                          static_cast<std::int64_t>(MaxPicks)));
}

void MultiDictPickController::viewWillAppear(bool animated) {
  DictPickerController::viewWillAppear(animated);
  countSelectedItems();
  refreshDictView();
}

void MultiDictPickController::viewDidAppear(bool animated) {
  DictPickerController::viewDidAppear(animated);
  isAnimating_ = false;
}

// ---- Board -----------------------------------------------------------------------------------

std::vector<std::shared_ptr<SelectedItemBox>> MultiDictPickController::boxes() const {
  std::vector<std::shared_ptr<SelectedItemBox>> out;
  if (!itemsBoard_) return out;
  for (const auto& v : itemsBoard_->subviews())
    if (auto box = std::dynamic_pointer_cast<SelectedItemBox>(v)) out.push_back(box);
  return out;
}

void MultiDictPickController::loadSelectedView() {
  auto self = sharedAs<MultiDictPickController>();
  for (const auto& code : picked_->allKeys()) {
    if (code.empty()) continue;
    auto box = SelectedItemBox::initWithValue(picked_->objectForKey(code).stringValue(), self);
    box->setItemKey(code);
    itemsBoard_->addSubview(box);
  }
}

void MultiDictPickController::sortSelectedItems() {
  double top = BoardTop;
  for (const auto& box : boxes()) {
    setTop(*box, top);
    top = box->frame().maxY() + 5;
  }
}

void MultiDictPickController::fitBoard() {
  double bottom = 0;
  for (const auto& v : itemsBoard_->subviews())
    if (!v->isHidden()) bottom = std::max(bottom, v->frame().maxY());
  Rect f = itemsBoard_->frame();
  f.size.height = bottom + 10;
  itemsBoard_->setFrame(f);
}

void MultiDictPickController::openSelectedView(bool open) {
  if (isAnimating_ || !itemsBoard_) return;
  std::weak_ptr<MultiDictPickController> weak = sharedAs<MultiDictPickController>();
  isAnimating_ = true;
  if (open) {
    loadSelectedView();
    sortSelectedItems();
    fitBoard();
    platform::View::animate(
        0.5,
        [this] {
          indicateImage_->setTransform(platform::AffineTransform::makeRotation(std::numbers::pi));
          setTop(*dictView_, itemsBoard_->frame().maxY());
        },
        [weak](bool) {
          auto p = weak.lock();
          if (!p) return;
          p->closeBoardButton_->setFrame(p->dictView_->frame());
          p->isAnimating_ = false;
        });
  } else {
    platform::View::animate(
        0.5,
        [this] {
          indicateImage_->setTransform(platform::AffineTransform::makeRotation(2 * std::numbers::pi));
          setTop(*dictView_, BoardTop + BoardHeight);
        },
        [weak](bool) {
          auto p = weak.lock();
          if (!p) return;
          for (const auto& box : p->boxes()) box->removeFromSuperview();
          Rect f = p->itemsBoard_->frame();
          f.size.height = BoardHeight;
          p->itemsBoard_->setFrame(f);
          p->closeBoardButton_->setFrame(Rect());
          p->isAnimating_ = false;
        });
  }
}

void MultiDictPickController::tapItemsBoard() {
  auto fold = std::dynamic_pointer_cast<platform::Label>(itemsBoard_->viewWithTag(FoldLabelTag));
  if (isBoardOpen()) {
    if (fold) fold->setText(AppCoreInfo::getLocalizedString("dictpicker_picked_unfold_title"));
    openSelectedView(false);
  } else if (picked_->count() > 0) {
    if (fold) fold->setText(AppCoreInfo::getLocalizedString("dictpicker_picked_fold_title"));
    openSelectedView(true);
  }
}

void MultiDictPickController::closeItemsBoard() { openSelectedView(!isBoardOpen()); }

std::optional<bool> MultiDictPickController::gestureRecognizerShouldReceiveTouch(
    platform::GestureRecognizer&, const platform::Touch& touch) {
  return !std::dynamic_pointer_cast<platform::Button>(touch.view());
}

void MultiDictPickController::deleteItem(SelectedItemBox& box) {
  if (isAnimating_) return;
  picked_->removeObjectForKey(box.itemKey());
  countSelectedItems();
  isAnimating_ = true;
  auto target = std::static_pointer_cast<SelectedItemBox>(box.shared_from_this());
  std::weak_ptr<MultiDictPickController> weak = sharedAs<MultiDictPickController>();
  double width = view()->bounds().width();
  platform::View::animate(
      0.2,
      [target, width] {
        Rect f = target->frame();
        f.origin.x = width;
        target->setFrame(f);
      },
      [weak, target](bool) {
        auto p = weak.lock();
        if (!p) return;
        target->removeFromSuperview();
        platform::View::animate(
            0.3,
            [p] {
              p->sortSelectedItems();
              p->fitBoard();
              setTop(*p->dictView_, p->itemsBoard_->frame().maxY());
              p->closeBoardButton_->setFrame(p->dictView_->frame());
            },
            [weak](bool) {
              auto q = weak.lock();
              if (!q) return;
              q->refreshDictView();
              q->isAnimating_ = false;
              if (q->picked_->count() == 0) q->tapItemsBoard();
            });
      });
}

// ---- Rows ------------------------------------------------------------------------------------

void MultiDictPickController::checkSubItemSelectedStatus(DataItemDetail& row) const {
  auto cls = row.getCellClass();
  if (!cls || cls != std::static_pointer_cast<platform::Object>(platform::classFor<DictPickerDataCell>()))
    return;
  row.setItemValue("");
  row.setDictIsSelected(false);
  bool hasSub = row.getDictHasSubItem();
  row.setDictIsMultiDict(!hasSub);
  std::string code = row.getDictCode();
  if (!picked_->objectForKey(code).isNull()) {
    row.setDictIsSelected(true);
    if (hasSub) row.setItemValue(AppCoreInfo::getLocalizedString("dictpicker_title_all"));
    return;
  }
  std::string prefix = strippedCode(code);
  if (!hasSub || prefix.empty()) return;
  std::int64_t n = 0;
  for (const auto& key : picked_->allKeys())
    if (strippedCode(key).starts_with(prefix)) ++n;
  if (n > 0)
    row.setItemValue(
        platform::format(AppCoreInfo::getLocalizedString("dictpicker_picked_selected_item_format__int"), n));
}

void MultiDictPickController::markAllRows() {
  if (!dictView_) return;
  for (const auto& section : dictView_->sections())
    for (const auto& row : section->listData()->dataList()) checkSubItemSelectedStatus(*row);
}

void MultiDictPickController::refreshDictView() {
  markAllRows();
  if (dictView_) dictView_->reloadData();
}

void MultiDictPickController::fillListData(ListViewData& section, const DataItemResult& result) {
  DictPickerController::fillListData(section, result);
  markAllRows();
}

std::optional<std::shared_ptr<DataLoadAndParser>> MultiDictPickController::listViewData(
    ListViewData& section) {
  return startLoader(IsAreaDict(dictType()) ? ServerCall::JobArea : ServerCall::SpecialDataDict, section);
}

void MultiDictPickController::removeAllSubItems(const std::string& prefix) {
  auto codes = picked_->allKeys();
  for (const auto& code : codes) {
    std::string s = strippedCode(code);
    if (s.empty() || s.starts_with(prefix)) picked_->removeObjectForKey(code);
  }
}

void MultiDictPickController::removeAllParentItems(const std::string& prefix) {
  auto codes = picked_->allKeys();
  for (const auto& code : codes) {
    std::string s = strippedCode(code);
    if (s.empty() || prefix.starts_with(s)) picked_->removeObjectForKey(code);
  }
}

bool MultiDictPickController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto entry = list.dataOfIndexPath(ip);
  if (!entry) return true;
  if (entry->getDictHasSubItem()) {
    auto next = initWithData<MultiDictPickController>(entry, dictType(), delegateController());
    next->setPickedDictionary(picked_);
    next->ShowUIBasicController(sharedAs<MultiDictPickController>());
    return true;
  }
  std::string code = entry->getDictCode();
  if (!picked_->objectForKey(code).isNull()) {
    picked_->removeObjectForKey(code);
  } else {
    std::string prefix = strippedCode(code);
    removeAllSubItems(prefix);
    removeAllParentItems(prefix);
    if (picked_->count() < MaxPicks)
      picked_->setObject(platform::Value(entry->getDictValue()), code);
    else
      alert::showTipsAutoHidden(pickerOverFive());
  }
  countSelectedItems();
  refreshDictView();
  return true;
}

}  // namespace kavro
