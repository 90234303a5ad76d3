#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class View;

// A key-frame animation of one number of a view's layer ("transform.scale", "opacity"): values
// at key times (fractions of the duration, rising from 0 to 1), straight lines between them.
// Without key times the values are spread evenly. Values after the last key time hold the last
// value, before the first the first.
class KeyframeAnimation {
 public:
  KeyframeAnimation(std::string keyPath, std::vector<double> values, std::vector<double> keyTimes,
                    double duration);

  const std::string& keyPath() const { return keyPath_; }
  const std::vector<double>& values() const { return values_; }
  const std::vector<double>& keyTimes() const { return keyTimes_; }
  double duration() const { return duration_; }
  // The value elapsed seconds after the start; 0 for an animation without values.
  double valueAtTime(double elapsed) const;
  // Told once: true when it ran to its end, false when removed or replaced first.
  void setCompletion(std::function<void(bool finished)> completion) { completion_ = std::move(completion); }
  const std::function<void(bool)>& completion() const { return completion_; }

 private:
  std::string keyPath_;
  std::vector<double> values_;
  std::vector<double> keyTimes_;
  double duration_ = 0;
  std::function<void(bool)> completion_;
};

// The key-frame animations running on views, keyed per view as a layer keys them. As with view
// animations, adding one applies its end state to the view at once ("transform.scale": a scale
// transform; "opacity": the alpha; other key paths change nothing), so the view's model holds
// what is seen afterwards; what is shown meanwhile is the presentation value, read on the main
// run loop's clock (virtual in tests). After the duration the animation is removed and its
// completion hears true, through the main run loop. Adding under a key in use replaces that
// animation. Animations of a view that is gone are dropped unheard. Main thread only.
class LayerAnimations {
 public:
  static void add(View& view, std::string_view key, KeyframeAnimation animation);
  static void remove(View& view, std::string_view key);
  static void removeAll(View& view);
  static std::optional<KeyframeAnimation> animationForKey(const View& view, std::string_view key);
  static std::vector<std::string> animationKeys(const View& view);
  // The value now shown for the key path: that of the running animation of the path added last,
  // else the view's own ("transform.scale": the transform's x scale; "opacity": the alpha).
  static double presentationValue(const View& view, std::string_view keyPath);
};

}  // namespace platform
