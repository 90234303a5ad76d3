#include "kit/skin/AppSkin.h"

#include <array>
#include <atomic>
#include <typeinfo>

#include "kit/core/DeviceSystemVersionCompare.h"
#include "kit/core/StringConversion.h"
#include "kit/core/StringMisc.h"
#include "kit/skin/AppSkinScan.h"
#include "kit/skin/AppSkinTargets.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/SearchBar.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TabBar.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextMetrics.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Toolbar.h"

namespace kavro {

using Key = AppSkinAttributes::Key;

namespace {

platform::Mutex& sharedMutex() {
  static platform::Mutex m;
  return m;
}
std::unique_ptr<AppSkin>& sharedInstance() REQUIRES(sharedMutex()) {
  static std::unique_ptr<AppSkin> instance;
  return instance;
}
// The instance once made, read without the lock: every skinned control asks for it.
std::atomic<AppSkin*> publishedInstance{nullptr};

std::string_view orStar(std::string_view s) { return s.empty() ? std::string_view("*") : s; }

// A size text: a named platform size or a number (0 when none can be read).
double fontSizeFromText(std::string_view text) {
  std::string lower = platform::lowercase(text);
  if (lower.find("label") != std::string::npos) return platform::Font::labelFontSize();
  if (lower.find("button") != std::string::npos) return platform::Font::buttonFontSize();
  if (lower.find("small") != std::string::npos) return platform::Font::smallSystemFontSize();
  if (lower.find("system") != std::string::npos) return platform::Font::systemFontSize();
  return skinscan::scanNumber(lower).value_or(0);
}

using EnumName = std::pair<std::string_view, std::int64_t>;

void loadEnum(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict,
              std::initializer_list<EnumName> names) {
  if (!item.hasKey(key)) return;
  std::string text = str::trim(item.getString(key));
  std::int64_t value = 0;
  for (const auto& [name, v] : names) {
    if (text == name) {
      value = v;
      break;
    }
  }
  dict.set(key, value);
}

template <class E>
std::optional<E> enumValue(const AppSkinAttributes& m, AppSkinAttributes::Key key) {
  if (auto v = m.integer(key)) return static_cast<E>(*v);
  return std::nullopt;
}

platform::Color averageColor(const platform::Image& image) {
  const auto& bitmap = image.bitmap();
  if (!bitmap || bitmap->isEmpty()) return platform::Color::clear();
  double r = 0, g = 0, b = 0, a = 0;
  for (int y = 0; y < bitmap->height(); ++y) {
    for (int x = 0; x < bitmap->width(); ++x) {
      auto p = bitmap->pixelAt(x, y);
      r += p.r;
      g += p.g;
      b += p.b;
      a += p.a;
    }
  }
  const double n = 255.0 * bitmap->width() * bitmap->height();
  return platform::Color::rgba(r / n, g / n, b / n, a / n);
}

}  // namespace

// ---- Creation ----

namespace {
std::atomic<std::uint64_t> skinGeneration{1};
}  // namespace

std::uint64_t AppSkin::generation() { return skinGeneration.load(std::memory_order_relaxed); }

AppSkin::AppSkin() {
  screenScale_ = platform::Screen::mainScreen().scale();
  skinGeneration.fetch_add(1, std::memory_order_relaxed);
}
AppSkin::~AppSkin() = default;

AppSkin& AppSkin::sharedAppSkin() {
  if (AppSkin* published = publishedInstance.load(std::memory_order_acquire)) return *published;
  AppSkin* created = nullptr;
  AppSkin* instance = nullptr;
  {
    platform::MutexLock lock(sharedMutex());
    auto& shared = sharedInstance();
    if (!shared) {
      shared.reset(new AppSkin());
      created = shared.get();
      publishedInstance.store(created, std::memory_order_release);
    }
    instance = shared.get();
  }
  // Published first: observers of the first "skinChangedNotify" may ask for the instance.
  if (created) created->loadPackage(getDefaultSkin());
  return *instance;
}

void AppSkin::destroySharedAppSkin() {
  std::unique_ptr<AppSkin> old;
  platform::MutexLock lock(sharedMutex());
  publishedInstance.store(nullptr, std::memory_order_release);
  old = std::move(sharedInstance());
}

AppSkin::SkinKey AppSkin::parseSkinKey(std::string_view skinKey) {
  SkinKey key;
  if (skinKey.empty()) return key;
  if (skinKey.front() != '@') {
    key.type = skinKey;
    return key;
  }
  std::string_view rest = skinKey.substr(1);
  auto at = rest.find('@');
  if (at == std::string_view::npos) {
    key.group = rest;
  } else {
    key.group = rest.substr(0, at);
    key.type = rest.substr(at + 1);
  }
  return key;
}

// ---- Attributes ----

namespace {
// In the order of AppSkinAttributes::Key.
constexpr std::array<std::string_view, static_cast<std::size_t>(AppSkinAttributes::Key::Count)> KeyNames = {
    "textColor",
    "backgroundColor",
    "tintColor",
    "separatorColor",
    "borderColor",
    "highlightedColor",
    "shadowColor",
    "transparent",
    "hiddenActivity",
    "clipsToBounds",
    "showsTouchWhenHighlighted",
    "cornerRadius",
    "borderWidth",
    "alpha",
    "backgroundImage",
    "highlightedBackgroundImage",
    "image",
    "imageChecked",
    "imageNotChecked",
    "highlightedImage",
    "separatorImage",
    "font",
    "minimumFontSize",
    "textAlignment",
    "barButtonItemStyle",
    "activityIndicatorViewStyle",
    "statusBarStyle",
    "barStyle",
    "separatorStyle",
    "contentVerticalAlignment",
    "contentHorizontalAlignment",
    "contentMode",
    "segmentedControlStyle",
};
}  // namespace

std::optional<AppSkinAttributes::Key> AppSkinAttributes::keyNamed(std::string_view name) {
  for (std::size_t i = 0; i < KeyNames.size(); ++i)
    if (KeyNames[i] == name) return static_cast<Key>(i);
  return std::nullopt;
}

std::size_t AppSkinAttributes::count() const {
  std::size_t n = others_.size();
  for (const auto& v : slots_) n += v.has_value();
  return n;
}

void AppSkinAttributes::set(std::string_view key, Value value) {
  if (auto k = keyNamed(key))
    slots_[static_cast<std::size_t>(*k)] = std::move(value);
  else
    others_.insert_or_assign(std::string(key), std::move(value));
}

const AppSkinAttributes::Value* AppSkinAttributes::find(std::string_view key) const {
  if (auto k = keyNamed(key)) {
    const auto& v = slot(*k);
    return v ? &*v : nullptr;
  }
  auto it = others_.find(key);
  return it == others_.end() ? nullptr : &it->second;
}

// ---- Class operations ----

bool AppSkin::apply(platform::Object* control, std::string_view type, std::string_view group) {
  return sharedAppSkin().applyControl(control, type, group);
}

bool AppSkin::applyWithSkinKey(platform::Object* control, std::string_view skinKey) {
  SkinKey key = parseSkinKey(skinKey);
  return apply(control, key.type, key.group);
}

std::shared_ptr<platform::Image> AppSkin::imageWithSkinKey(std::string_view skinKey) {
  SkinKey key = parseSkinKey(skinKey);
  return imageWithSkinType(key.type, key.group);
}

std::shared_ptr<platform::Image> AppSkin::imageWithSkinType(std::string_view type, std::string_view group) {
  return sharedAppSkin().skinImage(type, group);
}

platform::Size AppSkin::sizeForTextWithSkinKey(std::string_view text, std::string_view skinKey,
                                               double maxWidth) {
  SkinKey key = parseSkinKey(skinKey);
  return sizeForText(text, key.type, key.group, maxWidth);
}

platform::Size AppSkin::sizeForText(std::string_view text, std::string_view type, std::string_view group,
                                    double maxWidth) {
  return sharedAppSkin().skinSizeForText(text, type, group, maxWidth);
}

// ---- The skin in use ----

bool AppSkin::loadPackage(std::string_view name) {
  if (name.empty()) return false;
  if (name == skinName_) return true;
  if (name == NativeSkinName) {
    skinPackage_.reset();
  } else {
    if (!AppSkinPackage::isValidSkinPackage(name)) return false;
    auto package = AppSkinPackage::initWithPackageName(name);
    if (!package->isLoaded()) return false;
    skinPackage_ = std::move(package);
  }
  skinDict_.clear();
  images_.clear();
  imageBytes_ = 0;
  forgetResolved();
  skinName_ = name;
  platform::NotificationCenter::defaultCenter().post(SkinChangedNotification);
  return true;
}

// ---- Groups ----

bool AppSkin::loadSkinGroupByName(std::string_view group) {
  if (group.empty()) return false;
  std::shared_ptr<DataItemResult> items;
  if (skinPackage_) items = loadPackageSkinConfigForGroup(group);
  if (!items) return loadNativeSkinGroup(group);
  return loadSkinGroup(group, items);
}

bool AppSkin::loadSkinGroup(std::string_view group, const std::shared_ptr<DataItemResult>& items) {
  if (group.empty()) return false;
  GroupMap& groupMap = skinDict_[std::string(group)];
  groupMap.clear();
  forgetResolved();
  if (!items || !items->isValidListData()) return false;

  static constexpr std::array colours = {"textColor",   "backgroundColor",  "tintColor",  "separatorColor",
                                         "borderColor", "highlightedColor", "shadowColor"};
  static constexpr std::array flags = {"transparent", "hiddenActivity", "clipsToBounds",
                                       "showsTouchWhenHighlighted"};
  static constexpr std::array numbers = {"cornerRadius", "borderWidth", "alpha"};
  static constexpr std::array images = {
      "backgroundImage", "highlightedBackgroundImage", "image",         "imageChecked",
      "imageNotChecked", "highlightedImage",           "separatorImage"};
  for (const auto& item : items->dataList()) {
    if (!item) continue;
    std::string target = item->getItemAttribute("skinTarget");
    std::string type = item->getItemAttribute("skinType");
    if (target.empty() && type.empty()) continue;
    item->setString(group, GroupKey);
    if (target.empty()) target = "*";
    if (type.empty()) type = "*";
    auto& slot = groupMap[target][type];
    if (!slot) slot = std::make_shared<AppSkinAttributes>();
    AppSkinAttributes& dict = *slot;
    loadFont(*item, dict);
    loadFontSize("minimumFontSize", *item, dict);
    for (auto key : colours) loadColor(key, *item, dict);
    for (auto key : flags) loadBool(key, *item, dict);
    for (auto key : numbers) loadFloat(key, *item, dict);
    for (auto key : images) loadImage(key, item, dict);
    loadEnumUITextAlignment("textAlignment", *item, dict);
    loadEnumUIBarButtonItemStyle("barButtonItemStyle", *item, dict);
    loadEnumUIActivityIndicatorViewStyle("activityIndicatorViewStyle", *item, dict);
    loadEnumUIStatusBarStyle("statusBarStyle", *item, dict);
    loadEnumUIBarStyle("barStyle", *item, dict);
    loadEnumUITableViewCellSeparatorStyle("separatorStyle", *item, dict);
    loadEnumUIControlContentVerticalAlignment("contentVerticalAlignment", *item, dict);
    loadEnumUIControlContentHorizontalAlignment("contentHorizontalAlignment", *item, dict);
    loadEnumUIViewContentMode("contentMode", *item, dict);
    loadEnumUISegmentedControlStyle("segmentedControlStyle", *item, dict);
  }
  return true;
}

std::shared_ptr<const AppSkinAttributes> AppSkin::getSkin(std::string_view target, std::string_view type,
                                                          std::string_view group) {
  target = orStar(target);
  type = orStar(type);
  group = orStar(group);
  resolvedKey_.assign(target).append(1, '\x1f').append(type).append(1, '\x1f').append(group);
  if (auto known = resolved_.find(std::string_view(resolvedKey_)); known != resolved_.end())
    return known->second;
  if (skinDict_.find(group) == skinDict_.end()) loadSkinGroupByName(group);
  auto found = resolveSkin(target, type, group);
  // Built again: loading the group may have used the key.
  resolvedKey_.assign(target).append(1, '\x1f').append(type).append(1, '\x1f').append(group);
  resolved_.emplace(resolvedKey_, found);
  return found;
}

std::shared_ptr<const AppSkinAttributes> AppSkin::resolveSkin(std::string_view target, std::string_view type,
                                                              std::string_view group) const {
  auto g = skinDict_.find(group);
  if (g == skinDict_.end()) return nullptr;
  if (target == "*" && type == "*") return nullptr;
  const GroupMap& groupMap = g->second;
  const bool specific = target != "*" && type != "*";
  auto entry = [&](std::string_view t, std::string_view y) -> std::shared_ptr<const AppSkinAttributes> {
    auto ti = groupMap.find(t);
    if (ti == groupMap.end()) return nullptr;
    auto yi = ti->second.find(y);
    return yi == ti->second.end() ? nullptr : yi->second;
  };
  auto ti = groupMap.find(target);
  if (ti != groupMap.end()) {
    auto yi = ti->second.find(type);
    if (yi != ti->second.end()) return yi->second;
    if (!specific) return nullptr;
    if (auto any = ti->second.find("*"); any != ti->second.end()) return any->second;
    return entry("*", type);
  }
  return specific ? entry("*", type) : nullptr;
}

void AppSkin::forgetResolved() {
  skinGeneration.fetch_add(1, std::memory_order_relaxed);
  resolved_.clear();
  imageByItem_.clear();
}

// ---- Loaders ----

void AppSkin::loadColor(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict) {
  if (item.hasKey(key)) dict.set(key, str::toColor(item.getString(key)));
}

void AppSkin::loadBool(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict) {
  if (item.hasKey(key)) dict.set(key, item.getBool(key));
}

void AppSkin::loadFloat(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict) {
  if (!item.hasKey(key)) return;
  if (auto v = skinscan::scanNumber(platform::lowercase(item.getString(key)))) dict.set(key, *v);
}

void AppSkin::loadImage(std::string_view key, const std::shared_ptr<DataItemDetail>& item,
                        AppSkinAttributes& dict) {
  if (item && item->hasKey(key)) dict.set(key, item);
}

void AppSkin::loadFontSize(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict) {
  if (!item.hasKey(key)) return;
  double size = fontSizeFromText(item.getString(key));
  if (size > 0) dict.set(key, size);
}

void AppSkin::loadFont(const DataItemDetail& item, AppSkinAttributes& dict) {
  if (!item.hasKey("fontsize")) return;
  double size = fontSizeFromText(item.getString("fontsize"));
  if (!(size > 0)) return;
  if (item.hasKey("fontName")) {
    auto font = platform::Font::fontWithName(item.getString("fontName"), size);
    dict.set("font", font ? *font : platform::Font::systemFontOfSize(size));
  } else if (item.getBool("boldFont")) {
    dict.set("font", platform::Font::boldSystemFontOfSize(size));
  } else {
    dict.set("font", platform::Font::systemFontOfSize(size));
  }
}

void AppSkin::loadEnumUITextAlignment(std::string_view key, const DataItemDetail& item,
                                      AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UITextAlignmentLeft", 0}, {"UITextAlignmentCenter", 1}, {"UITextAlignmentRight", 2}});
}
void AppSkin::loadEnumUIBarButtonItemStyle(std::string_view key, const DataItemDetail& item,
                                           AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIBarButtonItemStylePlain", 0},
            {"UIBarButtonItemStyleBordered", 1},
            {"UIBarButtonItemStyleDone", 2}});
}
void AppSkin::loadEnumUIActivityIndicatorViewStyle(std::string_view key, const DataItemDetail& item,
                                                   AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIActivityIndicatorViewStyleWhiteLarge", 0},
            {"UIActivityIndicatorViewStyleWhite", 1},
            {"UIActivityIndicatorViewStyleGray", 2}});
}
void AppSkin::loadEnumUIStatusBarStyle(std::string_view key, const DataItemDetail& item,
                                       AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIStatusBarStyleDefault", 0},
            {"UIStatusBarStyleBlackTranslucent", 1},
            {"UIStatusBarStyleBlackOpaque", 2}});
}
void AppSkin::loadEnumUIBarStyle(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIBarStyleDefault", 0},
            {"UIBarStyleBlack", 1},
            {"UIBarStyleBlackOpaque", 1},
            {"UIBarStyleBlackTranslucent", 2}});
}
void AppSkin::loadEnumUITableViewCellSeparatorStyle(std::string_view key, const DataItemDetail& item,
                                                    AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UITableViewCellSeparatorStyleNone", 0},
            {"UITableViewCellSeparatorStyleSingleLine", 1},
            {"UITableViewCellSeparatorStyleSingleLineEtched", 2}});
}
void AppSkin::loadEnumUIControlContentVerticalAlignment(std::string_view key, const DataItemDetail& item,
                                                        AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIControlContentVerticalAlignmentCenter", 0},
            {"UIControlContentVerticalAlignmentTop", 1},
            {"UIControlContentVerticalAlignmentBottom", 2},
            {"UIControlContentVerticalAlignmentFill", 3}});
}
void AppSkin::loadEnumUIControlContentHorizontalAlignment(std::string_view key, const DataItemDetail& item,
                                                          AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIControlContentHorizontalAlignmentCenter", 0},
            {"UIControlContentHorizontalAlignmentLeft", 1},
            {"UIControlContentHorizontalAlignmentRight", 2},
            {"UIControlContentHorizontalAlignmentFill", 3}});
}
void AppSkin::loadEnumUIViewContentMode(std::string_view key, const DataItemDetail& item,
                                        AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UIViewContentModeScaleToFill", 0},
            {"UIViewContentModeScaleAspectFit", 1},
            {"UIViewContentModeScaleAspectFill", 2},
            {"UIViewContentModeRedraw", 3},
            {"UIViewContentModeCenter", 4},
            {"UIViewContentModeTop", 5},
            {"UIViewContentModeBottom", 6},
            {"UIViewContentModeLeft", 7},
            {"UIViewContentModeRight", 8},
            {"UIViewContentModeTopLeft", 9},
            {"UIViewContentModeTopRight", 10},
            {"UIViewContentModeBottomLeft", 11},
            {"UIViewContentModeBottomRight", 12}});
}
void AppSkin::loadEnumUISegmentedControlStyle(std::string_view key, const DataItemDetail& item,
                                              AppSkinAttributes& dict) {
  loadEnum(key, item, dict,
           {{"UISegmentedControlStylePlain", 0},
            {"UISegmentedControlStyleBordered", 1},
            {"UISegmentedControlStyleBar", 2},
            {"UISegmentedControlStyleBezeled", 3}});
}

