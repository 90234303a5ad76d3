#include "kit/http/NetFormDataRequest.h"

#include <unicode/ucnv.h>

#include <algorithm>

#include "platform/crypto/Uuid.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/Text.h"

namespace kavro {

using platform::Data;

namespace {

struct Charset {
  NetStringEncoding encoding;
  const char* name;  // IANA, also ICU's converter name
};

constexpr Charset charsets[] = {
    {NetASCIIStringEncoding, "us-ascii"},
    {NetJapaneseEUCStringEncoding, "euc-jp"},
    {NetUTF8StringEncoding, "utf-8"},
    {NetISOLatin1StringEncoding, "iso-8859-1"},
    {NetShiftJISStringEncoding, "shift_jis"},
    {NetISOLatin2StringEncoding, "iso-8859-2"},
    {NetUnicodeStringEncoding, "utf-16"},
    {NetWindowsCP1251StringEncoding, "windows-1251"},
    {NetWindowsCP1252StringEncoding, "windows-1252"},
    {NetWindowsCP1250StringEncoding, "windows-1250"},
    {NetISO2022JPStringEncoding, "iso-2022-jp"},
    {NetUTF16BigEndianStringEncoding, "utf-16be"},
    {NetUTF16LittleEndianStringEncoding, "utf-16le"},
    {NetGB18030StringEncoding, "gb18030"},
    {NetGBKStringEncoding, "gbk"},
    {NetBig5StringEncoding, "big5"},
    {NetEUCKRStringEncoding, "euc-kr"},
};

// Names in a part's header lines: a quotation mark or a line break would end the line or the
// quoted text early and let the rest pass for headers of its own.
std::string quotedHeaderText(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '"')
      out += "%22";
    else if (c == '\r')
      out += "%0D";
    else if (c == '\n')
      out += "%0A";
    else
      out += c;
  }
  return out;
}

std::string lastPathComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1));
}

}  // namespace

std::optional<std::string> IANACharSetNameForEncoding(NetStringEncoding encoding) {
  for (const auto& c : charsets)
    if (c.encoding == encoding) return std::string(c.name);
  return std::nullopt;
}

