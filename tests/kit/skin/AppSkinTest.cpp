#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "kit/base64/Base64.h"
#include "kit/core/StringConversion.h"
#include "kit/skin/AppSkinTargets.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Device.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/View.h"
#include "tests/kit/skin/SkinTestSupport.h"

namespace kavro {
namespace {

using platform::Color;
using test::bytesOf;
using test::installSkin;
using test::requiredItems;
using test::skinXml;
using test::zipOf;

TEST(AppSkinKeyTest, KeysNameGroupAndType) {
  auto full = AppSkin::parseSkinKey("@app_home@grid_jobsearch");
  EXPECT_EQ(full.group, "app_home");
  EXPECT_EQ(full.type, "grid_jobsearch");
  auto groupOnly = AppSkin::parseSkinKey("@app_home");
  EXPECT_EQ(groupOnly.group, "app_home");
  EXPECT_EQ(groupOnly.type, "");
  auto typeOnly = AppSkin::parseSkinKey("grid_jobsearch");
  EXPECT_EQ(typeOnly.group, "");
  EXPECT_EQ(typeOnly.type, "grid_jobsearch");
  auto typeWithAt = AppSkin::parseSkinKey("@g@t@u");
  EXPECT_EQ(typeWithAt.group, "g");
  EXPECT_EQ(typeWithAt.type, "t@u");
}

class AppSkinTest : public test::SkinTest {};

TEST_F(AppSkinTest, TheBuiltInSkinLoadsAndStylesControls) {
  auto& skin = AppSkin::sharedAppSkin();
  EXPECT_EQ(skin.skinName(), AppSkin::NativeSkinName);
  EXPECT_EQ(skin.skinPackage(), nullptr);

  auto label = std::make_shared<platform::Label>();
  EXPECT_TRUE(AppSkin::apply(label));
  EXPECT_EQ(label->font().pointSize(), platform::Font::labelFontSize());

  auto title = std::make_shared<platform::Label>();
  EXPECT_TRUE(AppSkin::applyWithSkinKey(title, "title"));
  EXPECT_TRUE(title->font().isBold());

  auto grid = std::make_shared<platform::Label>();
  EXPECT_TRUE(AppSkin::applyWithSkinKey(grid, "@app_home@grid_jobsearch"));
  EXPECT_EQ(grid->textAlignment(), platform::TextAlignment::Center);

  // Native images come through the named lookup, "@2x" on the default scale-2 screen.
  auto icon = AppSkin::imageWithSkinKey("@app_home@grid_jobsearch");
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->scale(), 2.0);
  EXPECT_EQ(icon->size().width, 24);

  auto button = platform::Button::buttonWithType();
  EXPECT_TRUE(AppSkin::apply(button));
  auto background = button->backgroundImageForState(platform::ControlState::Normal);
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->leftCapWidth(), 6);
  EXPECT_EQ(background->topCapHeight(), 16);
}

TEST_F(AppSkinTest, AttributesReadTheSameByNameAndByKey) {
  ASSERT_TRUE(installSkin(
      "keys", zipOf({{"skin.xml",
                      bytesOf(skinXml(requiredItems() +
                                      "<item skinTarget=\"UILabel\" skinType=\"k\"><alpha>0.5</alpha>"
                                      "<textAlignment>UITextAlignmentCenter</textAlignment>"
                                      "<textColor>#204060</textColor><fontsize>13</fontsize></item>"))}})));
  auto& skin = AppSkin::sharedAppSkin();
  ASSERT_TRUE(skin.loadPackage("keys"));
  auto m = skin.getSkin("UILabel", "k", "");
  ASSERT_TRUE(m);
  using Key = AppSkinAttributes::Key;
  EXPECT_EQ(m->number(Key::alpha), 0.5);
  EXPECT_EQ(m->number("alpha"), 0.5);
  EXPECT_EQ(m->color(Key::textColor), m->color("textColor"));
  EXPECT_TRUE(m->color(Key::textColor));
  EXPECT_EQ(m->integer(Key::textAlignment), m->integer("textAlignment"));
  EXPECT_EQ(m->font(Key::font)->pointSize(), 13);
  EXPECT_FALSE(m->number(Key::textColor)) << "a colour is no number";
  EXPECT_FALSE(m->has(Key::image));
  EXPECT_EQ(AppSkinAttributes::keyNamed("alpha"), Key::alpha);
  EXPECT_EQ(AppSkinAttributes::keyNamed("segmentedControlStyle"), Key::segmentedControlStyle);
  EXPECT_FALSE(AppSkinAttributes::keyNamed("Alpha"));

  // Names without a slot are kept by name.
  AppSkinAttributes own;
  EXPECT_TRUE(own.empty());
  own.set("alpha", 0.25);
  own.set("glow", 2.0);
  own.set("alpha", 0.75);
  EXPECT_EQ(own.count(), 2u);
  EXPECT_EQ(own.number(Key::alpha), 0.75);
  EXPECT_EQ(own.number("glow"), 2.0);
  EXPECT_FALSE(own.has("shine"));
}

