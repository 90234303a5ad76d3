#pragma once
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The salary area "salary/": the free salary report. Main thread.
class ApiSalary {
 public:
  static ApiLoader get_free_report(std::string_view jobarea, std::string_view funtype,
                                   std::string_view indtype, ApiDelegate delegate);
};

}  // namespace kavro
