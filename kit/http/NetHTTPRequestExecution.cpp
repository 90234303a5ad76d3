// Running a request: the message, the stream, the status checks, cancelling, the response
// header, redirects and failure.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kit/http/NetDataCompressor.h"
#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "kit/http/NetInputStream.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/SystemProxySettings.h"

namespace kavro {

using netdetail::lowercase;
using netdetail::shared;
using platform::Data;
using platform::Error;
using platform::HTTPMessage;
using platform::HTTPReadStream;
using platform::URL;

namespace netdetail {

Error sharedError(std::int64_t code) {
  switch (code) {
    case NetRequestTimedOutErrorType:
      return makeNetError(code, "The request timed out");
    case NetAuthenticationErrorType:
      return makeNetError(code, "Authentication needed");
    case NetRequestCancelledErrorType:
      return makeNetError(code, "The request was cancelled");
    case NetUnableToCreateRequestErrorType:
      return makeNetError(code, "Unable to create request (bad url?)");
    case NetTooMuchRedirectionErrorType:
      return makeNetError(code, "The request failed because it redirected too many times");
  }
  return makeNetError(code, "");
}

}  // namespace netdetail

using netdetail::sharedError;

namespace {

std::string byteRange(std::uint64_t from) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "bytes=%" PRIu64 "-", from);
  return buf;
}

// The integer after key ("timeout=", "max=") in a Keep-Alive value; 0 when it is not there.
int keepAliveValue(const std::string& text, std::string_view key) {
  std::size_t at = text.find(key);
  if (at == std::string::npos) return 0;
  return std::atoi(text.c_str() + at + key.size());
}

}  // namespace

void NetHTTPRequest::main() {
  platform::MutexLock guard(lock_);
  try {
    // Background tasks: the platform has none (isMultitaskingSupported).
    if (running_.error) {
      running_.complete = true;
      publishResponse();
      markAsFinished();
      return;
    }
    running_.complete = false;
    running_.didUseCachedResponse = false;
    if (!url_ || url_->scheme().empty()) {
      failWithError(sharedError(NetUnableToCreateRequestErrorType));
      return;
    }
    if (!hasMainRequest()) buildPostBody();
    if (running_.error) return;
    if (requestMethod_ != "GET") downloadCache_.reset();
    request_ = HTTPMessage::request(
        requestMethod_, *url_,
        options_.useHTTPVersionOne ? platform::HTTPVersion1_0 : platform::HTTPVersion1_1);
    if (auto main = mainRequest_.lock()) main->buildRequestHeaders();
    buildRequestHeaders();
    if (running_.error) return;
    if (auto cache = downloadCache_.lock()) {
      if (cachePolicy_ == 0) cachePolicy_ = cache->defaultCachePolicy();
      if (cache->canUseCachedDataForRequest(*this)) {
        useDataFromCache();
        return;
      }
      if (cachePolicy_ & (NetAskServerIfModifiedWhenStaleCachePolicy | NetAskServerIfModifiedCachePolicy)) {
        if (auto headers = cache->cachedResponseHeadersForURL(*url_)) {
          if (auto etag = headers->value("Etag")) addRequestHeader("If-None-Match", *etag);
          if (auto modified = headers->value("Last-Modified"))
            addRequestHeader("If-Modified-Since", *modified);
        }
      }
    }
    applyAuthorizationHeader();
    for (const auto& field : requestHeaders_) request_->setHeaderField(field.name, field.value);
    if (configureProxies()) startRequest();
  } catch (const platform::Exception& e) {
    failWithError(
        makeNetError(NetUnhandledExceptionError, e.name(),
                     std::make_shared<const Error>(makeNetError(NetUnhandledExceptionError, e.reason()))));
  } catch (const std::exception& e) {
    failWithError(
        makeNetError(NetUnhandledExceptionError, "std::exception",
                     std::make_shared<const Error>(makeNetError(NetUnhandledExceptionError, e.what()))));
  }
}

