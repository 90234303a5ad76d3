#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "kit/core/FSManager.h"
#include "kit/skin/AppSkinPackage.h"
#include "platform/foundation/Environment.h"
#include "platform/graphics/Image.h"
#include "tests/support/TempHome.h"

namespace kavro {
namespace {

// Every image the built-in skin names ships in both sizes and decodes, and the root file styles
// what a package must style.
TEST(NativeSkinResourcesTest, EveryNamedImageShipsInBothSizes) {
  test::TempHome home;
  for (std::string group : {"", "app_home/"}) {
    auto text = FSManager::stringFromResource("Images/" + group + "skin.xml");
    ASSERT_TRUE(text) << group;
    std::regex image(R"(>([A-Za-z0-9_]+)\.png<)");
    int count = 0;
    for (auto it = std::sregex_iterator(text->begin(), text->end(), image); it != std::sregex_iterator();
         ++it) {
      std::string stem = (*it)[1];
      for (std::string name : {stem + ".png", stem + "@2x.png"}) {
        bool inGroup = FSManager::isResourceFile("Images/" + group + name);
        bool atRoot = FSManager::isResourceFile("Images/" + name);
        EXPECT_TRUE(inGroup || atRoot) << group << name;
      }
      auto image2x = platform::Image::imageNamed("Images/" + group + stem + ".png", 2.0);
      if (!image2x) image2x = platform::Image::imageNamed("Images/" + stem + ".png", 2.0);
      ASSERT_NE(image2x, nullptr) << stem;
      EXPECT_EQ(image2x->scale(), 2.0) << stem;
      ++count;
    }
    EXPECT_GT(count, 0) << group;
  }
  auto root = *FSManager::stringFromResource("Images/skin.xml");
  for (auto target : {"UINavigationController", "UIButton", "UILabel"}) {
    EXPECT_NE(root.find(std::string("skinTarget=\"") + target + "\""), std::string::npos) << target;
  }
}

}  // namespace
}  // namespace kavro
