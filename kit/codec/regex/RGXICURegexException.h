#pragma once
#include <memory>
#include <string>

#include "platform/foundation/Error.h"

namespace kavro {

// An ICU error (a bad pattern, a failed match or replacement) met by a caller that gave no error
// slot. The user information carries the same keys as the error object would have.
class RGXICURegexException : public platform::Exception {
 public:
  explicit RGXICURegexException(std::string reason,
                                std::shared_ptr<const platform::Dictionary> userInfo = nullptr)
      : platform::Exception("RGXICURegexException", std::move(reason), std::move(userInfo)) {}
};

}  // namespace kavro
