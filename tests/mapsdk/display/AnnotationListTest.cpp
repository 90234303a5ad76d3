// The map's annotation list and its address table, checked against plain containers over random
// operations, invalid ones included: enough annotations for the table to grow many times and for
// runs of slots to wrap past its end, each removed in an order drawn afresh.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/GMKPointAnnotation.h"
#include "mapsdk/display/PointerTable.h"

namespace mapsdk {
namespace {

std::vector<std::shared_ptr<GMKAnnotation>> Pool(std::size_t n) {
  std::vector<std::shared_ptr<GMKAnnotation>> pool;
  for (std::size_t i = 0; i < n; ++i) pool.push_back(std::make_shared<GMKPointAnnotation>());
  return pool;
}

TEST(AnnotationListTest, AgreesWithAPlainListOverRandomChanges) {
  for (unsigned seed : {1u, 2u, std::random_device{}()}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Few enough to come twice often, many enough for the table to grow past a thousand slots.
    const auto pool = Pool(seed < 3 ? 40 : 1500);
    GMKAnnotationList list;
    std::vector<std::shared_ptr<GMKAnnotation>> plain;
    for (int step = 0; step < 6000; ++step) {
      const auto& a = pool[random() % pool.size()];
      const unsigned op = random() % 10;
      if (op < 5) {
        list.add(a);
        plain.push_back(a);
      } else if (op < 9) {
        const bool held = std::find(plain.begin(), plain.end(), a) != plain.end();
        ASSERT_EQ(list.remove(a.get()), held) << "step " << step;
        std::erase(plain, a);
        // A second removal finds nothing.
        ASSERT_FALSE(list.remove(a.get())) << "step " << step;
      } else {
        ASSERT_EQ(list.items(), plain) << "step " << step;
        std::map<const GMKAnnotation*, int> seen;
        bool duplicates = false;
        for (const auto& p : plain) duplicates |= ++seen[p.get()] > 1;
        ASSERT_EQ(list.hasDuplicates(), duplicates) << "step " << step;
      }
      ASSERT_EQ(list.count(a.get()), std::size_t(std::count(plain.begin(), plain.end(), a)))
          << "step " << step;
    }
    ASSERT_EQ(list.items(), plain);
    // Emptied one by one in an order drawn afresh, then used again.
    std::vector<std::shared_ptr<GMKAnnotation>> leaving = plain;
    std::shuffle(leaving.begin(), leaving.end(), random);
    for (const auto& a : leaving) {
      list.remove(a.get());
      std::erase(plain, a);
      ASSERT_EQ(list.count(a.get()), 0u);
    }
    ASSERT_TRUE(list.items().empty());
    list.add(pool[0]);
    ASSERT_EQ(list.items(), std::vector<std::shared_ptr<GMKAnnotation>>{pool[0]});
    ASSERT_EQ(list.count(pool[0].get()), 1u);
  }
}

TEST(AnnotationListTest, TheAddressTableAgreesWithAPlainMap) {
  for (unsigned seed : {1u, std::random_device{}()}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto pool = Pool(3000);
    PointerTable<GMKAnnotation, std::shared_ptr<int>> table;
    std::map<const GMKAnnotation*, int> plain;
    for (int step = 0; step < 8000; ++step) {
      const GMKAnnotation* a = pool[random() % pool.size()].get();
      const unsigned op = random() % 8;
      if (op < 4) {
        auto& v = table[a];
        if (!v) v = std::make_shared<int>(step);
        plain.try_emplace(a, *v);
      } else if (op < 7) {
        auto it = table.find(a);
        ASSERT_EQ(it != table.end(), plain.count(a) == 1) << "step " << step;
        if (it != table.end()) {
          std::weak_ptr<int> gone = it->second;
          table.erase(it);
          plain.erase(a);
          // A value erased is let go, not kept in a free slot.
          ASSERT_TRUE(gone.expired()) << "step " << step;
        }
      } else {
        std::map<const GMKAnnotation*, int> listed;
        for (const auto& [key, v] : table) ASSERT_TRUE(listed.emplace(key, *v).second);
        ASSERT_EQ(listed, plain) << "step " << step;
      }
      ASSERT_EQ(table.size(), plain.size());
      // Every key held is found with its value.
      const GMKAnnotation* b = pool[random() % pool.size()].get();
      const auto& constant = table;
      auto found = constant.find(b);
      ASSERT_EQ(found != constant.end(), plain.count(b) == 1) << "step " << step;
      if (found != constant.end()) {
        ASSERT_EQ(*found->second, plain.at(b)) << "step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace mapsdk