void NetHTTPRequest::buildPostBody() {
  platform::MutexLock guard(lock_);
  if (haveBuiltPostBody_) return;
  if (postBodyFilePath_) {
    if (postBodyWriteStream_) {
      std::fclose(postBodyWriteStream_);
      postBodyWriteStream_ = nullptr;
    }
    std::string path = *postBodyFilePath_;
    if (options_.shouldCompressRequestBody) {
      if (!compressedPostBodyFilePath_) {
        compressedPostBodyFilePath_ = netdetail::uniqueTemporaryPath();
        Error e;
        if (!NetDataCompressor::compressDataFromFile(*postBodyFilePath_, *compressedPostBodyFilePath_, &e)) {
          failWithError(e);
          return;
        }
      }
      path = *compressedPostBodyFilePath_;
    }
    if (postBodyWriteFailed_) {
      // Said by its cause: the body file is gone because it could not be written whole.
      failWithError(netdetail::fileManagementError(
          platform::format("Failed to write the request body to the file at path '%@'", *postBodyFilePath_),
          Error{platform::POSIXErrorDomain, postBodyWriteErrno_, std::strerror(postBodyWriteErrno_), nullptr,
                nullptr}));
      return;
    }
    Error e;
    auto attributes = platform::FileManager::attributesOfItemAtPath(path, &e);
    if (!attributes) {
      failWithError(netdetail::fileManagementError(
          platform::format("Failed to get attributes for file at path '%@'", path), e));
      return;
    }
    postLength_ = static_cast<std::uint64_t>(attributes->size);
  } else if (options_.shouldCompressRequestBody && postBody_) {
    Error e;
    compressedPostBody_ = NetDataCompressor::compressData(*postBody_, &e);
    if (!compressedPostBody_ && !postBody_->empty()) {
      failWithError(e);
      return;
    }
    postLength_ = compressedPostBody_ ? compressedPostBody_->size() : 0;
  } else {
    postLength_ = postBody_ ? postBody_->size() : 0;
  }
  if (postLength_ > 0) {
    if (requestMethod_ == "GET" || requestMethod_ == "DELETE" || requestMethod_ == "HEAD")
      setRequestMethod("POST");
    addRequestHeader("Content-Length", std::to_string(postLength_));
  }
  haveBuiltPostBody_ = true;
}

void NetHTTPRequest::buildRequestHeaders() {
  platform::MutexLock guard(lock_);
  if (haveBuiltRequestHeaders_) return;
  haveBuiltRequestHeaders_ = true;
  if (auto main = mainRequest_.lock()) {
    for (const auto& field : main->requestHeaders()) requestHeaders_.set(field.name, field.value);
    return;
  }
  applyCookieHeader();
  if (!requestHeaders_.contains("User-Agent")) {
    auto agent = options_.userAgentString ? options_.userAgentString : defaultUserAgentString();
    if (agent) requestHeaders_.set("User-Agent", *agent);
  }
  if (options_.allowCompressedResponse) requestHeaders_.set("Accept-Encoding", "gzip");
  if (options_.shouldCompressRequestBody) requestHeaders_.set("Content-Encoding", "gzip");
  updatePartialDownloadSize();
  if (partialDownloadSize_ > 0) requestHeaders_.set("Range", byteRange(partialDownloadSize_));
}

void NetHTTPRequest::applyCookieHeader() {
  platform::MutexLock guard(lock_);
  if (!url_) return;
  if (options_.useCookiePersistence) {
    auto stored = platform::HTTPCookieStorage::sharedHTTPCookieStorage().cookiesForURL(*url_);
    requestCookies_.insert(requestCookies_.end(), stored.begin(), stored.end());
  }
  auto main = mainRequest_.lock();
  std::vector<platform::HTTPCookie> cookies = main ? main->requestCookies() : requestCookies_;
  if (cookies.empty()) return;
  std::string header;
  for (const auto& c : cookies) header += (header.empty() ? "" : "; ") + c.name() + "=" + c.value();
  requestHeaders_.set("Cookie", header);
}

