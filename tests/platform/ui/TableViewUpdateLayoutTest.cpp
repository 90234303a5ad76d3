#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "platform/foundation/Error.h"
#include "platform/ui/TableView.h"
#include "tests/platform/ui/UITest.h"

namespace kavro::test {
namespace {

using namespace platform;

// Rows named by ids that stay with them when rows above come and go; a row's height follows its
// id. Every question the table asks is written down.
class IdRows : public TableViewDataSource, public TableViewDelegate {
 public:
  std::vector<std::vector<int>> sections{{0, 1, 2}};
  int nextId = 3;
  std::vector<std::string> calls;

  int numberOfRowsInSection(TableView&, int s) override {
    calls.push_back("rows " + std::to_string(s));
    return s >= 0 && s < int(sections.size()) ? int(sections[std::size_t(s)].size()) : 0;
  }
  std::optional<int> numberOfSectionsInTableView(TableView&) override {
    calls.push_back("sections");
    return int(sections.size());
  }
  std::optional<std::string> titleForHeaderInSection(TableView&, int s) override {
    calls.push_back("header title " + std::to_string(s));
    return s % 2 ? std::optional<std::string>("Odd") : std::nullopt;
  }
  std::optional<std::string> titleForFooterInSection(TableView&, int s) override {
    calls.push_back("footer title " + std::to_string(s));
    return std::nullopt;
  }
  std::optional<double> heightForFooterInSection(TableView&, int s) override {
    calls.push_back("footer height " + std::to_string(s));
    return s == 2 ? std::optional<double>(15) : std::nullopt;
  }
  std::optional<double> heightForRowAtIndexPath(TableView&, const IndexPath& ip) override {
    calls.push_back("height " + ip.description());
    int id = idAt(ip);
    if (id < 0) return std::nullopt;
    return id % 7 == 3 ? 0.0 : 20.0 + (id * 13) % 40;
  }
  std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tv, const IndexPath& ip) override {
    calls.push_back("cell " + ip.description());
    auto cell = tv.dequeueReusableCellWithIdentifier("row");
    if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, "row");
    cell->textLabel()->setText("#" + std::to_string(idAt(ip)));
    return cell;
  }
  void willDisplayCell(TableView&, TableViewCell& cell, const IndexPath& ip) override {
    calls.push_back("will display " + cell.textLabel()->text() + " at " + ip.description());
  }
  int idAt(const IndexPath& ip) const {
    if (ip.section < 0 || ip.section >= int(sections.size())) return -1;
    const auto& rows = sections[std::size_t(ip.section)];
    return ip.row >= 0 && ip.row < int(rows.size()) ? rows[std::size_t(ip.row)] : -1;
  }
};

bool isLayoutQuestion(const std::string& call) {
  return call.rfind("rows ", 0) == 0 || call == "sections" || call.find("title ") != std::string::npos ||
         call.find("height ") != std::string::npos;
}

// One table that lays out row updates incrementally and one that lays out every update whole,
// each with its own data, given the same operations.
struct Side {
  std::shared_ptr<IdRows> rows = std::make_shared<IdRows>();
  std::shared_ptr<TableView> table = std::make_shared<TableView>(Rect(0, 0, 320, 240));
  std::vector<std::string> answers;
};

class TableViewUpdateLayoutTest : public UITest {
 protected:
  Side incremental, whole;
  void SetUp() override {
    UITest::SetUp();
    whole.table->setLaysOutRowUpdatesIncrementally(false);
    for (Side* side : {&incremental, &whole}) {
      side->table->setDataSource(side->rows);
      side->table->setDelegate(side->rows);
      window->addSubview(side->table);
    }
  }
  // What a person or caller can see of a table, in one text.
  static std::string state(Side& side) {
    TableView& t = *side.table;
    std::ostringstream out;
    out << "size " << t.contentSize().width << "x" << t.contentSize().height << " offset "
        << t.contentOffset().y << "\n";
    for (int s = 0; s < t.numberOfSections(); ++s) {
      Rect sr = t.rectForSection(s), hr = t.rectForHeaderInSection(s), fr = t.rectForFooterInSection(s);
      out << "section " << s << " " << sr.y() << "+" << sr.height() << " header " << hr.y() << "+"
          << hr.height() << " footer " << fr.y() << "+" << fr.height() << ":";
      for (int r = 0; r < t.numberOfRowsInSection(s); ++r) {
        Rect f = t.rectForRowAtIndexPath(IndexPath{s, r});
        out << " " << f.y() << "+" << f.height();
      }
      out << "\n";
    }
    for (const auto& ip : t.indexPathsForVisibleRows()) {
      auto cell = t.cellForRowAtIndexPath(ip);
      Rect f = cell->frame();
      out << ip.description() << " " << cell->textLabel()->text() << " at " << f.y() << "+" << f.height()
          << (cell->isSelected() ? " selected" : "") << "\n";
    }
    if (auto sel = t.indexPathForSelectedRow()) out << "selected " << sel->description() << "\n";
    return out.str();
  }
};