// ---- Applying ----

// What a control is skinned as; the first match of the order below (a label before a view).
enum class AppSkin::ControlKind : std::uint8_t {
  Label,
  Button,
  TableCell,
  NavigationController,
  TabBarController,
  TableView,
  TextField,
  TextView,
  SearchBar,
  Application,
  SegmentedControl,
  Toolbar,
  ImageView,
  ActivityIndicatorView,
  LoadingView,
  CheckBoxView,
  BarButtonItem,
  View,
  None,
};

const AppSkin::KnownKind& AppSkin::kindOf(platform::Object& control) {
  // Resolved once per class: the casts below walk the class tree on every call.
  auto [it, added] = kinds_.try_emplace(&typeid(control), KnownKind{ControlKind::None});
  if (!added) return it->second;
  using namespace platform;
  Object* c = &control;
  KnownKind& known = it->second;
  auto interface = [&](auto* target, ControlKind kind) {
    if (!target) return false;
    known.kind = kind;
    known.interfaceOffset = reinterpret_cast<char*>(target) - reinterpret_cast<char*>(c);
    return true;
  };
  if (dynamic_cast<Label*>(c))
    known.kind = ControlKind::Label;
  else if (dynamic_cast<Button*>(c))
    known.kind = ControlKind::Button;
  else if (interface(dynamic_cast<AppSkinTableCell*>(c), ControlKind::TableCell)) {
  } else if (dynamic_cast<NavigationController*>(c))
    known.kind = ControlKind::NavigationController;
  else if (dynamic_cast<TabBarController*>(c))
    known.kind = ControlKind::TabBarController;
  else if (dynamic_cast<TableView*>(c))
    known.kind = ControlKind::TableView;
  else if (dynamic_cast<TextField*>(c))
    known.kind = ControlKind::TextField;
  else if (dynamic_cast<TextView*>(c))
    known.kind = ControlKind::TextView;
  else if (dynamic_cast<SearchBar*>(c))
    known.kind = ControlKind::SearchBar;
  else if (dynamic_cast<Application*>(c))
    known.kind = ControlKind::Application;
  else if (dynamic_cast<SegmentedControl*>(c))
    known.kind = ControlKind::SegmentedControl;
  else if (dynamic_cast<Toolbar*>(c))
    known.kind = ControlKind::Toolbar;
  else if (dynamic_cast<ImageView*>(c))
    known.kind = ControlKind::ImageView;
  else if (dynamic_cast<ActivityIndicatorView*>(c))
    known.kind = ControlKind::ActivityIndicatorView;
  else if (interface(dynamic_cast<AppSkinLoadingView*>(c), ControlKind::LoadingView)) {
  } else if (interface(dynamic_cast<AppSkinCheckBoxView*>(c), ControlKind::CheckBoxView)) {
  } else if (dynamic_cast<BarButtonItem*>(c))
    known.kind = ControlKind::BarButtonItem;
  else if (dynamic_cast<View*>(c))
    known.kind = ControlKind::View;
  known.isView = dynamic_cast<View*>(c) != nullptr;
  return known;
}

