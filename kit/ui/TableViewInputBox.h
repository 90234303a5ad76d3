#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableView.h"

// Focus of the input boxes in a form table's cells.
namespace kavro::inputbox {

// The text fields and text views of a cell: its own subviews and those of its content view, where
// cells put what they show.
std::vector<std::shared_ptr<platform::View>> inputBoxesOfCell(const platform::TableViewCell& cell);
// Every text field and text view of a visible cell resigns (hidden ones too).
void unfocusAllInputBox(platform::TableView& table);
// Focuses the first visible input box in the row or a later row of the same section; the row
// that got it, or nothing (the table then goes back to where it was).
std::optional<platform::IndexPath> focusInputBoxAtIndexPath(platform::TableView& table,
                                                            platform::IndexPath ip);

}  // namespace kavro::inputbox