template <class F>
std::string answerOf(F&& f) {
  try {
    f();
    return "ok";
  } catch (const InternalInconsistencyException& e) {
    return "InternalInconsistencyException: " + e.reason();
  } catch (const RangeException& e) {
    return "RangeException: " + e.reason();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
}

// Random updates, valid and not (rows past the end, at -1, twice over, in sections that do not
// exist, counts that do not add up, uses after a refusal), on both tables: the same answers, the
// same geometry and cells, and the same calls to the data source and delegate in the same order.
// Layout questions are the incremental path's saving: it asks only of rows the whole layout asks
// of too.
TEST_F(TableViewUpdateLayoutTest, IncrementalRowUpdatesAgreeWithTheWholeLayout) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (Side* side : {&incremental, &whole}) {
      side->rows->sections = {{0, 1, 2}, {3, 4, 5, 6, 7, 8}, {9, 10}};
      side->rows->nextId = 11;
      side->table->setContentOffset({0, 0});
      side->table->reloadData();
      side->rows->calls.clear();
    }
    for (int step = 0; step < 60; ++step) {
      const int kind = pick(0, 11);
      const int sectionCount = int(incremental.rows->sections.size());
      // An index path: mostly in range, sometimes one past the end, -1 or a section that is not there.
      auto anyPath = [&](int extra) {
        int s = pick(0, 9) == 0 ? (pick(0, 1) ? -1 : sectionCount) : pick(0, std::max(0, sectionCount - 1));
        int n = s >= 0 && s < sectionCount ? int(incremental.rows->sections[std::size_t(s)].size()) : 0;
        int r = pick(0, 9) == 0 ? (pick(0, 1) ? -1 : n + extra + pick(0, 1))
                                : pick(0, std::max(0, n + extra - 1));
        return IndexPath{s, r};
      };
      std::vector<IndexPath> paths;
      const int count = pick(1, 3);
      for (int i = 0; i < count; ++i) paths.push_back(anyPath(kind <= 2 ? count : 0));
      if (pick(0, 5) == 0) paths.push_back(paths.front());  // the same path twice
      // The data changes as the update says, for the paths that can be; now and then by one row
      // too many or too few.
      const int lie = pick(0, 7) == 0 ? (pick(0, 1) ? 1 : -1) : 0;
      // Rows inserted where none can be are often matched by a row added at the end, so that the
      // counts add up and only the place is wrong.
      const bool pad = pick(0, 1) == 1;
      // Drawn once for both tables.
      const IndexPath other = anyPath(0);
      const bool farSection = pick(0, 4) == 0;
      const double offset = double(pick(0, 400));
      const int chosen = pick(0, 99);
      std::string what;
      for (const auto& ip : paths) what += " " + ip.description();
      std::ostringstream label;
      label << "seed " << seed << " step " << step << " kind " << kind << " lie " << lie << ":" << what;
      for (Side* side : {&incremental, &whole}) {
        auto& data = side->rows->sections;
        auto& t = *side->table;
        auto valid = [&](const IndexPath& ip, int extra) {
          return ip.section >= 0 && ip.section < int(data.size()) && ip.row >= 0 &&
                 ip.row < int(data[std::size_t(ip.section)].size()) + extra;
        };
        std::set<IndexPath> unique(paths.begin(), paths.end());
        auto fib = [&](int s) {
          if (lie > 0 && s >= 0 && s < int(data.size())) data[std::size_t(s)].push_back(side->rows->nextId++);
          if (lie < 0 && s >= 0 && s < int(data.size()) && !data[std::size_t(s)].empty())
            data[std::size_t(s)].pop_back();
        };
        std::string answer;
        switch (kind) {
          case 0:
          case 1:
          case 2: {  // rows inserted, lowest first
            for (const auto& ip : unique)
              if (valid(ip, 1)) {
                auto& rows = data[std::size_t(ip.section)];
                rows.insert(rows.begin() + std::min<int>(ip.row, int(rows.size())), side->rows->nextId++);
              } else if (pad && ip.section >= 0 && ip.section < int(data.size())) {
                data[std::size_t(ip.section)].push_back(side->rows->nextId++);
              }
            fib(paths.front().section);
            answer = answerOf([&] { t.insertRowsAtIndexPaths(paths); });
            break;
          }
          case 3:
          case 4: {  // rows reloaded: their heights change
            for (const auto& ip : unique)
              if (valid(ip, 0)) data[std::size_t(ip.section)][std::size_t(ip.row)] = side->rows->nextId++;
            fib(paths.front().section);
            answer = answerOf([&] { t.reloadRowsAtIndexPaths(paths); });
            break;
          }
          case 5: {  // rows deleted, highest first
            for (auto it = unique.rbegin(); it != unique.rend(); ++it)
              if (valid(*it, 0)) {
                auto& rows = data[std::size_t(it->section)];
                rows.erase(rows.begin() + it->row);
              }
            fib(paths.front().section);
            answer = answerOf([&] { t.deleteRowsAtIndexPaths(paths); });
            break;
          }
          case 6: {  // a batch: one row inserted and another reloaded
            IndexPath in = paths.front(), re = other;
            if (valid(re, 0)) data[std::size_t(re.section)][std::size_t(re.row)] = side->rows->nextId++;
            if (valid(in, 1)) {
              auto& rows = data[std::size_t(in.section)];
              rows.insert(rows.begin() + std::min<int>(in.row, int(rows.size())), side->rows->nextId++);
            }
            fib(in.section);
            answer = answerOf([&] {
              t.beginUpdates();
              t.reloadRowsAtIndexPaths({re});
              t.insertRowsAtIndexPaths({in});
              t.endUpdates();
            });
            break;
          }
          case 7: {  // a section inserted, or one past the end
            int s = farSection ? int(data.size()) + 1 : std::min(paths.front().section + 1, int(data.size()));
            if (s >= 0 && s <= int(data.size()) && lie == 0)
              data.insert(data.begin() + s, std::vector<int>{side->rows->nextId++});
            answer = answerOf([&] { t.insertSections({s}); });
            break;
          }
          case 8: {  // a section deleted, or one that is not there
            int s = paths.front().section;
            if (s >= 0 && s < int(data.size()) && lie == 0) data.erase(data.begin() + s);
            answer = answerOf([&] { t.deleteSections({s}); });
            break;
          }
          case 9: {  // a section reloaded
            int s = paths.front().section;
            if (s >= 0 && s < int(data.size()))
              for (int& id : data[std::size_t(s)]) id = side->rows->nextId++;
            fib(s);
            answer = answerOf([&] { t.reloadSections({s}); });
            break;
          }
          case 10: {  // scrolled, and a row selected in view
            t.setContentOffset({0, offset});
            t.layoutSubviews();
            auto shown = t.indexPathsForVisibleRows();
            if (!shown.empty())
              t.selectRowAtIndexPath(shown[std::size_t(chosen % int(shown.size()))], false,
                                     TableViewScrollPosition::None);
            answer = "scrolled";
            break;
          }
          default:  // the data and the table made one again
            answer = answerOf([&] { t.reloadData(); });
        }
        side->answers.push_back(answer);
      }
      ASSERT_EQ(incremental.answers.back(), whole.answers.back()) << label.str();
      ASSERT_EQ(state(incremental), state(whole)) << label.str();
      std::vector<std::string> fast, plain;
      std::multiset<std::string> fastLayout, plainLayout;
      for (auto& c : incremental.rows->calls)
        isLayoutQuestion(c) ? void(fastLayout.insert(c)) : fast.push_back(c);
      for (auto& c : whole.rows->calls)
        isLayoutQuestion(c) ? void(plainLayout.insert(c)) : plain.push_back(c);
      ASSERT_EQ(fast, plain) << label.str();
      for (const auto& c : fastLayout) ASSERT_TRUE(plainLayout.count(c)) << label.str() << ": " << c;
      incremental.rows->calls.clear();
      whole.rows->calls.clear();
    }
  }
  // Refusals and the incremental path both came up.
  auto count = [&](const std::string& prefix) {
    return std::count_if(incremental.answers.begin(), incremental.answers.end(),
                         [&](const std::string& a) { return a.rfind(prefix, 0) == 0; });
  };
  EXPECT_GT(count("InternalInconsistencyException: attempt to insert row"), 0);
  EXPECT_GT(count("InternalInconsistencyException: Invalid update"), 0);
  EXPECT_GT(count("ok"), 100);
}