TEST_F(AppSkinTest, RequestsFallBackWithinTheirGroupOnly) {
  ASSERT_TRUE(installSkin(
      "fallback",
      zipOf({{"skin.xml",
              bytesOf(skinXml(requiredItems() +
                              "<item skinTarget=\"UILabel\" skinType=\"blue\"><alpha>0.5</alpha></item>"))},
             {"fb/skin.xml",
              bytesOf(skinXml("<item skinTarget=\"UIButton\"><alpha>0.25</alpha></item>"
                              "<item skinType=\"blue\"><alpha>0.75</alpha></item>"
                              "<item skinTarget=\"UITextField\" skinType=\"ok\"><alpha>0.1</alpha></item>"
                              "<item><alpha>0.9</alpha></item>"))}})));
  auto& skin = AppSkin::sharedAppSkin();
  ASSERT_TRUE(skin.loadPackage("fallback"));

  auto alphaOf = [&](std::string_view target, std::string_view type, std::string_view group) {
    auto m = skin.getSkin(target, type, group);
    return m ? m->number("alpha").value_or(-1) : -2.0;
  };
  EXPECT_EQ(alphaOf("UIButton", "blue", "fb"), 0.25) << "(target, \"*\") before (\"*\", type)";
  EXPECT_EQ(alphaOf("UILabel", "blue", "fb"), 0.75) << "(\"*\", type) when the target has no map";
  EXPECT_EQ(alphaOf("UITextField", "*", "fb"), -2.0) << "a general request never takes a specific map";
  EXPECT_EQ(alphaOf("UITextField", "blue", "fb"), 0.75);
  EXPECT_EQ(alphaOf("*", "*", "fb"), -2.0);
  EXPECT_EQ(alphaOf("UILabel", "blue", ""), 0.5) << "no group is group \"*\"";
  EXPECT_EQ(alphaOf("UILabel", "blue", "home"), -2.0) << "never another group";
  EXPECT_EQ(alphaOf("UILabel", "*", "home"), -2.0);

  auto button = platform::Button::buttonWithType();
  EXPECT_TRUE(AppSkin::apply(button, "blue", "fb"));
  EXPECT_EQ(button->alpha(), 0.25);
  auto label = std::make_shared<platform::Label>();
  label->setAlpha(1);
  EXPECT_FALSE(AppSkin::applyWithSkinKey(label, "@home@blue"));
  EXPECT_EQ(label->alpha(), 1) << "a control without a map keeps its look";
}

TEST_F(AppSkinTest, EachStartStylesFromTheBuiltInSkinFileAsItIsNow) {
  const std::string root = platform::Environment::tmpPath() + "/resources";
  auto writeNative = [&](const std::string& labelColour) {
    ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(root + "/Images", true));
    ASSERT_TRUE(platform::FileManager::createFileAtPath(
        root + "/Images/skin.xml",
        bytesOf(skinXml("<item skinTarget=\"UILabel\"><textColor>" + labelColour + "</textColor></item>"))));
  };
  auto labelColourOfANewStart = [] {
    AppSkin::destroySharedAppSkin();
    auto label = std::make_shared<platform::Label>();
    EXPECT_TRUE(AppSkin::apply(label));
    return label->textColor();
  };
  const std::string previous = platform::Environment::setResourceRoot(root);
  writeNative("#112233");
  const Color first = labelColourOfANewStart();
  const Color again = labelColourOfANewStart();
  writeNative("#445566");
  const Color changed = labelColourOfANewStart();
  platform::Environment::setResourceRoot(previous);
  const Color builtIn = labelColourOfANewStart();
  EXPECT_EQ(first, kavro::str::toColor("#112233"));
  EXPECT_EQ(again, kavro::str::toColor("#112233"));
  EXPECT_EQ(changed, kavro::str::toColor("#445566"));
  EXPECT_EQ(builtIn, kavro::str::toColor("#333333"));
}

