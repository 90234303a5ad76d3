#include "kit/ui/ListView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "kit/skin/AppSkin.h"
#include "kit/ui/LabelExt.h"
#include "kit/ui/ViewAdjustSize.h"
#include "platform/ui/Label.h"

namespace kavro {

using platform::ClassPtr;
using platform::IndexPath;

ListView::ListView(bool grouped)
    : platform::TableView(platform::Rect{},
                          grouped ? platform::TableViewStyle::Grouped : platform::TableViewStyle::Plain),
      grouped_(grouped) {}

ListView::~ListView() {
  ctrl_.reset();
  if (delayReloadDataTimer_) delayReloadDataTimer_->invalidate();
  for (auto& section : sections_) section->stopLoading();
}

std::shared_ptr<ListView> ListView::create(bool grouped) {
  std::shared_ptr<ListView> list(new ListView(grouped));
  list->initWithGroupStyle();
  return list;
}

std::shared_ptr<ListView> ListView::groupedListViewForDelegate(std::weak_ptr<ListViewDelegate> ctrl) {
  auto list = create(true);
  list->setCtrl(std::move(ctrl));
  return list;
}

std::shared_ptr<ListView> ListView::plainListViewForDelegate(std::weak_ptr<ListViewDelegate> ctrl) {
  auto list = create(false);
  list->setCtrl(std::move(ctrl));
  return list;
}

void ListView::initWithGroupStyle() {
  auto me = self();
  setDataSource(me);
  setDelegate(me);
  setBackgroundColor(platform::Color::clear());
  setSeparatorStyle(platform::TableViewCellSeparatorStyle::SingleLine);
  AppSkin::apply(this);
  if (grouped_) {
    setSectionHeaderHeight(5);
    setSectionFooterHeight(5);
  }
}

std::shared_ptr<ListView> ListView::self() { return std::static_pointer_cast<ListView>(shared_from_this()); }

// --- Sections and records ---------------------------------------------------------------------

void ListView::addSectionWithData(std::shared_ptr<ListViewData> section) {
  if (!section) return;
  section->setListView(self());
  sections_.push_back(std::move(section));
}

int ListView::indexOfSectionData(const ListViewData* section) const {
  for (std::size_t i = 0; i < sections_.size(); ++i)
    if (sections_[i].get() == section) return static_cast<int>(i);
  return -1;
}

std::shared_ptr<ListViewData> ListView::dataOfSection(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= sections_.size()) return nullptr;
  return sections_[static_cast<std::size_t>(index)];
}

std::shared_ptr<ListViewData> ListView::dataOfSectionTag(std::int32_t tag) const {
  for (const auto& s : sections_)
    if (s->tag() == tag) return s;
  return nullptr;
}

std::shared_ptr<DataItemDetail> ListView::dataOfIndexPath(const IndexPath& ip) const {
  auto section = dataOfSection(ip.section);
  if (!section || ip.row < 0) return nullptr;
  return section->listData()->getItem(static_cast<std::size_t>(ip.row));
}

std::shared_ptr<DataItemDetail> ListView::dataOfTableCellTag(std::int64_t tag) const {
  for (const auto& s : sections_)
    for (const auto& row : std::as_const(*s->listData()).dataList())
      if (row->getTableCellTag() == tag) return row;
  return nullptr;
}

std::shared_ptr<DataTableCell> ListView::cellOfTableCellTag(std::int64_t tag) {
  for (const auto& c : visibleCells()) {
    auto cell = std::dynamic_pointer_cast<DataTableCell>(c);
    if (cell && cell->detail() && cell->detail()->getTableCellTag() == tag) return cell;
  }
  return nullptr;
}

std::int64_t ListView::tagOfIndexPath(const IndexPath& ip) const {
  auto record = dataOfIndexPath(ip);
  return record ? record->getTableCellTag() : 0;
}

std::vector<IndexPath> ListView::indexPathsForKey(std::string_view key, std::string_view value) const {
  std::vector<IndexPath> paths;
  if (key.empty() || value.empty()) return paths;
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const auto& rows = std::as_const(*sections_[s]->listData()).dataList();
    for (std::size_t r = 0; r < rows.size(); ++r)
      if (rows[r]->getString(key) == value)
        paths.push_back(IndexPath::forRow(static_cast<int>(r), static_cast<int>(s)));
  }
  return paths;
}