void NetHTTPRequest::updatePartialDownloadSize() {
  platform::MutexLock guard(lock_);
  if (!options_.allowResumeForFileDownloads || !downloadDestinationPath_ || !temporaryFileDownloadPath_ ||
      !platform::FileManager::fileExistsAtPath(*temporaryFileDownloadPath_))
    return;
  Error e;
  auto attributes = platform::FileManager::attributesOfItemAtPath(*temporaryFileDownloadPath_, &e);
  if (!attributes) {
    failWithError(netdetail::fileManagementError(
        platform::format("Failed to get attributes for file at path '%@'", *temporaryFileDownloadPath_), e));
    return;
  }
  partialDownloadSize_ = static_cast<std::uint64_t>(attributes->size);
}

void NetHTTPRequest::startRequest() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  takeBackQueuePlace();
  if (cancelled_ || !request_) return;
  requestStarted();
  running_.downloadComplete = false;
  running_.complete = false;
  running_.totalBytesRead = 0;
  decodedBytesRead_ = 0;
  lastBytesRead_ = 0;
  if (redirectCount_ == 0) originalURL_ = url_;
  if (lastBytesSent_ > 0) removeUploadProgressSoFar();
  lastBytesSent_ = 0;
  running_.contentLength = 0;
  running_.headers.reset();
  if (!downloadDestinationPath_) running_.rawData = Data();
  readStreamIsScheduled_ = false;

  std::shared_ptr<NetInputStream> body;
  std::weak_ptr<NetHTTPRequest> weak = self();
  if (shouldStreamPostDataFromDisk_ && postBodyFilePath_ &&
      platform::FileManager::fileExistsAtPath(*postBodyFilePath_)) {
    bool compressed =
        compressedPostBodyFilePath_ && platform::FileManager::fileExistsAtPath(*compressedPostBodyFilePath_);
    body = NetInputStream::inputStreamWithFileAtPath(
        compressed ? *compressedPostBodyFilePath_ : *postBodyFilePath_, weak);
  } else if (postBody_ && !postBody_->empty()) {
    body = NetInputStream::inputStreamWithData(
        options_.shouldCompressRequestBody && compressedPostBody_ ? *compressedPostBody_ : *postBody_, weak);
  }
  auto stream = body ? HTTPReadStream::create(*request_, body) : HTTPReadStream::create(*request_);
  postBodyReadStream_ = body;

  if (lowercase(url_->scheme()) == "https") {
    platform::TLSSettings tls;
    if (!options_.validatesSecureCertificate) {
      tls.validatesCertificateChain = false;
      tls.validatesHostName = false;
    }
    // The client identity goes with the validation choice (not instead of it).
    tls.clientIdentity = options_.clientCertificateIdentity;
    stream->setTLSSettings(std::move(tls));
  }
  if (proxyHost_ && proxyPort_ != 0) {
    if (!proxyType_) proxyType_ = std::string(platform::ProxyTypeHTTP);
    platform::ProxySettings proxy;
    proxy.type = *proxyType_ == platform::ProxyTypeSOCKS ? platform::ProxySettings::Type::SOCKS5
                                                         : platform::ProxySettings::Type::HTTP;
    proxy.host = *proxyHost_;
    proxy.port = proxyPort_;
    stream->setProxy(std::move(proxy));
  }

  // The connection.
  expirePersistentConnections();
  std::shared_ptr<HTTPReadStream> previousStream;
  platform::RunLoop* previousLoop = nullptr;
  {
    platform::MutexLock pool(shared().connectionsLock);
    if (url_->host().empty() || url_->scheme().empty()) {
      connectionInfo_.reset();
      shouldAttemptPersistentConnection_ = false;
    }
    if (shouldAttemptPersistentConnection_) {
      int port = url_->port().value_or(0);
      double nowDate = platform::Date::now().timeIntervalSince1970();
      if (connectionInfo_) {
        bool expired = connectionInfo_->expires && *connectionInfo_->expires < nowDate;
        bool keep = connectionInfo_->host == url_->host() && connectionInfo_->scheme == url_->scheme() &&
                    connectionInfo_->port == port && !expired && !connectionInfo_->request;
        if (expired) std::erase(shared().pool, connectionInfo_);
        if (!keep) connectionInfo_.reset();
      }
      if (!connectionInfo_) {
        for (auto& entry : shared().pool)
          if (!entry->request && entry->host == url_->host() && entry->scheme == url_->scheme() &&
              entry->port == port)
            connectionInfo_ = entry;
      }
      if (connectionInfo_) {
        previousStream = connectionInfo_->stream;
        previousLoop = connectionInfo_->streamLoop;
      } else {
        connectionInfo_ = std::make_shared<NetConnectionEntry>();
        connectionInfo_->id = ++shared().nextConnectionNumber;
        connectionInfo_->host = url_->host();
        connectionInfo_->port = port;
        connectionInfo_->scheme = url_->scheme();
        shared().pool.push_back(connectionInfo_);
      }
      if (!requestID_) requestID_ = ++shared().nextRequestNumber;
      connectionInfo_->request = *requestID_;
      connectionInfo_->stream = stream;
      connectionInfo_->streamLoop = &requestLoop();
      stream->setConnectionIdentity("NetHTTPRequest-" + std::to_string(connectionInfo_->id));
    }
  }
  readStream_ = stream;
  readStreamLoop_ = &requestLoop();

  if (!readStreamIsScheduled_) {
    auto wake = throttleWakeUpTime();
    if (!wake || *wake <= platform::Date::now().timeIntervalSince1970()) scheduleReadStream();
  }
  stream->setClient(
      HTTPReadStream::HasBytesAvailable | HTTPReadStream::ErrorOccurred | HTTPReadStream::EndEncountered,
      [weak](HTTPReadStream&, HTTPReadStream::Event event) {
        if (auto r = weak.lock()) r->handleNetworkEvent(event);
      });
  bool opened = stream->open();
  if (previousStream && previousStream != stream) {
    if (!previousLoop || previousLoop->isCurrentThread())
      previousStream->close();
    else
      previousLoop->performOnMain([previousStream] { previousStream->close(); });
  }
  if (!opened) {
    connectionCanBeReused_ = false;
    destroyReadStream();
    failWithError(makeNetError(NetInternalErrorWhileBuildingRequestType, "Unable to start HTTP connection",
                               stream->error() ? netdetail::underlying(*stream->error()) : nullptr));
    return;
  }
  if (!hasMainRequest()) {
    if (options_.shouldResetUploadProgress) {
      incrementUploadSizeBy(showAccurateProgress_ ? static_cast<std::int64_t>(postLength_) : 1);
      updateProgressIndicator(ProgressTarget::Upload, 0, 1);
    }
    if (options_.shouldResetDownloadProgress && partialDownloadSize_ == 0)
      updateProgressIndicator(ProgressTarget::Download, 0, 1);
  }
  lastActivityTime_ = now();
  if (statusTimer_) statusTimer_->invalidate();
  statusTimer_ = requestLoop().scheduleTimer(
      0.25, true,
      [weak](platform::Timer&) {
        if (auto r = weak.lock()) r->updateStatus();
      },
      runLoopMode_);
}

