#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/Value.h"

namespace kavro {

// A POST of form fields and files as an HTML form sends them: URL-encoded
// ("application/x-www-form-urlencoded", the default) or multipart ("multipart/form-data", with a
// fresh boundary; files are streamed from disk). The body is built once, when the request is
// about to be sent (or when a queue measures it). All text of the body is written in
// stringEncoding; text that encoding cannot carry fails the request instead of going missing.
//
// Configure a form request before starting it; its setters may be called from any thread.
class NetFormDataRequest : public NetHTTPRequest {
 public:
  enum PostFormat : int { MultipartFormDataPostFormat = 0, URLEncodedPostFormat = 1 };

  struct PostField {
    std::string key;
    std::string value;
    bool operator==(const PostField&) const = default;
  };
  // A file part: bytes, or the path of a file to stream.
  struct FilePart {
    std::string key;
    std::string fileName;
    std::string contentType;
    std::variant<platform::Data, std::string> data;
    bool operator==(const FilePart&) const = default;
  };

  static std::shared_ptr<NetFormDataRequest> requestWithURL(std::optional<platform::URL> url);

  // Fields, in the order added; a key may repeat. The value is posted as its description text.
  // A missing key is ignored.
  void addPostValue(const platform::Value& value, std::optional<std::string_view> key);
  // Removes every field of the key first.
  void setPostValue(const platform::Value& value, std::optional<std::string_view> key);

  // A file to stream. When nothing (or a folder) is at path, the request fails with
  // "No file exists at <path>" (the part is kept all the same). The file name defaults to the
  // path's last component, the content type to the file's MIME type.
  void addFile(std::string_view path, std::string_view key);
  void addFile(std::string_view path, std::optional<std::string> fileName,
               std::optional<std::string> contentType, std::string_view key);
  void setFile(std::string_view path, std::string_view key);
  void setFile(std::string_view path, std::optional<std::string> fileName,
               std::optional<std::string> contentType, std::string_view key);
  // Bytes posted as a file: file name "file" and type "application/octet-stream" by default.
  void addData(const platform::Data& data, std::string_view key);
  void addData(const platform::Data& data, std::optional<std::string> fileName,
               std::optional<std::string> contentType, std::string_view key);
  void setData(const platform::Data& data, std::string_view key);
  void setData(const platform::Data& data, std::optional<std::string> fileName,
               std::optional<std::string> contentType, std::string_view key);

  std::vector<PostField> postData() const;
  std::vector<FilePart> fileData() const;
  int postFormat() const;
  void setPostFormat(int format);
  NetStringEncoding stringEncoding() const;
  void setStringEncoding(NetStringEncoding encoding);

  // Percent-escapes text in stringEncoding: everything but letters, digits, "-", "." and "_"
  // (a space is "%20"). "" when the encoding cannot carry it.
  std::string encodeURL(std::string_view text) const;

  void buildPostBody() override;

 protected:
  explicit NetFormDataRequest(std::optional<platform::URL> url);
  void buildURLEncodedPostBody();
  void buildMultipartFormDataPostBody();
  // false (and the request fails) when stringEncoding cannot carry the text.
  bool appendPostString(std::string_view text);

 private:
  std::optional<std::string> escape(std::string_view text) const;
  void failToEncode();

  std::vector<PostField> postData_ GUARDED_BY(cancelledLock());
  std::vector<FilePart> fileData_ GUARDED_BY(cancelledLock());
  int postFormat_ GUARDED_BY(cancelledLock()) = URLEncodedPostFormat;
  NetStringEncoding stringEncoding_ GUARDED_BY(cancelledLock()) = NetUTF8StringEncoding;
};

// The IANA name of an encoding as a charset parameter ("utf-8"); none for one not known here.
std::optional<std::string> IANACharSetNameForEncoding(NetStringEncoding encoding);
// The text's bytes in encoding; none when the encoding cannot carry it or is not known here.
std::optional<platform::Data> bytesFromString(std::string_view text, NetStringEncoding encoding);

}  // namespace kavro
