#include "kit/core/DataHttpConnection.h"

#include <vector>

#include "kit/core/AppUtil.h"
#include "kit/core/DeviceUUID.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/Text.h"
#include "platform/net/NetError.h"
#include "platform/net/URLConnection.h"

namespace kavro {

namespace {

// The text the platform shows for an HTTP status.
std::string localizedStringForStatusCode(int code) {
  switch (code) {
    case 400:
      return "bad request";
    case 401:
      return "unauthorized";
    case 402:
      return "payment required";
    case 403:
      return "forbidden";
    case 404:
      return "not found";
    case 405:
      return "method not allowed";
    case 406:
      return "unacceptable";
    case 407:
      return "proxy authentication required";
    case 408:
      return "request timed out";
    case 409:
      return "conflict";
    case 410:
      return "no longer exists";
    case 411:
      return "length required";
    case 412:
      return "precondition failed";
    case 413:
      return "request too large";
    case 414:
      return "requested URL too long";
    case 415:
      return "unsupported media type";
    case 416:
      return "requested range not satisfiable";
    case 417:
      return "expectation failed";
    case 429:
      return "too many requests";
    case 500:
      return "internal server error";
    case 501:
      return "unimplemented";
    case 502:
      return "bad gateway";
    case 503:
      return "service unavailable";
    case 504:
      return "gateway timed out";
    case 505:
      return "unsupported version";
    default:
      break;
  }
  if (code >= 500) return "server error";
  if (code >= 400) return "client error";
  return "";
}

platform::Error statusError(int code) {
  platform::Error error;
  error.domain = std::string(DataHttpConnection::ErrorDomain);
  error.code = code;
  // In the user's language where the system's table has the status ("HTTPStatus<code>").
  if (code >= 1)
    error.localizedDescription = platform::StringTable::localizedString(
        "HTTPStatus" + std::to_string(code), localizedStringForStatusCode(code), "System");
  return error;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

// The URL connection's delegate; holds its owner weakly, so a dropped connection hears nothing.
class DataHttpConnection::Relay : public platform::URLConnectionDelegate {
 public:
  explicit Relay(std::weak_ptr<DataHttpConnection> owner) : owner_(std::move(owner)) {}

  void didReceiveResponse(platform::URLConnection&, const platform::HTTPURLResponse& response) override {
    if (auto owner = owner_.lock())
      owner->onResponse(response.statusCode(), response.expectedContentLength());
  }
  void didReceiveData(platform::URLConnection&, const platform::Data& data) override {
    if (auto owner = owner_.lock()) owner->onData(data);
  }
  void didFinishLoading(platform::URLConnection&) override {
    if (auto owner = owner_.lock()) owner->report(nullptr);
  }
  void didFailWithError(platform::URLConnection&, const platform::Error& error) override {
    if (auto owner = owner_.lock()) owner->report(&error);
  }

 private:
  std::weak_ptr<DataHttpConnection> owner_;
};

std::optional<platform::URL> DataHttpConnection::buildFullURL(std::string_view url) {
  if (startsWith(url, "http://") || startsWith(url, "https://")) return platform::URL::parse(url);

  std::string host = platform::Environment::apiHostUrl();
  while (!host.empty() && host.back() == '/') host.pop_back();
  std::string full = host;
  if (!startsWith(url, "/")) full += "/api/";
  full += url;

  if (url.find('?') != std::string_view::npos) {
    if (url.back() != '&') full += '&';
  } else {
    full += '?';
  }
  full += "partner=" + str::urlEncoding(AppUtil::getPartnerInfo());
  full += "&uuid=" + str::urlEncoding(device::getUUID());
  full += "&version=" + std::to_string(AppUtil::getVersionCode());
  std::string guid = AppUtil::getGUID();
  if (platform::utf16Length(guid) == 32) full += "&guid=" + str::urlEncoding(guid);
  return platform::URL::parse(full);
}

std::shared_ptr<DataHttpConnection> DataHttpConnection::create(
    std::string_view url, std::optional<platform::Data> postData,
    std::weak_ptr<DataHttpConnectionDelegate> delegate, std::optional<std::string> userAgent) {
  std::shared_ptr<DataHttpConnection> connection(new DataHttpConnection(url, std::move(delegate)));
  connection->start(std::move(postData), userAgent ? *userAgent : AppUtil::getUserAgent());
  return connection;
}

DataHttpConnection::DataHttpConnection(std::string_view url,
                                       std::weak_ptr<DataHttpConnectionDelegate> delegate)
    : requestURL_(url), delegate_(std::move(delegate)) {}

DataHttpConnection::~DataHttpConnection() { stopLoading(); }

namespace {
// The connections started and maybe not finished (main thread only).
std::vector<std::weak_ptr<DataHttpConnection>>& startedConnections() {
  static std::vector<std::weak_ptr<DataHttpConnection>> started;
  return started;
}
}  // namespace

void DataHttpConnection::cancelOpenConnections() {
  std::vector<std::weak_ptr<DataHttpConnection>> started;
  started.swap(startedConnections());
  for (const auto& weak : started) {
    auto connection = weak.lock();
    if (!connection || connection->finished_) continue;
    if (connection->refusal_) connection->refusal_->invalidate();
    if (connection->connection_) connection->connection_->cancel();
    const platform::Error error = platform::makeURLError(platform::URLErrorCancelled, "cancelled");
    connection->report(&error);
  }
}

void DataHttpConnection::start(std::optional<platform::Data> postData, const std::string& userAgent) {
  AppUtil::showNetworkIndicator();
  indicatorRaised_ = true;
  auto& started = startedConnections();
  std::erase_if(started, [](const std::weak_ptr<DataHttpConnection>& weak) {
    auto connection = weak.lock();
    return !connection || connection->finished_;
  });
  started.push_back(weak_from_this());

  auto url = buildFullURL(requestURL_);
  if (!url) {
    // Told from the loop, never from inside create().
    std::weak_ptr<DataHttpConnection> weak = weak_from_this();
    platform::Error error = platform::makeURLError(platform::URLErrorBadURL, "bad URL: " + requestURL_);
    refusal_ = platform::RunLoop::main().scheduleTimer(
        0, false,
        [weak, error](platform::Timer&) {
          if (auto self = weak.lock()) self->report(&error);
        },
        platform::DefaultRunLoopMode);
    return;
  }

  platform::URLRequest request(*url);
  request.timeoutInterval = TimeoutInterval;
  request.HTTPMethod = postData ? "POST" : "GET";
  request.setValue(userAgent, "User-Agent");
  if (postData) request.HTTPBody = std::move(*postData);
  relay_ = std::make_shared<Relay>(weak_from_this());
  connection_ = platform::URLConnection::create(std::move(request), relay_);
}

void DataHttpConnection::onResponse(int statusCode, std::int64_t contentLength) {
  if (finished_) return;
  body_.clear();
  contentTotalSize_ = contentLength > 0 ? contentLength : 0;
  statusCode_ = statusCode;
  if (statusCode >= 400) {
    if (connection_) connection_->cancel();
    platform::Error error = statusError(statusCode);
    report(&error);
  }
}

void DataHttpConnection::onData(const platform::Data& data) {
  if (finished_) return;
  auto self = shared_from_this();
  body_.insert(body_.end(), data.begin(), data.end());
  if (auto delegate = delegate_.lock())
    delegate->connectionOnDownloadedSize(*this, static_cast<std::int64_t>(body_.size()));
}

void DataHttpConnection::report(const platform::Error* error) {
  if (finished_) return;
  // The delegate may drop its last reference to this connection from inside the callback.
  auto self = shared_from_this();
  finished_ = true;
  if (indicatorRaised_) {
    indicatorRaised_ = false;
    AppUtil::hiddenNetworkIndicator();
  }
  if (auto delegate = delegate_.lock()) {
    if (error)
      delegate->connectionOnError(*this, *error);
    else
      delegate->connectionOnReceived(*this, body_);
  }
}

void DataHttpConnection::stopLoading() {
  delegate_.reset();
  if (refusal_) {
    refusal_->invalidate();
    refusal_.reset();
  }
  if (connection_) connection_->cancel();
  finished_ = true;
  if (indicatorRaised_) {
    indicatorRaised_ = false;
    AppUtil::hiddenNetworkIndicator();
  }
}

}  // namespace kavro
