#include "platform/ui/TableView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Error.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

namespace {

// Where index i (not removed) lands after the removals and insertions (ascending).
int mapIndex(int i, const std::set<int>& removed, const std::set<int>& inserted) {
  int m = i;
  for (int r : removed)
    if (r < i) --m;
  for (int x : inserted)
    if (x <= m) ++m;
  return m;
}

std::set<int> rowsOf(const std::set<IndexPath>& ips, int section) {
  std::set<int> out;
  for (const auto& ip : ips)
    if (ip.section == section) out.insert(ip.row);
  return out;
}

struct Flag {
  explicit Flag(bool& b) : b_(b) { b_ = true; }
  ~Flag() { b_ = false; }
  bool& b_;
};

}  // namespace

int TableView::SectionLayout::firstRowEndingAtOrBelow(double y) const {
  auto endsAbove = [this, y](int r) { return rowY[std::size_t(r)] + rowHeight[std::size_t(r)] < y; };
  // Scrolling moves the answer by a row or two at a time: try the last one and its neighbours.
  for (int r : {lastFirstRow, lastFirstRow + 1, lastFirstRow - 1}) {
    if (r < 0 || r > rows) continue;
    if ((r == rows || !endsAbove(r)) && (r == 0 || endsAbove(r - 1))) return lastFirstRow = r;
  }
  int lo = 0, hi = rows;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (rowY[std::size_t(mid)] + rowHeight[std::size_t(mid)] < y)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lastFirstRow = lo;
}

TableView::TableView(Rect frame, TableViewStyle style)
    : ScrollView(frame),
      style_(style),
      sectionHeaderHeight_(style == TableViewStyle::Grouped ? 10 : 22),
      sectionFooterHeight_(style == TableViewStyle::Grouped ? 10 : 22) {
  setBackgroundColor(style == TableViewStyle::Grouped ? Color::groupTableViewBackground() : Color::white());
  setAlwaysBounceVertical(true);
}

TableView::~TableView() = default;

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> d) {
  tableDelegate_ = d;
  ScrollView::setDelegate(std::move(d));
}

void TableView::setBackgroundView(std::shared_ptr<View> v) {
  if (backgroundView_) backgroundView_->removeFromSuperview();
  backgroundView_ = std::move(v);
  if (backgroundView_) {
    backgroundView_->setFrame(bounds());
    insertSubview(backgroundView_, 0);
  }
}

void TableView::setTableHeaderView(std::shared_ptr<View> v) {
  if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
  tableHeaderView_ = std::move(v);
  if (tableHeaderView_) addSubview(tableHeaderView_);
  if (loaded_) {
    computeLayout();
    tile();
  }
}

void TableView::setTableFooterView(std::shared_ptr<View> v) {
  if (tableFooterView_) tableFooterView_->removeFromSuperview();
  tableFooterView_ = std::move(v);
  if (tableFooterView_) addSubview(tableFooterView_);
  if (loaded_) {
    computeLayout();
    tile();
  }
}

void TableView::setEditing(bool editing, bool animated) {
  ensureLoaded();
  editing_ = editing;
  hideDeleteConfirmation();
  for (auto& [ip, cell] : std::map<IndexPath, std::shared_ptr<TableViewCell>>(visible_)) {
    cell->setEditing(editing, animated);
    updateEditControl(*cell, ip);
  }
}

void TableView::ensureLoaded() {
  if (!loaded_) load();
}

void TableView::reloadData() { load(); }

void TableView::load() {
  auto self = weak_from_this().lock();
  loaded_ = true;
  hideDeleteConfirmation();
  for (auto& [ip, cell] : std::map<IndexPath, std::shared_ptr<TableViewCell>>(visible_)) recycle(cell);
  visible_.clear();
  for (auto& [s, v] : headers_) v->removeFromSuperview();
  for (auto& [s, v] : footers_) v->removeFromSuperview();
  headers_.clear();
  footers_.clear();
  selected_.reset();
  computeLayout();
  tile();
}

