#include "app/api/ApiUtil.h"

#include "kit/core/DeviceUUID.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiUtil::track_client_active(platform::Data data, ApiDelegate delegate) {
  return V::post("util/track_client_active.php", std::move(data), delegate);
}

std::shared_ptr<DataHttpConnection> ApiUtil::track_client_report(
    platform::Data data, std::weak_ptr<DataHttpConnectionDelegate> delegate) {
  return V::connect("util/track_client_active.php", std::move(data), std::move(delegate),
                    CrashReportUserAgent);
}

ApiLoader ApiUtil::get_version(platform::Data trackingBody, ApiDelegate delegate) {
  return V::post("util/get_version.php", std::move(trackingBody), delegate);
}

ApiLoader ApiUtil::get_location(double longitude, double latitude, ApiDelegate delegate) {
  return V::get(format("util/get_location.php?longitude=%f&latitude=%f", longitude, latitude), delegate);
}

std::optional<platform::URL> ApiUtil::weibo_request(std::string_view target) {
  return V::url(format("util/weibo_request.php?target=%@", V::value(target)));
}

std::optional<platform::URL> ApiUtil::weibo_callback() {
  auto full = V::url("util/weibo_callback.php");
  if (!full) return std::nullopt;
  std::string text = full->absoluteString();
  return platform::URL::parse(text.substr(0, text.find('?')));
}

ApiLoader ApiUtil::weibo_sendmsg(std::string_view content, std::string_view oauth_token,
                                 std::string_view oauth_token_secret, std::string_view target,
                                 ApiDelegate delegate) {
  return V::post(format("util/weibo_sendmsg.php?target=%@", V::value(target)),
                 format("content=%@&oauth_token=%@&oauth_token_secret=%@", V::value(content),
                        V::value(oauth_token), V::value(oauth_token_secret)),
                 delegate);
}

ApiLoader ApiUtil::add_friendships(std::string_view target, std::string_view oauth_token,
                                   std::string_view oauth_token_secret, ApiDelegate delegate) {
  return V::post(
      format("util/add_friendships.php?target=%@", V::value(target)),
      format("oauth_token=%@&oauth_token_secret=%@", V::value(oauth_token), V::value(oauth_token_secret)),
      delegate);
}

ApiLoader ApiUtil::convert_lonlat(std::string_view lonlat, std::string_view from, std::string_view to,
                                  ApiDelegate delegate) {
  return V::get(format("util/convert_lonlat.php?lonlat=%@&from=%@&to=%@", V::value(lonlat), V::value(from),
                       V::value(to)),
                delegate);
}

std::string ApiUtil::pushValidKey(std::string_view token) {
  return str::md5(format("%@vesta%@", token, device::getUUID())).value_or("");
}

ApiLoader ApiUtil::set_pushnotify_info(std::string_view token, bool status, std::string_view resumeview,
                                       std::string_view campusproject, std::string_view campusworkflow,
                                       std::string_view hrmessage, std::int32_t starttime,
                                       std::int32_t endtime, ApiDelegate delegate) {
  return V::get(
      format("util/set_pushnotify_info.php?token=%@&accountid=%@&status=%@&validkey=%@&resumeview=%@"
             "&campusproject=%@&campusworkflow=%@&hrmessage=%@&starttime=%02d&endtime=%02d",
             V::value(token), V::accountID(), V::flag(status), V::value(pushValidKey(token)),
             V::value(resumeview), V::value(campusproject), V::value(campusworkflow), V::value(hrmessage),
             starttime, endtime),
      delegate);
}

ApiLoader ApiUtil::get_pushnotify_info(std::string_view token, ApiDelegate delegate) {
  return V::get(format("util/get_pushnotify_info.php?accountid=%@&validkey=%@&token=%@", V::accountID(),
                       V::value(pushValidKey(token)), V::value(token)),
                delegate);
}

std::optional<platform::URL> ApiUtil::redirect_url(std::int32_t position) {
  auto screen = V::mainScreen();
  return V::url(format("util/redirect_url.php?position=%d&width=%f&height=%f&scale=%f", position,
                       screen.width, screen.height, screen.scale));
}

ApiLoader ApiUtil::get_verification_info(ApiDelegate delegate) {
  return V::get(format("util/get_verification_info.php?key=%@", V::key()), delegate);
}

}  // namespace kavro
