#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/foundation/Mutex.h"

namespace platform {

inline constexpr std::string_view AuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline constexpr std::string_view ProxySpaceTypeHTTP = "HTTP";

// Where a credential applies: a server (host, port, protocol, realm) or a proxy (host, port,
// proxy type, realm), and the authentication method.
struct ProtectionSpace {
  std::string host;
  int port = 0;
  std::string protocol;  // servers: "http", "https"
  std::string realm;
  std::string authenticationMethod = std::string(AuthenticationMethodDefault);
  bool isProxy = false;
  std::string proxyType;  // proxies: ProxySpaceTypeHTTP

  static ProtectionSpace server(std::string host, int port, std::string protocol, std::string realm) {
    ProtectionSpace s;
    s.host = std::move(host);
    s.port = port;
    s.protocol = std::move(protocol);
    s.realm = std::move(realm);
    return s;
  }
  static ProtectionSpace proxy(std::string host, int port, std::string realm) {
    ProtectionSpace s;
    s.host = std::move(host);
    s.port = port;
    s.realm = std::move(realm);
    s.isProxy = true;
    s.proxyType = std::string(ProxySpaceTypeHTTP);
    return s;
  }
  std::string key() const;
};

struct URLCredential {
  enum class Persistence { None = 0, ForSession = 1, Permanent = 2 };
  std::string user;
  std::string password;
  Persistence persistence = Persistence::ForSession;
  bool operator==(const URLCredential&) const = default;
};

// The platform's credential store: one default credential per protection space. Credentials
// with permanent persistence are also kept in "Library/Credentials.txt" under the home root
// (owner-only permissions), read on first use and rewritten atomically on each change (a file that
// cannot be read is read again at the next use and is not rewritten until it has been); the others
// live for the process. What changed while the file could not be read, removals included, is
// merged in when it reads: the store then answers as if it had been read from the start. A save the
// disk refused is said on standard error, once per cause. A credential of persistence None is not
// stored. Thread-safe.
class CredentialStorage {
 public:
  static CredentialStorage& sharedCredentialStorage();
  // Forgets the shared store (tests); the next use reads the file of the home root then in force.
  static void destroySharedCredentialStorage();

  std::optional<URLCredential> defaultCredentialForProtectionSpace(const ProtectionSpace& space);
  void setDefaultCredential(const URLCredential& credential, const ProtectionSpace& space);
  // Removes the space's credential when it is this one.
  void removeCredential(const URLCredential& credential, const ProtectionSpace& space);

  explicit CredentialStorage(std::optional<std::string> filePath);

 private:
  void load() REQUIRES(mutex_);
  void save() REQUIRES(mutex_);
  // The file's credential under key, as far as it is known while the file cannot be read: a
  // removal made meanwhile took it away when it had one of these users (none: whatever it had).
  bool removedUnread(const std::string& key, const URLCredential& fromFile) const REQUIRES(mutex_);

  platform::Mutex mutex_;
  std::optional<std::string> filePath_ GUARDED_BY(mutex_);
  bool loaded_ GUARDED_BY(mutex_) = false;
  std::map<std::string, URLCredential> credentials_ GUARDED_BY(mutex_);
  // While not loaded_: spaces whose credential in the file was removed, by user (none: any user).
  std::map<std::string, std::optional<std::set<std::string>>> removedUnread_ GUARDED_BY(mutex_);
  std::string saveFailureSaid_ GUARDED_BY(mutex_);
};

}  // namespace platform