void TableView::layoutSectionEnds(SectionLayout& l, int s, bool header) {
  auto ds = dataSource_.lock();
  auto d = tableDelegate();
  const bool grouped = style_ == TableViewStyle::Grouped;
  std::optional<std::string>& title = header ? l.headerTitle : l.footerTitle;
  title = header ? ds->titleForHeaderInSection(*this, s) : ds->titleForFooterInSection(*this, s);
  if (title && title->empty()) title.reset();
  const double base = header ? sectionHeaderHeight_ : sectionFooterHeight_;
  std::optional<double> h =
      d ? (header ? d->heightForHeaderInSection(*this, s) : d->heightForFooterInSection(*this, s))
        : std::nullopt;
  if (!h) h = title ? base + (grouped ? 36 : 0) : (grouped ? base : 0);
  (header ? l.headerHeight : l.footerHeight) = std::max(0.0, *h);
}

double TableView::askRowHeight(TableViewDelegate* d, int s, int r) {
  double h = rowHeight_;
  if (d)
    if (auto dh = d->heightForRowAtIndexPath(*this, IndexPath{s, r})) h = *dh;
  return std::max(0.0, h);
}

double TableView::layoutTableEnds() {
  double width = bounds().size.width;
  double y = tableHeaderView_ ? tableHeaderView_->frame().size.height : 0;
  if (tableHeaderView_) tableHeaderView_->setFrame(Rect(0, 0, width, y));
  return y;
}

void TableView::finishLayout(double y) {
  double width = bounds().size.width;
  if (tableFooterView_) {
    double fh = tableFooterView_->frame().size.height;
    tableFooterView_->setFrame(Rect(0, y, width, fh));
    y += fh;
  }
  contentHeight_ = y;
  setContentSize(Size{width, y});
}

void TableView::computeLayout() {
  sections_.clear();
  auto ds = dataSource_.lock();
  auto d = tableDelegate();
  double y = layoutTableEnds();
  int n = ds ? std::max(0, ds->numberOfSectionsInTableView(*this).value_or(1)) : 0;
  for (int s = 0; s < n; ++s) {
    SectionLayout l;
    l.y = y;
    l.rows = std::max(0, ds->numberOfRowsInSection(*this, s));
    layoutSectionEnds(l, s, true);
    double ry = y + l.headerHeight;
    l.rowY.reserve(std::size_t(l.rows));
    l.rowHeight.reserve(std::size_t(l.rows));
    for (int r = 0; r < l.rows; ++r) {
      double h = askRowHeight(d.get(), s, r);
      l.rowY.push_back(ry);
      l.rowHeight.push_back(h);
      ry += h;
    }
    l.rowsHeight = ry - (y + l.headerHeight);
    layoutSectionEnds(l, s, false);
    y = ry + l.footerHeight;
    sections_.push_back(std::move(l));
  }
  finishLayout(y);
}

bool TableView::computeLayoutAfter(const Update& u) {
  // Sections and rows that go away renumber the rest: those updates lay out everything again.
  if (!incrementalRowUpdates_ || !u.insertedSections.empty() || !u.deletedSections.empty() ||
      !u.reloadedSections.empty() || !u.deletedRows.empty())
    return false;
  auto ds = dataSource_.lock();
  if (!ds || std::max(0, ds->numberOfSectionsInTableView(*this).value_or(1)) != int(sections_.size()))
    return false;
  std::vector<int> newRows;
  for (int s = 0; s < int(sections_.size()); ++s) {
    newRows.push_back(std::max(0, ds->numberOfRowsInSection(*this, s)));
    if (newRows.back() != sections_[std::size_t(s)].rows + int(rowsOf(u.insertedRows, s).size()))
      return false;
  }
  // A row inserted where none can be (section or row out of range, -1 included) is refused by the
  // checks after the full layout; the rows below must never be read or written at its place.
  for (const auto& ip : u.insertedRows)
    if (ip.section < 0 || ip.section >= int(sections_.size()) || ip.row < 0 ||
        ip.row >= newRows[std::size_t(ip.section)])
      return false;
  // Rows before the first inserted or reloaded one keep their heights; only the section ends, the
  // new and reloaded rows are asked for, and what lies below moves.
  auto d = tableDelegate();
  double y = layoutTableEnds();
  for (int s = 0; s < int(sections_.size()); ++s) {
    SectionLayout& l = sections_[std::size_t(s)];
    const std::set<int> inserted = rowsOf(u.insertedRows, s);
    std::set<int> reloaded;
    for (int r : rowsOf(u.reloadedRows, s))
      if (r >= 0 && r < l.rows) reloaded.insert(r);
    const double oldTop = l.y + l.headerHeight;
    l.y = y;
    layoutSectionEnds(l, s, true);
    const double top = y + l.headerHeight;
    int first = newRows[std::size_t(s)];
    if (!inserted.empty()) first = std::min(first, *inserted.begin());
    if (!reloaded.empty()) first = std::min(first, mapIndex(*reloaded.begin(), {}, inserted));
    if (top != oldTop)
      for (int r = 0; r < first; ++r) l.rowY[std::size_t(r)] += top - oldTop;
    std::vector<double> heights;
    heights.reserve(std::size_t(newRows[std::size_t(s)] - first));
    int old = first;  // the old index of the next old row
    for (int r = first; r < newRows[std::size_t(s)]; ++r) {
      if (inserted.count(r)) {
        heights.push_back(askRowHeight(d.get(), s, r));
        continue;
      }
      heights.push_back(reloaded.count(old) ? askRowHeight(d.get(), s, r) : l.rowHeight[std::size_t(old)]);
      ++old;
    }
    l.rows = newRows[std::size_t(s)];
    l.rowY.resize(std::size_t(l.rows));
    l.rowHeight.resize(std::size_t(l.rows));
    double ry = first > 0 ? l.rowY[std::size_t(first - 1)] + l.rowHeight[std::size_t(first - 1)] : top;
    for (int r = first; r < l.rows; ++r) {
      const double h = heights[std::size_t(r - first)];
      l.rowY[std::size_t(r)] = ry;
      l.rowHeight[std::size_t(r)] = h;
      ry += h;
    }
    l.rowsHeight = ry - top;
    layoutSectionEnds(l, s, false);
    y = ry + l.footerHeight;
  }
  finishLayout(y);
  return true;
}

