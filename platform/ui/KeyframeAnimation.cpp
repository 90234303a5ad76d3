#include "platform/ui/KeyframeAnimation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"

namespace platform {

KeyframeAnimation::KeyframeAnimation(std::string keyPath, std::vector<double> values,
                                     std::vector<double> keyTimes, double duration)
    : keyPath_(std::move(keyPath)),
      values_(std::move(values)),
      keyTimes_(std::move(keyTimes)),
      duration_(std::isfinite(duration) && duration > 0 ? duration : 0) {
  // Key times that do not match the values are ignored, as the platform does.
  if (keyTimes_.size() != values_.size()) {
    keyTimes_.clear();
    for (std::size_t i = 0; i < values_.size(); ++i)
      keyTimes_.push_back(
          values_.size() > 1 ? static_cast<double>(i) / static_cast<double>(values_.size() - 1) : 0);
  }
}

double KeyframeAnimation::valueAtTime(double elapsed) const {
  if (values_.empty()) return 0;
  double f = duration_ > 0 ? elapsed / duration_ : 1;
  if (!(f > keyTimes_.front())) return values_.front();
  for (std::size_t i = 1; i < values_.size(); ++i) {
    if (f <= keyTimes_[i]) {
      double span = keyTimes_[i] - keyTimes_[i - 1];
      double t = span > 0 ? (f - keyTimes_[i - 1]) / span : 1;
      return values_[i - 1] + (values_[i] - values_[i - 1]) * t;
    }
  }
  return values_.back();
}

namespace {

struct Running {
  std::string key;
  KeyframeAnimation animation;
  double start = 0;
};

struct ViewAnimations {
  std::weak_ptr<Object> view;
  std::vector<std::shared_ptr<Running>> running;  // in the order added
};

// Never destroyed: views that go at exit may still look here.
std::map<const View*, ViewAnimations>& table() {
  static auto* t = new std::map<const View*, ViewAnimations>();
  return *t;
}

ViewAnimations* entryOf(const View& view) {
  auto& t = table();
  auto it = t.find(&view);
  if (it == t.end()) return nullptr;
  // Another view at a freed view's address.
  auto owner = it->second.view.lock();
  if (!owner || owner.get() != static_cast<const Object*>(&view)) {
    for (auto& r : it->second.running) RunLoop::main().cancelPerforms(r.get());
    t.erase(it);
    return nullptr;
  }
  return &it->second;
}

void applyEndState(View& view, const KeyframeAnimation& a) {
  if (a.values().empty()) return;
  double v = a.values().back();
  if (a.keyPath() == "transform.scale")
    view.setTransform(AffineTransform::makeScale(v, v));
  else if (a.keyPath() == "opacity")
    view.setAlpha(v);
}

// Takes the animation under the key out of the table; its completion is the caller's to call.
std::shared_ptr<Running> takeOut(const View& view, std::string_view key) {
  ViewAnimations* entry = entryOf(view);
  if (!entry) return nullptr;
  auto& list = entry->running;
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& r) { return r->key == key; });
  if (it == list.end()) return nullptr;
  auto r = *it;
  list.erase(it);
  RunLoop::main().cancelPerforms(r.get());
  if (list.empty()) table().erase(&view);
  return r;
}

void finish(const std::shared_ptr<Running>& r, bool finished) {
  if (r && r->animation.completion()) r->animation.completion()(finished);
}

}  // namespace

void LayerAnimations::add(View& view, std::string_view key, KeyframeAnimation animation) {
  finish(takeOut(view, key), false);
  auto r = std::make_shared<Running>(Running{std::string(key), std::move(animation), RunLoop::main().now()});
  ViewAnimations* entry = entryOf(view);
  if (!entry) {
    auto& slot = table()[&view];
    slot.view = view.weak_from_this();
    entry = &slot;
  }
  entry->running.push_back(r);
  applyEndState(view, r->animation);
  std::weak_ptr<Object> weakView = view.weak_from_this();
  const View* address = &view;
  std::weak_ptr<Running> weakRunning = r;
  RunLoop::main().performAfter(r->animation.duration(), r.get(), [weakView, address, weakRunning] {
    auto owner = weakView.lock();
    auto running = weakRunning.lock();
    if (!owner || !running) return;
    auto taken = takeOut(*address, running->key);
    if (taken == running) finish(taken, true);
  });
}

void LayerAnimations::remove(View& view, std::string_view key) { finish(takeOut(view, key), false); }

void LayerAnimations::removeAll(View& view) {
  for (const auto& key : animationKeys(view)) remove(view, key);
}

std::optional<KeyframeAnimation> LayerAnimations::animationForKey(const View& view, std::string_view key) {
  if (ViewAnimations* entry = entryOf(view))
    for (const auto& r : entry->running)
      if (r->key == key) return r->animation;
  return std::nullopt;
}

std::vector<std::string> LayerAnimations::animationKeys(const View& view) {
  std::vector<std::string> keys;
  if (ViewAnimations* entry = entryOf(view))
    for (const auto& r : entry->running) keys.push_back(r->key);
  return keys;
}

double LayerAnimations::presentationValue(const View& view, std::string_view keyPath) {
  if (ViewAnimations* entry = entryOf(view)) {
    for (auto it = entry->running.rbegin(); it != entry->running.rend(); ++it)
      if ((*it)->animation.keyPath() == keyPath)
        return (*it)->animation.valueAtTime(RunLoop::main().now() - (*it)->start);
  }
  if (keyPath == "transform.scale") return view.transform().a;
  if (keyPath == "opacity") return view.alpha();
  return 0;
}

}  // namespace platform
