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

std::vector<std::shared_ptr<platform::View>> inputBoxesOfCell(const platform::TableViewCell& cell) {
  std::vector<std::shared_ptr<platform::View>> inputs;
  auto collect = [&inputs](const platform::View& parent) {
    for (const auto& v : parent.subviews())
      if (isInput(*v)) inputs.push_back(v);
  };
  collect(cell);
  if (const auto& content = cell.contentView(); content && content.get() != &cell) collect(*content);
  return inputs;
}

void unfocusAllInputBox(platform::TableView& table) {
  for (const auto& cell : table.visibleCells())
    for (const auto& v : inputBoxesOfCell(*cell)) v->resignFirstResponder();
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
    // A table built a moment ago has no cells until it is laid out.
    table.layoutIfNeeded();
    auto cell = table.cellForRowAtIndexPath(current);
    if (!cell) continue;  // no cell even after scrolling: try the next row
    for (const auto& v : inputBoxesOfCell(*cell)) {
      if (!v->isHidden()) {
        v->becomeFirstResponder();
        return current;
      }
    }
  }
  table.scrollRectToVisible(platform::Rect(offset, size), false);
  return std::nullopt;
}

}  // namespace kavro::inputbox
