#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <variant>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataItemResult.h"
#include "kit/skin/AppSkinPackage.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Font.h"

namespace platform {
class ActivityIndicatorView;
class Application;
class BarButtonItem;
class Button;
class ImageView;
class Label;
class NavigationController;
class SearchBar;
class SegmentedControl;
class TabBarController;
class TableView;
class TextField;
class TextView;
class Toolbar;
class View;
}  // namespace platform

namespace kavro {

class AppSkinCheckBoxView;
class AppSkinLoadingView;
class AppSkinTableCell;

// The converted attributes of one (target, skin type) in a group: colours, flags, numbers,
// enumeration values, fonts, and for image keys the item record the image is made from on demand.
// The keys the skin files know have a slot each, read without comparing names: controls are
// skinned by the hundred while a list scrolls. Other names are kept too, by name.
class AppSkinAttributes {
 public:
  using Value = std::variant<platform::Color, bool, double, std::int64_t, platform::Font,
                             std::shared_ptr<DataItemDetail>>;
  enum class Key : std::uint8_t {
    textColor,
    backgroundColor,
    tintColor,
    separatorColor,
    borderColor,
    highlightedColor,
    shadowColor,
    transparent,
    hiddenActivity,
    clipsToBounds,
    showsTouchWhenHighlighted,
    cornerRadius,
    borderWidth,
    alpha,
    backgroundImage,
    highlightedBackgroundImage,
    image,
    imageChecked,
    imageNotChecked,
    highlightedImage,
    separatorImage,
    font,
    minimumFontSize,
    textAlignment,
    barButtonItemStyle,
    activityIndicatorViewStyle,
    statusBarStyle,
    barStyle,
    separatorStyle,
    contentVerticalAlignment,
    contentHorizontalAlignment,
    contentMode,
    segmentedControlStyle,
    Count
  };
  // The slot of a name, if it has one.
  static std::optional<Key> keyNamed(std::string_view name);

  bool has(Key key) const { return slot(key).has_value(); }
  bool has(std::string_view key) const { return find(key) != nullptr; }
  bool empty() const { return count() == 0; }
  std::size_t count() const;
  void set(std::string_view key, Value value);

  std::optional<platform::Color> color(Key key) const { return get<platform::Color>(slot(key)); }
  std::optional<bool> flag(Key key) const { return get<bool>(slot(key)); }
  std::optional<double> number(Key key) const { return get<double>(slot(key)); }
  std::optional<std::int64_t> integer(Key key) const { return get<std::int64_t>(slot(key)); }
  std::optional<platform::Font> font(Key key) const { return get<platform::Font>(slot(key)); }
  std::shared_ptr<DataItemDetail> item(Key key) const {
    return get<std::shared_ptr<DataItemDetail>>(slot(key)).value_or(nullptr);
  }

  std::optional<platform::Color> color(std::string_view key) const { return get<platform::Color>(find(key)); }
  std::optional<bool> flag(std::string_view key) const { return get<bool>(find(key)); }
  std::optional<double> number(std::string_view key) const { return get<double>(find(key)); }
  std::optional<std::int64_t> integer(std::string_view key) const { return get<std::int64_t>(find(key)); }
  std::optional<platform::Font> font(std::string_view key) const { return get<platform::Font>(find(key)); }
  std::shared_ptr<DataItemDetail> item(std::string_view key) const {
    return get<std::shared_ptr<DataItemDetail>>(find(key)).value_or(nullptr);
  }

