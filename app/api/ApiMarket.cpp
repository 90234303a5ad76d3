#include "app/api/ApiMarket.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiMarket::get_ads(std::int32_t position, ApiDelegate delegate) {
  return V::get(format("market/get_ads.php?position=%d", position), delegate);
}

ApiLoader ApiMarket::add_feedback(std::string_view feedback, std::string_view contact, ApiDelegate delegate) {
  return V::post("market/add_feedback.php",
                 format("feedback=%@&contact=%@", V::value(feedback), V::value(contact)), delegate);
}

ApiLoader ApiMarket::get_app_sharetxt(ApiDelegate delegate) {
  return V::get("market/get_app_sharetxt.php", delegate);
}

ApiLoader ApiMarket::get_skin(ApiDelegate delegate) {
  auto screen = V::mainScreen();
  return V::get(format("market/get_skin.php?width=%f&height=%f&scale=%f", screen.width * screen.scale,
                       screen.height * screen.scale, screen.scale),
                delegate);
}

ApiLoader ApiMarket::report(const DataItemDetail& record, ApiDelegate delegate) {
  return V::post(format("market/report.php?accountid=%@&key=%@", V::accountID(), V::key()),
                 record.getParamData(), delegate);
}

}  // namespace kavro