std::optional<Data> bytesFromString(std::string_view text, NetStringEncoding encoding) {
  if (!platform::isValidUtf8(text)) return std::nullopt;
  if (encoding == NetUTF8StringEncoding) return platform::dataFromString(text);
  auto name = IANACharSetNameForEncoding(encoding);
  if (!name) return std::nullopt;
  if (text.empty()) return Data();
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, void (*)(UConverter*)> cnv(ucnv_open(name->c_str(), &status), ucnv_close);
  if (U_FAILURE(status)) return std::nullopt;
  ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::u16string units = platform::toUtf16(text);
  const auto* source = reinterpret_cast<const UChar*>(units.data());
  int32_t needed =
      ucnv_fromUChars(cnv.get(), nullptr, 0, source, static_cast<int32_t>(units.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
  status = U_ZERO_ERROR;
  Data out(static_cast<std::size_t>(needed));
  ucnv_fromUChars(cnv.get(), reinterpret_cast<char*>(out.data()), needed, source,
                  static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  return out;
}

// --- creation and configuration ---

NetFormDataRequest::NetFormDataRequest(std::optional<platform::URL> url) : NetHTTPRequest(std::move(url)) {}

std::shared_ptr<NetFormDataRequest> NetFormDataRequest::requestWithURL(std::optional<platform::URL> url) {
  auto r = std::shared_ptr<NetFormDataRequest>(new NetFormDataRequest(std::move(url)));
  r->setRequestMethod("POST");
  return r;
}

void NetFormDataRequest::addPostValue(const platform::Value& value, std::optional<std::string_view> key) {
  if (!key) return;
  platform::MutexLock guard(cancelledLock());
  postData_.push_back(
      PostField{std::string(*key), value.isString() ? value.stringValue() : value.description()});
}

void NetFormDataRequest::setPostValue(const platform::Value& value, std::optional<std::string_view> key) {
  platform::MutexLock guard(cancelledLock());
  if (key) std::erase_if(postData_, [&](const PostField& f) { return f.key == *key; });
  addPostValue(value, key);
}

void NetFormDataRequest::addFile(std::string_view path, std::string_view key) {
  addFile(path, std::nullopt, std::nullopt, key);
}

void NetFormDataRequest::addFile(std::string_view path, std::optional<std::string> fileName,
                                 std::optional<std::string> contentType, std::string_view key) {
  bool isDirectory = false;
  if (!platform::FileManager::fileExistsAtPath(path, &isDirectory) || isDirectory)
    failWithError(makeNetError(NetInternalErrorWhileBuildingRequestType,
                               platform::format("No file exists at %@", std::string(path))));
  if (!fileName) fileName = lastPathComponent(path);
  if (!contentType) contentType = mimeTypeForFileAtPath(path);
  platform::MutexLock guard(cancelledLock());
  fileData_.push_back(FilePart{std::string(key), std::move(*fileName),
                               contentType.value_or("application/octet-stream"), std::string(path)});
}

void NetFormDataRequest::setFile(std::string_view path, std::string_view key) {
  setFile(path, std::nullopt, std::nullopt, key);
}

void NetFormDataRequest::setFile(std::string_view path, std::optional<std::string> fileName,
                                 std::optional<std::string> contentType, std::string_view key) {
  {
    platform::MutexLock guard(cancelledLock());
    std::erase_if(fileData_, [&](const FilePart& f) { return f.key == key; });
  }
  addFile(path, std::move(fileName), std::move(contentType), key);
}

void NetFormDataRequest::addData(const Data& data, std::string_view key) {
  addData(data, "file", std::nullopt, key);
}

void NetFormDataRequest::addData(const Data& data, std::optional<std::string> fileName,
                                 std::optional<std::string> contentType, std::string_view key) {
  platform::MutexLock guard(cancelledLock());
  fileData_.push_back(FilePart{std::string(key), fileName.value_or("file"),
                               contentType.value_or("application/octet-stream"), data});
}

void NetFormDataRequest::setData(const Data& data, std::string_view key) {
  setData(data, "file", std::nullopt, key);
}

void NetFormDataRequest::setData(const Data& data, std::optional<std::string> fileName,
                                 std::optional<std::string> contentType, std::string_view key) {
  platform::MutexLock guard(cancelledLock());
  std::erase_if(fileData_, [&](const FilePart& f) { return f.key == key; });
  addData(data, std::move(fileName), std::move(contentType), key);
}

std::vector<NetFormDataRequest::PostField> NetFormDataRequest::postData() const {
  platform::MutexLock guard(cancelledLock());
  return postData_;
}

std::vector<NetFormDataRequest::FilePart> NetFormDataRequest::fileData() const {
  platform::MutexLock guard(cancelledLock());
  return fileData_;
}

int NetFormDataRequest::postFormat() const {
  platform::MutexLock guard(cancelledLock());
  return postFormat_;
}

void NetFormDataRequest::setPostFormat(int format) {
  platform::MutexLock guard(cancelledLock());
  postFormat_ = format;
}

NetStringEncoding NetFormDataRequest::stringEncoding() const {
  platform::MutexLock guard(cancelledLock());
  return stringEncoding_;
}

void NetFormDataRequest::setStringEncoding(NetStringEncoding encoding) {
  platform::MutexLock guard(cancelledLock());
  stringEncoding_ = encoding;
}

// --- escaping ---

std::optional<std::string> NetFormDataRequest::escape(std::string_view text) const {
  auto bytes = bytesFromString(text, stringEncoding());
  if (!bytes) return std::nullopt;
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (std::uint8_t b : *bytes) {
    bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                 b == '.' || b == '_';
    if (plain) {
      out += static_cast<char>(b);
    } else {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 0xF];
    }
  }
  return out;
}

std::string NetFormDataRequest::encodeURL(std::string_view text) const { return escape(text).value_or(""); }

// --- building ---

void NetFormDataRequest::failToEncode() {
  auto name = IANACharSetNameForEncoding(stringEncoding());
  failWithError(makeNetError(NetInternalErrorWhileBuildingRequestType,
                             platform::format("Unable to write the form in the string encoding %@",
                                              name ? *name : std::to_string(stringEncoding()))));
}

bool NetFormDataRequest::appendPostString(std::string_view text) {
  auto bytes = bytesFromString(text, stringEncoding());
  if (!bytes) {
    failToEncode();
    return false;
  }
  appendPostData(*bytes);
  return true;
}

void NetFormDataRequest::buildPostBody() {
  platform::MutexLock guard(cancelledLock());
  if (haveBuiltPostBody()) return;
  if (postData_.empty() && fileData_.empty()) {
    NetHTTPRequest::buildPostBody();
    return;
  }
  if (!fileData_.empty()) setShouldStreamPostDataFromDisk(true);
  if (postFormat_ == URLEncodedPostFormat)
    buildURLEncodedPostBody();
  else
    buildMultipartFormDataPostBody();
  NetHTTPRequest::buildPostBody();
}

void NetFormDataRequest::buildURLEncodedPostBody() {
  platform::MutexLock guard(cancelledLock());
  if (!fileData_.empty()) {
    postFormat_ = MultipartFormDataPostFormat;
    buildMultipartFormDataPostBody();
    return;
  }
  auto charset = IANACharSetNameForEncoding(stringEncoding_);
  if (!charset) return failToEncode();
  addRequestHeader("Content-Type", "application/x-www-form-urlencoded; charset=" + *charset);
  for (std::size_t i = 0; i < postData_.size(); ++i) {
    auto key = escape(postData_[i].key);
    auto value = escape(postData_[i].value);
    if (!key || !value) return failToEncode();
    if (!appendPostString(*key + "=" + *value + (i + 1 < postData_.size() ? "&" : ""))) return;
  }
}

void NetFormDataRequest::buildMultipartFormDataPostBody() {
  platform::MutexLock guard(cancelledLock());
  auto charset = IANACharSetNameForEncoding(stringEncoding_);
  if (!charset) return failToEncode();
  const std::string boundary = "0xKvFoRmBoUnDaRy-" + platform::createUuidString();
  addRequestHeader("Content-Type", "multipart/form-data; charset=" + *charset + "; boundary=" + boundary);
  const std::string separator = "\r\n--" + boundary + "\r\n";
  if (!appendPostString("--" + boundary + "\r\n")) return;
  for (std::size_t i = 0; i < postData_.size(); ++i) {
    const PostField& field = postData_[i];
    if (!appendPostString("Content-Disposition: form-data; name=\"" + quotedHeaderText(field.key) +
                          "\"\r\n\r\n") ||
        !appendPostString(field.value))
      return;
    if ((i + 1 < postData_.size() || !fileData_.empty()) && !appendPostString(separator)) return;
  }
  for (std::size_t i = 0; i < fileData_.size(); ++i) {
    const FilePart& part = fileData_[i];
    if (!appendPostString("Content-Disposition: form-data; name=\"" + quotedHeaderText(part.key) +
                          "\"; filename=\"" + quotedHeaderText(part.fileName) + "\"\r\n") ||
        !appendPostString("Content-Type: " + quotedHeaderText(part.contentType) + "\r\n\r\n"))
      return;
    if (const auto* path = std::get_if<std::string>(&part.data)) {
      // A file that went away since it was added would leave its part empty without a word.
      if (!appendPostDataFromFile(*path)) {
        failWithError(makeNetError(NetInternalErrorWhileBuildingRequestType,
                                   platform::format("No file exists at %@", *path)));
        return;
      }
    } else {
      appendPostData(std::get<Data>(part.data));
    }
    if (i + 1 < fileData_.size() && !appendPostString(separator)) return;
  }
  appendPostString("\r\n--" + boundary + "--\r\n");
}

}  // namespace kavro