bool AppSkin::applyControl(platform::Object* control, std::string_view type, std::string_view group) {
  if (!control) return false;
  type = orStar(type);
  using namespace platform;
  // The kind says what the object is: the platform classes are reached by a plain downcast, the
  // kit's interfaces at the distance found for the class.
  const KnownKind& known = kindOf(*control);
  auto interface = [&]<class T>(T*) -> T& {
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(control) + known.interfaceOffset);
  };
  View* view = known.isView ? static_cast<View*>(control) : nullptr;
  switch (known.kind) {
    case ControlKind::Label:
      return applyUILabel(*static_cast<Label*>(control), type, group);
    case ControlKind::Button:
      return applyUIButton(*static_cast<Button*>(control), type, group);
    case ControlKind::TableCell:
      return applyDataTableCell(interface(static_cast<AppSkinTableCell*>(nullptr)), type, group);
    case ControlKind::NavigationController:
      return applyUINavigationController(*static_cast<NavigationController*>(control), type, group);
    case ControlKind::TabBarController:
      return applyUITabBarController(*static_cast<TabBarController*>(control), type, group);
    case ControlKind::TableView:
      return applyUITableView(*static_cast<TableView*>(control), type, group);
    case ControlKind::TextField:
      return applyUITextField(*static_cast<TextField*>(control), type, group);
    case ControlKind::TextView:
      return applyUITextView(*static_cast<TextView*>(control), type, group);
    case ControlKind::SearchBar:
      return applyUISearchBar(*static_cast<SearchBar*>(control), type, group);
    case ControlKind::Application:
      return applyUIApplication(*static_cast<Application*>(control), type, group);
    case ControlKind::SegmentedControl:
      return applyUISegmentedControl(*static_cast<SegmentedControl*>(control), type, group);
    case ControlKind::Toolbar:
      return applyUIToolbar(*static_cast<Toolbar*>(control), type, group);
    case ControlKind::ImageView:
      return applyUIImageView(*static_cast<ImageView*>(control), type, group);
    case ControlKind::ActivityIndicatorView:
      return applyUIActivityIndicatorView(*static_cast<ActivityIndicatorView*>(control), type, group);
    case ControlKind::LoadingView:
      return applyUILoadingView(interface(static_cast<AppSkinLoadingView*>(nullptr)), type, group);
    case ControlKind::CheckBoxView:
      return applyUICheckBoxView(interface(static_cast<AppSkinCheckBoxView*>(nullptr)), view, type, group);
    case ControlKind::BarButtonItem:
      return applyUIBarButtonItem(*static_cast<BarButtonItem*>(control), type, group);
    case ControlKind::View:
      return applyUIView(*view, type, group);
    case ControlKind::None:
      break;
  }
  return false;
}

