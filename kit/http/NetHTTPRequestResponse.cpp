// The second half of a running request: stream events, the body, completion, stream errors,
// answers from the cache, the connection pool, scheduling and temporary files.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "kit/http/NetInputStream.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/HTTPReadStream.h"
#include "platform/net/NetError.h"

namespace kavro {

namespace {

platform::Error fileWriteError(const std::string& path, int code) {
  return netdetail::fileManagementError(
      platform::format("Failed to write to file at path '%@'", path),
      platform::Error{platform::POSIXErrorDomain, code, std::strerror(code), nullptr, nullptr});
}

}  // namespace

using netdetail::shared;
using platform::Data;
using platform::Error;
using platform::HTTPReadStream;

namespace {

using platform::OSStatusErrorDomain;
using platform::URLErrorDomain;
using platform::URLErrorNetworkConnectionLost;

bool isSSLStatus(const Error& e) {
  return e.domain == OSStatusErrorDomain && e.code >= -9818 && e.code <= -9800;
}

}  // namespace

void NetHTTPRequest::handleNetworkEvent(unsigned event) {
  requestThread_.claim();
  auto keep = self();
  platform::MutexLock guard(lock_);
  {
    if (running_.complete || cancelled_) return;
    switch (event) {
      case HTTPReadStream::HasBytesAvailable:
        handleBytesAvailable();
        break;
      case HTTPReadStream::EndEncountered:
        handleStreamComplete();
        break;
      case HTTPReadStream::ErrorOccurred:
        handleStreamError();
        break;
      default:
        break;
    }
    performThrottling();
  }
  if (running_.downloadComplete && needsRedirect_) {
    if (!willAskDelegateToConfirmRedirect()) performRedirect();
  } else if (running_.downloadComplete && authenticationNeeded_ != NoAuthenticationNeeded) {
    attemptToApplyCredentialsAndResume();
  }
}

bool NetHTTPRequest::willAskDelegateToConfirmRedirect() {
  platform::MutexLock guard(lock_);
  // A HEAD request made for another tells no one of its events, so no one would ever confirm: it
  // follows the redirect itself.
  if (hasMainRequest()) return false;
  if (!delegateResponds(NetDelegateMethod::WillRedirectToURL) &&
      !queueResponds(NetDelegateMethod::WillRedirectToURL))
    return false;
  auto target = redirectURL_;
  redirectURL_.reset();
  if (target) requestWillRedirectToURL(*target);
  return true;
}

void NetHTTPRequest::handleBytesAvailable() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!running_.headers) readResponseHeaders();
  if (running_.complete || !readStream_ || !readStream_->hasBytesAvailable()) return;
  std::size_t size = 16384;
  if (running_.contentLength > 262144)
    size = 262144;
  else if (running_.contentLength > 65536)
    size = 65536;
  size = throttledReadSize(size);
  std::vector<std::uint8_t> buffer(size);
  std::size_t n = readStream_->read(buffer.data(), size);
  if (n == 0) return;

  // Compressed answers are inflated as they arrive also when the body is kept compressed, so that
  // what they decode to is counted against the limit before it is ever held whole.
  std::optional<Data> inflated;
  std::uint64_t decoded = n;
  if (isResponseCompressed()) {
    if (!dataDecompressor_) {
      dataDecompressor_ = NetDataDecompressor::decompressor();
      if (dataDecompressor_) dataDecompressor_->setOutputLimit(responseSizeLimit());
    }
    Error e = NetDataDecompressor::inflateErrorWithCode(-4);
    std::optional<Data> piece;
    if (dataDecompressor_) piece = dataDecompressor_->uncompressBytes(buffer.data(), n, &e);
    // A body kept compressed fails later, when it is inflated, as it always did.
    if (!piece &&
        (!options_.shouldWaitToInflateCompressedResponses || e.code == NetResponseTooLargeErrorType)) {
      failWithError(e);
      return;
    }
    decoded = piece ? piece->size() : 0;
    // A body kept compressed holds its own bytes whatever they inflate to (nothing, when they do
    // not inflate at all).
    if (options_.shouldWaitToInflateCompressedResponses)
      decoded = std::max<std::uint64_t>(decoded, n);
    else
      inflated = std::move(piece);
  }
  decodedBytesRead_ += decoded;
  if (std::uint64_t limit = responseSizeLimit(); decodedBytesRead_ > limit) {
    failWithError(responseTooLargeError(limit));
    return;
  }
  running_.totalBytesRead += n;
  lastActivityTime_ = now();
  incrementBandwidthUsedInLastSecond(static_cast<unsigned long>(n));
  if (needsRedirect_ && options_.shouldRedirect && options_.allowResumeForFileDownloads) return;

  bool toDelegate = (blocks_ && blocks_->dataReceived) || delegateResponds(NetDelegateMethod::DidReceiveData);
  if (toDelegate) {
    passOnReceivedData(inflated ? std::move(*inflated)
                                : Data(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n)));
  } else if (downloadDestinationPath_) {
    if (!fileDownloadOutputStream_) {
      bool append = false;
      if (!temporaryFileDownloadPath_) {
        temporaryFileDownloadPath_ = netdetail::uniqueTemporaryPath();
      } else if (options_.allowResumeForFileDownloads && requestHeaders_.contains("Range")) {
        if (running_.headers && running_.headers->contains("Content-Range")) {
          append = true;
        } else {
          incrementDownloadSizeBy(-static_cast<std::int64_t>(partialDownloadSize_));
          partialDownloadSize_ = 0;
        }
      }
      fileDownloadOutputStream_ = std::fopen(temporaryFileDownloadPath_->c_str(), append ? "ab" : "wb");
      if (fileDownloadOutputStream_ && inflated) {
        if (!temporaryUncompressedDataDownloadPath_)
          temporaryUncompressedDataDownloadPath_ = netdetail::uniqueTemporaryPath();
        inflatedFileDownloadOutputStream_ =
            std::fopen(temporaryUncompressedDataDownloadPath_->c_str(), append ? "ab" : "wb");
      }
      if (!fileDownloadOutputStream_ || (inflated && !inflatedFileDownloadOutputStream_)) {
        int e = errno;
        failWithError(fileWriteError(*temporaryFileDownloadPath_, e));
        return;
      }
    }
    // A full disk ends the download with the file's error rather than a silently short file.
    bool written = std::fwrite(buffer.data(), 1, n, fileDownloadOutputStream_) == n;
    if (written && inflated && inflatedFileDownloadOutputStream_ && !inflated->empty())
      written = std::fwrite(inflated->data(), 1, inflated->size(), inflatedFileDownloadOutputStream_) ==
                inflated->size();
    if (!written) {
      int e = errno;
      failWithError(fileWriteError(*temporaryFileDownloadPath_, e));
      return;
    }
  } else {
    if (!running_.rawData) running_.rawData = Data();
    if (inflated)
      running_.rawData->insert(running_.rawData->end(), inflated->begin(), inflated->end());
    else
      running_.rawData->insert(running_.rawData->end(), buffer.begin(),
                               buffer.begin() + static_cast<std::ptrdiff_t>(n));
  }
}

