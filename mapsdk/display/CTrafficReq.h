#pragma once
#include "mapsdk/display/GridReq.h"

namespace mapsdk {

// The traffic request: level 6 and above, live or history, its own sequence range.
class CTrafficReq : public GridReq {
 public:
  static constexpr int kMinLevel = 6;
  static constexpr int kFirstSequence = 1000000;
  static constexpr int kLastSequence = 2000000;

  explicit CTrafficReq(CMapStatus* status = nullptr);
  void Request() override;
  void BatchFetch(const gmengine::CVArray<gmengine::GridKey>& keys) override;
  void SetHistory(int day, int time) {
    day_ = day;
    time_ = time;
  }
  // From hidden: buffers allocated; to hidden: buffers freed and the memory cache emptied.
  void OnShow(bool shown) override;

 private:
  int NextSequence() const override;
  int day_ = 0;
  int time_ = 0;
};

}  // namespace mapsdk
