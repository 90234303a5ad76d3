#pragma once
#include "platform/ui/IndexPath.h"

namespace platform {
class TableView;
}

namespace kavro::tableview {

// Moves the keyboard focus to the text input of the form row at the path (scrolling it into the
// table first); whether an input took it. False for a path outside the table.
bool focusInputBoxAtIndexPath(platform::TableView& table, const platform::IndexPath& ip);

}  // namespace kavro::tableview