TEST_F(AppSkinTest, InstallingAndSwitchingPostsTheNotificationOnce) {
  auto& skin = AppSkin::sharedAppSkin();
  int posts = 0;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      AppSkin::SkinChangedNotification, nullptr, [&](const platform::Notification&) { ++posts; });

  auto label = std::make_shared<platform::Label>();
  ASSERT_TRUE(AppSkin::apply(label));
  EXPECT_EQ(label->textColor(), kavro::str::toColor("#333333"));

  EXPECT_FALSE(skin.loadPackage("blue")) << "not installed";
  ASSERT_TRUE(installSkin("blue", zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))}})));
  EXPECT_TRUE(AppSkin::hasLocalSkin("blue"));
  EXPECT_FALSE(installSkin("blue", zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))}})))
      << "a present skin is never overwritten";

  EXPECT_TRUE(skin.loadPackage("blue"));
  EXPECT_TRUE(skin.loadPackage("blue"));
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(skin.skinName(), "blue");
  ASSERT_TRUE(AppSkin::apply(label));
  EXPECT_EQ(label->textColor(), kavro::str::toColor("#00ff00"));

  // Groups the package lacks come from the native skin.
  auto grid = std::make_shared<platform::Label>();
  EXPECT_TRUE(AppSkin::applyWithSkinKey(grid, "@app_home@grid_jobsearch"));

  EXPECT_TRUE(AppSkin::setDefaultSkin("blue"));
  EXPECT_EQ(AppSkin::getDefaultSkin(), "blue");
  auto list = AppSkin::getLocalSkinList();
  ASSERT_EQ(list->count(), 2u);
  EXPECT_EQ(list->getItem(0)->getString("name"), AppSkin::NativeSkinName);
  EXPECT_EQ(list->getItem(0)->getString("title"), "默认皮肤");
  EXPECT_TRUE(list->getItem(1)->getBool(AppSkin::CachedKey));

  // A new start uses the stored default; once removed, the native skin.
  AppSkin::destroySharedAppSkin();
  EXPECT_EQ(AppSkin::sharedAppSkin().skinName(), "blue");
  EXPECT_TRUE(AppSkin::removeLocalSkin("blue"));
  EXPECT_EQ(AppSkin::getDefaultSkin(), AppSkin::NativeSkinName);
  EXPECT_TRUE(AppSkin::sharedAppSkin().loadPackage(std::string(AppSkin::NativeSkinName)));
  EXPECT_EQ(AppSkin::sharedAppSkin().skinPackage(), nullptr);
  platform::NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(AppSkinTest, APackageGroupFileReplacesTheNativeOne) {
  ASSERT_TRUE(installSkin(
      "partial",
      zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))},
             {"app_home/skin.xml",
              bytesOf(
                  skinXml("<item skinTarget=\"UILabel\" skinType=\"other\"><alpha>0.5</alpha></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("partial"));
  auto label = std::make_shared<platform::Label>();
  EXPECT_FALSE(AppSkin::applyWithSkinKey(label, "@app_home@grid_jobsearch"))
      << "no merging with the native file";
  EXPECT_TRUE(AppSkin::applyWithSkinKey(label, "@app_home@other"));
  EXPECT_EQ(label->alpha(), 0.5);
}

TEST_F(AppSkinTest, TheSkinListAndTheStoreRefuseBadRecords) {
  EXPECT_EQ(AppSkin::getLocalSkinList()->count(), 1u);
  platform::Data small(49, 'x');
  EXPECT_FALSE(installSkin("small", small));
  platform::Data enough(50, 'x');
  EXPECT_FALSE(installSkin("a/b", enough));
  EXPECT_FALSE(installSkin(std::string(AppSkin::NativeSkinName), enough));
  EXPECT_FALSE(installSkin("..", enough));
  EXPECT_TRUE(installSkin("raw", enough)) << "stored as bytes; validity is checked when used";
  auto record = DataItemDetail::newDetail();
  record->setString("x", "name");
  EXPECT_FALSE(AppSkin::saveLocalSkin(record.get(), enough)) << "title, valid and url are required";
  EXPECT_FALSE(AppSkin::removeLocalSkin(AppSkin::NativeSkinName));
  EXPECT_TRUE(AppSkin::hasLocalSkin(AppSkin::NativeSkinName));
}

TEST_F(AppSkinTest, HighResolutionImagesAreChosenOnAScaleTwoScreen) {
  auto group = skinXml(
      "<item skinTarget=\"UIImage\" skinType=\"icon\"><image>icon.png</image></item>"
      "<item skinTarget=\"UIImage\" skinType=\"root\"><image>rootonly.png</image></item>"
      "<item skinTarget=\"UIImage\" skinType=\"native\"><image>nav_bar_bg.png</image></item>");
  ASSERT_TRUE(installSkin("hd", zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))},
                                       {"g/skin.xml", bytesOf(group)},
                                       {"g/icon@2x.png", test::pngData(40, 40)},
                                       {"g/icon.png", test::pngData(20, 20)},
                                       {"rootonly@2x.png", test::pngData(8, 8)}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("hd"));
  auto icon = AppSkin::imageWithSkinKey("@g@icon");
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->scale(), 2.0);
  EXPECT_EQ(icon->size().width, 20);
  auto root = AppSkin::imageWithSkinKey("@g@root");
  ASSERT_NE(root, nullptr) << "the root is the fallback for every group";
  EXPECT_EQ(root->size().width, 4);
  auto native = AppSkin::imageWithSkinKey("@g@native");
  ASSERT_NE(native, nullptr) << "missing in the package: the native image";
  EXPECT_EQ(native->size().width, 8);

  // On a scale-1 screen the plain names are read.
  AppSkin::destroySharedAppSkin();
  platform::Screen::mainScreen().setScale(1);
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("hd"));
  auto plain = AppSkin::imageWithSkinKey("@g@icon");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->scale(), 1.0);
  EXPECT_EQ(plain->size().width, 20);
}

