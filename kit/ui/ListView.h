#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListViewData.h"
#include "kit/ui/ListViewDelegate.h"
#include "platform/foundation/RunLoop.h"
#include "platform/runtime/ClassRef.h"
#include "platform/ui/TableView.h"

namespace kavro {

// The class functions of header and footer classes (a section's mHeaderViewClass /
// mFooterViewClass): the view above or below the section, nullptr for none.
struct SectionViewClassFunctions {
  platform::ClassFunction<std::shared_ptr<platform::View>(ListView&, int)> viewForHeaderInSection;
  platform::ClassFunction<std::shared_ptr<platform::View>(ListView&, int)> viewForFooterInSection;
};

// The table of every list screen: its sections are ListViewData objects, it is its own data source
// and delegate, and it talks to its screen (ctrl) through ListViewDelegate. Each section shows its
// records plus one state row (loading, error, "more") while it is not done, or one empty row when
// it finished without records. Made with create(); main thread only.
//
// Header and footer classes offer SectionViewClassFunctions; ListView itself serves a title header.
class ListView : public platform::TableView,
                 public platform::TableViewDataSource,
                 public platform::TableViewDelegate {
 public:
  static constexpr double DelayReloadInterval = 0.05;

  ~ListView() override;
  static std::shared_ptr<ListView> create(bool grouped);
  static std::shared_ptr<ListView> groupedListViewForDelegate(std::weak_ptr<ListViewDelegate> ctrl);
  static std::shared_ptr<ListView> plainListViewForDelegate(std::weak_ptr<ListViewDelegate> ctrl);

  std::shared_ptr<ListView> self();
  std::shared_ptr<ListViewDelegate> ctrl() const { return ctrl_.lock(); }
  virtual void setCtrl(std::weak_ptr<ListViewDelegate> ctrl) { ctrl_ = std::move(ctrl); }
  bool isGroupedTable() const { return grouped_; }
  bool allowEditCell() const { return allowEditCell_; }
  void setAllowEditCell(bool a) { allowEditCell_ = a; }

  // --- Sections and records -------------------------------------------------------------------
  void addSectionWithData(std::shared_ptr<ListViewData> section);
  const std::vector<std::shared_ptr<ListViewData>>& sections() const { return sections_; }
  int indexOfSectionData(const ListViewData* section) const;
  std::shared_ptr<ListViewData> dataOfSection(int index) const;
  std::shared_ptr<ListViewData> dataOfSectionTag(std::int32_t tag) const;
  std::shared_ptr<DataItemDetail> dataOfIndexPath(const platform::IndexPath& ip) const;
  std::shared_ptr<DataItemDetail> dataOfTableCellTag(std::int64_t tag) const;
  std::shared_ptr<DataTableCell> cellOfTableCellTag(std::int64_t tag);
  std::int64_t tagOfIndexPath(const platform::IndexPath& ip) const;
  std::vector<platform::IndexPath> indexPathsForKey(std::string_view key, std::string_view value) const;
  // The number of records changed; no reload.
  int updateItemsDataForIndexPaths(const std::vector<platform::IndexPath>& paths, std::string_view key,
                                   std::string_view value);
  int updateItemsDataForIndexPathsWithIntValue(const std::vector<platform::IndexPath>& paths,
                                               std::string_view key, std::int64_t value);
  int updateItemsDataForIndexPathsWithBoolValue(const std::vector<platform::IndexPath>& paths,
                                                std::string_view key, bool value);

  // --- Loading and reloading ------------------------------------------------------------------
  void stopLoading();
  void clear();
  void reloadData() override;
  // reloadData() for a section whose rows before rowsBefore are as they were (it took rows at its
  // end, or only its state changed): its state row and the new rows are laid out and the rows
  // above keep their places, cells and selection, so a page costs what it brings. Any other
  // change to the list since it was last laid out reloads it whole.
  void reloadSectionRowsFrom(const ListViewData& section, std::size_t rowsBefore);
  void delayReloadData();
  // A row's flag read from outside the list (a store read), asked once per key until the next
  // reloadData(): such flags change only while another screen is shown, and screens reload their
  // lists on appearing.
  bool rowFlag(std::string_view key, const std::function<bool()>& read);
  // The same for a flag whose keys can be read all at once: readAll (one store read, once per
  // set name until the next reloadData()) gives the keys that have it, or none when they are too
  // many to keep; then read asks for each row as rowFlag() does.
  using FlagKeys = std::optional<std::vector<std::string>>;
  bool rowFlagInSet(std::string_view set, std::string_view key, const std::function<FlagKeys()>& readAll,
                    const std::function<bool()>& read);
  void setEditing(bool editing, bool animated = false) override;
  void enableEdit(bool editing, bool animated);
  using platform::TableView::deleteRowsAtIndexPaths;
  void deleteRowsAtIndexPaths(const std::vector<platform::IndexPath>& ips,
                              platform::TableViewRowAnimation animation) override;
  // A record row's own class (given as a class or by its registered name), else the section's.
  platform::ClassPtr cellClassAtIndexPath(const platform::IndexPath& ip) const;
  // The row class a record names; nullptr when it names none or an unknown one.
  static platform::ClassPtr recordCellClass(const DataItemDetail& record);
  std::shared_ptr<DataTableCell> cellWithClass(const platform::ClassPtr& cls, const platform::IndexPath& ip);
  void autoCheckAndLoadNextPage();
  // After the answer of a section: a failed last page is asked for again, unless that answer was
  // its own failure (asking at once would repeat it for as long as the server fails).
  void autoCheckAndLoadNextPageAfterAnswer(const ListViewData& answered);
  // The list is scrolled to its bottom (or its content is shorter than the list).
  bool isAtBottom() const;

  // The title header of a section (ListView's own viewForHeaderInSection class function).
  static std::shared_ptr<platform::View> titleViewForHeaderInSection(ListView& list, int section);

  // --- Table data source and delegate ---------------------------------------------------------
  using platform::TableView::cellForRowAtIndexPath;
  using platform::TableView::numberOfRowsInSection;
  int numberOfRowsInSection(platform::TableView& tv, int section) override;
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView& tv,
                                                                 const platform::IndexPath& ip) override;
  std::optional<int> numberOfSectionsInTableView(platform::TableView& tv) override;
  std::optional<std::string> titleForHeaderInSection(platform::TableView& tv, int section) override;
  std::optional<bool> canEditRowAtIndexPath(platform::TableView& tv, const platform::IndexPath& ip) override;
  bool commitEditingStyle(platform::TableView& tv, platform::TableViewCellEditingStyle style,
                          const platform::IndexPath& ip) override;
  std::optional<double> heightForRowAtIndexPath(platform::TableView& tv,
                                                const platform::IndexPath& ip) override;
  std::optional<double> heightForHeaderInSection(platform::TableView& tv, int section) override;
  std::optional<double> heightForFooterInSection(platform::TableView& tv, int section) override;
  std::shared_ptr<platform::View> viewForHeaderInSection(platform::TableView& tv, int section) override;
  std::shared_ptr<platform::View> viewForFooterInSection(platform::TableView& tv, int section) override;
  void didSelectRowAtIndexPath(platform::TableView& tv, const platform::IndexPath& ip) override;
  void accessoryButtonTappedForRowWithIndexPath(platform::TableView& tv,
                                                const platform::IndexPath& ip) override;
  void scrollViewDidEndDecelerating(platform::ScrollView& sv) override;
  void scrollViewDidEndScrollingAnimation(platform::ScrollView& sv) override;

