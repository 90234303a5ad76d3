#include "platform/net/HTTPAuthentication.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/crypto/Digest.h"
#include "platform/crypto/Hmac.h"
#include "platform/crypto/Md4.h"
#include "platform/crypto/Random.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/Text.h"
#include "platform/net/NetText.h"

namespace platform {

namespace {

using nettext::lower;

bool isTChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("!#$%&'*+-.^_`|~", c);
}

bool isToken68Char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-._~+/", c); }

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(const Data& bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t n = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= bytes[i + 2];
    out += base64Alphabet[(n >> 18) & 63];
    out += base64Alphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? base64Alphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? base64Alphabet[n & 63] : '=';
  }
  return out;
}

std::optional<Data> base64Decode(std::string_view text) {
  Data out;
  std::uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '=') break;
    const char* p = std::strchr(base64Alphabet, c);
    if (!p || c == '\0') return std::nullopt;
    acc = (acc << 6) | static_cast<std::uint32_t>(p - base64Alphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(acc >> bits));
    }
  }
  return out;
}

std::string md5Hex(std::string_view s) { return hexString(md5(s)); }

Data utf16le(std::string_view s) {
  Data out;
  for (char16_t u : toUtf16(s)) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return out;
}

void put16(Data& d, std::size_t at, std::uint16_t v) {
  d[at] = static_cast<std::uint8_t>(v);
  d[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Data& d, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t get32(const Data& d, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(d[at + i]) << (8 * i);
  return v;
}
std::uint16_t get16(const Data& d, std::size_t at) {
  return static_cast<std::uint16_t>(d[at] | d[at + 1] << 8);
}

constexpr std::uint8_t ntlmSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', 0};
// Unicode, OEM, request target, NTLM, always sign, extended session security.
constexpr std::uint32_t ntlmNegotiateFlags = 0x00088207;

Data ntlmNegotiate() {
  Data m(32, 0);
  std::memcpy(m.data(), ntlmSignature, 8);
  put32(m, 8, 1);
  put32(m, 12, ntlmNegotiateFlags);
  return m;
}

Data concat(std::initializer_list<const Data*> parts) {
  Data out;
  for (const Data* p : parts) out.insert(out.end(), p->begin(), p->end());
  return out;
}

// The authenticate message with NTLMv2 responses to the server's challenge message.
std::optional<Data> ntlmAuthenticate(const Data& challenge, const HTTPCredentials& credentials) {
  if (challenge.size() < 32 || std::memcmp(challenge.data(), ntlmSignature, 8) != 0 ||
      get32(challenge, 8) != 2)
    return std::nullopt;
  Data serverChallenge(challenge.begin() + 24, challenge.begin() + 32);
  Data targetInfo;
  if (challenge.size() >= 48) {
    std::uint16_t len = get16(challenge, 40);
    std::uint32_t off = get32(challenge, 44);
    if (off <= challenge.size() && len <= challenge.size() - off)
      targetInfo.assign(challenge.begin() + off, challenge.begin() + off + len);
  }
  std::string domain = credentials.accountDomain.value_or("");
  Data password = utf16le(credentials.password);
  Data ntHash = md4(password);
  Data identity = utf16le(uppercase(credentials.username) + domain);
  Data ntowf = hmac(DigestAlgorithm::MD5, ntHash, identity);
  Data clientChallenge = randomData(8);
  // Tenths of microseconds since 1601.
  auto stamp = static_cast<std::uint64_t>((Date::now().timeIntervalSince1970() + 11644473600.0) * 1e7);
  Data blob(28, 0);
  blob[0] = 1;
  blob[1] = 1;
  for (int i = 0; i < 8; ++i) blob[8 + i] = static_cast<std::uint8_t>(stamp >> (8 * i));
  std::memcpy(blob.data() + 16, clientChallenge.data(), 8);
  blob.insert(blob.end(), targetInfo.begin(), targetInfo.end());
  blob.insert(blob.end(), 4, 0);
  Data proofInput = concat({&serverChallenge, &blob});
  Data ntProof = hmac(DigestAlgorithm::MD5, ntowf, proofInput);
  Data ntResponse = concat({&ntProof, &blob});
  Data lmInput = concat({&serverChallenge, &clientChallenge});
  Data lmProof = hmac(DigestAlgorithm::MD5, ntowf, lmInput);
  Data lmResponse = concat({&lmProof, &clientChallenge});
  Data domainBytes = utf16le(domain);
  Data userBytes = utf16le(credentials.username);
  Data workstation = utf16le("KAVRO");

  Data m(64, 0);
  std::memcpy(m.data(), ntlmSignature, 8);
  put32(m, 8, 3);
  std::size_t offset = 64;
  auto field = [&](std::size_t at, const Data& bytes) {
    put16(m, at, static_cast<std::uint16_t>(bytes.size()));
    put16(m, at + 2, static_cast<std::uint16_t>(bytes.size()));
    put32(m, at + 4, static_cast<std::uint32_t>(offset));
    offset += bytes.size();
  };
  field(12, lmResponse);
  field(20, ntResponse);
  field(28, domainBytes);
  field(36, userBytes);
  field(44, workstation);
  field(52, Data());
  put32(m, 60, ntlmNegotiateFlags);
  for (const Data* part : {&lmResponse, &ntResponse, &domainBytes, &userBytes, &workstation})
    m.insert(m.end(), part->begin(), part->end());
  if (m.size() > 0xFFFF) return std::nullopt;
  return m;
}

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::optional<std::string> HTTPAuthentication::Challenge::param(std::string_view name) const {
  for (const auto& [k, v] : params)
    if (k == name) return v;
  return std::nullopt;
}

std::vector<HTTPAuthentication::Challenge> HTTPAuthentication::parseChallenges(std::string_view text) {
  std::vector<Challenge> out;
  std::size_t pos = 0;
  auto skipWS = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',')) ++pos;
    std::size_t start = pos;
    while (pos < text.size() && isTChar(text[pos])) ++pos;
    if (pos == start) {
      ++pos;
      continue;
    }
    Challenge ch{std::string(text.substr(start, pos - start)), {}, ""};
    for (;;) {
      std::size_t save = pos;
      skipWS();
      std::size_t wordStart = pos;
      while (pos < text.size() && isToken68Char(text[pos])) ++pos;
      std::string_view word = text.substr(wordStart, pos - wordStart);
      if (word.empty()) break;
      std::size_t afterWord = pos;
      skipWS();
      if (pos < text.size() && text[pos] == '=') {
        std::size_t eq = pos;
        while (pos < text.size() && text[pos] == '=') ++pos;
        std::size_t afterEq = pos;
        skipWS();
        bool ends = pos >= text.size() || text[pos] == ',';
        if ((ends || afterEq - eq > 1) && ch.params.empty() && ch.token.empty()) {
          ch.token = std::string(word) + std::string(afterEq - eq, '=');
          continue;
        }
        pos = eq + 1;
        skipWS();
        std::string value;
        if (pos < text.size() && text[pos] == '"') {
          ++pos;
          while (pos < text.size() && text[pos] != '"') {
            if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
            value += text[pos++];
          }
          if (pos < text.size()) ++pos;
        } else {
          std::size_t vs = pos;
          while (pos < text.size() && text[pos] != ',' && text[pos] != ' ' && text[pos] != '\t') ++pos;
          value = std::string(text.substr(vs, pos - vs));
        }
        ch.params.emplace_back(lower(word), std::move(value));
        skipWS();
        if (pos < text.size() && text[pos] == ',') ++pos;
        continue;
      }
      if (ch.params.empty() && ch.token.empty() && (pos >= text.size() || text[pos] == ',')) {
        // A token right after the scheme (NTLM's message).
        ch.token = std::string(word);
        pos = afterWord;
        continue;
      }
      pos = save;
      break;
    }
    out.push_back(std::move(ch));
  }
  return out;
}

