#pragma once
#include <memory>
#include <optional>

#include "kit/ui/DataTableCell.h"
#include "kit/ui/UIPlaceHolderTextView.h"
#include "platform/ui/TextView.h"

namespace kavro {

class ListView;

// What a form screen hears from its multi-line inputs: optional, false means "not implemented".
class TextViewInputDelegate {
 public:
  virtual ~TextViewInputDelegate() = default;
  virtual bool onEditingChanged(platform::TextView& textView) { return false; }
};

// A multi-line input row bound to the record's input value, which follows every keystroke; it
// joins the form's edit toolbar. Sets no length limit: the screen checks it. Not selectable.
class TextViewInputCell : public DataTableCell, public platform::TextViewDelegate {
 public:
  static constexpr double Height = 168;

  using DataTableCell::DataTableCell;
  ~TextViewInputCell() override;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView&, const platform::IndexPath&) { return Height; }

  std::optional<bool> textViewShouldBeginEditing(platform::TextView& tv) override;
  void textViewDidBeginEditing(platform::TextView& tv) override;
  void textViewDidChange(platform::TextView& tv) override;
  std::optional<bool> textViewShouldEndEditing(platform::TextView& tv) override;

  const std::shared_ptr<UIPlaceHolderTextView>& textview() const { return textview_; }

 private:
  void keepText(platform::TextView& tv, bool tellController);

  std::shared_ptr<UIPlaceHolderTextView> textview_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TextViewInputCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &TextViewInputCell::heightForCell);
}