 private:
  const std::optional<Value>& slot(Key key) const { return slots_[static_cast<std::size_t>(key)]; }
  const Value* find(std::string_view key) const;
  template <class T>
  static std::optional<T> get(const std::optional<Value>& value) {
    return value ? get<T>(&*value) : std::nullopt;
  }
  template <class T>
  static std::optional<T> get(const Value* value) {
    if (!value) return std::nullopt;
    if (const T* v = std::get_if<T>(value)) return *v;
    return std::nullopt;
  }
  std::array<std::optional<Value>, static_cast<std::size_t>(Key::Count)> slots_;
  std::map<std::string, Value, std::less<>> others_;
};

// The process-wide skin engine. It holds the skin in use (the native skin "/System.Native.Skin/"
// among the bundle resources, or one stored zip package), loads a skin group's attributes on first
// demand, resolves (target, skin type, skin group) with the fallback (target, type) →
// (target, "*") → ("*", type) inside the group only, and applies the attributes to controls.
// Switching the skin posts "skinChangedNotify". A bad package is refused and the skin in use stays.
//
// Creation is thread-safe; everything else is for the main thread.
class AppSkin {
 public:
  static constexpr std::string_view NativeSkinName = "/System.Native.Skin/";
  static constexpr std::string_view SkinChangedNotification = "skinChangedNotify";
  static constexpr std::string_view GroupKey = "<&AppSkin_Item_GroupKey&>";
  static constexpr std::string_view CachedKey = "<&AppSkin_Item_CachedKey&>";
  static constexpr std::string_view NativeKey = "<&AppSkin_Item_NativeKey&>";
  static constexpr std::string_view DownloadingKey = "<&AppSkin_Item_Downloading&>";
  static constexpr std::string_view CacheSkinList = "AppSkin_Cache_SkinList";
  static constexpr std::string_view CacheDefault = "AppSkin_Cache_Default";
  // Images made from skin files are kept small: a skin cannot make the client decode a huge one.
  static constexpr int MaximumImageDimension = 4096;
  static constexpr std::int64_t MaximumImagePixels = std::int64_t{1} << 22;

  static AppSkin& sharedAppSkin();
  // Forgets the instance (tests); the next use creates a new one from the stored default skin.
  static void destroySharedAppSkin();
  static void destroyAppSkin() { destroySharedAppSkin(); }

  // A skin key: "@group@type", "@group" or "type". Empty means none, which reads as "*".
  struct SkinKey {
    std::string type;
    std::string group;
  };
  static SkinKey parseSkinKey(std::string_view skinKey);
  // Changes whenever apply() may set something else than before for the same arguments (a skin or
  // a group loaded, the engine made anew): a control applied the same skin at the same generation
  // needs nothing applied again.
  static std::uint64_t generation();

  // ---- Class operations (forward to the shared instance). Empty type or group reads as "*".
  static bool apply(platform::Object* control, std::string_view type = {}, std::string_view group = {});
  static bool apply(const std::shared_ptr<platform::Object>& control, std::string_view type = {},
                    std::string_view group = {}) {
    return apply(control.get(), type, group);
  }
  static bool applyWithSkinKey(platform::Object* control, std::string_view skinKey);
  static bool applyWithSkinKey(const std::shared_ptr<platform::Object>& control, std::string_view skinKey) {
    return applyWithSkinKey(control.get(), skinKey);
  }
  static std::shared_ptr<platform::Image> imageWithSkinKey(std::string_view skinKey);
  static std::shared_ptr<platform::Image> imageWithSkinType(std::string_view type,
                                                            std::string_view group = {});
  static platform::Size sizeForTextWithSkinKey(std::string_view text, std::string_view skinKey,
                                               double maxWidth);
  static platform::Size sizeForText(std::string_view text, std::string_view type, std::string_view group,
                                    double maxWidth);

  // ---- The skin in use.
  // Switches the skin: true when name is (now) the skin in use; false, with the old skin kept, for
  // an empty name or a package that is missing or invalid.
  bool loadPackage(std::string_view name);
  // "" before the first load.
  const std::string& skinName() const { return skinName_; }
  const std::shared_ptr<AppSkinPackage>& skinPackage() const { return skinPackage_; }
  double screenScale() const { return screenScale_; }

  // ---- Groups and requests.
  bool loadSkinGroupByName(std::string_view group);
  // The conversion step of loadSkinGroupByName: stores the group from parsed skin-file items
  // (empty when they are not valid list data), replacing what the group held.
  bool loadSkinGroup(std::string_view group, const std::shared_ptr<DataItemResult>& items);
  std::shared_ptr<const AppSkinAttributes> getSkin(std::string_view target, std::string_view type,
                                                   std::string_view group);

