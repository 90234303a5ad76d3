#pragma once
#include <optional>

#include "platform/ui/IndexPath.h"
#include "platform/ui/TableView.h"

// Focus of the input boxes in a form table's cells.
namespace kavro::inputbox {

// Every text field and text view directly in a visible cell resigns (hidden ones too).
void unfocusAllInputBox(platform::TableView& table);
// Focuses the first visible input box in the row or a later row of the same section; the row
// that got it, or nothing (the table then goes back to where it was).
std::optional<platform::IndexPath> focusInputBoxAtIndexPath(platform::TableView& table,
                                                            platform::IndexPath ip);

}  // namespace kavro::inputbox