bool AppSkin::applyUILabel(platform::Label& label, std::string_view type, std::string_view group) {
  auto m = getSkin("UILabel", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::textColor)) label.setTextColor(*c);
  if (auto c = m->color(Key::highlightedColor)) label.setHighlightedTextColor(*c);
  if (auto f = m->font(Key::font)) label.setFont(*f);
  if (auto s = m->number(Key::minimumFontSize)) {
    label.setAdjustsFontSizeToFitWidth(true);
    label.setMinimumFontSize(*s);
  }
  if (auto a = enumValue<platform::TextAlignment>(*m, Key::textAlignment)) label.setTextAlignment(*a);
  applyUIView(&label, m.get());
  return true;
}

bool AppSkin::applyUIButton(platform::Button& button, std::string_view type, std::string_view group) {
  using platform::ControlState::Highlighted;
  using platform::ControlState::Normal;
  using platform::ControlState::Selected;
  auto m = getSkin("UIButton", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::textColor)) button.setTitleColor(*c, Normal);
  if (auto c = m->color(Key::highlightedColor)) {
    button.setTitleColor(*c, Highlighted);
    button.setTitleColor(*c, Selected);
  }
  if (auto image = imageData(m->item(Key::backgroundImage).get(), "backgroundImage")) {
    button.setBackgroundImage(image, Normal);
  }
  if (auto image = imageData(m->item(Key::highlightedBackgroundImage).get(), "highlightedBackgroundImage")) {
    button.setBackgroundImage(image, Highlighted);
    button.setBackgroundImage(image, Selected);
  }
  if (auto image = imageData(m->item(Key::image).get(), "image")) button.setImage(image, Normal);
  if (auto image = imageData(m->item(Key::highlightedImage).get(), "highlightedImage")) {
    button.setImage(image, Highlighted);
  }
  const auto& title = button.titleLabel();
  if (auto f = m->font(Key::font); f && title) title->setFont(*f);
  if (auto s = m->number(Key::minimumFontSize); s && title) {
    title->setAdjustsFontSizeToFitWidth(true);
    title->setMinimumFontSize(*s);
  }
  if (auto a = enumValue<platform::ContentVerticalAlignment>(*m, Key::contentVerticalAlignment)) {
    button.setContentVerticalAlignment(*a);
  }
  if (auto a = enumValue<platform::ContentHorizontalAlignment>(*m, Key::contentHorizontalAlignment)) {
    button.setContentHorizontalAlignment(*a);
  }
  if (auto a = enumValue<platform::TextAlignment>(*m, Key::textAlignment); a && title)
    title->setTextAlignment(*a);
  if (auto b = m->flag(Key::showsTouchWhenHighlighted)) button.setShowsTouchWhenHighlighted(*b);
  applyUIView(&button, m.get());
  return true;
}

