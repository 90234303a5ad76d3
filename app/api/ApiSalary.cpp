#include "app/api/ApiSalary.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiSalary::get_free_report(std::string_view jobarea, std::string_view funtype,
                                     std::string_view indtype, ApiDelegate delegate) {
  return V::get(format("salary/get_free_report.php?accountid=%@&key=%@&jobarea=%@&funtype=%@&indtype=%@",
                       V::accountID(), V::key(), V::value(jobarea), V::value(funtype), V::value(indtype)),
                delegate);
}

}  // namespace kavro