TEST_F(AppSkinTest, ImagesAreDecodedOncePerSkin) {
  auto group = skinXml("<item skinTarget=\"UIImage\" skinType=\"icon\"><image>icon.png</image></item>");
  for (const auto& [name, width] : {std::pair{"small", 40}, std::pair{"large", 60}})
    ASSERT_TRUE(installSkin(name, zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))},
                                         {"g/skin.xml", bytesOf(group)},
                                         {"g/icon@2x.png", test::pngData(width, width)}})));
  auto& skin = AppSkin::sharedAppSkin();
  ASSERT_TRUE(skin.loadPackage("small"));
  auto first = AppSkin::imageWithSkinKey("@g@icon");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->size().width, 20);
  EXPECT_EQ(AppSkin::imageWithSkinKey("@g@icon"), first) << "the same image, not decoded again";

  // The same attribute in another skin is that skin's image.
  ASSERT_TRUE(skin.loadPackage("large"));
  auto other = AppSkin::imageWithSkinKey("@g@icon");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->size().width, 30);

  // The kept images hold 8 MiB of pixels at most: two halves fill it, an image of exactly that much
  // is kept, one a row larger is made at every ask and leaves the others be, and one that does not
  // fit beside the kept ones makes room first. Images at the side and pixel limits are made, one
  // past is not.
  std::string items;
  std::map<std::string, platform::Data> files{{"skin.xml", bytesOf(skinXml(requiredItems()))}};
  for (auto [type, width, height] :
       {std::tuple{"half", 1024, 1024}, std::tuple{"other", 1024, 1024}, std::tuple{"icon", 40, 40},
        std::tuple{"full", 1024, 2048}, std::tuple{"over", 1024, 2049}, std::tuple{"widest", 4096, 1024},
        std::tuple{"wider", 4097, 1}, std::tuple{"more", 4096, 1025}}) {
    items += "<item skinTarget=\"UIImage\" skinType=\"" + std::string(type) + "\"><image>" + type +
             ".png</image></item>";
    files["g/" + std::string(type) + "@2x.png"] = test::pngData(width, height);
  }
  files["g/skin.xml"] = bytesOf(skinXml(items));
  ASSERT_TRUE(installSkin("budget", zipOf(files)));
  ASSERT_TRUE(skin.loadPackage("budget"));
  auto half = AppSkin::imageWithSkinKey("@g@half");
  auto otherHalf = AppSkin::imageWithSkinKey("@g@other");
  ASSERT_TRUE(half && otherHalf);
  EXPECT_EQ(AppSkin::imageWithSkinKey("@g@half"), half) << "two halves fit";
  auto icon = AppSkin::imageWithSkinKey("@g@icon");
  auto full = AppSkin::imageWithSkinKey("@g@full");
  ASSERT_TRUE(icon && full);
  EXPECT_EQ(full->size(), (platform::Size{512, 1024}));
  EXPECT_EQ(AppSkin::imageWithSkinKey("@g@full"), full) << "exactly the budget is kept";
  EXPECT_NE(AppSkin::imageWithSkinKey("@g@icon"), icon) << "the full one made room";
  EXPECT_NE(AppSkin::imageWithSkinKey("@g@full"), full) << "and the icon made room again";
  EXPECT_NE(AppSkin::imageWithSkinKey("@g@half"), half) << "the icon made room at first";
  auto over = AppSkin::imageWithSkinKey("@g@over");
  ASSERT_TRUE(over);
  EXPECT_NE(AppSkin::imageWithSkinKey("@g@over"), over) << "past the budget nothing is kept";
  auto widest = AppSkin::imageWithSkinKey("@g@widest");
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->size(), (platform::Size{2048, 512}));
  EXPECT_FALSE(AppSkin::imageWithSkinKey("@g@wider"));
  EXPECT_FALSE(AppSkin::imageWithSkinKey("@g@more"));
}

