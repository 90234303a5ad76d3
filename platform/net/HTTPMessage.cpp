#include "platform/net/HTTPMessage.h"

#include <algorithm>
#include <cstring>

#include "platform/net/NetText.h"

namespace platform {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

using nettext::trimOWS;

bool isFieldValue(std::string_view v) {
  return std::none_of(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

}  // namespace

bool HTTPMessage::equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool HTTPMessage::isToken(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 32 || u >= 127) return false;
    if (std::strchr("()<>@,;:\\\"/[]?={}", c)) return false;
  }
  return true;
}

HTTPMessage HTTPMessage::request(std::string_view method, const URL& url, std::string_view version) {
  HTTPMessage m;
  m.isRequest_ = true;
  m.method_ = std::string(method);
  m.url_ = url;
  m.version_ = std::string(version);
  m.headerComplete_ = true;
  return m;
}

HTTPMessage HTTPMessage::response(int statusCode, std::string_view reasonPhrase, std::string_view version) {
  HTTPMessage m;
  m.statusCode_ = statusCode;
  m.reasonPhrase_ = std::string(reasonPhrase);
  m.version_ = std::string(version);
  m.headerComplete_ = true;
  return m;
}

HTTPMessage HTTPMessage::emptyResponse() { return HTTPMessage(); }

std::string HTTPMessage::requestTarget(bool absoluteForm) const {
  if (!url_) return "/";
  std::string target;
  if (absoluteForm) target = url_->scheme() + "://" + hostField();
  target += url_->percentEncodedPath().empty() ? "/" : url_->percentEncodedPath();
  if (url_->hasQuery()) target += "?" + url_->query();
  return target;
}

std::string HTTPMessage::statusLine() const {
  std::string line = version_ + " " + std::to_string(statusCode_);
  if (!reasonPhrase_.empty()) line += " " + reasonPhrase_;
  return line;
}

std::optional<std::string> HTTPMessage::headerField(std::string_view name) const {
  for (const auto& f : fields_)
    if (equalsIgnoringCase(f.name, name)) return f.value;
  return std::nullopt;
}

bool HTTPMessage::setHeaderField(std::string_view name, std::string_view value) {
  if (!isToken(name) || !isFieldValue(value)) return false;
  for (auto& f : fields_) {
    if (equalsIgnoringCase(f.name, name)) {
      f.value = std::string(value);
      return true;
    }
  }
  fields_.push_back({std::string(name), std::string(value)});
  return true;
}

void HTTPMessage::removeHeaderField(std::string_view name) {
  std::erase_if(fields_, [&](const HTTPHeaderField& f) { return equalsIgnoringCase(f.name, name); });
}

std::string HTTPMessage::hostField() const {
  if (!url_) return "";
  std::string host = url_->host();
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  if (url_->port() && url_->port() != URL::defaultPort(url_->scheme()))
    host += ":" + std::to_string(*url_->port());
  return host;
}

std::string HTTPMessage::serializedHeader(bool absoluteForm) const {
  std::string out;
  out.reserve(256);
  if (isRequest_) {
    out += method_ + " " + requestTarget(absoluteForm) + " " + version_ + "\r\n";
    if (!headerField("Host")) out += "Host: " + hostField() + "\r\n";
  } else {
    out += statusLine() + "\r\n";
  }
  for (const auto& f : fields_) {
    out += f.name;
    out += ": ";
    out += f.value;
    out += "\r\n";
  }
  return out;
}

Data HTTPMessage::serializedMessage() const {
  std::string head = serializedHeader();
  if (!body_.empty() && !headerField("Content-Length") && !headerField("Transfer-Encoding"))
    head += "Content-Length: " + std::to_string(body_.size()) + "\r\n";
  head += "\r\n";
  Data out(head.begin(), head.end());
  out.insert(out.end(), body_.begin(), body_.end());
  return out;
}

bool HTTPMessage::appendBytes(const std::uint8_t* bytes, std::size_t length) {
  if (headerComplete_) {
    if (!parseError_.empty()) return false;
    body_.insert(body_.end(), bytes, bytes + length);
    return true;
  }
  auto taken = appendHeaderBytes(bytes, length);
  if (!taken) return false;
  body_.insert(body_.end(), bytes + *taken, bytes + length);
  return true;
}

