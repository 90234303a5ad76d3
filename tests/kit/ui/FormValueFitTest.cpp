// A form row measures its value in the skinned font and the picture draws it in the same font with
// the same advances: a value that fits its row is shown whole and drawn inside its label.

#include <gtest/gtest.h>

#include "kit/ui/ListView.h"
#include "kit/ui/TitleValueCell.h"
#include "platform/ui/GlyphRenderer.h"
#include "platform/ui/Snapshot.h"
#include "tests/kit/ui/KitUITest.h"

namespace kavro::test {
namespace {

using platform::IndexPath;
using platform::Rect;

class FormValueFitTest : public KitUITest {
 protected:
  void SetUp() override {
    KitUITest::SetUp();
    auto font = platform::GlyphRenderer::systemFont();
    if (!font) GTEST_SKIP() << "no font installed (fonts-wqy-microhei)";
    // Pictures as the runner takes them: real glyphs.
    platform::Snapshot::setGlyphRenderer(font);
  }
  void TearDown() override {
    platform::Snapshot::setGlyphRenderer(nullptr);
    KitUITest::TearDown();
  }
};

// The box, in points of the picture, of the pixels drawn in pure red.
Rect redInk(const platform::Image& image) {
  const platform::Bitmap& bm = *image.bitmap();
  int x0 = bm.width(), y0 = bm.height(), x1 = -1, y1 = -1;
  for (int y = 0; y < bm.height(); ++y)
    for (int x = 0; x < bm.width(); ++x) {
      platform::Pixel p = bm.pixelAt(x, y);
      if (p.r - p.g < 40 || p.r - p.b < 40) continue;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  if (x1 < 0) return Rect();
  double s = image.scale();
  return Rect(x0 / s, y0 / s, (x1 + 1 - x0) / s, (y1 + 1 - y0) / s);
}

TEST_F(FormValueFitTest, AValueThatFitsItsRowIsShownWholeInsideItsLabel) {
  auto list = ListView::create(true);
  list->setFrame(Rect(0, 0, 320, 480));
  window->addSubview(list);
  auto form = ListViewData::newDataOnListView(*list, platform::classFor<TitleValueCell>());
  const std::vector<std::string> values = {"上海-浦东新区", "2013-05-20",   "Marketing Assistant",
                                           "MAX WEBMEDIA",  "发布日期不限", "共128个"};
  for (const auto& value : values) {
    auto record = DataItemDetail::newDetail();
    record->setItemTitle("工作地点");
    record->setItemValue(value);
    record->setTitleSkin("skin_cell_left_small_title");
    record->setValueSkin("skin_cell_right_mulit_detailinfo");
    record->setCellAccessoryType(1);
    form->listData()->addItem(record);
  }
  list->reloadData();
  list->layoutIfNeeded();

  for (std::size_t row = 0; row < values.size(); ++row) {
    auto cell = std::dynamic_pointer_cast<TitleValueCell>(
        list->cellForRowAtIndexPath(IndexPath::forRow(static_cast<int>(row), 0)));
    ASSERT_TRUE(cell) << row;
    auto label = cell->rightValueLabel();
    EXPECT_EQ(label->font().pointSize(), 14) << "the skinned font";
    EXPECT_EQ(label->displayLines(), (std::vector<std::string>{values[row]})) << "no ellipsis";

    label->setTextColor(platform::Color::red());
    auto picture = platform::Snapshot::imageOfView(*cell, 2);
    ASSERT_TRUE(picture);
    Rect ink = redInk(*picture);
    Rect frame = label->convertRectToView(label->bounds(), cell.get());
    EXPECT_GT(ink.size.width, frame.size.width / 2) << values[row] << " is drawn";
    EXPECT_GE(ink.minX(), frame.minX()) << values[row];
    EXPECT_LE(ink.maxX(), frame.maxX()) << values[row];
    EXPECT_GE(ink.minY(), frame.minY()) << values[row];
    EXPECT_LE(ink.maxY(), frame.maxY()) << values[row];
  }
}

}  // namespace
}  // namespace kavro::test