int ListView::updateItemsDataForIndexPaths(const std::vector<IndexPath>& paths, std::string_view key,
                                           std::string_view value) {
  if (paths.empty() || key.empty() || value.empty() || sections_.empty()) return 0;
  int changed = 0;
  for (const auto& ip : paths) {
    auto record = dataOfIndexPath(ip);
    if (!record) continue;
    record->setString(value, key);
    ++changed;
  }
  return changed;
}

int ListView::updateItemsDataForIndexPathsWithIntValue(const std::vector<IndexPath>& paths,
                                                       std::string_view key, std::int64_t value) {
  return updateItemsDataForIndexPaths(paths, key, std::to_string(value));
}

int ListView::updateItemsDataForIndexPathsWithBoolValue(const std::vector<IndexPath>& paths,
                                                        std::string_view key, bool value) {
  return updateItemsDataForIndexPaths(paths, key, value ? "1" : "0");
}

// --- Loading and reloading --------------------------------------------------------------------

void ListView::stopLoading() {
  ctrl_.reset();
  if (delayReloadDataTimer_) delayReloadDataTimer_->invalidate();
  delayReloadDataTimer_.reset();
  auto sections = std::move(sections_);
  sections_.clear();
  for (auto& section : sections) section->stopLoading();
}

void ListView::clear() {
  auto sections = std::move(sections_);
  sections_.clear();
  for (auto& section : sections) section->stopLoading();
  reloadData();
}

void ListView::reloadData() {
  auto keep = self();
  rowFlags_.clear();
  flagSets_.clear();
  platform::TableView::reloadData();
  if (auto c = ctrl()) c->listViewOnReloaded(*this);
}

void ListView::reloadSectionRowsFrom(const ListViewData& section, std::size_t rowsBefore) {
  auto keep = self();
  const int index = indexOfSectionData(&section);
  const int shown = index < 0 ? 0 : platform::TableView::numberOfRowsInSection(index);
  const int rows = index < 0 ? 0 : numberOfRowsInSection(*this, index);
  const int kept = static_cast<int>(rowsBefore);
  // The table shows the rows kept and at most one state row after them, and every other section
  // as it stands.
  bool inStep = index >= 0 && rowsBefore <= section.count() && (shown == kept || shown == kept + 1) &&
                platform::TableView::numberOfSections() == static_cast<int>(sections_.size());
  for (int s = 0; inStep && s < static_cast<int>(sections_.size()); ++s)
    inStep = s == index || platform::TableView::numberOfRowsInSection(s) == numberOfRowsInSection(*this, s);
  if (!inStep) {
    reloadData();
    return;
  }
  rowFlags_.clear();
  flagSets_.clear();
  const int common = std::min(shown, rows);
  std::vector<IndexPath> reloaded, inserted, deleted;
  for (int r = kept; r < common; ++r) reloaded.push_back(IndexPath::forRow(r, index));
  for (int r = common; r < rows; ++r) inserted.push_back(IndexPath::forRow(r, index));
  for (int r = rows; r < shown; ++r) deleted.push_back(IndexPath::forRow(r, index));
  beginUpdates();
  reloadRowsAtIndexPaths(reloaded, platform::TableViewRowAnimation::None);
  insertRowsAtIndexPaths(inserted, platform::TableViewRowAnimation::None);
  platform::TableView::deleteRowsAtIndexPaths(deleted, platform::TableViewRowAnimation::None);
  endUpdates();
  if (auto c = ctrl()) c->listViewOnReloaded(*this);
}

bool ListView::rowFlag(std::string_view key, const std::function<bool()>& read) {
  auto it = rowFlags_.find(key);
  if (it == rowFlags_.end()) it = rowFlags_.emplace(std::string(key), read()).first;
  return it->second;
}

bool ListView::rowFlagInSet(std::string_view set, std::string_view key,
                            const std::function<FlagKeys()>& readAll, const std::function<bool()>& read) {
  auto it = flagSets_.find(set);
  if (it == flagSets_.end()) {
    std::optional<KeySet> keys;
    if (auto all = readAll())
      keys.emplace(std::make_move_iterator(all->begin()), std::make_move_iterator(all->end()));
    it = flagSets_.emplace(std::string(set), std::move(keys)).first;
  }
  if (!it->second) return rowFlag(key, read);
  return it->second->find(key) != it->second->end();
}