  // The instance side of apply(), imageWithSkinType() and sizeForText().
  bool applyControl(platform::Object* control, std::string_view type, std::string_view group);
  std::shared_ptr<platform::Image> skinImage(std::string_view type, std::string_view group);
  platform::Size skinSizeForText(std::string_view text, std::string_view type, std::string_view group,
                                 double maxWidth);

  // One operation per control kind: true when an attribute map was found for it.
  bool applyUILabel(platform::Label& label, std::string_view type, std::string_view group);
  bool applyUIButton(platform::Button& button, std::string_view type, std::string_view group);
  bool applyDataTableCell(AppSkinTableCell& cell, std::string_view type, std::string_view group);
  bool applyUINavigationController(platform::NavigationController& controller, std::string_view type,
                                   std::string_view group);
  bool applyUITabBarController(platform::TabBarController& controller, std::string_view type,
                               std::string_view group);
  bool applyUITableView(platform::TableView& tableView, std::string_view type, std::string_view group);
  bool applyUITextField(platform::TextField& field, std::string_view type, std::string_view group);
  bool applyUITextView(platform::TextView& textView, std::string_view type, std::string_view group);
  bool applyUISearchBar(platform::SearchBar& searchBar, std::string_view type, std::string_view group);
  bool applyUIApplication(platform::Application& application, std::string_view type, std::string_view group);
  bool applyUISegmentedControl(platform::SegmentedControl& control, std::string_view type,
                               std::string_view group);
  bool applyUIToolbar(platform::Toolbar& toolbar, std::string_view type, std::string_view group);
  bool applyUIImageView(platform::ImageView& imageView, std::string_view type, std::string_view group);
  bool applyUIActivityIndicatorView(platform::ActivityIndicatorView& indicator, std::string_view type,
                                    std::string_view group);
  bool applyUILoadingView(AppSkinLoadingView& loadingView, std::string_view type, std::string_view group);
  // The view is the check box's own, when it is a view.
  bool applyUICheckBoxView(AppSkinCheckBoxView& checkBox, platform::View* view, std::string_view type,
                           std::string_view group);
  bool applyUIBarButtonItem(platform::BarButtonItem& item, std::string_view type, std::string_view group);
  bool applyUIView(platform::View& view, std::string_view type, std::string_view group);
  // The attributes every view takes.
  bool applyUIView(platform::View* view, const AppSkinAttributes* skin);