// A row inserted at -1 or past the end is refused as the whole layout refuses it, and the table
// lays out as its data says; the next valid insert works.
TEST_F(TableViewUpdateLayoutTest, ARowInsertedOutOfRangeIsRefusedAndTheTableGoesOn) {
  for (Side* side : {&incremental, &whole}) {
    side->table->reloadData();
    auto& rows = side->rows->sections[0];
    rows.insert(rows.begin(), side->rows->nextId++);
    EXPECT_EQ(
        answerOf([&] {
          side->table->insertRowsAtIndexPaths({{0, -1}});
        }),
        "InternalInconsistencyException: attempt to insert row -1 into section 0 which does not exist after "
        "the update");
    rows.push_back(side->rows->nextId++);
    EXPECT_EQ(
        answerOf([&] {
          side->table->insertRowsAtIndexPaths({{0, 2}, {0, 9}});
        }),
        "InternalInconsistencyException: attempt to insert row 9 into section 0 which does not exist after "
        "the update");
    rows.insert(rows.begin() + 1, side->rows->nextId++);
    EXPECT_EQ(answerOf([&] { side->table->insertRowsAtIndexPaths({{0, 1}}); }), "ok");
    EXPECT_EQ(side->table->numberOfRowsInSection(0), 6);
    // Rows 3, 5, 0, 1, 2 and 4: 0 + 45 + 20 + 33 + 46 above the last, 32 high.
    EXPECT_EQ(side->table->rectForRowAtIndexPath({0, 5}), Rect(0, 144, 320, 32));
  }
  EXPECT_EQ(state(incremental), state(whole));
}

}  // namespace
}  // namespace kavro::test
