#pragma once
#include <string_view>

#include "platform/foundation/Data.h"

namespace kavro {

// Usage counters: every user action counts one use of its named tracking point ("TRACKING_...")
// in the core store's USER_TRACE table, and the version check uploads the counts. Main thread.
class AppTracking {
 public:
  // Counts one use of the point; an empty name counts nothing.
  static void record(std::string_view point);
  // The upload body: "<point>=<count>" for every counted point, URL-encoded, in the order the
  // points were first counted, joined by "&"; empty when nothing was counted.
  static platform::Data getTrackingPostData();
};

}  // namespace kavro
