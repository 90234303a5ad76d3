#include "demo/AuthDemoServer.h"

#include <openssl/evp.h>

#include <cstring>

namespace kavro::test {
namespace {

// Credentials a header line carries are at most this long: anything longer is refused unread.
constexpr std::size_t HeaderLimit = 4096;

std::string base64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// The bytes of a Base64 text; empty when it is none.
std::string unbase64(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0 || text.size() > HeaderLimit) return {};
  std::string out(text.size() / 4 * 3, '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (n < 0) return {};
  std::size_t pad = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
  out.resize(static_cast<std::size_t>(n) - pad);
  return out;
}

std::string basicHeader() {
  return "Basic " + base64(std::string(AuthDemoServer::User) + ":" + std::string(AuthDemoServer::Password));
}

// A field (length, offset) of an NTLM message, read as UTF-16LE holding ASCII; "" when out of range.
std::string ntlmField(const std::string& m, std::size_t at) {
  if (m.size() < at + 8) return {};
  auto byte = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(m[i])); };
  std::size_t length = byte(at) | byte(at + 1) << 8;
  std::size_t offset = byte(at + 4) | byte(at + 5) << 8;
  if (offset > m.size() || length > m.size() - offset) return {};
  std::string out;
  for (std::size_t i = offset; i + 1 < offset + length; i += 2) out += m[i];
  return out;
}

// The challenge: no target name, no target information, a fixed server nonce.
std::string ntlmChallenge() {
  std::string type2(48, '\0');
  std::memcpy(type2.data(), "NTLMSSP", 8);
  type2[8] = 2;
  type2[16] = 48;
  type2[20] = 0x05;
  type2[21] = static_cast<char>(0x82);
  for (int i = 0; i < 8; ++i) type2[static_cast<std::size_t>(24 + i)] = static_cast<char>(i + 1);
  type2[44] = 48;
  return "NTLM " + base64(type2);
}

ScriptedResponse ntlm(const RecordedRequest& r) {
  auto auth = r.header("Authorization");
  if (!auth || !auth->starts_with("NTLM ")) return ScriptedResponse::challenge(401, "NTLM");
  std::string message = unbase64(std::string_view(*auth).substr(5));
  if (message.size() < 12 || message.compare(0, 8, std::string("NTLMSSP\0", 8)) != 0)
    return ScriptedResponse::challenge(401, "NTLM");
  if (message[8] == 1) return ScriptedResponse::challenge(401, ntlmChallenge());
  std::string user = ntlmField(message, 36);
  if (message[8] != 3 || user.empty()) return ScriptedResponse::challenge(401, "NTLM");
  return ScriptedResponse::ok("welcome " + ntlmField(message, 28) + "\\" + user);
}

ScriptedResponse notFound() {
  ScriptedResponse r;
  r.status = 404;
  r.body = "not found";
  return r;
}

}  // namespace

AuthDemoServer::AuthDemoServer() { server_.setHandler(respond); }

ScriptedResponse AuthDemoServer::respond(const RecordedRequest& r) {
  if (r.target.starts_with("http://")) {
    if (r.header("Proxy-Authorization") != basicHeader())
      return ScriptedResponse::challenge(407, "Basic realm=\"proxy\"");
    return ScriptedResponse::ok("via proxy " + r.target);
  }
  if (r.target.starts_with("/ntlm/")) return ntlm(r);
  if (r.target.starts_with("/basic/")) {
    std::string_view rest = std::string_view(r.target).substr(7);
    std::string realm(rest.substr(0, rest.find('/')));
    if (realm.empty() || realm.find('"') != std::string::npos) return notFound();
    if (r.header("Authorization") != basicHeader())
      return ScriptedResponse::challenge(401, "Basic realm=\"" + realm + "\"");
    return ScriptedResponse::ok("welcome " + std::string(User) + " to " + r.target);
  }
  return notFound();
}

}  // namespace kavro::test