bool AppSkin::applyDataTableCell(AppSkinTableCell& cell, std::string_view type, std::string_view group) {
  auto* target = &cell;
  auto m = getSkin("DataTableCell", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::backgroundColor)) {
    target->setBgColor(*c, nullptr);
  } else if (auto image = imageData(m->item(Key::backgroundImage).get(), "backgroundImage")) {
    target->setBgColor(std::nullopt, image);
  }
  return true;
}

bool AppSkin::applyUINavigationController(platform::NavigationController& controller, std::string_view type,
                                          std::string_view group) {
  auto m = getSkin("UINavigationController", type, group);
  if (!m) return false;
  if (const auto& view = controller.view()) {
    if (auto c = m->color(Key::backgroundColor)) {
      view->setBackgroundColor(*c);
    } else if (auto image = imageData(m->item(Key::backgroundImage).get(), "backgroundImage")) {
      view->setBackgroundPatternImage(image);
    }
  }
  if (const auto& bar = controller.navigationBar()) {
    if (auto c = m->color(Key::tintColor)) {
      bar->setTintColor(std::nullopt);
      bar->setTintColor(*c);
    }
    if (auto b = m->flag(Key::transparent)) bar->setTranslucent(*b);
    if (auto s = enumValue<platform::BarStyle>(*m, Key::barStyle)) {
      bar->setBarStyle(platform::BarStyle::Default);
      bar->setBarStyle(*s);
    }
  }
  applyUIApplication(platform::Application::sharedApplication(), type, group);
  return true;
}

