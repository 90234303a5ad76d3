#pragma once
#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace platform {

class TableView;

// The platform's values.
enum class TableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class TableViewCellAccessoryType {
  None = 0,
  DisclosureIndicator = 1,
  DetailDisclosureButton = 2,
  Checkmark = 3
};
enum class TableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2 };
enum class TableViewCellEditingStyle { None = 0, Delete = 1, Insert = 2 };

// A row of a table view. Layout (layoutSubviews):
//   content view: the cell's bounds, 10 points in from each side in a grouped table, less the
//   accessory (30 points for an indicator or a checkmark, 43 for the detail button, the accessory
//   view's width + 20), less 32 points at the left while editing and 74 at the right while the
//   delete confirmation shows;
//   Default: the image 10 points from the left, vertically centred; the text after it (10 points
//   of room), the full height;
//   Value1: the text at the left, the detail at the right (each one line, 10 points from the
//   edges); Value2: the text right-aligned in the first 67 points, the detail from 83;
//   Subtitle: the text above the detail, the pair vertically centred.
// The labels and the image view are made on first use (added to the content view). The
// accessories are a label "›" (indicator), a label "✓" (checkmark) or a detail disclosure button
// whose tap reaches the table's delegate.
class TableViewCell : public View {
 public:
  TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);

  TableViewCellStyle style() const { return style_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  const std::shared_ptr<View>& contentView() const { return contentView_; }
  const std::shared_ptr<Label>& textLabel();
  // Null in the default style.
  const std::shared_ptr<Label>& detailTextLabel();
  const std::shared_ptr<ImageView>& imageView();
  // The background of the text and detail labels, also of those made later (on first use).
  void setLabelsBackgroundColor(std::optional<Color> color);

  TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(TableViewCellAccessoryType t);
  const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
  void setAccessoryView(std::shared_ptr<View> v);
  TableViewCellAccessoryType editingAccessoryType() const { return editingAccessoryType_; }
  void setEditingAccessoryType(TableViewCellAccessoryType t) { editingAccessoryType_ = t; }
  TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(TableViewCellSelectionStyle s) { selectionStyle_ = s; }
  const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
  void setBackgroundView(std::shared_ptr<View> v);
  const std::shared_ptr<View>& selectedBackgroundView() const { return selectedBackgroundView_; }
  void setSelectedBackgroundView(std::shared_ptr<View> v) { selectedBackgroundView_ = std::move(v); }
  int indentationLevel() const { return indentationLevel_; }
  void setIndentationLevel(int l) { indentationLevel_ = l; }
  double indentationWidth() const { return indentationWidth_; }
  void setIndentationWidth(double w) { indentationWidth_ = w; }

  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected, bool animated = false);
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted, bool animated = false);
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated = false);
  bool showingDeleteConfirmation() const { return deleteButton_ != nullptr; }

  // The table showing the cell (null while the cell is not shown).
  std::shared_ptr<TableView> tableView() const { return table_.lock(); }
  // Before the cell comes out of the reuse pool.
  virtual void prepareForReuse() {}

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  friend class TableView;
  void rebuildAccessory();
  double accessoryWidth() const;

  TableViewCellStyle style_;
  std::string reuseIdentifier_;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<Label> textLabel_;
  std::shared_ptr<Label> detailTextLabel_;
  std::shared_ptr<ImageView> imageView_;
  std::optional<std::optional<Color>> labelsBackground_;  // set: what the labels take when made
  std::size_t labelsIndex() const;
  TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
  std::shared_ptr<View> accessoryView_;
  std::shared_ptr<View> shownAccessory_;
  TableViewCellAccessoryType editingAccessoryType_ = TableViewCellAccessoryType::None;
  TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Blue;
  std::shared_ptr<View> backgroundView_;
  std::shared_ptr<View> selectedBackgroundView_;
  int indentationLevel_ = 0;
  double indentationWidth_ = 10;
  bool selected_ = false;
  bool highlighted_ = false;
  bool editing_ = false;
  bool grouped_ = false;
  std::weak_ptr<TableView> table_;
  std::shared_ptr<Button> editControl_;
  std::shared_ptr<Button> deleteButton_;
};

}  // namespace platform