void NetHTTPRequest::updateStatus() {
  // inProgress_ changes with lock_ held: held here, the check and the look at it agree.
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  checkRequestStatus();
  if (!inProgress_ && statusTimer_) {
    statusTimer_->invalidate();
    statusTimer_.reset();
  }
}

void NetHTTPRequest::checkRequestStatus() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (cancelled_ || running_.complete) return;
  performThrottling();
  if (shouldTimeOut()) {
    if (retryCount_ < options_.numberOfTimesToRetryOnTimeout) {
      updatePartialDownloadSize();
      if (partialDownloadSize_ > 0 && request_)
        request_->setHeaderField("Range", byteRange(partialDownloadSize_));
      retryCount_++;
      unscheduleReadStream();
      // The silent connection is not used again: its entry goes, and its stream is closed.
      connectionCanBeReused_ = false;
      dropConnectionEntry();
      destroyReadStream();
      startRequest();
      return;
    }
    failWithError(sharedError(NetRequestTimedOutErrorType));
    cancelLoad();
    running_.complete = true;
    return;
  }
  if (readStream_) {
    if (postLength_ > 0) {
      lastBytesSent_ = running_.totalBytesSent;
      running_.totalBytesSent = readStream_->requestBytesWritten();
      if (running_.totalBytesSent > lastBytesSent_) {
        lastActivityTime_ = now();
        incrementBandwidthUsedInLastSecond(
            static_cast<unsigned long>(running_.totalBytesSent - lastBytesSent_));
      }
    }
    updateProgressIndicators();
  }
}