bool NetHTTPRequest::closeDownloadStreams() {
  requestThread_.claim();
  bool closed = true;
  for (auto* stream : {&fileDownloadOutputStream_, &inflatedFileDownloadOutputStream_}) {
    if (*stream && std::fclose(*stream) != 0) closed = false;
    *stream = nullptr;
  }
  return closed;
}

void NetHTTPRequest::handleStreamComplete() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (statusTimer_) {
    statusTimer_->invalidate();
    statusTimer_.reset();
  }
  running_.downloadComplete = true;
  if (!running_.headers) {
    readResponseHeaders();
    if (running_.complete) return;  // answered from the cache
  }
  std::optional<Error> fileError;
  {
    platform::MutexLock progress(shared().progressLock);
    lastBytesSent_ = running_.totalBytesSent;
    if (readStream_) running_.totalBytesSent = readStream_->requestBytesWritten();
    running_.complete = true;
    if (running_.contentLength == 0) running_.contentLength = running_.totalBytesRead;
    updateProgressIndicators();
    if (postBodyReadStream_) {
      postBodyReadStream_->close();
      postBodyReadStream_.reset();
    }
    dataDecompressor_.reset();
    if (didCreateTemporaryPostDataFile_ && authenticationNeeded_ == NoAuthenticationNeeded) {
      removeTemporaryUploadFile();
      removeTemporaryCompressedUploadFile();
    }
    if (temporaryFileDownloadPath_) {
      // What stayed buffered goes to disk here: a full disk shows now.
      if (!closeDownloadStreams()) {
        int e = errno;
        fileError = fileWriteError(*temporaryFileDownloadPath_, e);
      }
      if (!fileError &&
          !(options_.shouldRedirect && needsRedirect_ && options_.allowResumeForFileDownloads) &&
          downloadDestinationPath_) {
        const std::string destination = *downloadDestinationPath_;
        if (isResponseCompressed()) {
          if (options_.shouldWaitToInflateCompressedResponses) {
            Error e;
            if (!NetDataDecompressor::uncompressDataFromFile(*temporaryFileDownloadPath_, destination, &e,
                                                             responseSizeLimit()))
              fileError = e;
            removeTemporaryDownloadFile();
          } else if (temporaryUncompressedDataDownloadPath_) {
            Error e;
            removeFileAtPath(destination, nullptr);
            if (!platform::FileManager::moveItemAtPath(*temporaryUncompressedDataDownloadPath_, destination,
                                                       &e))
              fileError = netdetail::fileManagementError(
                  platform::format("Failed to move file from '%@' to '%@'",
                                   *temporaryUncompressedDataDownloadPath_, destination),
                  e);
            temporaryUncompressedDataDownloadPath_.reset();
            removeTemporaryDownloadFile();
          }
        } else {
          Error e;
          if (removeFileAtPath(destination, &e)) {
            if (!platform::FileManager::moveItemAtPath(*temporaryFileDownloadPath_, destination, &e))
              fileError =
                  netdetail::fileManagementError(platform::format("Failed to move file from '%@' to '%@'",
                                                                  *temporaryFileDownloadPath_, destination),
                                                 e);
            else
              temporaryFileDownloadPath_.reset();
          } else {
            fileError = e;
          }
        }
      }
    }
    if (auto cache = downloadCache_.lock(); cache && !running_.didUseCachedResponse)
      cache->storeResponseForRequest(*this, options_.secondsToCache);
  }
  {
    platform::MutexLock pool(shared().connectionsLock);
    if (!connectionCanBeReused_) unscheduleReadStream();
    if (connectionInfo_) {
      connectionInfo_->request.reset();
      connectionInfo_->expires =
          platform::Date::now().timeIntervalSince1970() + persistentConnectionTimeoutSeconds_;
    }
  }
  if (authenticationNeeded_ == NoAuthenticationNeeded) destroyReadStream();
  if (!needsRedirect_ && authenticationNeeded_ == NoAuthenticationNeeded && !running_.didUseCachedResponse) {
    if (fileError)
      failWithError(*fileError);
    else
      requestFinished();
    markAsFinished();
  }
}

