#pragma once
#include <string_view>

#include "platform/foundation/Data.h"

namespace kavro {

// Usage counters: every user action counts one use of its named tracking point ("TRACKING_...")
// in the core store's USER_TRACE table, and the version check uploads the counts. Main thread.
//
// An upload takes the counts out in two steps: getTrackingPostData() hands out what is counted and
// not yet handed out, and locks it; trackingUploadEnded() releases the lock, taking the handed-out
// counts off when the server got them. So a count is neither sent twice nor lost when an upload
// fails, and uses counted while an upload is under way go with the next one.
class AppTracking {
 public:
  // Counts one use of the point now (one statement of the core store); an empty name counts
  // nothing.
  static void record(std::string_view point);
  // The upload body: "<point>=<count>" for every point with counts not handed out to an upload
  // still under way, URL-encoded, in the order the points were first counted, joined by "&"; empty
  // when there is none. Those counts stay locked until trackingUploadEnded().
  static platform::Data getTrackingPostData();
  // The upload of the counts handed out has ended: delivered, they are taken off the counters;
  // not delivered, they are handed out again with the next body.
  static void trackingUploadEnded(bool delivered);
};

}  // namespace kavro
