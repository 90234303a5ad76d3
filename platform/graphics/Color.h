#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>

namespace platform {

// A colour in the grey model (white, alpha) or the RGB model (red, green, blue, alpha), components
// in 0...1, as views and skins hold them.
class Color {
 public:
  enum class Model { Grey, RGB };

  // Every view holds a few colours and copies them often: the components live inline.
  static constexpr std::size_t MaxComponents = 5;

  static Color grey(double white, double alpha = 1.0) { return Color(Model::Grey, {white, alpha}); }
  static Color rgba(double r, double g, double b, double a = 1.0) { return Color(Model::RGB, {r, g, b, a}); }

  static Color black() { return grey(0.0); }
  static Color darkGray() { return grey(1.0 / 3.0); }
  static Color lightGray() { return grey(2.0 / 3.0); }
  static Color white() { return grey(1.0); }
  static Color gray() { return grey(0.5); }
  static Color red() { return rgba(1, 0, 0); }
  static Color green() { return rgba(0, 1, 0); }
  static Color blue() { return rgba(0, 0, 1); }
  static Color cyan() { return rgba(0, 1, 1); }
  static Color yellow() { return rgba(1, 1, 0); }
  static Color magenta() { return rgba(1, 0, 1); }
  static Color orange() { return rgba(1, 0.5, 0); }
  static Color purple() { return rgba(0.5, 0, 0.5); }
  static Color brown() { return rgba(0.6, 0.4, 0.2); }
  static Color clear() { return grey(0.0, 0.0); }
  static Color groupTableViewBackground() { return rgba(0.937, 0.937, 0.957); }

  Model model() const { return model_; }
  std::span<const double> components() const { return {components_.data(), count_}; }
  double alpha() const { return count_ ? components_[count_ - 1] : 0.0; }
  // Red, green, blue and alpha whatever the model.
  double redComponent() const { return components_[0]; }
  double greenComponent() const { return model_ == Model::Grey ? components_[0] : components_[1]; }
  double blueComponent() const { return model_ == Model::Grey ? components_[0] : components_[2]; }

  Color withAlpha(double a) const {
    Color c = *this;
    if (c.count_) c.components_[c.count_ - 1] = a;
    return c;
  }

  bool operator==(const Color&) const = default;

  // Components of an arbitrary model, for colours built elsewhere (for example from a pattern); at
  // most MaxComponents are kept.
  Color(Model m, std::initializer_list<double> components)
      : model_(m), count_(static_cast<unsigned char>(std::min(components.size(), MaxComponents))) {
    std::copy_n(components.begin(), count_, components_.begin());
  }

 private:
  Model model_;
  unsigned char count_;
  std::array<double, MaxComponents> components_{};
};

}  // namespace platform