std::shared_ptr<View> TableView::makeTitleView(const std::string& title, double height) {
  double width = bounds().size.width;
  bool grouped = style_ == TableViewStyle::Grouped;
  auto v = std::make_shared<View>(Rect(0, 0, width, height));
  if (!grouped) v->setBackgroundColor(Color::rgba(0.6, 0.65, 0.7));
  auto label =
      std::make_shared<Label>(grouped ? Rect(20, std::max(0.0, height - 32), std::max(0.0, width - 40), 22)
                                      : Rect(12, 0, std::max(0.0, width - 24), height));
  label->setText(title);
  label->setBackgroundColor(std::nullopt);
  label->setFont(Font::boldSystemFontOfSize(grouped ? 17 : 18));
  label->setTextColor(grouped ? Color::rgba(0.3, 0.34, 0.42) : Color::white());
  v->addSubview(label);
  return v;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell) {
  cell->removeFromSuperview();
  cell->table_.reset();
  if (cell->deleteButton_) {
    cell->deleteButton_->removeFromSuperview();
    cell->deleteButton_.reset();
  }
  if (cell->editControl_) {
    cell->editControl_->removeFromSuperview();
    cell->editControl_.reset();
  }
  if (!cell->reuseIdentifier().empty()) pool_[cell->reuseIdentifier()].push_back(cell);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCellWithIdentifier(std::string_view identifier) {
  auto it = pool_.find(identifier);
  if (it == pool_.end() || it->second.empty()) return nullptr;
  auto cell = it->second.back();
  it->second.pop_back();
  cell->setSelected(false);
  cell->setHighlighted(false);
  cell->prepareForReuse();
  return cell;
}

void TableView::tile() {
  if (!loaded_ || tiling_) return;
  Flag guard(tiling_);
  // Taken before the first call out (which may let go of the table), not on every scroll step.
  std::shared_ptr<Object> self;
  std::shared_ptr<TableViewDataSource> ds;
  std::shared_ptr<TableViewDelegate> d;
  bool calledOut = false;
  auto callOut = [&] {
    if (calledOut) return;
    calledOut = true;
    self = weak_from_this().lock();
    ds = dataSource_.lock();
    d = tableDelegate();
  };
  Rect vis = bounds();
  double width = vis.size.width;
  if (backgroundView_) backgroundView_->setFrame(vis);

  std::vector<IndexPath>& want = want_;
  want.clear();
  for (int s = 0; s < int(sections_.size()); ++s) {
    const auto& l = sections_[s];
    if (l.y > vis.maxY() || l.y + l.height() < vis.minY()) continue;
    // Only the rows from the first one reaching the top of the bounds, up to the bottom.
    for (int r = l.firstRowEndingAtOrBelow(vis.minY()); r < l.rows && l.rowY[std::size_t(r)] < vis.maxY();
         ++r) {
      double top = l.rowY[std::size_t(r)], h = l.rowHeight[std::size_t(r)];
      bool in = h > 0 ? (top < vis.maxY() && top + h > vis.minY()) : (top >= vis.minY() && top < vis.maxY());
      if (in) want.push_back(IndexPath{s, r});
    }
  }
  // Both in order: one walk finds the cells that went out of view.
  auto w = want.begin();
  for (auto it = visible_.begin(); it != visible_.end();) {
    while (w != want.end() && *w < it->first) ++w;
    if (w == want.end() || it->first < *w) {
      auto cell = std::move(it->second);
      it = visible_.erase(it);
      recycle(cell);
    } else {
      ++it;
    }
  }
  // Frames are set only when they differ (outside animations, where setting one is a change too).
  const bool animating = View::isAnimating();
  View* previous = nullptr;
  auto shown = visible_.begin();
  for (const IndexPath& ip : want) {
    const auto& l = sections_[std::size_t(ip.section)];
    Rect f(0, l.rowY[std::size_t(ip.row)], width, l.rowHeight[std::size_t(ip.row)]);
    while (shown != visible_.end() && shown->first < ip) ++shown;
    if (shown != visible_.end() && shown->first == ip) {
      TableViewCell* cell = shown->second.get();
      if (animating || !(cell->frame() == f)) cell->setFrame(f);
      previous = cell;
      ++shown;
      continue;
    }
    callOut();
    if (!ds) break;
    // The data source may reload the table and let the cell before this one go.
    std::shared_ptr<Object> pinned = previous ? previous->weak_from_this().lock() : nullptr;
    auto cell = ds->cellForRowAtIndexPath(*this, ip);
    if (!cell)
      throw InternalInconsistencyException(
          "TableView dataSource must return a cell from cellForRowAtIndexPath");
    cell->setFrame(f);
    // The data source has just set the cell's texts: a reused cell of the same frame lays its
    // labels out again for them.
    cell->setNeedsLayout();
    cell->grouped_ = style_ == TableViewStyle::Grouped;
    cell->table_ = std::static_pointer_cast<TableView>(self);
    cell->setSelected(selected_ == ip);
    cell->setEditing(editing_);
    visible_.insert_or_assign(ip, cell);
    if (previous)
      insertSubviewAbove(cell, previous);
    else
      insertSubview(cell, (backgroundView_ ? 1 : 0) + (tableHeaderView_ ? 1 : 0));
    updateEditControl(*cell, ip);
    if (d) d->willDisplayCell(*this, *cell, ip);
    previous = cell.get();
    // Looked up afresh: the callbacks may have changed the visible cells.
    shown = visible_.upper_bound(ip);
  }

  auto headerLike = [&](std::map<int, std::shared_ptr<View>>& shown, bool header) {
    for (int s = 0; s < int(sections_.size()); ++s) {
      const auto& l = sections_[std::size_t(s)];
      double h = header ? l.headerHeight : l.footerHeight;
      double y = header ? l.y : l.y + l.height() - l.footerHeight;
      bool in = h > 0 && y < vis.maxY() && y + h > vis.minY();
      auto it = shown.find(s);
      if (!in) {
        if (it != shown.end()) {
          it->second->removeFromSuperview();
          shown.erase(it);
        }
        continue;
      }
      std::shared_ptr<View> v;
      if (it != shown.end()) {
        v = it->second;
      } else {
        callOut();
        v = d ? (header ? d->viewForHeaderInSection(*this, s) : d->viewForFooterInSection(*this, s))
              : nullptr;
        const auto& title = header ? l.headerTitle : l.footerTitle;
        if (!v && title) v = makeTitleView(*title, h);
        if (!v) continue;
        shown[s] = v;
      }
      v->setFrame(Rect(0, y, width, h));
      if (v->superviewPointer() != this)
        addSubview(v);
      else
        bringSubviewToFront(v.get());
    }
  };
  headerLike(headers_, true);
  headerLike(footers_, false);
}

void TableView::layoutSubviews() {
  ensureLoaded();
  tile();
}

void TableView::boundsDidChange(const Rect& old) {
  ScrollView::boundsDidChange(old);
  if (!loaded_) return;
  if (old.size.width != bounds().size.width) computeLayout();
  tile();
}

int TableView::numberOfSections() {
  ensureLoaded();
  return int(sections_.size());
}

int TableView::numberOfRowsInSection(int section) {
  ensureLoaded();
  if (section < 0 || section >= int(sections_.size())) return 0;
  return sections_[std::size_t(section)].rows;
}

bool TableView::validRow(const IndexPath& ip) const {
  return ip.section >= 0 && ip.section < int(sections_.size()) && ip.row >= 0 &&
         ip.row < sections_[std::size_t(ip.section)].rows;
}

Rect TableView::rectForSection(int section) {
  ensureLoaded();
  if (section < 0 || section >= int(sections_.size())) return Rect();
  const auto& l = sections_[std::size_t(section)];
  return Rect(0, l.y, bounds().size.width, l.height());
}

Rect TableView::rectForRowAtIndexPath(const IndexPath& ip) {
  ensureLoaded();
  if (!validRow(ip)) return Rect();
  const auto& l = sections_[std::size_t(ip.section)];
  return Rect(0, l.rowY[std::size_t(ip.row)], bounds().size.width, l.rowHeight[std::size_t(ip.row)]);
}

Rect TableView::rectForHeaderInSection(int section) {
  ensureLoaded();
  if (section < 0 || section >= int(sections_.size())) return Rect();
  const auto& l = sections_[std::size_t(section)];
  return Rect(0, l.y, bounds().size.width, l.headerHeight);
}

Rect TableView::rectForFooterInSection(int section) {
  ensureLoaded();
  if (section < 0 || section >= int(sections_.size())) return Rect();
  const auto& l = sections_[std::size_t(section)];
  return Rect(0, l.y + l.height() - l.footerHeight, bounds().size.width, l.footerHeight);
}

std::optional<IndexPath> TableView::indexPathForRowAtPoint(Point p) {
  ensureLoaded();
  for (int s = 0; s < int(sections_.size()); ++s) {
    const auto& l = sections_[std::size_t(s)];
    for (int r = l.firstRowEndingAtOrBelow(p.y); r < l.rows && l.rowY[std::size_t(r)] <= p.y; ++r) {
      double top = l.rowY[std::size_t(r)];
      if (p.y >= top && p.y < top + l.rowHeight[std::size_t(r)]) return IndexPath{s, r};
    }
  }
  return std::nullopt;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell* cell) const {
  for (auto& [ip, c] : visible_)
    if (c.get() == cell) return ip;
  return std::nullopt;
}

std::vector<IndexPath> TableView::indexPathsForRowsInRect(const Rect& rect) {
  ensureLoaded();
  std::vector<IndexPath> out;
  for (int s = 0; s < int(sections_.size()); ++s) {
    const auto& l = sections_[std::size_t(s)];
    for (int r = l.firstRowEndingAtOrBelow(rect.minY()); r < l.rows && l.rowY[std::size_t(r)] < rect.maxY();
         ++r) {
      double top = l.rowY[std::size_t(r)];
      if (top < rect.maxY() && top + l.rowHeight[std::size_t(r)] > rect.minY())
        out.push_back(IndexPath{s, r});
    }
  }
  return out;
}

std::shared_ptr<TableViewCell> TableView::cellForRowAtIndexPath(const IndexPath& ip) {
  ensureLoaded();
  auto it = visible_.find(ip);
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() {
  ensureLoaded();
  std::vector<std::shared_ptr<TableViewCell>> out;
  for (auto& [ip, c] : visible_) out.push_back(c);
  return out;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
  ensureLoaded();
  std::vector<IndexPath> out;
  for (auto& [ip, c] : visible_) out.push_back(ip);
  return out;
}

std::shared_ptr<View> TableView::headerViewForSection(int section) {
  ensureLoaded();
  auto it = headers_.find(section);
  return it == headers_.end() ? nullptr : it->second;
}

void TableView::scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated) {
  ensureLoaded();
  if (!validRow(ip)) throw RangeException("attempt to scroll to invalid index path " + ip.description());
  Rect r = rectForRowAtIndexPath(ip);
  Rect b = bounds();
  Point o = b.origin;
  switch (position) {
    case TableViewScrollPosition::None:
      if (r.maxY() > b.maxY()) o.y = r.maxY() - b.size.height;
      if (r.minY() < o.y) o.y = r.minY();
      break;
    case TableViewScrollPosition::Top:
      o.y = r.minY();
      break;
    case TableViewScrollPosition::Middle:
      o.y = r.midY() - b.size.height / 2;
      break;
    case TableViewScrollPosition::Bottom:
      o.y = r.maxY() - b.size.height;
      break;
  }
  Point lo = minimumContentOffset(), hi = maximumContentOffset();
  o.y = std::clamp(o.y, lo.y, hi.y);
  setContentOffset(o, animated);
}

void TableView::beginUpdates() {
  ensureLoaded();
  ++updateDepth_;
}

void TableView::endUpdates() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ > 0) return;
  Update u = std::move(pending_);
  pending_ = Update{};
  applyUpdate(u);
}