bool NetHTTPRequest::shouldTimeOut() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!readStream_ || !readStreamIsScheduled_ || !lastActivityTime_ || options_.timeOutSeconds <= 0)
    return false;
  double idle = now() - *lastActivityTime_;
  if (idle <= options_.timeOutSeconds) return false;
  if (postLength_ == 0 || (uploadBufferSize_ > 0 && running_.totalBytesSent > uploadBufferSize_)) return true;
  return idle > 1.5 * options_.timeOutSeconds;
}

void NetHTTPRequest::cancelOnRequestThread() {
  platform::MutexLock guard(lock_);
  if (cancelled_ || running_.complete) return;
  failWithError(sharedError(NetRequestCancelledErrorType));
  running_.complete = true;
  cancelLoad();
  cancelled_ = true;
}

void NetHTTPRequest::dropConnectionEntry() {
  platform::MutexLock guard(lock_);
  platform::MutexLock pool(shared().connectionsLock);
  if (!connectionInfo_) return;
  connectionInfo_->request.reset();
  std::erase(shared().pool, connectionInfo_);
  connectionInfo_.reset();
}

void NetHTTPRequest::cancelLoad() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (PACFileReadStream_) {
    for (auto* timer : {&PACFileReadTimer_, &PACFileTimeOutTimer_})
      if (*timer && !tearingDown_) {
        (*timer)->invalidate();
        timer->reset();
      }
    std::fclose(PACFileReadStream_);
    PACFileReadStream_ = nullptr;
    PACFileData_.reset();
  } else if (PACFileRequest_) {
    leavePACDownload();
  }
  // No script will start this request now.
  takeBackQueuePlace();
  {
    platform::MutexLock run(PACScriptRunLock_);
    if (PACScriptRun_) {
      PACScriptRun_->cancel();
      PACScriptRun_.reset();
    }
  }
  destroyReadStream();
  if (postBodyReadStream_) {
    postBodyReadStream_->close();
    postBodyReadStream_.reset();
  }
  if (running_.rawData) {
    if (!running_.complete) running_.rawData.reset();
  } else if (temporaryFileDownloadPath_) {
    closeDownloadStreams();
    if (!running_.complete) {
      if (!options_.allowResumeForFileDownloads) removeTemporaryDownloadFile();
      removeTemporaryUncompressedDownloadFile();
    }
  }
  if (authenticationNeeded_ == NoAuthenticationNeeded && !willRetryRequest_ &&
      didCreateTemporaryPostDataFile_) {
    removeTemporaryUploadFile();
    removeTemporaryCompressedUploadFile();
    didCreateTemporaryPostDataFile_ = false;
  }
}