 protected:
  // initWithGroupStyle: once the list is owned by a shared_ptr.
  virtual void initWithGroupStyle();

 private:
  std::shared_ptr<platform::View> sectionView(int section, bool header);
  void checkLastSection(bool retryFailed);

  std::vector<std::shared_ptr<ListViewData>> sections_;
  std::weak_ptr<ListViewDelegate> ctrl_;
  bool grouped_;
  bool allowEditCell_ = false;
  std::shared_ptr<platform::Timer> delayReloadDataTimer_;
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  using KeySet = std::unordered_set<std::string, KeyHash, std::equal_to<>>;
  std::unordered_map<std::string, bool, KeyHash, std::equal_to<>> rowFlags_;
  // By set name; none for a set too large to keep.
  std::unordered_map<std::string, std::optional<KeySet>, KeyHash, std::equal_to<>> flagSets_;
  // The reuse identifier of the class of the last row made, held: rows of one class follow each other.
  platform::ClassPtr cellIdClass_;
  std::string cellId_;

 protected:
  explicit ListView(bool grouped);
};

KAVRO_CLASS(ListView, platform::TableView)
    .classFunction(&SectionViewClassFunctions::viewForHeaderInSection,
                   &ListView::titleViewForHeaderInSection);

}  // namespace kavro
