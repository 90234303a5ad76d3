#include "platform/net/URLConnection.h"

#include "platform/net/HTTPReadStream.h"
#include "platform/net/NetError.h"

namespace platform {

void URLRequest::setValue(std::string_view value, std::string_view field) {
  for (auto& f : allHTTPHeaderFields) {
    if (HTTPMessage::equalsIgnoringCase(f.name, field)) {
      f.value = std::string(value);
      return;
    }
  }
  allHTTPHeaderFields.push_back({std::string(field), std::string(value)});
}

std::optional<std::string> URLRequest::valueForHTTPHeaderField(std::string_view field) const {
  for (const auto& f : allHTTPHeaderFields)
    if (HTTPMessage::equalsIgnoringCase(f.name, field)) return f.value;
  return std::nullopt;
}

std::int64_t HTTPURLResponse::expectedContentLength() const {
  auto value = message_.headerField("Content-Length");
  if (!value || value->empty() || value->size() > 18) return -1;
  std::int64_t n = 0;
  for (char c : *value) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

std::shared_ptr<URLConnection> URLConnection::create(URLRequest request,
                                                     std::weak_ptr<URLConnectionDelegate> delegate,
                                                     RunLoop& loop, bool startImmediately) {
  std::shared_ptr<URLConnection> connection(new URLConnection(std::move(request), std::move(delegate), loop));
  if (startImmediately) connection->start();
  return connection;
}

URLConnection::URLConnection(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate, RunLoop& loop)
    : original_(request), current_(std::move(request)), delegate_(std::move(delegate)), loop_(loop) {}

URLConnection::~URLConnection() {
  done_ = true;
  if (timer_) timer_->invalidate();
  if (stream_) {
    stream_->setClient(0, nullptr);
    stream_->close();
  }
}

void URLConnection::start() {
  if (started_ || done_) return;
  started_ = true;
  awaitingPeer_.emplace();
  armTimeout();
  openStream();
}

void URLConnection::cancel() {
  if (done_) return;
  done_ = true;
  awaitingPeer_.reset();
  if (timer_) timer_->invalidate();
  timer_.reset();
  dropStream();
}

void URLConnection::dropStream() {
  if (!stream_) return;
  stream_->setClient(0, nullptr);
  stream_->close();
  stream_.reset();
}

void URLConnection::openStream() {
  HTTPMessage message = HTTPMessage::request(current_.HTTPMethod, current_.url);
  std::optional<Error> refused;
  if (!HTTPMessage::isToken(current_.HTTPMethod))
    refused = makeURLError(URLErrorBadURL, "The request method is invalid");
  for (const auto& f : current_.allHTTPHeaderFields)
    if (!refused && !message.setHeaderField(f.name, f.value))
      refused = makeURLError(URLErrorBadURL, "The request header field \"" + f.name + "\" is invalid");
  message.setBody(current_.HTTPBody);

  stream_ = HTTPReadStream::create(std::move(message));
  stream_->setTLSSettings(current_.tlsSettings);
  stream_->setProxy(current_.proxy);
  stream_->setConnectionIdentity(std::string(ConnectionIdentity));
  std::weak_ptr<URLConnection> weak = weak_from_this();
  HTTPReadStream* expected = stream_.get();
  stream_->setClient(
      HTTPReadStream::HasBytesAvailable | HTTPReadStream::EndEncountered | HTTPReadStream::ErrorOccurred,
      [weak, expected](HTTPReadStream& stream, HTTPReadStream::Event event) {
        auto self = weak.lock();
        if (self && self->stream_.get() == expected) self->onStreamEvent(stream, event);
      });
  stream_->schedule(loop_, DefaultRunLoopMode);
  if (!refused && !stream_->open()) refused = stream_->error();
  if (refused) {
    // Reported from the loop, never from inside start().
    dropStream();
    Error error = *refused;
    if (timer_) timer_->invalidate();
    timer_ = loop_.scheduleTimer(
        0, false,
        [weak, error](Timer&) {
          if (auto self = weak.lock()) self->finish(error);
        },
        DefaultRunLoopMode);
  }
}

std::shared_ptr<URLConnectionDelegate> URLConnection::delegateOrCancel() {
  auto delegate = delegate_.lock();
  if (!delegate) cancel();
  return delegate;
}

void URLConnection::onStreamEvent(HTTPReadStream& stream, unsigned event) {
  auto self = shared_from_this();
  if (done_) return;
  lastActivity_ = loop_.now();
  if (event == HTTPReadStream::HasBytesAvailable) {
    if (!responseSent_ && !redirecting_ && stream.responseHeader()) {
      handleResponseHeader();
      if (done_ || !stream_) return;
    }
    Data chunk;
    std::uint8_t buf[64 * 1024];
    while (stream.hasBytesAvailable()) {
      std::size_t n = stream.read(buf, sizeof buf);
      if (!redirecting_) chunk.insert(chunk.end(), buf, buf + n);
    }
    if (!chunk.empty() && responseSent_) {
      if (auto delegate = delegateOrCancel()) delegate->didReceiveData(*this, chunk);
    }
    return;
  }
  if (event == HTTPReadStream::EndEncountered) {
    if (redirecting_) {
      redirecting_ = false;
      dropStream();
      current_.url = *redirectTo_;
      redirectTo_.reset();
      openStream();
      return;
    }
    if (!responseSent_) {
      // An end without a header cannot happen; treat it as a broken answer rather than success.
      finish(makeURLError(URLErrorBadServerResponse, "The server's response had no header"));
      return;
    }
    finish(std::nullopt);
    return;
  }
  if (event == HTTPReadStream::ErrorOccurred) {
    Error error = stream.error().value_or(makeURLError(URLErrorBadServerResponse, "The request failed"));
    if (error.code == URLErrorNetworkConnectionLost && !retried_ && !responseSent_) {
      // The pooled connection was dead before the request reached anybody: once more, on a new one.
      retried_ = true;
      redirecting_ = false;
      dropStream();
      openStream();
      return;
    }
    finish(error);
  }
}

void URLConnection::handleResponseHeader() {
  auto header = stream_->responseHeader();
  int status = header->statusCode();
  auto location = header->headerField("Location");
  if ((status == 301 || status == 302 || status == 303 || status == 307 || status == 308) && location) {
    auto target = URL::resolve(current_.url, *location);
    if (!target || (target->scheme() != "http" && target->scheme() != "https") || target->host().empty()) {
      finish(
          makeURLError(URLErrorUnsupportedURL, "The server redirected to an unsupported URL: " + *location));
      return;
    }
    if (++redirects_ > MaximumRedirects) {
      finish(makeURLError(URLErrorHTTPTooManyRedirects, "The request redirected too many times"));
      return;
    }
    bool toGet = (status == 303 && current_.HTTPMethod != "HEAD") ||
                 ((status == 301 || status == 302) && current_.HTTPMethod == "POST");
    if (toGet) {
      current_.HTTPMethod = "GET";
      current_.HTTPBody.clear();
      std::erase_if(current_.allHTTPHeaderFields, [](const HTTPHeaderField& f) {
        return HTTPMessage::equalsIgnoringCase(f.name, "Content-Type") ||
               HTTPMessage::equalsIgnoringCase(f.name, "Content-Length");
      });
    }
    // A body (a login form) or credentials that went out encrypted never go on in the clear.
    bool carriesSecrets = !current_.HTTPBody.empty() || current_.valueForHTTPHeaderField("Authorization") ||
                          !current_.url.user().empty() || current_.url.password();
    if (carriesSecrets && current_.url.scheme() == "https" && target->scheme() == "http") {
      finish(makeURLError(
          URLErrorUnsupportedURL,
          "The server redirected a request with a body or credentials from https to http: " + *location));
      return;
    }
    std::erase_if(current_.allHTTPHeaderFields,
                  [](const HTTPHeaderField& f) { return HTTPMessage::equalsIgnoringCase(f.name, "Host"); });
    redirecting_ = true;
    redirectTo_ = *target;
    return;
  }
  responseSent_ = true;
  if (auto delegate = delegateOrCancel())
    delegate->didReceiveResponse(*this, HTTPURLResponse(current_.url, *header));
}

void URLConnection::finish(std::optional<Error> error) {
  if (done_) return;
  auto self = shared_from_this();
  done_ = true;
  awaitingPeer_.reset();
  if (timer_) timer_->invalidate();
  timer_.reset();
  dropStream();
  auto delegate = delegate_.lock();
  if (!delegate) return;
  if (error)
    delegate->didFailWithError(*this, *error);
  else
    delegate->didFinishLoading(*this);
}

void URLConnection::armTimeout() {
  lastActivity_ = loop_.now();
  if (current_.timeoutInterval <= 0) return;
  std::weak_ptr<URLConnection> weak = weak_from_this();
  timer_ = loop_.scheduleTimer(
      current_.timeoutInterval, false,
      [weak](Timer&) {
        if (auto self = weak.lock()) self->onTimeout();
      },
      DefaultRunLoopMode);
}

void URLConnection::onTimeout() {
  if (done_) return;
  // Request body going out counts as progress too.
  if (stream_ && stream_->requestBytesWritten() != lastBytesWritten_) {
    lastBytesWritten_ = stream_->requestBytesWritten();
    lastActivity_ = loop_.now();
  }
  double idle = loop_.now() - lastActivity_;
  double left = current_.timeoutInterval - idle;
  if (left > 1e-6) {
    std::weak_ptr<URLConnection> weak = weak_from_this();
    timer_ = loop_.scheduleTimer(
        left, false,
        [weak](Timer&) {
          if (auto self = weak.lock()) self->onTimeout();
        },
        DefaultRunLoopMode);
    return;
  }
  finish(makeURLError(URLErrorTimedOut, "The request timed out."));
}

}  // namespace platform