bool AppSkin::applyUITabBarController(platform::TabBarController& controller, std::string_view type,
                                      std::string_view group) {
  auto m = getSkin("UITabBarController", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::tintColor); c && controller.tabBar()) {
    controller.tabBar()->setTintColor(std::nullopt);
    controller.tabBar()->setTintColor(*c);
  }
  return true;
}

bool AppSkin::applyUITableView(platform::TableView& tableView, std::string_view type,
                               std::string_view group) {
  auto m = getSkin("UITableView", type, group);
  if (!m) return false;
  if (auto s = enumValue<platform::TableViewCellSeparatorStyle>(*m, Key::separatorStyle))
    tableView.setSeparatorStyle(*s);
  tableView.setBackgroundView(nullptr);
  if (auto c = m->color(Key::separatorColor)) {
    tableView.setSeparatorColor(*c);
  } else if (auto image = imageData(m->item(Key::separatorImage).get(), "separatorImage")) {
    // The headless table draws separators in one colour: the image's average stands for its pattern.
    tableView.setSeparatorColor(averageColor(*image));
  }
  applyUIView(&tableView, m.get());
  return true;
}

bool AppSkin::applyUITextField(platform::TextField& field, std::string_view type, std::string_view group) {
  auto m = getSkin("UITextField", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::textColor)) field.setTextColor(*c);
  if (auto s = m->number(Key::minimumFontSize)) {
    field.setAdjustsFontSizeToFitWidth(true);
    field.setMinimumFontSize(*s);
  }
  if (auto a = enumValue<platform::ContentVerticalAlignment>(*m, Key::contentVerticalAlignment)) {
    field.setContentVerticalAlignment(*a);
  }
  if (auto a = enumValue<platform::ContentHorizontalAlignment>(*m, Key::contentHorizontalAlignment)) {
    field.setContentHorizontalAlignment(*a);
  }
  if (auto a = enumValue<platform::TextAlignment>(*m, Key::textAlignment)) field.setTextAlignment(*a);
  if (auto f = m->font(Key::font)) field.setFont(*f);
  applyUIView(&field, m.get());
  return true;
}