void ListView::delayReloadData() {
  if (delayReloadDataTimer_) delayReloadDataTimer_->invalidate();
  std::weak_ptr<ListView> weak = self();
  delayReloadDataTimer_ =
      platform::RunLoop::main().scheduleTimer(DelayReloadInterval, false, [weak](platform::Timer&) {
        if (auto list = weak.lock()) {
          list->delayReloadDataTimer_.reset();
          list->reloadData();
        }
      });
}

void ListView::setEditing(bool editing, bool animated) {
  bool changed = editing != isEditing();
  platform::TableView::setEditing(editing, animated);
  if (changed) reloadData();
}

void ListView::enableEdit(bool editing, bool animated) {
  if (editing == isEditing()) return;
  platform::TableView::setEditing(editing, animated);
  if (animated) {
    std::weak_ptr<ListView> weak = self();
    platform::View::animate(0.2, [weak] {
      if (auto list = weak.lock()) list->reloadData();
    });
  } else {
    reloadData();
  }
}

void ListView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& ips,
                                      platform::TableViewRowAnimation animation) {
  auto keep = self();
  std::vector<std::pair<std::shared_ptr<ListViewData>, std::shared_ptr<DataItemDetail>>> noted;
  std::vector<std::shared_ptr<ListViewData>> affected;
  for (const auto& ip : ips) {
    auto section = dataOfSection(ip.section);
    if (!section) continue;
    section->listData()->detailInfo()->setString("0", ListViewData::RemovedSectionItemCountKey);
    if (std::find(affected.begin(), affected.end(), section) == affected.end()) affected.push_back(section);
    if (auto record = dataOfIndexPath(ip)) noted.emplace_back(section, record);
  }
  for (const auto& [section, record] : noted) {
    std::size_t removed = section->listData()->removeItem(record.get());
    auto info = section->listData()->detailInfo();
    info->setString(std::to_string(info->getInt(ListViewData::RemovedSectionItemCountKey) +
                                   static_cast<std::int64_t>(removed)),
                    ListViewData::RemovedSectionItemCountKey);
  }
  for (const auto& section : affected) {
    std::uint64_t size = section->pageSize();
    if (section->pageAt() >= 2 && size > 0)
      section->setPageAt(static_cast<std::uint32_t>(std::max<std::uint64_t>(1, section->count() / size)));
    if (section->count() == 0 ||
        size * (section->pageAt() + std::uint64_t{1}) > section->listData()->maxCount()) {
      reloadData();
      return;
    }
  }
  platform::TableView::deleteRowsAtIndexPaths(ips, animation);
}

// A record names its row class either as a class object or by its registered name (the form a
// stored record keeps). A name nobody registered is a programming slip: reported at each look-up,
// and the row falls back to the section's class rather than vanishing.
ClassPtr ListView::recordCellClass(const DataItemDetail& record) {
  // Read in place, once: asked for every row that comes into view.
  const platform::Value* named = record.dictData()->objectForKey(DataItemDetail::keyCellClass());
  if (!named) return nullptr;
  if (auto own = std::dynamic_pointer_cast<platform::ClassRef>(named->objectValue())) return own;
  const std::string& name = named->stringValue();
  if (name.empty()) return nullptr;
  ClassPtr cls = platform::classFromString(name);
  if (!cls || !cls->respondsToClassFunction(&CellClassFunctions::cellWithCellID)) {
    std::fprintf(stderr, "Error: row cell class \"%s\" is not a registered row class\n", name.c_str());
    return nullptr;
  }
  return cls;
}

ClassPtr ListView::cellClassAtIndexPath(const IndexPath& ip) const {
  auto section = dataOfSection(ip.section);
  if (!section) return nullptr;
  std::size_t n = section->count();
  if (ip.row >= 0 && static_cast<std::size_t>(ip.row) < n) {
    const auto& record = std::as_const(*section->listData()).dataList()[static_cast<std::size_t>(ip.row)];
    if (auto own = recordCellClass(*record)) return own;
    return section->mDataCellClass();
  }
  if (section->listViewDataStatus() == ListViewDataStatus::Loading) return section->mLoadingCellClass();
  if (!section->isLoadDataOK()) return section->mErrorCellClass();
  if (n > 0) return section->mMoreCellClass();
  if (section->loadFinished()) return section->mEmtpyCellClass();
  return section->mMoreCellClass();
}

