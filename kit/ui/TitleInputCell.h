#pragma once
#include <memory>
#include <optional>
#include <string>

#include "kit/ui/TitleCell.h"
#include "platform/ui/TextField.h"

namespace kavro {

// A title with a text field: the base of a form's input rows. The field edits the record's input
// value (getInputValue) keystroke by keystroke; return moves on to the next row's field, and on
// the last one asks the screen to submit.
class TitleInputCell : public TitleCell, public platform::TextFieldDelegate {
 public:
  using TitleCell::TitleCell;
  ~TitleInputCell() override;
  void initCellView() override;
  void bindCellData(bool reused) override;

  std::optional<bool> shouldChangeCharactersInRange(platform::TextField& tf, platform::Range range,
                                                    std::string_view replacement) override;
  void textFieldDidEndEditing(platform::TextField& tf) override;
  std::optional<bool> textFieldShouldClear(platform::TextField& tf) override;
  std::optional<bool> textFieldShouldReturn(platform::TextField& tf) override;
  void onEditingChanged(platform::TextField& field);
  void trySubmitData();

  const std::shared_ptr<platform::TextField>& input() const { return input_; }

 protected:
  std::shared_ptr<platform::TextField> input_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(TitleInputCell, TitleCell);
}
