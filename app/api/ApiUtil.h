#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The utility area "util/": activation and crash reports, the version check, location lookup,
// microblog sharing, coordinate conversion, push-notification settings, redirects and
// verification info. Main thread.
class ApiUtil {
 public:
  // The user agent of the crash report.
  static constexpr std::string_view CrashReportUserAgent = "kavro-ios-crash";

  // Posts the activation report as given.
  static ApiLoader track_client_active(platform::Data data, ApiDelegate delegate);
  // Posts a crash report through a bare connection with its own user agent, and returns it.
  static std::shared_ptr<DataHttpConnection> track_client_report(
      platform::Data data, std::weak_ptr<DataHttpConnectionDelegate> delegate);
  // The version check; it also uploads the usage counters (the tracker's upload body).
  static ApiLoader get_version(platform::Data trackingBody, ApiDelegate delegate);
  // Which areas the position (degrees) belongs to.
  static ApiLoader get_location(double longitude, double latitude, ApiDelegate delegate);
  // The full URL of the microblog authorisation page.
  static std::optional<platform::URL> weibo_request(std::string_view target);
  // The full URL of the authorisation's end, without any query: a loaded page whose address begins
  // with it ends the authorisation.
  static std::optional<platform::URL> weibo_callback();
  static ApiLoader weibo_sendmsg(std::string_view content, std::string_view oauth_token,
                                 std::string_view oauth_token_secret, std::string_view target,
                                 ApiDelegate delegate);
  static ApiLoader add_friendships(std::string_view target, std::string_view oauth_token,
                                   std::string_view oauth_token_secret, ApiDelegate delegate);
  static ApiLoader convert_lonlat(std::string_view lonlat, std::string_view from, std::string_view to,
                                  ApiDelegate delegate);
  // Hours are sent as two digits. Carries the device's push token ("" before registration) and its
  // check key.
  static ApiLoader set_pushnotify_info(std::string_view token, bool status, std::string_view resumeview,
                                       std::string_view campusproject, std::string_view campusworkflow,
                                       std::string_view hrmessage, std::int32_t starttime,
                                       std::int32_t endtime, ApiDelegate delegate);
  static ApiLoader get_pushnotify_info(std::string_view token, ApiDelegate delegate);
  // The full URL that redirects to the content at a position, sized for the main screen in points.
  static std::optional<platform::URL> redirect_url(std::int32_t position);
  static ApiLoader get_verification_info(ApiDelegate delegate);

  // The check key of the push calls: MD5 of the token, "vesta" and the device's request uuid.
  static std::string pushValidKey(std::string_view token);
};

}  // namespace kavro
