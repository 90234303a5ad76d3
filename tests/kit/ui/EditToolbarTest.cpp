#include <gtest/gtest.h>

#include <map>

#include "kit/ui/ListView.h"
#include "kit/ui/ListViewData.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/ObjectExtKavro.h"
#include "kit/ui/TableViewInputBox.h"
#include "kit/ui/UIKavroEditToolbar.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/UIDriver.h"
#include "tests/kit/ui/WidgetTest.h"

namespace kavro {
namespace {

using platform::IndexPath;
using platform::Rect;

// A one-section form: a text field directly in each cell whose record has an input box.
class Form : public EditToolbarForm, public platform::TableViewDataSource {
 public:
  explicit Form(std::vector<std::shared_ptr<DataItemDetail>> records) : records_(std::move(records)) {
    table = std::make_shared<platform::TableView>(Rect(0, 0, 320, 480));
  }
  void attach(const std::shared_ptr<Form>& self) { table->setDataSource(self); }
  platform::TableView& formTable() override { return *table; }
  int numberOfSections() override { return 1; }
  std::vector<std::shared_ptr<DataItemDetail>> recordsOfSection(int) override { return records_; }
  std::shared_ptr<DataItemDetail> recordOfCell(const platform::View& cell) override {
    for (auto& [row, c] : cells) {
      if (c.get() == &cell) return records_[std::size_t(row)];
    }
    return nullptr;
  }
  bool submitData() override {
    ++submits;
    return true;
  }
  int numberOfRowsInSection(platform::TableView&, int) override { return int(records_.size()); }
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView&,
                                                                 const IndexPath& ip) override {
    auto& cell = cells[ip.row];
    if (!cell) {
      cell = std::make_shared<platform::TableViewCell>(platform::TableViewCellStyle::Default, "row");
      if (records_[std::size_t(ip.row)]->getHasInputBox()) {
        auto field = std::make_shared<platform::TextField>(Rect(100, 5, 200, 30));
        cell->addSubview(field);
        fields[ip.row] = field;
        objext::registerForToolbarNotifications(field);
      }
    }
    return cell;
  }

  std::shared_ptr<platform::TableView> table;
  std::map<int, std::shared_ptr<platform::TableViewCell>> cells;
  std::map<int, std::shared_ptr<platform::TextField>> fields;
  int submits = 0;