void TableView::insertSections(const std::vector<int>& sections, TableViewRowAnimation) {
  beginUpdates();
  pending_.insertedSections.insert(sections.begin(), sections.end());
  endUpdates();
}
void TableView::deleteSections(const std::vector<int>& sections, TableViewRowAnimation) {
  beginUpdates();
  pending_.deletedSections.insert(sections.begin(), sections.end());
  endUpdates();
}
void TableView::reloadSections(const std::vector<int>& sections, TableViewRowAnimation) {
  beginUpdates();
  pending_.reloadedSections.insert(sections.begin(), sections.end());
  endUpdates();
}
void TableView::insertRowsAtIndexPaths(const std::vector<IndexPath>& ips, TableViewRowAnimation) {
  beginUpdates();
  pending_.insertedRows.insert(ips.begin(), ips.end());
  endUpdates();
}
void TableView::deleteRowsAtIndexPaths(const std::vector<IndexPath>& ips, TableViewRowAnimation) {
  beginUpdates();
  pending_.deletedRows.insert(ips.begin(), ips.end());
  endUpdates();
}
void TableView::reloadRowsAtIndexPaths(const std::vector<IndexPath>& ips, TableViewRowAnimation) {
  beginUpdates();
  pending_.reloadedRows.insert(ips.begin(), ips.end());
  endUpdates();
}