std::optional<std::size_t> HTTPMessage::appendHeaderBytes(const std::uint8_t* bytes, std::size_t length) {
  if (!parseError_.empty() || isRequest_) return std::nullopt;
  if (headerComplete_) return 0;
  std::size_t skipped = 0;
  if (headerBytes_.empty()) {
    // Stray line ends before the status line are allowed and skipped.
    while (skipped < length && (bytes[skipped] == '\r' || bytes[skipped] == '\n')) ++skipped;
  }
  std::size_t old = headerBytes_.size();
  std::size_t from = old >= 3 ? old - 3 : 0;
  std::size_t room = MaximumHeaderSize + 4 - std::min(old, MaximumHeaderSize + 4);
  headerBytes_.append(reinterpret_cast<const char*>(bytes) + skipped, std::min(length - skipped, room));
  std::size_t end = std::string::npos;
  for (std::size_t i = headerBytes_.find('\n', from); i != std::string::npos;
       i = headerBytes_.find('\n', i + 1)) {
    if (i + 1 < headerBytes_.size() && headerBytes_[i + 1] == '\n') {
      end = i + 2;
      break;
    }
    if (i + 2 < headerBytes_.size() && headerBytes_[i + 1] == '\r' && headerBytes_[i + 2] == '\n') {
      end = i + 3;
      break;
    }
  }
  // The same limit whether the blank line came in this piece or not.
  if ((end == std::string::npos ? headerBytes_.size() : end) > MaximumHeaderSize) {
    parseError_ = "The response header is larger than " + std::to_string(MaximumHeaderSize) + " bytes";
    return std::nullopt;
  }
  if (end == std::string::npos) return length;
  std::size_t takenHere = skipped + (end - old);
  headerBytes_.resize(end);
  std::string text = std::move(headerBytes_);
  headerBytes_.clear();
  if (!parseHeader(text)) return std::nullopt;
  headerComplete_ = true;
  return takenHere;
}

void HTTPMessage::addReceivedField(std::string_view name, std::string_view value) {
  for (auto& f : fields_) {
    if (equalsIgnoringCase(f.name, name)) {
      if (f.value.empty())
        f.value = std::string(value);
      else if (!value.empty())
        f.value += ", " + std::string(value);
      return;
    }
  }
  fields_.push_back({std::string(name), std::string(value)});
}

bool HTTPMessage::parseHeader(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
  }
  std::size_t i = 0;
  while (i < lines.size() && lines[i].empty()) ++i;
  if (i == lines.size()) {
    parseError_ = "The response has no status line";
    return false;
  }
  // Status line: HTTP/1.x SP 3DIGIT [SP reason]
  std::string_view status = lines[i++];
  if (status.size() < 12 || status.substr(0, 5) != "HTTP/" || status[6] != '.' || !isDigit(status[5]) ||
      !isDigit(status[7]) || status[8] != ' ' || !isDigit(status[9]) || !isDigit(status[10]) ||
      !isDigit(status[11]) || (status.size() > 12 && status[12] != ' ')) {
    parseError_ = "The response's status line is malformed";
    return false;
  }
  version_ = std::string(status.substr(0, 8));
  statusCode_ = (status[9] - '0') * 100 + (status[10] - '0') * 10 + (status[11] - '0');
  reasonPhrase_ = status.size() > 13 ? std::string(status.substr(13)) : "";
  if (!isFieldValue(reasonPhrase_)) {
    parseError_ = "The response's status line is malformed";
    return false;
  }

  std::string pendingName, pendingValue;
  bool pending = false;
  auto flush = [&] {
    if (pending) addReceivedField(pendingName, trimOWS(pendingValue));
    pending = false;
  };
  for (; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.empty()) break;
    if (line.front() == ' ' || line.front() == '\t') {
      // An obsolete folded line continues the field before it.
      if (!pending) {
        parseError_ = "The response header starts with a continuation line";
        return false;
      }
      pendingValue += " ";
      pendingValue += trimOWS(line);
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isToken(line.substr(0, colon))) {
      parseError_ = "The response header has a malformed field";
      return false;
    }
    flush();
    pendingName = std::string(line.substr(0, colon));
    pendingValue = std::string(line.substr(colon + 1));
    if (!isFieldValue(pendingValue)) {
      parseError_ = "The response header has a malformed field";
      return false;
    }
    pending = true;
  }
  flush();
  return true;
}

}  // namespace platform
