#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "demo/LoopbackHttpServer.h"

namespace kavro::test {

// A host that asks for credentials, on 127.0.0.1 with a kernel-chosen port: what the HTTP engine's
// login sheet is shown for.
//   /basic/REALM/...  Basic, realm REALM: "user" with "secret" gets "welcome user to PATH".
//   /ntlm/...         NTLM: negotiate, challenge and authenticate on one connection; the
//                     authenticate message gets "welcome DOMAIN\USER" with the names it carries
//                     (the password is not checked).
//   http://HOST/...   asked of it as a proxy: Basic, realm "proxy": "user" with "secret" in
//                     Proxy-Authorization gets "via proxy URL".
// Anything else is a 404. Every request is recorded.
class AuthDemoServer {
 public:
  static constexpr std::string_view User = "user";
  static constexpr std::string_view Password = "secret";

  AuthDemoServer();

  std::uint16_t port() const { return server_.port(); }
  // "http://127.0.0.1:<port>" followed by path.
  std::string url(std::string_view path) const { return server_.url(path); }
  std::vector<RecordedRequest> requests() const { return server_.requests(); }
  std::size_t requestCount() const { return server_.requestCount(); }
  void stop() { server_.stop(); }

 private:
  static ScriptedResponse respond(const RecordedRequest& request);

  LoopbackHttpServer server_;
};

}  // namespace kavro::test