void NetHTTPRequest::handleStreamError() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  std::optional<Error> streamError = readStream_ ? readStream_->error() : std::nullopt;
  Error cause =
      streamError.value_or(Error{std::string(URLErrorDomain), -1011, "The stream failed", nullptr, nullptr});
  if (!running_.error) {
    bool stale =
        (cause.domain == platform::POSIXErrorDomain && (cause.code == ENOTCONN || cause.code == EPIPE)) ||
        (cause.domain == URLErrorDomain && cause.code == URLErrorNetworkConnectionLost);
    if (stale && retryUsingNewConnection()) return;
    std::string description = "A connection failure occurred";
    if (isSSLStatus(cause) || (cause.underlying && isSSLStatus(*cause.underlying)))
      description = platform::format(
          "%@: SSL problem (Possible causes may include a bad/expired/self-signed certificate, clock set to "
          "wrong date)",
          description);
    cancelLoad();
    failWithError(makeNetError(NetConnectionFailureErrorType, description, netdetail::underlying(cause)));
  } else {
    cancelLoad();
  }
  checkRequestStatus();
}

bool NetHTTPRequest::retryUsingNewConnection() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (retryCount_ != 0) return false;
  willRetryRequest_ = true;
  cancelLoad();
  willRetryRequest_ = false;
  dropConnectionEntry();
  retryCount_++;
  startRequest();
  return true;
}

void NetHTTPRequest::useDataFromCache() {
  platform::MutexLock guard(lock_);
  auto main = mainRequest_.lock();
  NetHTTPRequest& receiver = main ? *main : *this;
  // This request's own lock again when it is the receiver: the lock is recursive.
  platform::MutexLock receiverLock(receiver.lock_);
  auto cache = downloadCache_.lock();
  std::optional<NetHeaderDictionary> headers =
      cache && url_ ? cache->cachedResponseHeadersForURL(*url_) : std::nullopt;
  std::optional<std::string> dataPath =
      cache && url_ ? cache->pathToCachedResponseDataForURL(*url_) : std::nullopt;
  if (headers && dataPath) {
    running_.statusCode = std::atoi(headers->value(NetCachedResponseStatusCodeHeader).value_or("0").c_str());
    running_.didUseCachedResponse = true;
    receiver.running_.headers = headers;
    if (receiver.downloadDestinationPath_) {
      receiver.downloadDestinationPath_ = dataPath;
    } else {
      receiver.running_.rawData = cache->cachedResponseDataForURL(*url_);
    }
    std::uint64_t length = std::strtoull(headers->value("Content-Length").value_or("0").c_str(), nullptr, 10);
    receiver.running_.contentLength = length;
    receiver.running_.totalBytesRead = length;
    receiver.parseStringEncodingFromHeaders();
    receiver.running_.cookies = platform::HTTPCookie::cookiesWithResponseHeaderFields(
        headers->fields(), *url_, platform::Date::now().timeIntervalSince1970());
    if (willRedirect()) {
      if (!willAskDelegateToConfirmRedirect()) performRedirect();
      return;
    }
  }
  receiver.running_.complete = true;
  receiver.running_.downloadComplete = true;
  if (receiver.redirectCount_ == 0) receiver.originalURL_ = receiver.url_;
  receiver.updateProgressIndicators();
  receiver.requestFinished();
  receiver.markAsFinished();
  if (main) {
    publishResponse();
    markAsFinished();
  }
}