  // ---- Loaders used while a group loads: each stores only when the item has its key.
  void loadColor(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadBool(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadFloat(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadImage(std::string_view key, const std::shared_ptr<DataItemDetail>& item, AppSkinAttributes& dict);
  void loadFontSize(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadFont(const DataItemDetail& item, AppSkinAttributes& dict);
  void loadEnumUITextAlignment(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadEnumUIBarButtonItemStyle(std::string_view key, const DataItemDetail& item,
                                    AppSkinAttributes& dict);
  void loadEnumUIActivityIndicatorViewStyle(std::string_view key, const DataItemDetail& item,
                                            AppSkinAttributes& dict);
  void loadEnumUIStatusBarStyle(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadEnumUIBarStyle(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadEnumUITableViewCellSeparatorStyle(std::string_view key, const DataItemDetail& item,
                                             AppSkinAttributes& dict);
  void loadEnumUIControlContentVerticalAlignment(std::string_view key, const DataItemDetail& item,
                                                 AppSkinAttributes& dict);
  void loadEnumUIControlContentHorizontalAlignment(std::string_view key, const DataItemDetail& item,
                                                   AppSkinAttributes& dict);
  void loadEnumUIViewContentMode(std::string_view key, const DataItemDetail& item, AppSkinAttributes& dict);
  void loadEnumUISegmentedControlStyle(std::string_view key, const DataItemDetail& item,
                                       AppSkinAttributes& dict);

  // ---- Skin files.
  std::shared_ptr<DataItemResult> loadPackageSkinConfigForGroup(std::string_view group) const;
  std::shared_ptr<DataItemResult> loadNativeSkinConfigForGroup(std::string_view group) const;
  // loadSkinGroup() of the native skin file's items, which are read-only: a group loaded once
  // serves every later skin object of the process while the file stays the same.
  bool loadNativeSkinGroup(std::string_view group);
  std::optional<std::string> getImagePathInPackage(std::string_view fileName, std::string_view group) const;
  std::string getImagePathInNative(std::string_view fileName, std::string_view group) const;
  // The image of an image attribute, decoded once per skin and kept (see ImageCacheBudget);
  // nullptr when it cannot be made.
  std::shared_ptr<platform::Image> imageData(const DataItemDetail* item, std::string_view key) const;
  std::shared_ptr<platform::Image> makeImage(const DataItemDetail* item, std::string_view key) const;

  // ---- The downloaded skins, listed in the core store.
  static bool hasLocalSkin(std::string_view name);
  static bool saveLocalSkin(const DataItemDetail* skin, const std::optional<platform::Data>& skinData);
  static bool removeLocalSkin(std::string_view name);
  static std::shared_ptr<DataItemResult> getLocalSkinList();
  static bool setDefaultSkin(std::string_view name);
  static std::string getDefaultSkin();

  AppSkin(const AppSkin&) = delete;
  AppSkin& operator=(const AppSkin&) = delete;
  ~AppSkin();

 private:
  AppSkin();
  using TypeMap = std::map<std::string, std::shared_ptr<AppSkinAttributes>, std::less<>>;
  using GroupMap = std::map<std::string, TypeMap, std::less<>>;
  static std::shared_ptr<DataItemResult> parseSkinFile(const platform::Data& bytes);
  std::shared_ptr<platform::Image> decodeImage(const platform::Data& bytes) const;
  // imageData's work below its memo; kept tells whether the image is in images_.
  std::shared_ptr<platform::Image> imageFromAttribute(const DataItemDetail& item, std::string_view key,
                                                      bool& kept) const;

  std::shared_ptr<const AppSkinAttributes> resolveSkin(std::string_view target, std::string_view type,
                                                       std::string_view group) const;
  enum class ControlKind : std::uint8_t;
  // A class's kind, and where the kit's interface of that kind sits from the object's base: a
  // fixed distance within one class, so the costly cross-cast is made once per class.
  struct KnownKind {
    ControlKind kind;
    std::ptrdiff_t interfaceOffset = 0;
    bool isView = false;
  };
  const KnownKind& kindOf(platform::Object& control);
  // Forgets every resolution that points into the groups (after a group or the skin changed).
  void forgetResolved();

  struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using ResolvedMap = std::unordered_map<std::string, std::shared_ptr<const AppSkinAttributes>,
                                         TransparentHash, std::equal_to<>>;
  using ImageByItem =
      std::unordered_map<std::string, std::shared_ptr<platform::Image>, TransparentHash, std::equal_to<>>;

  std::map<std::string, GroupMap, std::less<>> skinDict_;
  // getSkin's answers (none included) by target, type and group: screens apply the same few
  // skins to every control they build.
  ResolvedMap resolved_;
  // By the class's type information (a class seen through two libraries simply has two entries).
  std::unordered_map<const std::type_info*, KnownKind> kinds_;
  std::string resolvedKey_;  // reused to look up without an allocation
  std::string skinName_;
  std::shared_ptr<AppSkinPackage> skinPackage_;
  double screenScale_ = 1.0;
  // Decoded images by attribute (text, group, scale and caps): screens are built from the same
  // few skin images over and over. Forgotten when the skin changes; at most ImageCacheBudget
  // bytes of pixels, a full cache being emptied (the skin's images are few and small).
  static constexpr std::size_t ImageCacheBudget = std::size_t{8} << 20;
  mutable std::unordered_map<std::string, std::shared_ptr<platform::Image>> images_;
  mutable std::size_t imageBytes_ = 0;
  // The same images by attribute record and key, so that a known attribute skips building the
  // key above; emptied with images_ and whenever the records may go.
  mutable ImageByItem imageByItem_;
  mutable std::string imageKey_;
};

}  // namespace kavro