bool AppSkin::applyUITextView(platform::TextView& textView, std::string_view type, std::string_view group) {
  auto m = getSkin("UITextView", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::textColor)) textView.setTextColor(*c);
  if (auto mode = enumValue<platform::ContentMode>(*m, Key::contentMode)) textView.setContentMode(*mode);
  if (auto a = enumValue<platform::TextAlignment>(*m, Key::textAlignment)) textView.setTextAlignment(*a);
  if (auto f = m->font(Key::font)) textView.setFont(*f);
  applyUIView(&textView, m.get());
  return true;
}

bool AppSkin::applyUISearchBar(platform::SearchBar& searchBar, std::string_view type,
                               std::string_view group) {
  auto m = getSkin("UISearchBar", type, group);
  if (!m) return false;
  if (auto s = enumValue<platform::BarStyle>(*m, Key::barStyle)) searchBar.setBarStyle(*s);
  if (auto c = m->color(Key::tintColor)) searchBar.setTintColor(*c);
  applyUIView(&searchBar, m.get());
  return true;
}

bool AppSkin::applyUIApplication(platform::Application& application, std::string_view type,
                                 std::string_view group) {
  auto m = getSkin("UIApplication", type, group);
  if (!m) return false;
  if (auto s = m->integer(Key::statusBarStyle)) {
    // Going through another style first makes the bar redraw even when the style is unchanged.
    if (*s == 0) application.setStatusBarStyle(platform::StatusBarStyle::BlackTranslucent);
    application.setStatusBarHidden(false);
    application.setStatusBarStyle(static_cast<platform::StatusBarStyle>(*s));
  }
  return true;
}

bool AppSkin::applyUISegmentedControl(platform::SegmentedControl& control, std::string_view type,
                                      std::string_view group) {
  auto m = getSkin("UISegmentedControl", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::tintColor)) control.setTintColor(*c);
  if (auto s = enumValue<platform::SegmentedControlStyle>(*m, Key::segmentedControlStyle)) {
    control.setSegmentedControlStyle(*s);
  }
  applyUIView(&control, m.get());
  return true;
}

bool AppSkin::applyUIToolbar(platform::Toolbar& toolbar, std::string_view type, std::string_view group) {
  auto m = getSkin("UIToolbar", type, group);
  if (!m) return false;
  if (auto c = m->color(Key::tintColor)) toolbar.setTintColor(*c);
  if (auto s = enumValue<platform::BarStyle>(*m, Key::barStyle)) toolbar.setBarStyle(*s);
  applyUIView(&toolbar, m.get());
  return true;
}

bool AppSkin::applyUIImageView(platform::ImageView& imageView, std::string_view type,
                               std::string_view group) {
  auto m = getSkin("UIImageView", type, group);
  if (!m) return false;
  if (m->has(Key::image)) imageView.setImage(imageData(m->item(Key::image).get(), "image"));
  if (m->has(Key::highlightedImage)) {
    imageView.setHighlightedImage(imageData(m->item(Key::highlightedImage).get(), "highlightedImage"));
  }
  applyUIView(&imageView, m.get());
  return true;
}

bool AppSkin::applyUIActivityIndicatorView(platform::ActivityIndicatorView& indicator, std::string_view type,
                                           std::string_view group) {
  auto m = getSkin("UIActivityIndicatorView", type, group);
  if (!m) return false;
  if (auto s = enumValue<platform::ActivityIndicatorViewStyle>(*m, Key::activityIndicatorViewStyle)) {
    indicator.setActivityIndicatorViewStyle(*s);
  }
  applyUIView(&indicator, m.get());
  return true;
}

