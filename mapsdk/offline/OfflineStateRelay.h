#pragma once
#include <memory>

#include "mapsdk/offline/GMKOfflineMapDelegate.h"

namespace mapsdk {

// The process-wide offline delegate and the hand-over of offline states (engine UI message
// 65289, which the notifier receives as kind 13) to it. States 0 and 1 stay inside the SDK.
// Main thread.
class OfflineStateRelay {
 public:
  static void setOfflineDelegate(std::weak_ptr<GMKOfflineMapDelegate> delegate);
  static std::shared_ptr<GMKOfflineMapDelegate> offlineDelegate();
  // Calls the delegate (when there is one) unless the state is 0 or 1; true when it was called.
  static bool deliver(int state, int value);
};

}  // namespace mapsdk
