#include "kit/ui/TableViewInputBox.h"

#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

namespace kavro::inputbox {

namespace {
bool isInput(const platform::View& v) {
  return dynamic_cast<const platform::TextField*>(&v) || dynamic_cast<const platform::TextView*>(&v);
}
}  // namespace

void unfocusAllInputBox(platform::TableView& table) {
  for (const auto& cell : table.visibleCells()) {
    auto subviews = cell->subviews();
    for (const auto& v : subviews) {
      if (isInput(*v)) v->resignFirstResponder();
    }
  }
}

std::optional<platform::IndexPath> focusInputBoxAtIndexPath(platform::TableView& table,
                                                            platform::IndexPath ip) {
  platform::Point offset = table.contentOffset();
  platform::Size size = table.contentSize();
  int sections = table.numberOfSections();
  if (ip.section < 0 || ip.row < 0 || ip.section >= sections) return std::nullopt;
  int rows = table.numberOfRowsInSection(ip.section);
  if (ip.row >= rows) return std::nullopt;
  for (int row = ip.row; row < rows; ++row) {
    auto current = platform::IndexPath::forRow(row, ip.section);
    table.scrollToRowAtIndexPath(current, platform::TableViewScrollPosition::Middle, false);
    auto cell = table.cellForRowAtIndexPath(current);
    if (!cell) continue;  // no cell even after scrolling: try the next row
    auto subviews = cell->subviews();
    for (const auto& v : subviews) {
      if (!v->isHidden() && isInput(*v)) {
        v->becomeFirstResponder();
        return current;
      }
    }
  }
  table.scrollRectToVisible(platform::Rect(offset, size), false);
  return std::nullopt;
}

}  // namespace kavro::inputbox