void NetHTTPRequest::readResponseHeaders() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  authenticationNeeded_ = NoAuthenticationNeeded;
  auto message = readStream_ ? readStream_->responseHeader() : nullptr;
  if (!message || !message->isHeaderComplete()) return;
  running_.headers = NetHeaderDictionary(message->allHeaderFields());
  running_.statusCode = message->statusCode();
  running_.statusMessage = message->statusLine();
  responseHTTPVersion_ = message->version();

  if (auto cache = downloadCache_.lock(); cache && cache->canUseCachedDataForRequest(*this)) {
    cache->updateExpiryForRequest(*this, options_.secondsToCache);
    useDataFromCache();
    return;
  }
  if (running_.statusCode == 401) authenticationNeeded_ = HTTPAuthenticationNeeded;
  if (running_.statusCode == 407) authenticationNeeded_ = ProxyAuthenticationNeeded;

  if (authenticationNeeded_ == NoAuthenticationNeeded && !requestAuthentication_ &&
      authenticationScheme_ == platform::HTTPAuthenticationSchemeBasic && username_ && password_ &&
      options_.useSessionPersistence) {
    SessionCredentials entry;
    entry.credentials = std::make_shared<const platform::HTTPCredentials>(
        platform::HTTPCredentials{*username_, *password_, {}});
    entry.url = url_;
    entry.authenticationScheme = std::string(platform::HTTPAuthenticationSchemeBasic);
    storeAuthenticationCredentialsInSessionStore(std::move(entry));
  }
  parseStringEncodingFromHeaders();
  running_.cookies = platform::HTTPCookie::cookiesWithResponseHeaderFields(
      message->allHeaderFields(), *url_, platform::Date::now().timeIntervalSince1970());
  if (options_.useCookiePersistence && !running_.cookies.empty()) {
    platform::HTTPCookieStorage::sharedHTTPCookieStorage().setCookies(running_.cookies);
    for (const auto& cookie : running_.cookies) addSessionCookie(cookie);
  }

  if (!willRedirect()) {
    auto lengthText = running_.headers->value("Content-Length");
    auto main = mainRequest_.lock();
    NetHTTPRequest& target = main ? *main : *this;
    // This request's own lock again when it is the target: the lock is recursive.
    platform::MutexLock targetLock(target.lock_);
    // This request's own switches decide: a queue clears them on the main request whose HEAD
    // request announces its size, so that the size is not counted twice.
    if (lengthText) {
      std::uint64_t length = std::strtoull(lengthText->c_str(), nullptr, 0);
      if (main && options_.allowCompressedResponse && length == 20 && showAccurateProgress_ &&
          options_.shouldResetDownloadProgress) {
        target.showAccurateProgress_ = false;
        target.incrementDownloadSizeBy(1);
      } else {
        target.running_.contentLength = length;
        if (showAccurateProgress_ && options_.shouldResetDownloadProgress)
          target.incrementDownloadSizeBy(static_cast<std::int64_t>(length + target.partialDownloadSize_));
      }
    } else if (showAccurateProgress_ && options_.shouldResetDownloadProgress) {
      target.showAccurateProgress_ = false;
      target.incrementDownloadSizeBy(1);
    }
  }

  if (shouldAttemptPersistentConnection_) {
    connectionCanBeReused_ = false;
    std::string connection = lowercase(running_.headers->value("Connection").value_or(""));
    if ((responseHTTPVersion_ != platform::HTTPVersion1_0 || connection == "keep-alive") &&
        connection != "close") {
      if (auto keepAlive = running_.headers->value("Keep-Alive")) {
        int timeout = keepAliveValue(*keepAlive, "timeout=");
        int max = keepAliveValue(*keepAlive, "max=");
        if (max > 5) {
          connectionCanBeReused_ = true;
          persistentConnectionTimeoutSeconds_ = timeout;
        }
      } else {
        connectionCanBeReused_ = true;
      }
    }
  }
  requestReceivedResponseHeaders(*running_.headers);
}

bool NetHTTPRequest::willRedirect() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!options_.shouldRedirect || !running_.headers || !url_) return false;
  auto location = running_.headers->value("Location");
  if (!location) return false;
  int status = running_.statusCode;
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return false;
  auto target = URL::resolve(*url_, *location);
  if (!target) return false;
  requestRedirected();
  // A HEAD request stays one: it asks the size of what is found there, never for the thing.
  if (requestMethod_ != "HEAD" &&
      (status == 303 || ((status == 301 || status == 302) && !options_.shouldUseRFC2616RedirectBehaviour))) {
    requestMethod_ = "GET";
    postBody_.reset();
    shouldStreamPostDataFromDisk_ = false;
    postLength_ = 0;
    NetHeaderDictionary kept;
    for (std::string_view name : {"User-Agent", "Accept"})
      if (auto value = requestHeaders_.value(name)) kept.set(name, *value);
    requestHeaders_ = std::move(kept);
    haveBuiltRequestHeaders_ = false;
  } else {
    // Method and body stay; the cookies are those of the new URL (performRedirect applies them).
    requestHeaders_.remove("Cookie");
  }
  auto effectivePort = [](const URL& u) {
    std::string scheme = netdetail::lowercase(u.scheme());
    return u.port().value_or(scheme == "https" ? 443 : scheme == "http" ? 80 : 0);
  };
  bool otherOrigin = netdetail::lowercase(target->scheme()) != netdetail::lowercase(url_->scheme()) ||
                     netdetail::lowercase(target->host()) != netdetail::lowercase(url_->host()) ||
                     effectivePort(*target) != effectivePort(*url_);
  if (otherOrigin) {
    // Credentials for one server are not handed to another: neither the header nor the request's
    // own user and password, before a challenge or in answer to one. A proxy's credentials stay only while
    // the request keeps going through that proxy.
    requestHeaders_.remove("Authorization");
    if (authenticationScheme_ == platform::HTTPAuthenticationSchemeBasic) authenticationScheme_.reset();
    username_.reset();
    password_.reset();
    domain_.reset();
    if (!proxyHost_) requestHeaders_.remove("Proxy-Authorization");
  }
  redirectURL_ = URL::parse(target->absoluteString());
  needsRedirect_ = true;
  requestCookies_.clear();
  return true;
}

