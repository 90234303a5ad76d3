// Authentication challenges and NTLM challenge messages come from any server or proxy: parsing
// them and answering them with credentials never crashes, whatever the header holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/net/HTTPAuthentication.h"
#include "platform/net/HTTPMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  bool proxy = bytes[0] & 1;
  std::string value(reinterpret_cast<const char*>(bytes + 1), size - 1);
  for (const auto& challenge : platform::HTTPAuthentication::parseChallenges(value)) challenge.param("realm");

  auto url = *platform::URL::parse("http://www.example.com/x");
  auto response = platform::HTTPMessage::response(proxy ? 407 : 401, "", platform::HTTPVersion1_1);
  response.setHeaderField(platform::HTTPAuthentication::challengeField(proxy), value);
  // An NTLM exchange: the negotiate leg first, then the server's challenge message as fuzzed.
  auto ntlm = platform::HTTPMessage::response(proxy ? 407 : 401, "", platform::HTTPVersion1_1);
  ntlm.setHeaderField(platform::HTTPAuthentication::challengeField(proxy), "NTLM");
  platform::HTTPCredentials credentials{"user", "secret", std::string("DOMAIN")};
  for (const auto* first : {&response, &ntlm}) {
    auto auth = platform::HTTPAuthentication::createFromResponse(*first);
    if (!auth) continue;
    auto request = platform::HTTPMessage::request("GET", url);
    auth->applyCredentials(credentials, request);
    auth->updateFromResponse(response);
    auto next = platform::HTTPMessage::request("GET", url);
    auth->applyCredentials(credentials, next);
    auth->isValid();
  }
  return 0;
}