void TableView::applyUpdate(const Update& u) {
  auto self = weak_from_this().lock();
  std::vector<int> oldRows;
  for (auto& l : sections_) oldRows.push_back(l.rows);
  int oldN = int(oldRows.size());
  hideDeleteConfirmation();
  for (int s : u.deletedSections)
    if (s < 0 || s >= oldN)
      throw InternalInconsistencyException("attempt to delete section " + std::to_string(s) +
                                           ", but there are only " + std::to_string(oldN) +
                                           " sections before the update");
  for (const auto& ip : u.deletedRows)
    if (ip.section < 0 || ip.section >= oldN || ip.row < 0 || ip.row >= oldRows[std::size_t(ip.section)])
      throw InternalInconsistencyException("attempt to delete row " + std::to_string(ip.row) +
                                           " from section " + std::to_string(ip.section) +
                                           " which does not exist before the update");
  if (!computeLayoutAfter(u)) computeLayout();
  int newN = int(sections_.size());
  int expected = oldN - int(u.deletedSections.size()) + int(u.insertedSections.size());
  if (newN != expected)
    throw InternalInconsistencyException(
        "Invalid update: invalid number of sections. The number of sections contained in the table view "
        "after the "
        "update (" +
        std::to_string(newN) +
        ") must be equal to the number of sections contained in the table view "
        "before the update (" +
        std::to_string(oldN) + "), plus or minus the number of sections inserted or deleted (" +
        std::to_string(u.insertedSections.size()) + " inserted, " + std::to_string(u.deletedSections.size()) +
        " deleted).");
  for (const auto& ip : u.insertedRows)
    if (ip.section < 0 || ip.section >= newN || ip.row < 0 ||
        ip.row >= sections_[std::size_t(ip.section)].rows)
      throw InternalInconsistencyException("attempt to insert row " + std::to_string(ip.row) +
                                           " into section " + std::to_string(ip.section) +
                                           " which does not exist after the update");
  for (int s = 0; s < oldN; ++s) {
    if (u.deletedSections.count(s) || u.reloadedSections.count(s)) continue;
    int ns = mapIndex(s, u.deletedSections, u.insertedSections);
    int want = oldRows[std::size_t(s)] - int(rowsOf(u.deletedRows, s).size()) +
               int(rowsOf(u.insertedRows, ns).size());
    int have = sections_[std::size_t(ns)].rows;
    if (have != want)
      throw InternalInconsistencyException(
          "Invalid update: invalid number of rows in section " + std::to_string(ns) +
          ". The number of rows contained in an existing section after the update (" + std::to_string(have) +
          ") must be equal to the number of rows contained in that section before the update (" +
          std::to_string(oldRows[std::size_t(s)]) +
          "), plus or minus the number of rows inserted or deleted from "
          "that section.");
  }
  auto remap = [&](const IndexPath& ip) -> std::optional<IndexPath> {
    if (u.deletedSections.count(ip.section) || u.reloadedSections.count(ip.section) ||
        u.deletedRows.count(ip) || u.reloadedRows.count(ip))
      return std::nullopt;
    int ns = mapIndex(ip.section, u.deletedSections, u.insertedSections);
    int nr = mapIndex(ip.row, rowsOf(u.deletedRows, ip.section), rowsOf(u.insertedRows, ns));
    return IndexPath{ns, nr};
  };
  std::map<IndexPath, std::shared_ptr<TableViewCell>> moved;
  for (auto& [ip, cell] : visible_) {
    if (auto to = remap(ip))
      moved[*to] = cell;
    else
      recycle(cell);
  }
  visible_ = std::move(moved);
  if (selected_) selected_ = remap(*selected_);
  for (auto& [s, v] : headers_) v->removeFromSuperview();
  for (auto& [s, v] : footers_) v->removeFromSuperview();
  headers_.clear();
  footers_.clear();
  tile();
}