HTTPAuthentication::HTTPAuthentication(Scheme scheme, bool proxy, Challenge challenge)
    : scheme_(scheme), proxy_(proxy), challenge_(std::move(challenge)) {
  if (scheme_ == Scheme::NTLM && !challenge_.token.empty()) ntlmChallenge_ = base64Decode(challenge_.token);
}

std::shared_ptr<HTTPAuthentication> HTTPAuthentication::createFromResponse(const HTTPMessage& response) {
  bool proxy = response.statusCode() == 407;
  if (response.statusCode() != 401 && !proxy) return nullptr;
  auto field = response.headerField(challengeField(proxy));
  if (!field) return nullptr;
  auto challenges = parseChallenges(*field);
  for (auto [name, scheme] : {std::pair{HTTPAuthenticationSchemeNTLM, Scheme::NTLM},
                              std::pair{HTTPAuthenticationSchemeDigest, Scheme::Digest},
                              std::pair{HTTPAuthenticationSchemeBasic, Scheme::Basic}}) {
    for (auto& ch : challenges) {
      if (!HTTPMessage::equalsIgnoringCase(ch.scheme, name)) continue;
      if (scheme == Scheme::Digest) {
        auto algorithm = ch.param("algorithm");
        if (!ch.param("nonce") ||
            (algorithm && lower(*algorithm) != "md5" && lower(*algorithm) != "md5-sess"))
          continue;
      }
      return std::shared_ptr<HTTPAuthentication>(new HTTPAuthentication(scheme, proxy, ch));
    }
  }
  return nullptr;
}

std::string HTTPAuthentication::method() const {
  switch (scheme_) {
    case Scheme::Basic:
      return std::string(HTTPAuthenticationSchemeBasic);
    case Scheme::Digest:
      return std::string(HTTPAuthenticationSchemeDigest);
    case Scheme::NTLM:
      return std::string(HTTPAuthenticationSchemeNTLM);
  }
  return "";
}

std::optional<std::string> HTTPAuthentication::realm() const {
  platform::MutexLock lock(mutex_);
  if (scheme_ == Scheme::NTLM) return std::nullopt;
  return challenge_.param("realm");
}

