#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/HTTPMessage.h"

namespace platform {

inline constexpr std::string_view HTTPAuthenticationSchemeBasic = "Basic";
inline constexpr std::string_view HTTPAuthenticationSchemeDigest = "Digest";
inline constexpr std::string_view HTTPAuthenticationSchemeNTLM = "NTLM";

// Why an authentication object is no longer valid (isValid), in HTTPStreamErrorDomain.
inline constexpr std::string_view HTTPStreamErrorDomain = "kCFStreamErrorDomainHTTP";
enum HTTPAuthenticationError : std::int64_t {
  HTTPAuthenticationTypeUnsupported = -1000,
  HTTPAuthenticationBadUserName = -1001,
  HTTPAuthenticationBadPassword = -1002,
};

// What is applied to a request: user name, password and, for schemes that need one, the account
// domain. Shared by identity: the engine's session stores tell entries apart by the object.
struct HTTPCredentials {
  std::string username;
  std::string password;
  std::optional<std::string> accountDomain;
};

// The client side of one server's or proxy's authentication challenge (Basic, Digest, NTLM),
// made from a 401 or 407 response. It applies credentials to later requests ("Authorization",
// or "Proxy-Authorization" for a proxy), and learns from the next challenge of the same exchange
// whether they were refused, after which it is no longer valid. Digest counts its nonce uses
// and takes a fresh nonce from a "stale" challenge; NTLM runs its negotiate, challenge and
// authenticate legs (NTLMv2 responses) on one connection. Thread-safe.
class HTTPAuthentication {
 public:
  // nullptr when the response carries no challenge of a scheme worked here. Among several
  // challenges NTLM is preferred, then Digest, then Basic.
  static std::shared_ptr<HTTPAuthentication> createFromResponse(const HTTPMessage& response);

  // "Basic", "Digest" or "NTLM".
  std::string method() const;
  // The realm the challenge named; none for NTLM.
  std::optional<std::string> realm() const;
  bool isForProxy() const { return proxy_; }
  bool requiresAccountDomain() const;
  bool requiresUserNameAndPassword() const { return true; }

  // False, with the reason in *error (HTTPStreamErrorDomain), once the server refused what was applied.
  bool isValid(Error* error = nullptr) const;
  // A later response to a request this object was applied to.
  void updateFromResponse(const HTTPMessage& response);
  // Sets the authorization field on request. False when the credentials cannot be applied (NTLM
  // without an account domain entry, a message that is not a request).
  bool applyCredentials(const HTTPCredentials& credentials, HTTPMessage& request);

  // The header field a challenge of this kind comes in ("WWW-Authenticate", "Proxy-Authenticate")
  // and the one credentials go in ("Authorization", "Proxy-Authorization").
  static std::string_view challengeField(bool proxy) {
    return proxy ? "Proxy-Authenticate" : "WWW-Authenticate";
  }
  static std::string_view authorizationField(bool proxy) {
    return proxy ? "Proxy-Authorization" : "Authorization";
  }

  // One challenge of a header value: scheme, parameters (names lower-cased) and, for NTLM, the token.
  struct Challenge {
    std::string scheme;
    std::vector<std::pair<std::string, std::string>> params;
    std::string token;
    std::optional<std::string> param(std::string_view name) const;
  };
  static std::vector<Challenge> parseChallenges(std::string_view value);

 private:
  enum class Scheme { Basic, Digest, NTLM };
  HTTPAuthentication(Scheme scheme, bool proxy, Challenge challenge);

  mutable platform::Mutex mutex_;
  // Fixed at creation.
  const Scheme scheme_;
  const bool proxy_;
  Challenge challenge_ GUARDED_BY(mutex_);
  bool applied_ GUARDED_BY(mutex_) = false;
  std::optional<std::int64_t> invalid_ GUARDED_BY(mutex_);
  std::uint32_t nonceCount_ GUARDED_BY(mutex_) = 0;
  // NTLM: the server's challenge message, once it came.
  std::optional<Data> ntlmChallenge_ GUARDED_BY(mutex_);
  bool ntlmAuthenticateSent_ GUARDED_BY(mutex_) = false;
};

}  // namespace platform
