#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/core/DataHttpConnection.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"

namespace kavro {

using ApiLoader = std::shared_ptr<DataLoadAndParser>;
using ApiDelegate = std::weak_ptr<DataLoadAndParserDelegate>;

// One server call as a builder made it: what would go on the wire relative to the API root.
struct ApiRequest {
  std::string method;  // "GET" or "POST"
  std::string path;    // relative path with its query
  std::optional<platform::Data> body;
  std::optional<std::string> userAgent;  // set only where a call uses its own
};

// The frame every server request builder shares: values are escaped before they go into a path or
// a body, the login pair and the resume language come from the login session at the moment of the
// call, and the call starts an XML loader that reports to the caller's delegate (held weakly).
// Main thread.
class ApiFrame {
 public:
  // A value for a query or a form body: percent-escaped (letters, digits and - _ . ! ~ * ' ( )
  // stay as they are), so "&", "=" and "+" cannot break the call.
  static std::string value(std::string_view text);
  // As value(), but "0" for an empty text.
  static std::string valueOrZero(std::string_view text);
  // "1" or "0".
  static std::string_view flag(bool on) { return on ? "1" : "0"; }
  // The login pair and the resume language ("e" or "c"), escaped.
  static std::string accountID();
  static std::string key();
  static std::string language();
  // The base64 text of the bytes, escaped for a form body; "" for none or no bytes.
  static std::string upload(const std::optional<platform::Data>& data);
  static bool hasData(const std::optional<platform::Data>& data) { return data && !data->empty(); }

  static ApiLoader get(const std::string& path, ApiDelegate delegate);
  // The body text goes out as its UTF-8 bytes.
  static ApiLoader post(const std::string& path, std::string_view body, ApiDelegate delegate);
  static ApiLoader post(const std::string& path, platform::Data body, ApiDelegate delegate);
  // A call that cannot be made: nothing is sent; the loader reports a local error with the message
  // to its delegate (read when it reports) on the next turn of the main run loop, exactly once,
  // unless it is stopped first.
  static ApiLoader fail(std::string_view message, ApiDelegate delegate);
  // The full URL of a path, for a web view or a download; nothing is started.
  static std::optional<platform::URL> url(const std::string& path);
  // A bare connection with its own user agent (the crash report).
  static std::shared_ptr<DataHttpConnection> connect(const std::string& path, platform::Data body,
                                                     std::weak_ptr<DataHttpConnectionDelegate> delegate,
                                                     std::string_view userAgent);

  // The main screen in points, as the calls that send screen sizes see it.
  struct Screen {
    double width = 320;
    double height = 480;
    double scale = 2;
  };
  static Screen mainScreen();
  // The application's screen; an empty function goes back to the 320 x 480, scale 2 default.
  static void setMainScreenProvider(std::function<Screen()> provider);

  // For tests: while a recorder is set, get() and post() hand their request to it and return a
  // loader that never starts, and connect() returns nothing; fail() and url() are unchanged.
  using Recorder = std::function<void(const ApiRequest& request)>;
  static void setRequestRecorder(Recorder recorder);
};

}  // namespace kavro
