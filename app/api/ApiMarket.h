#pragma once
#include <cstdint>
#include <string_view>

#include "app/api/ApiFrame.h"
#include "kit/core/DataItemDetail.h"

namespace kavro {

// The market area "market/": ads, feedback, the share text, skins and reports. Main thread.
class ApiMarket {
 public:
  static ApiLoader get_ads(std::int32_t position, ApiDelegate delegate);
  static ApiLoader add_feedback(std::string_view feedback, std::string_view contact, ApiDelegate delegate);
  static ApiLoader get_app_sharetxt(ApiDelegate delegate);
  // Sends the main screen's size in pixels and its scale.
  static ApiLoader get_skin(ApiDelegate delegate);
  // The record's fields go as the body.
  static ApiLoader report(const DataItemDetail& record, ApiDelegate delegate);
};

}  // namespace kavro
