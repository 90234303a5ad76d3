#pragma once
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/IndexPath.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"

namespace platform {

class TableView;

// The platform's values.
enum class TableViewStyle { Plain = 0, Grouped = 1 };
enum class TableViewScrollPosition { None = 0, Top = 1, Middle = 2, Bottom = 3 };
enum class TableViewRowAnimation {
  Fade = 0,
  Right = 1,
  Left = 2,
  Top = 3,
  Bottom = 4,
  None = 5,
  Middle = 6,
  Automatic = 100
};
enum class TableViewCellSeparatorStyle { None = 0, SingleLine = 1, SingleLineEtched = 2 };

// Where a table's rows come from. The two first methods are required; the others are optional
// (an empty answer, or false from commitEditingStyle, means "not implemented").
class TableViewDataSource {
 public:
  virtual ~TableViewDataSource() = default;
  virtual int numberOfRowsInSection(TableView& tv, int section) = 0;
  // Must not answer null (InternalInconsistencyException, as on the platform).
  virtual std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tv, const IndexPath& ip) = 0;
  // One section when not implemented.
  virtual std::optional<int> numberOfSectionsInTableView(TableView& tv) { return std::nullopt; }
  virtual std::optional<std::string> titleForHeaderInSection(TableView& tv, int section) {
    return std::nullopt;
  }
  virtual std::optional<std::string> titleForFooterInSection(TableView& tv, int section) {
    return std::nullopt;
  }
  // Every row may be edited when not implemented.
  virtual std::optional<bool> canEditRowAtIndexPath(TableView& tv, const IndexPath& ip) {
    return std::nullopt;
  }
  // True when handled.
  virtual bool commitEditingStyle(TableView& tv, TableViewCellEditingStyle style, const IndexPath& ip) {
    return false;
  }
};

// Told and asked about rows, headers, selection and editing; every method optional (an empty
// answer means "not implemented"; the will-select questions answer the row itself by default).
class TableViewDelegate : public ScrollViewDelegate {
 public:
  virtual std::optional<double> heightForRowAtIndexPath(TableView& tv, const IndexPath& ip) {
    return std::nullopt;
  }
  virtual std::optional<double> heightForHeaderInSection(TableView& tv, int section) { return std::nullopt; }
  virtual std::optional<double> heightForFooterInSection(TableView& tv, int section) { return std::nullopt; }
  virtual std::shared_ptr<View> viewForHeaderInSection(TableView& tv, int section) { return nullptr; }
  virtual std::shared_ptr<View> viewForFooterInSection(TableView& tv, int section) { return nullptr; }
  virtual void willDisplayCell(TableView& tv, TableViewCell& cell, const IndexPath& ip) {}
  // The row to select instead, or none to refuse.
  virtual std::optional<IndexPath> willSelectRowAtIndexPath(TableView& tv, const IndexPath& ip) { return ip; }
  virtual void didSelectRowAtIndexPath(TableView& tv, const IndexPath& ip) {}
  virtual std::optional<IndexPath> willDeselectRowAtIndexPath(TableView& tv, const IndexPath& ip) {
    return ip;
  }
  virtual void didDeselectRowAtIndexPath(TableView& tv, const IndexPath& ip) {}
  virtual void accessoryButtonTappedForRowWithIndexPath(TableView& tv, const IndexPath& ip) {}
  // Delete when not implemented.
  virtual std::optional<TableViewCellEditingStyle> editingStyleForRowAtIndexPath(TableView& tv,
                                                                                 const IndexPath& ip) {
    return std::nullopt;
  }
  // "Delete" when not implemented.
  virtual std::optional<std::string> titleForDeleteConfirmationButtonForRowAtIndexPath(TableView& tv,
                                                                                       const IndexPath& ip) {
    return std::nullopt;
  }
  virtual void willBeginEditingRowAtIndexPath(TableView& tv, const IndexPath& ip) {}
  virtual void didEndEditingRowAtIndexPath(TableView& tv, const IndexPath& ip) {}
};

