#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "mapsdk/engine/CAppDataCache.h"
#include "mapsdk/engine/CComplexPt.h"
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVList.h"
#include "mapsdk/engine/CVMapStringToPtr.h"
#include "mapsdk/engine/CVMapWordToPtr.h"

using namespace gmengine;

TEST(ContainersTest, ArrayGrowsInsertsAndRemoves) {
  CVArray<CVString> a;
  a.SetAtGrow(0, CVString("a"));
  a.SetAtGrow(2, CVString("c"));  // grows past the end
  EXPECT_EQ(a.GetSize(), 3);
  EXPECT_TRUE(a[1].IsEmpty());
  a.InsertAt(0, CVString("z"), 1);
  a.RemoveAt(1, 2);
  ASSERT_EQ(a.GetSize(), 2);
  EXPECT_EQ(a[0], CVString("z"));
  EXPECT_EQ(a[1], CVString("c"));
  a.RemoveAt(5);  // outside: nothing
  a.Append(a);
  EXPECT_EQ(a.GetSize(), 4);
  CVArray<CVString> b;
  b.Copy(a);
  EXPECT_EQ(b.GetSize(), 4);
  EXPECT_TRUE(b[99].IsEmpty());  // outside the array: a scratch element
  b.SetSize(-1);
  EXPECT_EQ(b.GetSize(), 0);
  EXPECT_EQ(b.GetData(), nullptr);
}

TEST(ContainersTest, ListKeepsOrder) {
  CVList<int> list(4);
  list.AddTail(1);
  list.AddTail(2);
  list.AddHead(0);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.RemoveHead(), 0);
  EXPECT_EQ(list.RemoveTail(), 2);
  EXPECT_EQ(list.GetHead(), 1);
  list.RemoveAll();
  EXPECT_EQ(list.RemoveHead(), 0);
  EXPECT_TRUE(list.IsEmpty());
}

TEST(ContainersTest, MapsLookUpAndIterateInInsertionOrder) {
  CVMapStringToPtr map(10);
  map.InitHashTable(17, 1);
  int one = 1, two = 2, three = 3;
  map.SetAt(CVString("乙"), &two);
  map.SetAt(CVString("甲"), &one);
  map.SetAt(CVString("丙"), &three);
  map.SetAt(CVString("乙"), &one);  // replaced in place
  void* value = nullptr;
  ASSERT_EQ(map.Lookup(CVString("乙"), value), 1);
  EXPECT_EQ(value, &one);
  EXPECT_EQ(map.Lookup(CVString("丁"), value), 0);

  std::vector<std::string> order;
  POSITION pos = map.GetStartPosition();
  while (pos) {
    CVString key;
    map.GetNextAssoc(pos, key, value);
    order.push_back(key.ToUtf8());
    if (key == CVString("甲")) map.RemoveKey(key);  // removing the entry just read is fine
  }
  EXPECT_EQ(order, (std::vector<std::string>{"乙", "甲", "丙"}));
  EXPECT_EQ(map.GetCount(), 2);
  map.RemoveAll();
  EXPECT_EQ(map.GetStartPosition(), nullptr);

  CVMapWordToPtr words;
  words[7] = &three;
  ASSERT_EQ(words.Lookup(7, value), 1);
  EXPECT_EQ(value, &three);
}

namespace {
std::vector<int> freed;

// A cached record that notes when it is freed.
struct Noted {
  explicit Noted(int w) : word(w) {}
  ~Noted() { freed.push_back(word); }
  int word;
};
using NotedRecord = std::unique_ptr<Noted>;
}  // namespace

TEST(ContainersTest, AppDataCacheEvictsTheOldestAndFreesIt) {
  freed.clear();
  {
    CAppDataCache<NotedRecord> cache;
    cache.SetCapacity(2);
    cache.Add(CVString("a"), std::make_unique<Noted>(11), 11);
    cache.Add(CVString("b"), std::make_unique<Noted>(12), 12);
    cache.Add(CVString("c"), std::make_unique<Noted>(13), 13);  // evicts "a"
    EXPECT_EQ(freed, std::vector<int>{11});
    int word = 0;
    EXPECT_EQ(cache.Find(CVString("a"), word), nullptr);
    const NotedRecord* data = cache.Find(CVString("b"), word);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ((*data)->word, 12);
    EXPECT_EQ(word, 12);
    // Finding does not reorder: "b" is still the oldest.
    cache.Add(CVString("d"), std::make_unique<Noted>(14), 14);
    EXPECT_EQ(freed, (std::vector<int>{11, 12}));
    cache.RemoveAll();  // from the tail
    EXPECT_EQ(freed, (std::vector<int>{11, 12, 13, 14}));
    cache.Add(CVString("e"), std::make_unique<Noted>(15), 15);
  }
  EXPECT_EQ(freed.back(), 15);  // freed with the cache
}

TEST(ContainersTest, ComplexPointReadsPartsSafely) {
  CComplexPt shape;
  _VPoint line[] = {{0, 0}, {10, -5}};
  shape.AddPart(line, 2);
  shape.AddPoint({3, 8});
  EXPECT_EQ(shape.GetPartSize(), 1);
  EXPECT_EQ(shape.GetPart(0)->GetSize(), 3);
  EXPECT_EQ(shape.GetPart(1), nullptr);
  EXPECT_EQ(shape.GetPartPt(0, 1), _VPoint(10, -5));
  EXPECT_EQ(shape.GetPartPt(0, 3), _VPoint());
  EXPECT_EQ(shape.GetBound(), _VRect(0, 8, 10, -5));
  CComplexPt copy = shape;
  EXPECT_EQ(copy.GetPartPt(0, 2), _VPoint(3, 8));
}

TEST(ContainersTest, ComplexPointBoundsAreTheExtremesOfEveryPart) {
  // Shapes away from the origin, so a bound that started at (0, 0) would show.
  std::mt19937 random(20261209);
  for (int round = 0; round < 50; ++round) {
    CComplexPt shape;
    EXPECT_EQ(shape.GetBound(), _VRect());
    std::uniform_int_distribution<int> offset(-100000, 100000), spread(0, 500), count(1, 6);
    const int cx = offset(random), cy = offset(random);
    int left = 0, right = 0, bottom = 0, top = 0;
    bool any = false;
    int parts = count(random);
    for (int p = 0; p < parts; ++p) {
      std::vector<_VPoint> points(static_cast<std::size_t>(count(random) - 1));  // an empty part at times
      for (_VPoint& pt : points) {
        pt = _VPoint(cx + spread(random) + 1, cy - spread(random) - 1);
        left = any ? std::min(left, pt.x) : pt.x;
        right = any ? std::max(right, pt.x) : pt.x;
        bottom = any ? std::min(bottom, pt.y) : pt.y;
        top = any ? std::max(top, pt.y) : pt.y;
        any = true;
      }
      shape.AddPart(points.data(), static_cast<int>(points.size()));
      ASSERT_EQ(shape.GetPart(p)->GetSize(), static_cast<int>(points.size()));
    }
    EXPECT_EQ(shape.GetBound(), any ? _VRect(left, top, right, bottom) : _VRect()) << round;
  }
}
