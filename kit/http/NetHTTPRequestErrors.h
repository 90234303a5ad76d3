#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"

namespace kavro {

// The domain of every error the request engine reports.
inline constexpr std::string_view NetworkRequestErrorDomain = "NetHTTPRequestErrorDomain";

enum NetHTTPRequestErrorCode : std::int64_t {
  NetConnectionFailureErrorType = 1,
  NetRequestTimedOutErrorType = 2,
  NetAuthenticationErrorType = 3,
  NetRequestCancelledErrorType = 4,
  NetUnableToCreateRequestErrorType = 5,
  NetInternalErrorWhileBuildingRequestType = 6,
  NetInternalErrorWhileApplyingCredentialsType = 7,
  NetFileManagementError = 8,
  NetTooMuchRedirectionErrorType = 9,
  NetUnhandledExceptionError = 10,
  NetCompressionError = 11,
};

inline platform::Error makeNetError(std::int64_t code, std::string description,
                                    std::shared_ptr<const platform::Error> underlying = nullptr) {
  return platform::Error{std::string(NetworkRequestErrorDomain), code, std::move(description), nullptr,
                         std::move(underlying)};
}

}  // namespace kavro