void NetHTTPRequest::expirePersistentConnections() {
  std::vector<std::shared_ptr<NetConnectionEntry>> expired;
  {
    platform::MutexLock pool(shared().connectionsLock);
    double nowDate = platform::Date::now().timeIntervalSince1970();
    std::erase_if(shared().pool, [&](const std::shared_ptr<NetConnectionEntry>& e) {
      if (e->request || !e->expires || *e->expires > nowDate) return false;
      expired.push_back(e);
      return true;
    });
  }
  for (auto& e : expired) {
    if (!e->stream) continue;
    auto stream = e->stream;
    if (!e->streamLoop || e->streamLoop->isCurrentThread())
      stream->close();
    else
      e->streamLoop->performOnMain([stream] { stream->close(); });
  }
}

void NetHTTPRequest::scheduleReadStream() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!readStream_ || readStreamIsScheduled_) return;
  showNetworkActivity();
  lastActivityTime_ = now();
  std::weak_ptr<NetHTTPRequest> weak = self();
  readStream_->setClient(
      HTTPReadStream::HasBytesAvailable | HTTPReadStream::ErrorOccurred | HTTPReadStream::EndEncountered,
      [weak](HTTPReadStream&, HTTPReadStream::Event event) {
        if (auto r = weak.lock()) r->handleNetworkEvent(event);
      });
  readStream_->schedule(requestLoop(), runLoopMode_);
  readStreamLoop_ = &requestLoop();
  readStreamIsScheduled_ = true;
}

void NetHTTPRequest::unscheduleReadStream() {
  requestThread_.claim();
  if (!readStream_ || !readStreamIsScheduled_) return;
  hideNetworkActivity();
  readStreamIsScheduled_ = false;
  if (readStreamLoop_ && !readStreamLoop_->isCurrentThread()) {
    // Only while the request is going away on another thread.
    auto stream = readStream_;
    readStreamLoop_->performOnMain([stream] {
      stream->setClient(0, nullptr);
      stream->unschedule();
    });
    return;
  }
  readStream_->setClient(0, nullptr);
  readStream_->unschedule();
}

void NetHTTPRequest::destroyReadStream() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!readStream_) return;
  unscheduleReadStream();
  if (!connectionCanBeReused_) {
    auto stream = readStream_;
    if (readStreamLoop_ && !readStreamLoop_->isCurrentThread())
      readStreamLoop_->performOnMain([stream] { stream->close(); });
    else
      stream->close();
  }
  readStream_.reset();
  readStreamLoop_ = nullptr;
}

bool NetHTTPRequest::removeFileAtPath(const std::string& path, Error* error) {
  if (!platform::FileManager::fileExistsAtPath(path)) return true;
  Error e;
  if (platform::FileManager::removeItemAtPath(path, &e)) return true;
  if (error)
    *error = netdetail::fileManagementError(platform::format("Failed to delete file at path '%@'", path), e);
  return false;
}

bool NetHTTPRequest::removeTemporaryDownloadFile() {
  platform::MutexLock guard(lock_);
  if (!temporaryFileDownloadPath_) return true;
  Error e;
  bool removed = removeFileAtPath(*temporaryFileDownloadPath_, &e);
  temporaryFileDownloadPath_.reset();
  if (!removed && !tearingDown_) failWithError(e);
  return removed;
}

bool NetHTTPRequest::removeTemporaryUncompressedDownloadFile() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!temporaryUncompressedDataDownloadPath_) return true;
  Error e;
  bool removed = removeFileAtPath(*temporaryUncompressedDataDownloadPath_, &e);
  temporaryUncompressedDataDownloadPath_.reset();
  if (!removed && !tearingDown_) failWithError(e);
  return removed;
}

bool NetHTTPRequest::removeTemporaryUploadFile() {
  platform::MutexLock guard(lock_);
  if (!postBodyFilePath_) return true;
  Error e;
  bool removed = removeFileAtPath(*postBodyFilePath_, &e);
  postBodyFilePath_.reset();
  if (!removed && !tearingDown_) failWithError(e);
  return removed;
}

bool NetHTTPRequest::removeTemporaryCompressedUploadFile() {
  platform::MutexLock guard(lock_);
  if (!compressedPostBodyFilePath_) return true;
  Error e;
  bool removed = removeFileAtPath(*compressedPostBodyFilePath_, &e);
  compressedPostBodyFilePath_.reset();
  if (!removed && !tearingDown_) failWithError(e);
  return removed;
}

}  // namespace kavro