bool AppSkin::applyUILoadingView(AppSkinLoadingView& loadingView, std::string_view type,
                                 std::string_view group) {
  auto* target = &loadingView;
  auto indicator = target->activityIndicator();
  auto label = target->textLabel();
  bool inner = false;
  if (indicator) inner = applyUIActivityIndicatorView(*indicator, type, group) || inner;
  if (label) inner = applyUILabel(*label, type, group) || inner;
  auto m = getSkin("UILoadingView", type, group);
  if (m && m->has(Key::hiddenActivity)) {
    if (indicator) indicator->setHidden(m->flag(Key::hiddenActivity).value_or(false));
    target->autoResizing();
    return true;
  }
  if (!inner) return false;
  target->autoResizing();
  return true;
}

bool AppSkin::applyUICheckBoxView(AppSkinCheckBoxView& checkBox, platform::View* view, std::string_view type,
                                  std::string_view group) {
  auto* target = &checkBox;
  auto m = getSkin("UICheckBoxView", type, group);
  if (!m) return false;
  if (auto label = target->textLabel()) {
    if (auto c = m->color(Key::textColor)) label->setTextColor(*c);
    if (auto f = m->font(Key::font)) label->setFont(*f);
    if (auto s = m->number(Key::minimumFontSize)) {
      label->setAdjustsFontSizeToFitWidth(true);
      label->setMinimumFontSize(*s);
    }
    if (auto a = enumValue<platform::TextAlignment>(*m, Key::textAlignment)) label->setTextAlignment(*a);
  }
  const bool checked = m->has(Key::imageChecked);
  const bool notChecked = m->has(Key::imageNotChecked);
  if (checked) target->setImageChecked(imageData(m->item(Key::imageChecked).get(), "imageChecked"));
  if (notChecked)
    target->setImageNotChecked(imageData(m->item(Key::imageNotChecked).get(), "imageNotChecked"));
  if (checked || notChecked) target->refreshUI();
  if (view) applyUIView(view, m.get());
  return true;
}

bool AppSkin::applyUIBarButtonItem(platform::BarButtonItem& item, std::string_view type,
                                   std::string_view group) {
  auto m = getSkin("UIBarButtonItem", type, group);
  if (!m) return false;
  if (m->has(Key::image)) item.setImage(imageData(m->item(Key::image).get(), "image"));
  if (auto s = enumValue<platform::BarButtonItemStyle>(*m, Key::barButtonItemStyle)) item.setStyle(*s);
  if (auto c = m->color(Key::tintColor)) item.setTintColor(*c);
  return true;
}

bool AppSkin::applyUIView(platform::View& view, std::string_view type, std::string_view group) {
  auto m = getSkin("UIView", type, group);
  if (!m) return false;
  applyUIView(&view, m.get());
  return true;
}

bool AppSkin::applyUIView(platform::View* view, const AppSkinAttributes* skin) {
  if (!view || !skin) return false;
  if (auto c = skin->color(Key::backgroundColor)) {
    view->setBackgroundColor(*c);
  } else if (skin->has(Key::backgroundImage) && !dynamic_cast<platform::Button*>(view)) {
    if (auto image = imageData(skin->item(Key::backgroundImage).get(), "backgroundImage")) {
      view->setBackgroundPatternImage(image);
      // Older systems draw a pattern colour's transparent parts black in an opaque view.
      if (device::systemVersionLessThan("5.0")) view->setOpaque(false);
    }
  }
  if (auto c = skin->color(Key::borderColor)) view->setBorderColor(*c);
  if (auto w = skin->number(Key::borderWidth)) view->setBorderWidth(*w);
  if (auto r = skin->number(Key::cornerRadius)) view->setCornerRadius(*r);
  if (auto b = skin->flag(Key::clipsToBounds)) view->setClipsToBounds(*b);
  if (auto c = skin->color(Key::shadowColor)) view->setShadowColor(*c);
  if (auto a = skin->number(Key::alpha)) view->setAlpha(*a);
  return true;
}

// ---- Images and text ----

std::shared_ptr<platform::Image> AppSkin::skinImage(std::string_view type, std::string_view group) {
  auto m = getSkin("UIImage", type, group);
  if (!m || !m->has(Key::image)) return nullptr;
  return imageData(m->item(Key::image).get(), "image");
}

platform::Size AppSkin::skinSizeForText(std::string_view text, std::string_view type, std::string_view group,
                                        double maxWidth) {
  if (text.empty()) return {};
  auto m = getSkin("UILabel", type, group);
  platform::Font font = platform::Font::systemFontOfSize(platform::Font::systemFontSize());
  if (m) {
    if (auto f = m->font(Key::font)) font = *f;
  }
  using platform::LineBreakMode;
  using platform::TextMetrics;
  if (maxWidth < 1.0)
    return TextMetrics::sizeWithFont(text, font, platform::Size{0, 0}, LineBreakMode::WordWrap);
  if (m) {
    if (auto minimum = m->number(Key::minimumFontSize)) {
      return TextMetrics::sizeWithFont(text, font, *minimum, nullptr, maxWidth, LineBreakMode::WordWrap);
    }
  }
  return TextMetrics::sizeWithFont(text, font, platform::Size{maxWidth, 0}, LineBreakMode::WordWrap);
}

}  // namespace kavro
