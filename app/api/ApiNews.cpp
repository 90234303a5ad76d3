#include "app/api/ApiNews.h"

#include "platform/foundation/Format.h"

namespace kavro {

using platform::format;
using V = ApiFrame;

ApiLoader ApiNews::get_top_list(ApiDelegate delegate) { return V::get("news/get_top_list.php", delegate); }

ApiLoader ApiNews::get_news_list(std::string_view newstype, std::int32_t pagesize, std::int32_t pageno,
                                 ApiDelegate delegate) {
  return V::get(format("news/get_news_list.php?newstype=%@&pagesize=%d&pageno=%d", V::value(newstype),
                       pagesize, pageno),
                delegate);
}

ApiLoader ApiNews::search_keyword(std::string_view keyword, std::int32_t pagesize, std::int32_t pageno,
                                  ApiDelegate delegate) {
  return V::get(
      format("news/search_keyword.php?keyword=%@&pagesize=%d&pageno=%d", V::value(keyword), pagesize, pageno),
      delegate);
}

ApiLoader ApiNews::get_news_info(std::string_view newsid, ApiDelegate delegate) {
  return V::get(format("news/get_news_info.php?newsid=%@", V::value(newsid)), delegate);
}

}  // namespace kavro