std::shared_ptr<DataTableCell> ListView::cellWithClass(const ClassPtr& requested, const IndexPath& ip) {
  ClassPtr cls = requested ? requested : platform::classFor<DataTableCell>();
  if (cls != cellIdClass_) {
    cellId_ = "cellclass-" + cls->name();
    cellIdClass_ = cls;
  }
  auto reused = std::dynamic_pointer_cast<DataTableCell>(dequeueReusableCellWithIdentifier(cellId_));
  if (reused) {
    reused->setListData(dataOfSection(ip.section));
    reused->setListView(this);
    reused->setIndexPath(ip);
    reused->setDetail(dataOfIndexPath(ip));
    reused->bindCellData(true);
    return reused;
  }
  const std::string cellId = cellId_;  // a copy: making a cell may make rows of other classes
  auto made = cls->callClassFunction(&CellClassFunctions::cellWithCellID, cellId, *this, ip);
  std::shared_ptr<DataTableCell> cell = made ? *made : nullptr;
  // A class that makes no cell (not a row class) still gets a row: a plain one.
  if (!cell) cell = DataTableCell::cellWithCellID<DataTableCell>("cellclass-DataTableCell", *this, ip);
  cell->bindCellData(false);
  return cell;
}

bool ListView::isAtBottom() const {
  double bottom = std::ceil(contentOffset().y + bounds().size.height);
  return bottom >= std::floor(contentSize().height);
}

void ListView::checkLastSection(bool retryFailed) {
  if (sections_.empty() || !isAtBottom()) return;
  auto last = sections_.back();
  if (last->listViewDataStatus() != ListViewDataStatus::Loaded || !last->hasNextPage() ||
      last->loadFinished())
    return;
  if (last->isLoadDataOK())
    last->loadDataforNextPage();
  else if (retryFailed)
    last->loadData();
}

void ListView::autoCheckAndLoadNextPage() { checkLastSection(true); }

void ListView::autoCheckAndLoadNextPageAfterAnswer(const ListViewData& answered) {
  bool ownFailure = !sections_.empty() && sections_.back().get() == &answered && !answered.isLoadDataOK();
  checkLastSection(!ownFailure);
}

std::shared_ptr<platform::View> ListView::titleViewForHeaderInSection(ListView& list, int index) {
  auto section = list.dataOfSection(index);
  if (!section || !section->showHeader() || section->title().empty()) return nullptr;
  auto view = std::make_shared<platform::View>();
  double margin = list.isGroupedTable() ? 20 : 10;
  auto label = std::make_shared<platform::Label>(
      platform::Rect{{margin, 10}, {list.bounds().size.width - 2 * margin, 10}});
  label->setText(section->title());
  label->setBackgroundColor(platform::Color::clear());
  AppSkin::apply(label, "skinTableTitle", {});
  label::autoFitHeight(*label);
  view->addSubview(label);
  view::heightFromSubViewsWithBottomMargin(*view, 10);
  return view;
}

// --- Table data source and delegate -----------------------------------------------------------

int ListView::numberOfRowsInSection(platform::TableView&, int index) {
  auto section = dataOfSection(index);
  if (!section) return 0;
  int n = static_cast<int>(section->count());
  ListViewDataStatus status = section->listViewDataStatus();
  if (status == ListViewDataStatus::Idle) return n;
  if (status == ListViewDataStatus::Loaded && section->loadFinished()) return n == 0 ? 1 : n;
  if (status == ListViewDataStatus::Loaded && !section->hasNextPage() && section->isLoadDataOK()) return n;
  return n + 1;
}

std::shared_ptr<platform::TableViewCell> ListView::cellForRowAtIndexPath(platform::TableView&,
                                                                         const IndexPath& ip) {
  return cellWithClass(cellClassAtIndexPath(ip), ip);
}

std::optional<int> ListView::numberOfSectionsInTableView(platform::TableView&) {
  return static_cast<int>(sections_.size());
}

std::optional<std::string> ListView::titleForHeaderInSection(platform::TableView&, int index) {
  auto section = dataOfSection(index);
  if (!section || !section->showHeader() || section->mHeaderViewClass() || section->title().empty())
    return std::nullopt;
  return section->title();
}