TEST_F(AppSkinTest, InlineImagesScalesAndCaps) {
  auto png = test::pngData(6, 6);
  std::string b64 = *base64EncodeData(png);
  ASSERT_TRUE(installSkin(
      "inline",
      zipOf(
          {{"skin.xml",
            bytesOf(skinXml(
                requiredItems() + "<item skinTarget=\"UIImage\" skinType=\"a\"><image scale=\"2\">" + b64 +
                "</image></item><item skinTarget=\"UIImage\" skinType=\"b\"><image leftCapWidth=\"2\">" +
                b64 +
                "</image></item><item skinTarget=\"UIImage\" skinType=\"c\"><image>!!!</image></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("inline"));
  auto a = AppSkin::imageWithSkinType("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->scale(), 2.0);
  EXPECT_EQ(a->size().width, 3);
  auto b = AppSkin::imageWithSkinType("b");
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->isResizable()) << "leftCapWidth without topCapHeight";
  EXPECT_EQ(b->leftCapWidth(), 0);
  EXPECT_EQ(AppSkin::imageWithSkinType("c"), nullptr);
}

TEST_F(AppSkinTest, HostilePackagesAreRefusedAndTheSkinStays) {
  auto& skin = AppSkin::sharedAppSkin();
  auto bigPng = test::pngData(5000, 4);
  struct Case {
    const char* name;
    platform::Data bytes;
  };
  std::vector<Case> cases = {
      {"notzip", platform::Data(200, 'z')},
      {"noskin", zipOf({{"other.xml", bytesOf(skinXml(requiredItems()))}})},
      {"malformed",
       zipOf({{"skin.xml", bytesOf("<responsemessage><resultbody><item skinTarget=\"UILabel\"")}})},
      {"outside", zipOf({{"skin.xml", bytesOf("<r><result>1</result>" + requiredItems() + "</r>")}})},
      {"errorresult", zipOf({{"skin.xml", bytesOf("<r><result>0</result><resultbody>" + requiredItems() +
                                                  "</resultbody></r>")}})},
      {"twotargets",
       zipOf({{"skin.xml", bytesOf(skinXml("<item skinTarget=\"UIButton\"/><item skinTarget=\"UILabel\"/>"
                                           "<item skinTarget=\"UIButton\"/>"))}})},
      {"nested", zipOf({{"x/skin.xml", bytesOf(skinXml(requiredItems()))}})},
      {"truncated",
       [] {
         auto z = zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))}});
         z.resize(z.size() / 2);
         return z;
       }()},
  };
  for (auto& c : cases) {
    ASSERT_TRUE(installSkin(c.name, c.bytes)) << c.name;
    EXPECT_FALSE(AppSkinPackage::isValidSkinPackage(c.name)) << c.name;
    EXPECT_FALSE(skin.loadPackage(c.name)) << c.name;
    EXPECT_EQ(skin.skinName(), AppSkin::NativeSkinName) << c.name;
  }
  EXPECT_FALSE(skin.loadPackage(""));
  EXPECT_FALSE(skin.loadPackage("../kavro_client_data"));
  EXPECT_FALSE(AppSkinPackage::initWithPackageName("..")->isLoaded());

  // Adding the missing target makes the two-target package valid.
  ASSERT_TRUE(installSkin("threetargets", zipOf({{"skin.xml", bytesOf(skinXml(requiredItems()))}})));
  EXPECT_TRUE(AppSkinPackage::isValidSkinPackage("threetargets"));

  // A valid package with a huge image and names leaving the folder: the images are not made, and
  // the controls keep their look.
  ASSERT_TRUE(installSkin(
      "huge",
      zipOf({{"skin.xml",
              bytesOf(skinXml(
                  requiredItems() +
                  "<item skinTarget=\"UIView\" "
                  "skinType=\"big\"><backgroundImage>big.png</backgroundImage></item>"
                  "<item skinTarget=\"UIView\" "
                  "skinType=\"up\"><backgroundImage>../../Config/client.sign</backgroundImage></item>"
                  "<item skinTarget=\"UIImage\" skinType=\"abs\"><image>/etc/passwd.png</image></item>"))},
             {"big@2x.png", bigPng}})));
  ASSERT_TRUE(skin.loadPackage("huge"));
  auto view = std::make_shared<platform::View>();
  EXPECT_TRUE(AppSkin::apply(view, "big"));
  EXPECT_EQ(view->backgroundPatternImage(), nullptr);
  EXPECT_TRUE(AppSkin::apply(view, "up"));
  EXPECT_EQ(view->backgroundPatternImage(), nullptr);
  EXPECT_EQ(AppSkin::imageWithSkinType("abs"), nullptr);
}

// The kit's cell, as the list library declares it.
class FakeCell : public platform::View, public AppSkinTableCell {
 public:
  void setBgColor(std::optional<Color> color, std::shared_ptr<platform::Image> pattern) override {
    color_ = color;
    pattern_ = std::move(pattern);
  }
  std::optional<Color> color_;
  std::shared_ptr<platform::Image> pattern_;
};

TEST_F(AppSkinTest, AttributesReachEachKindOfControl) {
  ASSERT_TRUE(installSkin(
      "look",
      zipOf({{"skin.xml",
              bytesOf(skinXml(
                  "<item "
                  "skinTarget=\"UINavigationController\"><tintColor>red</"
                  "tintColor><barStyle>UIBarStyleBlackOpaque</barStyle>"
                  "<transparent>yes</transparent><backgroundColor>#0000ff</backgroundColor></item>"
                  "<item "
                  "skinTarget=\"UIApplication\"><statusBarStyle>UIStatusBarStyleBlackOpaque</"
                  "statusBarStyle></item>"
                  "<item "
                  "skinTarget=\"UIButton\"><textColor>#ff0000</textColor><highlightedColor>green</"
                  "highlightedColor>"
                  "<backgroundImage>missing.png</backgroundImage><showsTouchWhenHighlighted>1</"
                  "showsTouchWhenHighlighted>"
                  "<contentHorizontalAlignment>UIControlContentHorizontalAlignmentLeft</"
                  "contentHorizontalAlignment></item>"
                  "<item skinTarget=\"UILabel\"><textAlignment>center</textAlignment><fontsize>0</fontsize>"
                  "<minimumFontSize>small</minimumFontSize></item>"
                  "<item "
                  "skinTarget=\"UITableView\"><separatorStyle>UITableViewCellSeparatorStyleNone</"
                  "separatorStyle>"
                  "<separatorColor>gray</separatorColor><cornerRadius> "
                  "4.5px</cornerRadius><borderWidth>x</borderWidth></item>"
                  "<item skinTarget=\"UIImageView\"><image>missing.png</image></item>"
                  "<item skinTarget=\"DataTableCell\"><backgroundImage>cell_bg.png</backgroundImage></item>"
                  "<item "
                  "skinTarget=\"UIView\"><alpha>0.5</alpha><clipsToBounds>on</clipsToBounds></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("look"));

  auto nav = platform::NavigationController::create(std::make_shared<platform::ViewController>());
  EXPECT_TRUE(AppSkin::apply(nav));
  EXPECT_EQ(nav->navigationBar()->tintColor(), Color::red());
  EXPECT_EQ(nav->navigationBar()->barStyle(), platform::BarStyle::Black);
  EXPECT_TRUE(nav->navigationBar()->isTranslucent());
  EXPECT_EQ(nav->view()->backgroundColor(), Color::rgba(0, 0, 1));
  EXPECT_EQ(platform::Application::sharedApplication().statusBarStyle(),
            platform::StatusBarStyle::BlackOpaque);

  auto button = platform::Button::buttonWithType();
  EXPECT_TRUE(AppSkin::apply(button));
  EXPECT_EQ(button->titleColorForState(platform::ControlState::Highlighted), Color::green());
  EXPECT_EQ(button->backgroundImageForState(platform::ControlState::Normal), nullptr);
  EXPECT_TRUE(button->showsTouchWhenHighlighted());
  EXPECT_EQ(button->contentHorizontalAlignment(), platform::ContentHorizontalAlignment::Left);

  auto label = std::make_shared<platform::Label>();
  auto font = label->font();
  EXPECT_TRUE(AppSkin::apply(label));
  EXPECT_EQ(label->textAlignment(), platform::TextAlignment::Left) << "not a platform name: 0";
  EXPECT_EQ(label->font(), font) << "size 0 makes no font";
  EXPECT_EQ(label->minimumFontSize(), platform::Font::smallSystemFontSize());

  auto table = std::make_shared<platform::TableView>();
  table->setBackgroundView(std::make_shared<platform::View>());
  EXPECT_TRUE(AppSkin::apply(table));
  EXPECT_EQ(table->separatorStyle(), platform::TableViewCellSeparatorStyle::None);
  EXPECT_EQ(table->backgroundView(), nullptr);
  EXPECT_EQ(table->separatorColor(), Color::gray());
  EXPECT_EQ(table->cornerRadius(), 4.5);
  EXPECT_EQ(table->borderWidth(), 0) << "no number: nothing stored";

  auto imageView = std::make_shared<platform::ImageView>();
  imageView->setImage(platform::Image::imageWithBitmap(*platform::Bitmap::create(2, 2)));
  EXPECT_TRUE(AppSkin::apply(imageView));
  EXPECT_EQ(imageView->image(), nullptr) << "set even when the image cannot be made";

  auto cell = std::make_shared<FakeCell>();
  EXPECT_TRUE(AppSkin::apply(cell));
  ASSERT_NE(cell->pattern_, nullptr) << "the native image serves a package without it";
  EXPECT_EQ(cell->alpha(), 1) << "cells take nothing else";

  auto view = std::make_shared<platform::View>();
  EXPECT_TRUE(AppSkin::apply(view));
  EXPECT_EQ(view->alpha(), 0.5);
  EXPECT_TRUE(view->clipsToBounds());

  auto indicator = std::make_shared<platform::ActivityIndicatorView>();
  EXPECT_FALSE(AppSkin::apply(indicator)) << "no map for it";
  EXPECT_FALSE(AppSkin::apply(static_cast<platform::Object*>(nullptr)));
}

TEST_F(AppSkinTest, ABackgroundImageMakesAViewSeeThroughOnlyBeforeSystemFive) {
  ASSERT_TRUE(installSkin(
      "pattern",
      zipOf({{"skin.xml", bytesOf(skinXml(requiredItems() +
                                          "<item skinTarget=\"UIView\" skinType=\"paper\">"
                                          "<backgroundImage>cell_bg.png</backgroundImage></item>"
                                          "<item skinTarget=\"UIView\" skinType=\"none\">"
                                          "<backgroundImage>missing.png</backgroundImage></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("pattern"));
  auto& device = platform::Device::currentDevice();
  auto skinned = [](std::string_view type) {
    auto view = std::make_shared<platform::View>();
    EXPECT_TRUE(AppSkin::apply(view, type));
    return view;
  };
  for (const char* old : {"4.3", "5"}) {
    device.setSystemVersion(old);
    auto view = skinned("paper");
    EXPECT_NE(view->backgroundPatternImage(), nullptr);
    EXPECT_FALSE(view->isOpaque()) << "system " << old;
    EXPECT_TRUE(skinned("none")->isOpaque()) << "no picture, nothing changes";
  }
  for (const char* current : {"5.0", "6.1"}) {
    device.setSystemVersion(current);
    auto view = skinned("paper");
    EXPECT_NE(view->backgroundPatternImage(), nullptr);
    EXPECT_TRUE(view->isOpaque()) << "system " << current;
  }
  device.reset();
}

TEST_F(AppSkinTest, TheDefaultStatusBarStyleIsReachedThroughAnotherSoTheBarRedraws) {
  ASSERT_TRUE(installSkin(
      "bars",
      zipOf({{"skin.xml", bytesOf(skinXml(requiredItems() +
                                          "<item skinTarget=\"UIApplication\" skinType=\"plain\">"
                                          "<statusBarStyle>UIStatusBarStyleDefault</statusBarStyle></item>"
                                          "<item skinTarget=\"UIApplication\" skinType=\"dark\">"
                                          "<statusBarStyle>UIStatusBarStyleBlackOpaque</statusBarStyle>"
                                          "</item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("bars"));
  auto& app = platform::Application::sharedApplication();
  app.setStatusBarStyle(platform::StatusBarStyle::Default);
  app.setStatusBarHidden(true);
  std::size_t changes = app.statusBarStyleChangeCount();
  EXPECT_TRUE(AppSkin::apply(&app, "plain"));
  EXPECT_EQ(app.statusBarStyleChangeCount(), changes + 2) << "1, then 0";
  EXPECT_EQ(app.statusBarStyle(), platform::StatusBarStyle::Default);
  EXPECT_FALSE(app.isStatusBarHidden());

  changes = app.statusBarStyleChangeCount();
  EXPECT_TRUE(AppSkin::apply(&app, "dark"));
  EXPECT_EQ(app.statusBarStyleChangeCount(), changes + 1) << "another style is set directly";
  EXPECT_EQ(app.statusBarStyle(), platform::StatusBarStyle::BlackOpaque);
  app.setStatusBarStyle(platform::StatusBarStyle::Default);
}

TEST_F(AppSkinTest, TextIsMeasuredInTheSkinnedFont) {
  EXPECT_EQ(AppSkin::sizeForTextWithSkinKey("", "title", 100).width, 0);
  auto font = platform::Font::boldSystemFontOfSize(17);
  std::string text = "word word word word word word";
  auto loose = AppSkin::sizeForTextWithSkinKey(text, "title", 0.5);
  EXPECT_EQ(loose, platform::TextMetrics::sizeWithFont(text, font, platform::Size{0, 0},
                                                       platform::LineBreakMode::WordWrap));
  auto wrapped = AppSkin::sizeForTextWithSkinKey(text, "title", 60);
  EXPECT_LE(wrapped.width, 60);
  EXPECT_GT(wrapped.height, loose.height);
  auto shrunk = AppSkin::sizeForTextWithSkinKey(text, "tips", 60);
  EXPECT_LE(shrunk.width, 60);
  EXPECT_EQ(shrunk.height, platform::TextMetrics::lineHeight(10)) << "one line at the minimum size";
}

// A label of the application's own: skinned as a label, whatever was skinned before it.
class ShadedLabel : public platform::Label {};

TEST_F(AppSkinTest, EachClassIsSkinnedAsItsKindInAnyOrder) {
  ASSERT_TRUE(installSkin(
      "kinds",
      zipOf({{"skin.xml", bytesOf(skinXml(requiredItems() +
                                          "<item skinTarget=\"UILabel\"><alpha>0.5</alpha></item>"
                                          "<item skinTarget=\"UIView\"><alpha>0.25</alpha></item>"
                                          "<item skinTarget=\"UIButton\"><alpha>0.75</alpha></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("kinds"));
  for (int round = 0; round < 2; ++round) {
    auto view = std::make_shared<platform::View>();
    auto shaded = std::make_shared<ShadedLabel>();
    auto label = std::make_shared<platform::Label>();
    auto button = platform::Button::buttonWithType();
    auto again = std::make_shared<platform::View>();
    for (const auto& v :
         {std::static_pointer_cast<platform::View>(view), std::static_pointer_cast<platform::View>(shaded),
          std::static_pointer_cast<platform::View>(label), std::static_pointer_cast<platform::View>(button),
          again})
      EXPECT_TRUE(AppSkin::apply(v)) << "round " << round;
    EXPECT_EQ(view->alpha(), 0.25);
    EXPECT_EQ(shaded->alpha(), 0.5) << "a subclass takes its base's skin";
    EXPECT_EQ(label->alpha(), 0.5);
    EXPECT_EQ(button->alpha(), 0.75);
    EXPECT_EQ(again->alpha(), 0.25);
  }
}

// The kit's interfaces, each at another place in its class.
class InterfaceFirstCell : public AppSkinTableCell, public platform::View {
 public:
  void setBgColor(std::optional<Color> color, std::shared_ptr<platform::Image>) override { color_ = color; }
  std::optional<Color> color_;
};
class Tagged {
 public:
  virtual ~Tagged() = default;
  int mark = 7;
};
class InterfaceLastCell : public platform::View, public Tagged, public AppSkinTableCell {
 public:
  void setBgColor(std::optional<Color> color, std::shared_ptr<platform::Image>) override { color_ = color; }
  std::optional<Color> color_;
};
class FakeCheckBox : public platform::View, public Tagged, public AppSkinCheckBoxView {
 public:
  std::shared_ptr<platform::Label> textLabel() const override { return label_; }
  void setImageChecked(std::shared_ptr<platform::Image>) override {}
  void setImageNotChecked(std::shared_ptr<platform::Image>) override {}
  void refreshUI() override {}
  std::shared_ptr<platform::Label> label_ = std::make_shared<platform::Label>();
};

TEST_F(AppSkinTest, TheKitsControlsAreReachedWhereverTheirInterfaceLies) {
  ASSERT_TRUE(installSkin(
      "kit",
      zipOf(
          {{"skin.xml",
            bytesOf(skinXml(requiredItems() +
                            "<item skinTarget=\"DataTableCell\"><backgroundColor>red</backgroundColor></item>"
                            "<item skinTarget=\"UICheckBoxView\"><textColor>green</textColor>"
                            "<alpha>0.5</alpha></item>"))}})));
  ASSERT_TRUE(AppSkin::sharedAppSkin().loadPackage("kit"));
  for (int round = 0; round < 2; ++round) {
    auto first = std::make_shared<InterfaceFirstCell>();
    auto last = std::make_shared<InterfaceLastCell>();
    auto box = std::make_shared<FakeCheckBox>();
    EXPECT_TRUE(AppSkin::apply(first)) << "round " << round;
    EXPECT_TRUE(AppSkin::apply(last));
    EXPECT_TRUE(AppSkin::apply(box));
    EXPECT_EQ(first->color_, Color::red());
    EXPECT_EQ(last->color_, Color::red());
    EXPECT_EQ(last->mark, 7) << "nothing else of the cell was written";
    EXPECT_EQ(box->label_->textColor(), Color::green());
    EXPECT_EQ(box->alpha(), 0.5) << "the box is a view too";
    EXPECT_EQ(box->mark, 7);
  }
}

TEST_F(AppSkinTest, AReplacedGroupOrSkinIsWhatTheNextControlGets) {
  auto skin = [](const char* labelAlpha, const char* buttonAlpha, const char* image) {
    return zipOf(
        {{"skin.xml",
          bytesOf(skinXml(requiredItems() + "<item skinTarget=\"UILabel\" skinType=\"blue\"><alpha>" +
                          labelAlpha + "</alpha></item>"))},
         {"fb/skin.xml", bytesOf(skinXml(std::string("<item skinTarget=\"UIButton\"><alpha>") + buttonAlpha +
                                         "</alpha></item><item skinTarget=\"UIImageView\"><image>" + image +
                                         "</image></item>"))}});
  };
  const std::string red = *base64EncodeData(test::pngData(3, 3));
  const std::string blue = *base64EncodeData(test::pngData(5, 5));
  ASSERT_TRUE(installSkin("first", skin("0.5", "0.25", red.c_str())));
  ASSERT_TRUE(installSkin("second", skin("0.75", "0.4", blue.c_str())));
  auto& shared = AppSkin::sharedAppSkin();
  auto look = [](double& label, double& button, double& imageWidth) {
    auto l = std::make_shared<platform::Label>();
    auto b = platform::Button::buttonWithType();
    auto i = std::make_shared<platform::ImageView>();
    label = AppSkin::apply(l, "blue") ? l->alpha() : -1;
    button = AppSkin::apply(b, "blue", "fb") ? b->alpha() : -1;
    imageWidth = AppSkin::apply(i, "", "fb") && i->image() ? i->image()->size().width : -1;
  };
  double label = 0, button = 0, width = 0;
  ASSERT_TRUE(shared.loadPackage("first"));
  look(label, button, width);
  EXPECT_EQ(label, 0.5);
  EXPECT_EQ(button, 0.25);
  EXPECT_EQ(width, 3);
  look(label, button, width);  // known now
  EXPECT_EQ(button, 0.25);
  EXPECT_EQ(width, 3);

  ASSERT_TRUE(shared.loadPackage("second"));
  look(label, button, width);
  EXPECT_EQ(label, 0.75) << "the new skin's, not the remembered one";
  EXPECT_EQ(button, 0.4);
  EXPECT_EQ(width, 5) << "the new skin's image";

  shared.loadSkinGroup("fb", nullptr);
  look(label, button, width);
  EXPECT_EQ(label, 0.75);
  EXPECT_EQ(button, -1) << "an emptied group skins nothing";
  EXPECT_EQ(width, -1);
}

}  // namespace
}  // namespace kavro
