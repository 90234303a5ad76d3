#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/StringTable.h"

namespace platform {

// The domain of the errors the network layer reports (streams and URL connections).
inline constexpr std::string_view URLErrorDomain = "NSURLErrorDomain";
// Underlying errors: the operating system's errno, a resolver failure, a TLS failure.
inline constexpr std::string_view ResolverErrorDomain = "kCFStreamErrorDomainNetDB";
inline constexpr std::string_view OSStatusErrorDomain = "NSOSStatusErrorDomain";

// Codes of URLErrorDomain.
enum URLErrorCode : std::int64_t {
  URLErrorCancelled = -999,
  URLErrorBadURL = -1000,
  URLErrorTimedOut = -1001,
  URLErrorUnsupportedURL = -1002,
  URLErrorCannotFindHost = -1003,
  URLErrorCannotConnectToHost = -1004,
  // Only for a connection taken from the pool that turns out dead before any byte of the answer
  // came: the request never reached a live server, so a caller may send it again.
  URLErrorNetworkConnectionLost = -1005,
  URLErrorHTTPTooManyRedirects = -1007,
  // The peer broke HTTP: a malformed or oversized header, bad framing, or a close before the
  // header or the framed body was complete.
  URLErrorBadServerResponse = -1011,
  URLErrorRequestBodyStreamExhausted = -1021,
  URLErrorSecureConnectionFailed = -1200,
  URLErrorServerCertificateHasBadDate = -1201,
  URLErrorServerCertificateUntrusted = -1202,
  URLErrorServerCertificateHasUnknownRoot = -1203,
  URLErrorClientCertificateRejected = -1205,
};

// TLS failures carry an underlying OSStatusErrorDomain error with one of these codes.
enum SSLStatusCode : std::int64_t {
  SSLProtocolError = -9800,
  SSLCertificateChainInvalid = -9807,
  SSLPeerBadCertificate = -9808,
  SSLNoRootCertificate = -9813,
  SSLCertificateExpired = -9814,
  SSLHostNameMismatch = -9843,
};

inline std::shared_ptr<const Error> makeUnderlyingError(std::string_view domain, std::int64_t code,
                                                        std::string message);

// The description is the system's own words for the code, in the user's language (the "System"
// string table, key "URLError<code>"); the transport's detail (host, port, reason) then stays with
// the error as its underlying one. Without a text for the code the detail is the description.
inline Error makeURLError(URLErrorCode code, std::string message,
                          std::shared_ptr<const Error> underlying = nullptr) {
  std::string shown = StringTable::localizedString("URLError" + std::to_string(code), "", "System");
  if (shown.empty()) {
    shown = std::move(message);
  } else if (!underlying && !message.empty()) {
    underlying = makeUnderlyingError(URLErrorDomain, code, std::move(message));
  }
  return Error{std::string(URLErrorDomain), code, std::move(shown), nullptr, std::move(underlying)};
}

inline std::shared_ptr<const Error> makeUnderlyingError(std::string_view domain, std::int64_t code,
                                                        std::string message) {
  return std::make_shared<const Error>(
      Error{std::string(domain), code, std::move(message), nullptr, nullptr});
}

}  // namespace platform
