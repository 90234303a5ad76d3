#pragma once
#include <cstdint>

namespace kavro {

// Whether looking for a container met before is worth it: where few looks find one (a long list of
// records, each of its own), looking costs more than it saves, and the looks pause for a while,
// twice as long each time few are found again. One thread.
class JBRepeatWatch {
 public:
  bool worthLooking() {
    if (skip_ == 0) return true;
    --skip_;
    return false;
  }
  // How a look went.
  void noteLook(bool found) {
    found_ += found ? 1 : 0;
    if (++looked_ < kWatched) return;
    if (found_ * 8 < looked_) {
      skip_ = pause_;
      pause_ = pause_ < kLongestPause ? pause_ * 2 : pause_;
    } else {
      pause_ = kFirstPause;
    }
    looked_ = found_ = 0;
  }
  void reset() { *this = JBRepeatWatch(); }

 private:
  // Over the last kWatched looks, fewer than one in eight found a container: the next `pause_`
  // are not looked for.
  static constexpr std::uint32_t kWatched = 512;
  static constexpr std::uint32_t kFirstPause = 4096;
  static constexpr std::uint32_t kLongestPause = 1u << 20;
  std::uint32_t looked_ = 0;
  std::uint32_t found_ = 0;
  std::uint32_t skip_ = 0;
  std::uint32_t pause_ = kFirstPause;
};

}  // namespace kavro
