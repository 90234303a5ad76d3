#include "app/api/ApiDataDict.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

namespace {
std::string dictionary(std::string_view script, std::string_view ddtype, std::string_view code) {
  return format("datadict/%@.php?ddtype=%@&code=%@&language=%@", script, V::value(ddtype), V::value(code),
                V::language());
}
}  // namespace

ApiLoader ApiDataDict::get_jobarea(std::string_view ddtype, std::string_view code, ApiDelegate delegate) {
  return V::get(dictionary("get_jobarea", ddtype, code), delegate);
}

ApiLoader ApiDataDict::get_datadict(std::string_view ddtype, std::string_view code, ApiDelegate delegate) {
  return V::get(dictionary("get_datadict", ddtype, code), delegate);
}

ApiLoader ApiDataDict::get_special_datadict(std::string_view ddtype, std::string_view code,
                                            ApiDelegate delegate) {
  return V::get(dictionary("get_special_datadict", ddtype, code), delegate);
}

ApiLoader ApiDataDict::get_campus_datadict(std::string_view ddtype, std::string_view area,
                                           ApiDelegate delegate) {
  return V::get(
      format("datadict/get_campus_datadict.php?ddtype=%@&area=%@", V::value(ddtype), V::value(area)),
      delegate);
}

}  // namespace kavro
