#pragma once
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The dictionary area "datadict/": the data dictionaries behind the pickers. The first three send
// the resume language. Main thread.
class ApiDataDict {
 public:
  static ApiLoader get_jobarea(std::string_view ddtype, std::string_view code, ApiDelegate delegate);
  static ApiLoader get_datadict(std::string_view ddtype, std::string_view code, ApiDelegate delegate);
  static ApiLoader get_special_datadict(std::string_view ddtype, std::string_view code, ApiDelegate delegate);
  static ApiLoader get_campus_datadict(std::string_view ddtype, std::string_view area, ApiDelegate delegate);
};

}  // namespace kavro
