#pragma once
#include <cstdint>
#include <string_view>

#include "app/api/ApiFrame.h"

namespace kavro {

// The news area "news/": work news lists, search and articles. Main thread.
class ApiNews {
 public:
  static ApiLoader get_top_list(ApiDelegate delegate);
  static ApiLoader get_news_list(std::string_view newstype, std::int32_t pagesize, std::int32_t pageno,
                                 ApiDelegate delegate);
  static ApiLoader search_keyword(std::string_view keyword, std::int32_t pagesize, std::int32_t pageno,
                                  ApiDelegate delegate);
  static ApiLoader get_news_info(std::string_view newsid, ApiDelegate delegate);
};

}  // namespace kavro
