#pragma once
#include <memory>
#include <string_view>

#include "kit/ui/DataTableCell.h"
#include "platform/ui/Label.h"

namespace kavro {

class ListView;

// Layout shared by the detail rows: the side margin (10 in a plain list, 20 in a grouped one)
// and text heights measured with the skin that styles the label, so measured and shown agree.
namespace detailcell {
// The skins of a row's small title and of a value beside it.
inline constexpr std::string_view TitleSkin = "skin_cell_left_small_title";
inline constexpr std::string_view ValueSkin = "skin_cell_right_mulit_detailinfo";
inline double sideMargin(bool grouped) { return grouped ? 20 : 10; }
double textHeight(std::string_view text, std::string_view skinType, std::string_view skinGroup, double width);
// A clear label with unlimited lines, styled by the skin type, added to the cell.
std::shared_ptr<platform::Label> addLabel(platform::TableViewCell& cell, std::string_view skinType,
                                          std::string_view skinGroup = {});
// Sets the label's text and frame, its height measured at the width.
void placeLabel(platform::Label& label, std::string_view text, std::string_view skinType,
                std::string_view skinGroup, platform::Rect frame);
}  // namespace detailcell

// A small title on the left and a wrapping value on the right, from the record's item title and
// value; the row cannot be selected.
class ShortTitleValueCell : public DataTableCell {
 public:
  static constexpr double TitleWidth = 35;
  static constexpr double MinLabelHeight = 24;

  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  static double heightForCell(ListView& list, const platform::IndexPath& ip);

  const std::shared_ptr<platform::Label>& title() const { return title_; }
  const std::shared_ptr<platform::Label>& value() const { return value_; }

 protected:
  // The value's width in a list of that width, less what a subclass keeps at the right.
  static double valueWidth(double listWidth, bool grouped, double reduction);
  static double heightWithReduction(ListView& list, const platform::IndexPath& ip, double reduction);
  // The labels' common height after binding.
  double layoutLabels(double reduction);

  std::shared_ptr<platform::Label> title_;
  std::shared_ptr<platform::Label> value_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(ShortTitleValueCell, DataTableCell)
    .classFunction(&CellClassFunctions::heightForCell, &ShortTitleValueCell::heightForCell);
}