// A scrolling list of sections of rows. Layout (deterministic, recomputed by reloadData and every
// update): the table header view at the top, then per section its header, its rows and its
// footer, then the table footer view; the content size is the table's width by the sum.
//   Row height: the delegate's, else rowHeight (44).
//   Header height: the delegate's, else with a title sectionHeaderHeight (22) in a plain table
//   and sectionHeaderHeight + 36 in a grouped one, without a title 0 in a plain table and
//   sectionHeaderHeight (10) in a grouped one. Footers alike with sectionFooterHeight.
// Cells exist only for the rows whose rectangles meet the bounds (a row of height 0 counts when
// its top lies within them): they are asked from the data source in row order when they come into
// view and go to the reuse pool of their identifier when they leave it (or on reloadData, which
// asks for every visible row again). dequeueReusableCellWithIdentifier hands pooled cells out
// after prepareForReuse. Header and footer views (the delegate's, else a label view for a title)
// are asked for when they come into view.
// Updates (insert/delete/reload of rows or sections, alone or between beginUpdates and
// endUpdates) check the data source's new counts against the old ones plus the changes, as the
// platform does (InternalInconsistencyException when they disagree), keep the cells of untouched
// rows and move the selection along.
// A tap on a row (not on a control inside it) selects it: willSelect, deselection of the old row
// (willDeselect, didDeselect), didSelect. A horizontal swipe on a row, or a tap on its edit control
// while editing, shows a delete confirmation button on it; tapping that button commits the delete
// through the data source. The table loads its data on first layout or first question.
class TableView : public ScrollView {
 public:
  explicit TableView(Rect frame = {}, TableViewStyle style = TableViewStyle::Plain);
  ~TableView() override;