 private:
  std::vector<std::shared_ptr<DataItemDetail>> records_;
};

std::shared_ptr<DataItemDetail> record(bool input, int maxWords = 0, int maxChinese = 0) {
  auto r = DataItemDetail::newDetail();
  r->setHasInputBox(input);
  if (maxWords) r->setInputMaxWordsCount(maxWords);
  if (maxChinese) r->setInputMaxChineseWordsCount(maxChinese);
  return r;
}

class EditToolbarTest : public test::WidgetTest {
 protected:
  std::shared_ptr<Form> makeForm(std::vector<std::shared_ptr<DataItemDetail>> records) {
    auto form = std::make_shared<Form>(std::move(records));
    form->attach(form);
    window->addSubview(form->table);
    form->table->layoutIfNeeded();
    return form;
  }
};

TEST_F(EditToolbarTest, MovesBetweenInputsWithTheKeyboard) {
  auto form = makeForm({record(true, 5), record(true, 0, 3), record(false), record(true)});
  auto bar = UIKavroEditToolbar::initWithListView(form);
  form->table->addSubview(bar);
  EXPECT_EQ(bar->frame(), Rect(0, 480, 320, 44));
  EXPECT_EQ(
      bar->arrayEditCellIndex(),
      (std::vector<IndexPath>{IndexPath::forRow(0, 0), IndexPath::forRow(1, 0), IndexPath::forRow(3, 0)}));
  EXPECT_FALSE(bar->segCtrl()->isHidden());
  runFor(0.2);  // the delayed bind and the creation notice

  bar->focusOnIndex(0);
  runFor(0.5);
  auto& f0 = form->fields[0];
  auto& f1 = form->fields[1];
  ASSERT_TRUE(f0->isFirstResponder());
  EXPECT_FALSE(bar->segCtrl()->isEnabledForSegmentAtIndex(0));
  EXPECT_TRUE(bar->segCtrl()->isEnabledForSegmentAtIndex(1));
  // The keyboard came up: the bar sits on it and the list makes room.
  EXPECT_FALSE(bar->isHidden());
  EXPECT_EQ(bar->frame().origin.y, 480 - 216 - 64);
  EXPECT_EQ(form->table->contentInset().bottom, 216 + 44);
  EXPECT_EQ(bar->textCountLabel()->text(), "0/5");

  platform::UIDriver::type("中文😀abc");
  EXPECT_EQ(bar->textCountLabel()->text(), "7/5") << "UTF-16 units";
  EXPECT_EQ(bar->textCountLabel()->textColor(), platform::Color::red());
  EXPECT_EQ(f0->text(), "中文😀abc");

  ASSERT_TRUE(bar->segCtrl()->tapSegment(1));
  runFor(0.5);
  ASSERT_TRUE(f1->isFirstResponder());
  EXPECT_EQ(bar->currentFocusIndex(), 1u);
  EXPECT_FALSE(bar->isHidden());
  platform::UIDriver::type("中a");  // Chinese-word units: (2 + 2) / 2
  EXPECT_EQ(bar->textCountLabel()->text(), "2/3");
  EXPECT_EQ(bar->textCountLabel()->textColor(), platform::Color::white());

  ASSERT_TRUE(bar->segCtrl()->tapSegment(1));  // skips the row without input box
  runFor(0.5);
  EXPECT_EQ(bar->currentIndexPath(), IndexPath::forRow(3, 0));
  EXPECT_TRUE(form->fields[3]->isFirstResponder());
  EXPECT_EQ(bar->textCountLabel()->text(), "") << "no limit, no counter";
  EXPECT_FALSE(bar->segCtrl()->isEnabledForSegmentAtIndex(1));
  bar->changeItem();  // "next" at the end: nothing
  EXPECT_EQ(bar->currentFocusIndex(), 2u);

  ASSERT_TRUE(bar->segCtrl()->tapSegment(0));
  runFor(0.5);
  EXPECT_TRUE(f1->isFirstResponder());

  bar->doneButtonClicked();
  EXPECT_EQ(form->submits, 1);
  EXPECT_TRUE(bar->isHidden());
  EXPECT_FALSE(f1->isFirstResponder());
  runFor(0.5);
  EXPECT_EQ(form->table->contentInset().bottom, 0) << "keyboard gone";
}

TEST_F(EditToolbarTest, OneEditableRowHasNoPreviousNextAndOutOfRangeFocusDoesNothing) {
  auto form = makeForm({record(false), record(true, 4)});
  auto bar = UIKavroEditToolbar::initWithListView(form);
  form->table->addSubview(bar);
  EXPECT_TRUE(bar->segCtrl()->isHidden());
  bar->focusOnIndex(3);
  bar->focusOnIndex(-1);
  EXPECT_FALSE(bar->currentIndexPath());

  // A field outside the editable rows hides the bar.
  runFor(0.2);
  auto outside = std::make_shared<platform::TextField>(Rect(0, 0, 100, 30));
  form->table->addSubview(outside);
  objext::bindEditToolbarInParentViews(*outside);
  bar->setHidden(false);
  ASSERT_TRUE(outside->becomeFirstResponder());
  EXPECT_TRUE(bar->isHidden());
  form->table->setScrollEnabled(false);
  runFor(0.5);
  EXPECT_EQ(form->table->contentInset().bottom, 0) << "a list that does not scroll keeps its insets";
}

struct EndOnlyToolbar : platform::View, EditToolbarEntryPoints {
  int ends = 0;
  bool implementsEntry(Entry e) const override { return e == Entry::EditEnd; }
  void toolbarEditEnd(platform::View*) override { ++ends; }
};

TEST_F(EditToolbarTest, BindingIsIdempotentAndFollowsOnlyDirectSubviewsOfAncestors) {
  auto parent = std::make_shared<platform::View>(Rect(0, 0, 320, 200));
  window->addSubview(parent);
  auto field = std::make_shared<platform::TextField>(Rect(0, 0, 100, 30));
  parent->addSubview(field);
  auto toolbar = std::make_shared<EndOnlyToolbar>();
  parent->addSubview(toolbar);
  auto sibling = std::make_shared<platform::View>();
  parent->addSubview(sibling);
  auto nested = std::make_shared<EndOnlyToolbar>();
  sibling->addSubview(nested);

  objext::bindEditToolbarInView(*field, parent.get());
  objext::bindEditToolbarInView(*field, parent.get());
  EXPECT_EQ(field->targetCount(), 1u);
  EXPECT_EQ(field->allControlEvents(), platform::ControlEvent::EditingDidEnd);
  objext::bindEditToolbarInParentViews(*field);
  ASSERT_TRUE(field->becomeFirstResponder());
  field->resignFirstResponder();
  EXPECT_EQ(toolbar->ends, 1);
  EXPECT_EQ(nested->ends, 0);
  objext::removeEditToolbarInParentViews(*field);
  EXPECT_EQ(field->targetCount(), 0u);

  // Text views are bound by notifications.
  auto tv = std::make_shared<platform::TextView>(Rect(0, 40, 100, 60));
  parent->addSubview(tv);
  objext::bindEditToolbarInParentViews(*tv);
  objext::bindEditToolbarInParentViews(*tv);
  ASSERT_TRUE(tv->becomeFirstResponder());
  tv->resignFirstResponder();
  EXPECT_EQ(toolbar->ends, 2);
  objext::removeEditToolbarInParentViews(*tv);
  tv->becomeFirstResponder();
  tv->resignFirstResponder();
  EXPECT_EQ(toolbar->ends, 2);
}

TEST_F(EditToolbarTest, FocusSearchStaysInTheSectionAndRestoresTheScroll) {
  auto hidden = record(true);
  auto form = makeForm({record(false), hidden, record(true), record(false)});
  form->table->layoutIfNeeded();
  for (int r = 0; r < 4; ++r) form->table->cellForRowAtIndexPath(IndexPath::forRow(r, 0));
  form->fields[1]->setHidden(true);
  auto got = inputbox::focusInputBoxAtIndexPath(*form->table, IndexPath::forRow(0, 0));
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, IndexPath::forRow(2, 0));
  EXPECT_TRUE(form->fields[2]->isFirstResponder());
  EXPECT_FALSE(inputbox::focusInputBoxAtIndexPath(*form->table, IndexPath::forRow(3, 0)));
  EXPECT_FALSE(inputbox::focusInputBoxAtIndexPath(*form->table, IndexPath::forRow(9, 0)));
  EXPECT_FALSE(inputbox::focusInputBoxAtIndexPath(*form->table, IndexPath::forRow(-1, 0)));
  inputbox::unfocusAllInputBox(*form->table);
  EXPECT_FALSE(form->fields[2]->isFirstResponder());
}