bool HTTPAuthentication::requiresAccountDomain() const { return scheme_ == Scheme::NTLM; }

bool HTTPAuthentication::isValid(Error* error) const {
  platform::MutexLock lock(mutex_);
  if (!invalid_) return true;
  if (error)
    *error = Error{std::string(HTTPStreamErrorDomain), *invalid_,
                   *invalid_ == HTTPAuthenticationTypeUnsupported
                       ? "The server asks for another authentication scheme"
                       : "The server refused the credentials",
                   nullptr, nullptr};
  return false;
}

void HTTPAuthentication::updateFromResponse(const HTTPMessage& response) {
  platform::MutexLock lock(mutex_);
  if (response.statusCode() != (proxy_ ? 407 : 401)) return;
  std::optional<Challenge> ours;
  if (auto field = response.headerField(challengeField(proxy_)))
    for (auto& ch : parseChallenges(*field))
      if (HTTPMessage::equalsIgnoringCase(ch.scheme, method())) {
        ours = ch;
        break;
      }
  if (!ours) {
    invalid_ = HTTPAuthenticationTypeUnsupported;
    return;
  }
  switch (scheme_) {
    case Scheme::Basic:
      if (applied_) invalid_ = HTTPAuthenticationBadPassword;
      challenge_ = *ours;
      break;
    case Scheme::Digest: {
      auto stale = ours->param("stale");
      bool isStale = stale && lower(*stale) == "true";
      if (applied_ && !isStale) invalid_ = HTTPAuthenticationBadPassword;
      challenge_ = *ours;
      nonceCount_ = 0;
      break;
    }
    case Scheme::NTLM:
      if (!ours->token.empty() && !ntlmAuthenticateSent_) {
        ntlmChallenge_ = base64Decode(ours->token);
        if (!ntlmChallenge_) invalid_ = HTTPAuthenticationTypeUnsupported;
      } else if (applied_) {
        invalid_ = HTTPAuthenticationBadPassword;
      }
      break;
  }
}

bool HTTPAuthentication::applyCredentials(const HTTPCredentials& credentials, HTTPMessage& request) {
  platform::MutexLock lock(mutex_);
  if (!request.isRequest() || !request.url()) return false;
  std::string value;
  switch (scheme_) {
    case Scheme::Basic: {
      std::string pair = credentials.username + ":" + credentials.password;
      value = "Basic " + base64Encode(dataFromString(pair));
      break;
    }
    case Scheme::Digest: {
      std::string realm = challenge_.param("realm").value_or("");
      std::string nonce = challenge_.param("nonce").value_or("");
      std::string algorithm = challenge_.param("algorithm").value_or("MD5");
      std::string uri = request.requestTarget();
      std::optional<std::string> qop;
      if (auto offered = challenge_.param("qop")) {
        std::string q = lower(*offered);
        std::size_t at = q.find("auth");
        while (at != std::string::npos && (q.compare(at, 8, "auth-int") == 0)) at = q.find("auth", at + 1);
        if (at != std::string::npos) qop = "auth";
      }
      std::string cnonce = hexString(randomData(8));
      char nc[16];
      std::snprintf(nc, sizeof nc, "%08x", ++nonceCount_);
      std::string ha1 = md5Hex(credentials.username + ":" + realm + ":" + credentials.password);
      if (lower(algorithm) == "md5-sess") ha1 = md5Hex(ha1 + ":" + nonce + ":" + cnonce);
      std::string ha2 = md5Hex(request.method() + ":" + uri);
      std::string response =
          qop ? md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":" + *qop + ":" + ha2)
              : md5Hex(ha1 + ":" + nonce + ":" + ha2);
      value = "Digest username=" + quoted(credentials.username) + ", realm=" + quoted(realm) +
              ", nonce=" + quoted(nonce) + ", uri=" + quoted(uri) + ", response=" + quoted(response) +
              ", algorithm=" + algorithm;
      if (auto opaque = challenge_.param("opaque")) value += ", opaque=" + quoted(*opaque);
      if (qop) value += ", qop=" + *qop + ", nc=" + nc + ", cnonce=" + quoted(cnonce);
      break;
    }
    case Scheme::NTLM: {
      if (!credentials.accountDomain) return false;
      if (ntlmAuthenticateSent_) {
        // A new exchange (another request on another connection): start over.
        ntlmChallenge_.reset();
        ntlmAuthenticateSent_ = false;
      }
      if (!ntlmChallenge_) {
        value = "NTLM " + base64Encode(ntlmNegotiate());
      } else {
        auto message = ntlmAuthenticate(*ntlmChallenge_, credentials);
        if (!message) return false;
        value = "NTLM " + base64Encode(*message);
        ntlmAuthenticateSent_ = true;
      }
      break;
    }
  }
  if (!request.setHeaderField(authorizationField(proxy_), value)) return false;
  applied_ = true;
  return true;
}

}  // namespace platform