std::optional<bool> ListView::canEditRowAtIndexPath(platform::TableView&, const IndexPath& ip) {
  auto section = dataOfSection(ip.section);
  if (!section) return false;
  std::size_t n = section->count();
  if (section->loadFinished() && n == 0) return false;
  if (ip.row < 0 || static_cast<std::size_t>(ip.row) >= n) return false;
  if (auto c = ctrl()) {
    if (auto answer = c->listViewCanEditRowAtIndexPath(*this, ip)) return *answer;
  }
  return allowEditCell_ || isEditing();
}

bool ListView::commitEditingStyle(platform::TableView&, platform::TableViewCellEditingStyle style,
                                  const IndexPath& ip) {
  if (style != platform::TableViewCellEditingStyle::Delete) return true;
  auto keep = self();
  auto cell = std::dynamic_pointer_cast<DataTableCell>(platform::TableView::cellForRowAtIndexPath(ip));
  if (cell) {
    cell->setListView(this);
    cell->setIndexPath(ip);
    cell->setDetail(dataOfIndexPath(ip));
    if (auto c = ctrl()) {
      auto answer = c->listViewRemoveCell(*this, *cell);
      if (answer && !*answer) return true;
    }
  }
  deleteRowsAtIndexPaths({ip}, platform::TableViewRowAnimation::Fade);
  return true;
}

std::optional<double> ListView::heightForRowAtIndexPath(platform::TableView&, const IndexPath& ip) {
  auto section = dataOfSection(ip.section);
  if (!section || !section->isCellCustomHeight()) return 44.0;
  ClassPtr cls = cellClassAtIndexPath(ip);
  if (!cls) return 44.0;
  return cls->callClassFunction(&CellClassFunctions::heightForCell, *this, ip).value_or(44.0);
}

std::shared_ptr<platform::View> ListView::sectionView(int index, bool header) {
  auto section = dataOfSection(index);
  if (!section) return nullptr;
  if (header ? !section->showHeader() : !section->showFooter()) return nullptr;
  const ClassPtr& cls = header ? section->mHeaderViewClass() : section->mFooterViewClass();
  if (!cls) return nullptr;
  auto view = cls->callClassFunction(header ? &SectionViewClassFunctions::viewForHeaderInSection
                                            : &SectionViewClassFunctions::viewForFooterInSection,
                                     *this, index);
  return view ? *view : nullptr;
}

std::optional<double> ListView::heightForHeaderInSection(platform::TableView&, int index) {
  auto section = dataOfSection(index);
  if (!section || !section->showHeader()) return 0.0;
  if (!section->mHeaderViewClass()) return 44.0;
  auto view = sectionView(index, true);
  return view ? view->frame().size.height : 0.0;
}

std::optional<double> ListView::heightForFooterInSection(platform::TableView&, int index) {
  auto view = sectionView(index, false);
  return view ? view->frame().size.height : 0.0;
}

std::shared_ptr<platform::View> ListView::viewForHeaderInSection(platform::TableView&, int index) {
  return sectionView(index, true);
}

std::shared_ptr<platform::View> ListView::viewForFooterInSection(platform::TableView&, int index) {
  return sectionView(index, false);
}

void ListView::didSelectRowAtIndexPath(platform::TableView&, const IndexPath& ip) {
  auto keep = self();
  deselectRowAtIndexPath(ip, true);
  auto section = dataOfSection(ip.section);
  if (!section) return;
  std::size_t n = section->count();
  if (ip.row >= 0 && static_cast<std::size_t>(ip.row) < n) {
    if (auto c = ctrl()) c->listViewSelectedIndexPath(*this, ip);
    return;
  }
  if (section->listViewDataStatus() != ListViewDataStatus::Loaded) return;
  if (section->isLoadDataOK()) {
    if (n == 0 && section->loadFinished()) {
      section->refreshData();
    } else {
      if (auto c = ctrl()) c->listViewOnTurnPage(*this, ip);
      section->loadDataforNextPage();
    }
    return;
  }
  if (auto c = ctrl()) {
    if (c->listViewLoadData(*this, ip)) return;
  }
  section->loadData();
}

void ListView::accessoryButtonTappedForRowWithIndexPath(platform::TableView&, const IndexPath& ip) {
  if (auto c = ctrl()) c->listViewAccessoryButtonTappedForRowWithIndexPath(*this, ip);
}

void ListView::scrollViewDidEndDecelerating(platform::ScrollView&) { autoCheckAndLoadNextPage(); }

void ListView::scrollViewDidEndScrollingAnimation(platform::ScrollView&) { autoCheckAndLoadNextPage(); }

}  // namespace kavro