struct Reader {
  std::string said;
  int hear(const std::string& what) {
    said = what;
    return 7;
  }
};

TEST_F(EditToolbarTest, PerformSelectorOnlyRunsNamedActions) {
  platform::ActionTable<Reader&> table;
  table.add("hear:", 1, [](Reader& r, const platform::Arguments& a) {
    return platform::Value(r.hear(a[0].stringValue()));
  });
  Reader reader;
  EXPECT_EQ(objext::performSelector(reader, table, "hear:", {platform::Value("hi")}).intValue(), 7);
  EXPECT_EQ(reader.said, "hi");
  EXPECT_TRUE(objext::performSelector(reader, table, "shout:", {platform::Value("x")}).isNull());
  EXPECT_EQ(reader.said, "hi");
}

}  // namespace
}  // namespace kavro

namespace kavro {
namespace {

struct FormScreen : ListViewDelegate {
  int submits = 0;
  bool submitData(ListView&) override {
    ++submits;
    return true;
  }
};

TEST_F(EditToolbarTest, WorksOverAListOfTheListFramework) {
  auto screen = std::make_shared<FormScreen>();
  auto list = ListView::plainListViewForDelegate(screen);
  auto first = ListViewData::create(), second = ListViewData::create();
  list->addSectionWithData(first);
  list->addSectionWithData(second);
  first->listData()->addItem(record(false));
  first->listData()->addItem(record(true));
  second->listData()->addItem(record(true));
  auto bar = UIKavroEditToolbar::initWithListView(list);
  EXPECT_EQ(bar->arrayEditCellIndex(),
            (std::vector<IndexPath>{IndexPath::forRow(1, 0), IndexPath::forRow(0, 1)}));
  bar->doneButtonClicked();
  EXPECT_EQ(screen->submits, 1);
  list.reset();
  bar->doneButtonClicked();  // the list is gone: nothing to do
  EXPECT_EQ(screen->submits, 1);
}

}  // namespace
}  // namespace kavro