  TableViewStyle style() const { return style_; }
  const std::weak_ptr<TableViewDataSource>& dataSource() const { return dataSource_; }
  void setDataSource(std::weak_ptr<TableViewDataSource> ds) { dataSource_ = std::move(ds); }
  const std::weak_ptr<TableViewDelegate>& delegate() const { return tableDelegate_; }
  void setDelegate(std::weak_ptr<TableViewDelegate> d);

  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double h) { rowHeight_ = h; }
  double sectionHeaderHeight() const { return sectionHeaderHeight_; }
  void setSectionHeaderHeight(double h) { sectionHeaderHeight_ = h; }
  double sectionFooterHeight() const { return sectionFooterHeight_; }
  void setSectionFooterHeight(double h) { sectionFooterHeight_ = h; }
  TableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
  void setSeparatorStyle(TableViewCellSeparatorStyle s) { separatorStyle_ = s; }
  const std::optional<Color>& separatorColor() const { return separatorColor_; }
  void setSeparatorColor(std::optional<Color> c) { separatorColor_ = std::move(c); }
  const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
  void setBackgroundView(std::shared_ptr<View> v);
  const std::shared_ptr<View>& tableHeaderView() const { return tableHeaderView_; }
  void setTableHeaderView(std::shared_ptr<View> v);
  const std::shared_ptr<View>& tableFooterView() const { return tableFooterView_; }
  void setTableFooterView(std::shared_ptr<View> v);
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool a) { allowsSelection_ = a; }
  bool allowsSelectionDuringEditing() const { return allowsSelectionDuringEditing_; }
  void setAllowsSelectionDuringEditing(bool a) { allowsSelectionDuringEditing_ = a; }
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated = false);

  // --- Data and geometry ----------------------------------------------------------------------
  // Virtual, so that a subclass may add to it; the table's own first load does not call it.
  virtual void reloadData();
  int numberOfSections();
  int numberOfRowsInSection(int section);
  Rect rectForSection(int section);
  Rect rectForRowAtIndexPath(const IndexPath& ip);
  Rect rectForHeaderInSection(int section);
  Rect rectForFooterInSection(int section);
  std::optional<IndexPath> indexPathForRowAtPoint(Point p);
  std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
  std::vector<IndexPath> indexPathsForRowsInRect(const Rect& r);
  // The visible cell of the row; null when the row is not in view.
  std::shared_ptr<TableViewCell> cellForRowAtIndexPath(const IndexPath& ip);
  std::vector<std::shared_ptr<TableViewCell>> visibleCells();
  std::vector<IndexPath> indexPathsForVisibleRows();
  // The header or footer view in view; null when none.
  std::shared_ptr<View> headerViewForSection(int section);
  // Raises RangeException for a row that does not exist.
  void scrollToRowAtIndexPath(const IndexPath& ip, TableViewScrollPosition position, bool animated);

  std::shared_ptr<TableViewCell> dequeueReusableCellWithIdentifier(std::string_view identifier);

  // --- Updates --------------------------------------------------------------------------------
  // An update that only inserts or reloads rows lays out just those rows and moves the rest (on by
  // default); off, every update lays out the whole table, as a reload does, with the same result.
  void setLaysOutRowUpdatesIncrementally(bool on) { incrementalRowUpdates_ = on; }
  void beginUpdates();
  void endUpdates();
  virtual void insertSections(const std::vector<int>& sections,
                              TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  virtual void deleteSections(const std::vector<int>& sections,
                              TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  virtual void reloadSections(const std::vector<int>& sections,
                              TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  virtual void insertRowsAtIndexPaths(const std::vector<IndexPath>& ips,
                                      TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  virtual void deleteRowsAtIndexPaths(const std::vector<IndexPath>& ips,
                                      TableViewRowAnimation animation = TableViewRowAnimation::Automatic);
  virtual void reloadRowsAtIndexPaths(const std::vector<IndexPath>& ips,
                                      TableViewRowAnimation animation = TableViewRowAnimation::Automatic);

  // --- Selection ------------------------------------------------------------------------------
  std::optional<IndexPath> indexPathForSelectedRow() const { return selected_; }
  // No delegate calls.
  void selectRowAtIndexPath(std::optional<IndexPath> ip, bool animated, TableViewScrollPosition position);
  void deselectRowAtIndexPath(const IndexPath& ip, bool animated);

  // --- What a person does (UIDriver) ----------------------------------------------------------
  // A tap on the row: the selection sequence above. False when selection is off or refused.
  bool tapRowAtIndexPath(const IndexPath& ip);
  // A swipe across the row (or a tap on its edit control while editing): the delete
  // confirmation, when the row may be edited with the delete style. False otherwise.
  bool showDeleteConfirmation(const IndexPath& ip);
  std::optional<IndexPath> deleteConfirmationIndexPath() const { return confirming_; }
  // The confirmation button's tap: the data source commits the delete. False without one.
  bool commitDeleteConfirmation();
  void hideDeleteConfirmation();
  // The detail disclosure button of the cell was tapped.
  void accessoryButtonTapped(TableViewCell& cell);

  void touchesEnded(const Touch& t) override;
  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  void boundsDidChange(const Rect& oldBounds) override;

 private:
  struct SectionLayout {
    int rows = 0;
    double y = 0;
    double headerHeight = 0;
    double footerHeight = 0;
    double rowsHeight = 0;  // the sum of rowHeight
    std::vector<double> rowY;
    std::vector<double> rowHeight;
    std::optional<std::string> headerTitle;
    std::optional<std::string> footerTitle;
    double height() const { return headerHeight + rowsHeight + footerHeight; }
    // The first row whose bottom is at or below y: rows before it end above y. Rows lie end to
    // end, so their bottoms only grow and a binary search finds it.
    int firstRowEndingAtOrBelow(double y) const;
    mutable int lastFirstRow = 0;  // its last answer
  };
  struct Update {
    std::set<int> insertedSections, deletedSections, reloadedSections;
    std::set<IndexPath> insertedRows, deletedRows, reloadedRows;
  };

  void ensureLoaded();
  void load();
  void computeLayout();
  // The layout after an update that only inserts or reloads rows, asking only for those rows;
  // false (nothing changed) for any other update, which computeLayout() lays out.
  bool computeLayoutAfter(const Update& u);
  void layoutSectionEnds(SectionLayout& l, int section, bool header);
  double askRowHeight(TableViewDelegate* d, int section, int row);
  // The table header's place (the top of the first section) and, from the bottom of the last
  // section, the footer's and the content size.
  double layoutTableEnds();
  void finishLayout(double y);
  void tile();
  std::shared_ptr<View> makeTitleView(const std::string& title, double height);
  void applyUpdate(const Update& u);
  void recycle(const std::shared_ptr<TableViewCell>& cell);
  bool validRow(const IndexPath& ip) const;
  bool canEdit(const IndexPath& ip);
  TableViewCellEditingStyle editingStyle(const IndexPath& ip);
  void updateEditControl(TableViewCell& cell, const IndexPath& ip);
  std::shared_ptr<TableViewDelegate> tableDelegate() const { return tableDelegate_.lock(); }

  TableViewStyle style_;
  std::weak_ptr<TableViewDataSource> dataSource_;
  std::weak_ptr<TableViewDelegate> tableDelegate_;
  double rowHeight_ = 44;
  double sectionHeaderHeight_;
  double sectionFooterHeight_;
  TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::SingleLine;
  std::optional<Color> separatorColor_ = Color::grey(0.88);
  std::shared_ptr<View> backgroundView_;
  std::shared_ptr<View> tableHeaderView_;
  std::shared_ptr<View> tableFooterView_;
  bool allowsSelection_ = true;
  bool allowsSelectionDuringEditing_ = false;
  bool editing_ = false;

  bool loaded_ = false;
  bool tiling_ = false;
  std::vector<SectionLayout> sections_;
  double contentHeight_ = 0;
  std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
  std::vector<IndexPath> want_;  // tile()'s rows in view, kept to spare an allocation per scroll step
  std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>, std::less<>> pool_;
  std::map<int, std::shared_ptr<View>> headers_;
  std::map<int, std::shared_ptr<View>> footers_;
  std::optional<IndexPath> selected_;
  std::optional<IndexPath> confirming_;
  int updateDepth_ = 0;
  Update pending_;
  bool incrementalRowUpdates_ = true;
};

}  // namespace platform
