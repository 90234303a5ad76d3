#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A font as the headless toolkit knows it: a name, a size in points and a weight. Every font
// measures text with the one metric of TextMetrics; the name only travels along (skins, tree
// descriptions). A value type.
class Font {
 public:
  static constexpr std::string_view SystemFontName = "System";
  static constexpr std::string_view BoldSystemFontName = "System-Bold";

  static Font systemFontOfSize(double size) { return Font(std::string(SystemFontName), size, false); }
  static Font boldSystemFontOfSize(double size) { return Font(std::string(BoldSystemFontName), size, true); }
  // A named font; empty when no font has that name. Known: the two system names above and the
  // families "Helvetica", "Arial", "Courier", "Georgia", "STHeitiSC" with the suffixes "",
  // "-Bold", "-Light", "-Medium" ("-Bold" and "-Medium" are bold).
  static std::optional<Font> fontWithName(std::string_view name, double size);

  // The platform's standard sizes.
  static constexpr double labelFontSize() { return 17; }
  static constexpr double buttonFontSize() { return 18; }
  static constexpr double smallSystemFontSize() { return 12; }
  static constexpr double systemFontSize() { return 14; }

  Font() = default;

  const std::string& fontName() const { return name_; }
  double pointSize() const { return size_; }
  bool isBold() const { return bold_; }
  Font fontWithSize(double size) const { return Font(name_, size, bold_); }
  // Height of one line of text in this font (TextMetrics::lineHeight).
  double lineHeight() const;

  bool operator==(const Font&) const = default;

 private:
  Font(std::string name, double size, bool bold) : name_(std::move(name)), size_(size), bold_(bold) {}

  std::string name_{SystemFontName};
  double size_ = 17;
  bool bold_ = false;
};

}  // namespace platform