void NetHTTPRequest::performRedirect() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!redirectURL_) return;
  setURL(redirectURL_);
  if (haveBuiltRequestHeaders_) applyCookieHeader();
  running_.complete = true;
  needsRedirect_ = false;
  redirectCount_++;
  if (redirectCount_ >= 6) {
    failWithError(sharedError(NetTooMuchRedirectionErrorType));
    running_.complete = true;
    return;
  }
  main();
}

void NetHTTPRequest::parseStringEncodingFromHeaders() {
  platform::MutexLock guard(lock_);
  NetStringEncoding encoding = 0;
  std::string mime;
  auto contentType = running_.headers ? running_.headers->value("Content-Type") : std::nullopt;
  parseMimeType(&mime, &encoding, contentType ? std::optional<std::string_view>(*contentType) : std::nullopt);
  running_.encoding = encoding ? encoding : options_.defaultResponseEncoding;
}

void NetHTTPRequest::failWithError(const Error& theError) {
  platform::MutexLock guard(lock_);
  running_.complete = true;
  bool keepsConnection =
      theError.domain == NetworkRequestErrorDomain &&
      (theError.code == NetAuthenticationErrorType || theError.code == NetTooMuchRedirectionErrorType);
  if (!keepsConnection) {
    {
      platform::MutexLock pool(shared().connectionsLock);
      if (connectionInfo_) {
        connectionInfo_->request.reset();
        std::erase(shared().pool, connectionInfo_);
      }
    }
    destroyReadStream();
  }
  if (connectionCanBeReused_ && connectionInfo_) {
    platform::MutexLock pool(shared().connectionsLock);
    connectionInfo_->expires =
        platform::Date::now().timeIntervalSince1970() + persistentConnectionTimeoutSeconds_;
  }
  if (cancelled_ || running_.error) return;
  if (auto cache = downloadCache_.lock(); cache &&
                                          (cachePolicy_ & NetFallbackToCacheIfLoadFailsCachePolicy) &&
                                          cache->canUseCachedDataForRequest(*this)) {
    useDataFromCache();
    return;
  }
  running_.error = theError;
  auto main = mainRequest_.lock();
  if (main) {
    platform::MutexLock mainGuard(main->lock_);
    main->running_.error = theError;
  }
  // The failure is published whole before anyone hears of it.
  auto answer = publishResponse();
  if (main) answer = main->publishResponse();
  auto target = main ? main : self();
  if (isPACFileRequest_) {
    target->reportFailure();
  } else {
    performOnMainThread(
        [target, answer] { target->withCallbackView(answer, [&] { target->reportFailure(); }); });
  }
  if (inProgress_) markAsFinished();
}

void NetHTTPRequest::markAsFinished() {
  bool changed;
  bool tearingDown;
  {
    platform::MutexLock guard(lock_);
    tearingDown = tearingDown_;
    request_.reset();
    requestAuthentication_.reset();
    proxyAuthentication_.reset();
    changed = !finished_ || inProgress_;
    inProgress_ = false;
    outsideWork_.reset();
    finished_ = true;
  }
  // Background tasks: none on this platform.
  if (changed && !tearingDown) didFinish();
}

}  // namespace kavro