void TableView::selectRowAtIndexPath(std::optional<IndexPath> ip, bool animated,
                                     TableViewScrollPosition position) {
  ensureLoaded();
  if (!ip) {
    if (selected_) deselectRowAtIndexPath(*selected_, animated);
    return;
  }
  if (!validRow(*ip)) return;
  if (selected_ && *selected_ != *ip) deselectRowAtIndexPath(*selected_, animated);
  selected_ = ip;
  if (auto cell = cellForRowAtIndexPath(*ip)) cell->setSelected(true, animated);
  if (position != TableViewScrollPosition::None) scrollToRowAtIndexPath(*ip, position, animated);
}

void TableView::deselectRowAtIndexPath(const IndexPath& ip, bool animated) {
  if (selected_ == ip) selected_.reset();
  if (auto cell = cellForRowAtIndexPath(ip)) cell->setSelected(false, animated);
}

bool TableView::tapRowAtIndexPath(const IndexPath& ip) {
  ensureLoaded();
  auto self = weak_from_this().lock();
  if (!validRow(ip)) return false;
  if (confirming_) {
    hideDeleteConfirmation();
    return false;
  }
  if (editing_ ? !allowsSelectionDuringEditing_ : !allowsSelection_) return false;
  auto d = tableDelegate();
  std::optional<IndexPath> target = d ? d->willSelectRowAtIndexPath(*this, ip) : std::optional<IndexPath>(ip);
  if (!target || !validRow(*target)) return false;
  if (selected_ && *selected_ != *target) {
    IndexPath old = *selected_;
    std::optional<IndexPath> des =
        d ? d->willDeselectRowAtIndexPath(*this, old) : std::optional<IndexPath>(old);
    if (des) {
      deselectRowAtIndexPath(*des, false);
      if (d) d->didDeselectRowAtIndexPath(*this, *des);
    }
  }
  selected_ = target;
  if (auto cell = cellForRowAtIndexPath(*target)) cell->setSelected(true);
  if (d) d->didSelectRowAtIndexPath(*this, *target);
  return true;
}

