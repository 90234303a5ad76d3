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
  // The answer, decoded, grew past the request's maxResponseSize.
  NetResponseTooLargeErrorType = 12,
};

// What an answer may decode to unless the request says otherwise: the service's answers are far
// smaller, and a compressed answer many times this size is an attack, not an answer.
inline constexpr std::uint64_t NetDefaultMaxResponseSize = 32ull * 1024 * 1024;

inline platform::Error makeNetError(std::int64_t code, std::string description,
                                    std::shared_ptr<const platform::Error> underlying = nullptr) {
  return platform::Error{std::string(NetworkRequestErrorDomain), code, std::move(description), nullptr,
                         std::move(underlying)};
}

inline platform::Error responseTooLargeError(std::uint64_t limit) {
  return makeNetError(NetResponseTooLargeErrorType, "The response is larger than the " +
                                                        std::to_string(limit) + " bytes the request allows");
}

}  // namespace kavro