bool TableView::canEdit(const IndexPath& ip) {
  auto ds = dataSource_.lock();
  return ds && ds->canEditRowAtIndexPath(*this, ip).value_or(true);
}

TableViewCellEditingStyle TableView::editingStyle(const IndexPath& ip) {
  auto d = tableDelegate();
  return d ? d->editingStyleForRowAtIndexPath(*this, ip).value_or(TableViewCellEditingStyle::Delete)
           : TableViewCellEditingStyle::Delete;
}

void TableView::updateEditControl(TableViewCell& cell, const IndexPath& ip) {
  TableViewCellEditingStyle style =
      editing_ && canEdit(ip) ? editingStyle(ip) : TableViewCellEditingStyle::None;
  if (style == TableViewCellEditingStyle::None) {
    if (cell.editControl_) {
      cell.editControl_->removeFromSuperview();
      cell.editControl_.reset();
      cell.setNeedsLayout();
    }
    return;
  }
  if (cell.editControl_) return;
  auto button = Button::buttonWithType(ButtonType::Custom);
  bool del = style == TableViewCellEditingStyle::Delete;
  button->setTitle(del ? "\u2212" : "+");
  button->setBackgroundColor(del ? Color::red() : Color::green());
  button->setCornerRadius(14);
  button->setAccessibilityLabel(del ? "Delete control" : "Insert control");
  std::weak_ptr<TableView> weakTable = std::static_pointer_cast<TableView>(weak_from_this().lock());
  std::weak_ptr<TableViewCell> weakCell =
      std::static_pointer_cast<TableViewCell>(cell.weak_from_this().lock());
  button->addTarget(this, ControlEvent::TouchUpInside, [weakTable, weakCell, del](Control&) {
    auto t = weakTable.lock();
    auto c = weakCell.lock();
    if (!t || !c) return;
    auto ip = t->indexPathForCell(c.get());
    if (!ip) return;
    if (del) {
      t->showDeleteConfirmation(*ip);
    } else if (auto ds = t->dataSource_.lock()) {
      ds->commitEditingStyle(*t, TableViewCellEditingStyle::Insert, *ip);
    }
  });
  cell.editControl_ = button;
  cell.addSubview(button);
  cell.setNeedsLayout();
}

bool TableView::showDeleteConfirmation(const IndexPath& ip) {
  ensureLoaded();
  auto self = weak_from_this().lock();
  if (!validRow(ip) || !canEdit(ip) || editingStyle(ip) != TableViewCellEditingStyle::Delete) return false;
  hideDeleteConfirmation();
  auto d = tableDelegate();
  if (d) d->willBeginEditingRowAtIndexPath(*this, ip);
  confirming_ = ip;
  if (auto cell = cellForRowAtIndexPath(ip)) {
    std::string title = "Delete";
    if (d)
      if (auto t = d->titleForDeleteConfirmationButtonForRowAtIndexPath(*this, ip)) title = *t;
    auto button = Button::buttonWithType(ButtonType::Custom);
    button->setTitle(title);
    button->setBackgroundColor(Color::rgba(0.8, 0.1, 0.1));
    button->setCornerRadius(5);
    std::weak_ptr<TableView> weak = std::static_pointer_cast<TableView>(self);
    button->addTarget(this, ControlEvent::TouchUpInside, [weak](Control&) {
      if (auto t = weak.lock()) t->commitDeleteConfirmation();
    });
    cell->deleteButton_ = button;
    cell->addSubview(button);
    cell->setNeedsLayout();
    cell->layoutIfNeeded();
  }
  return true;
}

bool TableView::commitDeleteConfirmation() {
  if (!confirming_) return false;
  auto self = weak_from_this().lock();
  IndexPath ip = *confirming_;
  hideDeleteConfirmation();
  if (auto ds = dataSource_.lock()) ds->commitEditingStyle(*this, TableViewCellEditingStyle::Delete, ip);
  return true;
}

void TableView::hideDeleteConfirmation() {
  if (!confirming_) return;
  IndexPath ip = *confirming_;
  confirming_.reset();
  for (auto& [p, cell] : visible_) {
    if (!cell->deleteButton_) continue;
    cell->deleteButton_->removeFromSuperview();
    cell->deleteButton_.reset();
    cell->setNeedsLayout();
  }
  if (auto d = tableDelegate()) d->didEndEditingRowAtIndexPath(*this, ip);
}

void TableView::accessoryButtonTapped(TableViewCell& cell) {
  auto ip = indexPathForCell(&cell);
  if (!ip) return;
  if (auto d = tableDelegate()) d->accessoryButtonTappedForRowWithIndexPath(*this, *ip);
}

void TableView::touchesEnded(const Touch& t) {
  for (View* v = t.view().get(); v && v != this; v = v->superviewPointer()) {
    auto* cell = dynamic_cast<TableViewCell*>(v);
    if (cell && cell->superviewPointer() == this) {
      if (auto ip = indexPathForCell(cell)) tapRowAtIndexPath(*ip);
      return;
    }
  }
  hideDeleteConfirmation();
}

void TableView::describeProperties(std::vector<std::string>& out) const {
  if (style_ == TableViewStyle::Grouped) out.push_back("grouped");
  if (selected_) out.push_back("selected=" + selected_->description());
  if (editing_) out.push_back("editing");
  ScrollView::describeProperties(out);
}

}  // namespace platform
