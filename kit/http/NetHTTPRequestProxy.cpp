// Which proxy carries a request: its own, the system's, or what an auto-configuration script says.
#include <cstdio>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "platform/net/SystemProxySettings.h"

namespace kavro {

using netdetail::shared;
using platform::Data;

namespace {

constexpr std::size_t PACReadChunk = 16384;
// A proxy script larger than this is not read to its end.
constexpr std::size_t PACScriptMaxBytes = 1024 * 1024;

void changeSharedQueueLimit(int delta) {
  std::lock_guard pool(shared().connectionsLock);
  auto queue = NetHTTPRequest::sharedQueue();
  queue->setMaxConcurrentOperationCount(queue->maxConcurrentOperationCount() + delta);
}

}  // namespace

bool NetHTTPRequest::configureProxies() {
  std::lock_guard guard(lock_);
  if (isPACFileRequest_ || proxyHost_ || proxyPort_ != 0) return true;
  if (PACurl_) {
    fetchPACFile();
    return false;
  }
  auto list = platform::SystemProxySettings::current().proxiesForURL(*url_);
  if (list && !list->empty() && list->front().autoConfigurationURL) {
    PACurl_ = list->front().autoConfigurationURL;
    fetchPACFile();
    return false;
  }
  if (!list) {
    destroyReadStream();
    failWithError(makeNetError(NetInternalErrorWhileBuildingRequestType,
                               "Unable to obtain information on proxy servers needed for request"));
    return false;
  }
  if (!list->empty() && !list->front().host.empty()) {
    proxyHost_ = list->front().host;
    proxyPort_ = list->front().port;
    proxyType_ = list->front().type;
  }
  return true;
}

void NetHTTPRequest::fetchPACFile() {
  std::lock_guard guard(lock_);
  if (PACurl_->isFileURL()) {
    PACFileReadStream_ = std::fopen(PACurl_->path().c_str(), "rb");
    if (!PACFileReadStream_) {
      startRequest();
      return;
    }
    std::weak_ptr<NetHTTPRequest> weak = self();
    PACFileReadTimer_ = requestLoop().scheduleTimer(
        0, true,
        [weak](platform::Timer&) {
          if (auto r = weak.lock()) r->readPACFileChunk();
        },
        runLoopMode_);
    PACFileTimeOutTimer_ = requestLoop().scheduleTimer(
        timeOutSeconds_, false,
        [weak](platform::Timer&) {
          if (auto r = weak.lock()) r->finishPACFileRead(false);
        },
        runLoopMode_);
    return;
  }
  std::string scheme = netdetail::lowercase(PACurl_->scheme());
  if (scheme != "http" && scheme != "https") {
    startRequest();
    return;
  }
  auto pac = requestWithURL(PACurl_);
  // Nobody else knows the new request yet.
  pac->isPACFileRequest_ = true;
  pac->timeOutSeconds_ = timeOutSeconds_;
  if (isSynchronous_) {
    pac->startSynchronous(requestLoop());
    if (!pac->error()) runPACScript(pac->responseString());
    startRequest();
    return;
  }
  PACFileRequest_ = pac;
  pac->setQueuePriority(Operation::High);
  std::weak_ptr<NetHTTPRequest> weak = self();
  // The download reports on this thread with its own lock held: go on from a fresh turn of the loop.
  auto done = [weak, pacWeak = std::weak_ptr<NetHTTPRequest>(pac)] {
    // Only asynchronous requests wait this way: they run on the network thread.
    threadForRequest().performOnMain([weak, pacWeak] {
      auto waiting = weak.lock();
      auto p = pacWeak.lock();
      if (waiting && p) waiting->finishedDownloadingPACFile(*p);
    });
  };
  pac->blocks_->completion = done;
  pac->blocks_->failure = done;
  pac->startAsynchronous();
  // This request keeps its place in the queue while the script comes.
  changeSharedQueueLimit(+1);
}

void NetHTTPRequest::finishedDownloadingPACFile(NetHTTPRequest& pac) {
  std::optional<std::string> script;
  {
    std::lock_guard guard(lock_);
    if (PACFileRequest_.get() != &pac) return;
    if (!pac.error()) script = pac.responseString();
  }
  runPACScript(std::move(script));
  std::lock_guard guard(lock_);
  // Cancelled while the script ran: cancelLoad gave the queue its place back.
  if (PACFileRequest_.get() != &pac) return;
  changeSharedQueueLimit(-1);
  PACFileRequest_.reset();
  startRequest();
}

void NetHTTPRequest::readPACFileChunk() {
  std::optional<bool> ended;
  {
    std::lock_guard guard(lock_);
    if (!PACFileReadStream_) return;
    if (!PACFileData_) PACFileData_ = Data();
    std::uint8_t buffer[PACReadChunk];
    std::size_t n = std::fread(buffer, 1, sizeof buffer, PACFileReadStream_);
    PACFileData_->insert(PACFileData_->end(), buffer, buffer + n);
    if (PACFileData_->size() > PACScriptMaxBytes)
      ended = false;
    else if (n < sizeof buffer && std::ferror(PACFileReadStream_))
      ended = false;
    else if (n < sizeof buffer && std::feof(PACFileReadStream_))
      ended = true;
  }
  // The script runs without the request's lock held.
  if (ended) finishPACFileRead(*ended);
}

void NetHTTPRequest::finishPACFileRead(bool atEnd) {
  std::optional<std::string> script;
  {
    std::lock_guard guard(lock_);
    if (!PACFileReadStream_) return;
    for (auto* timer : {&PACFileReadTimer_, &PACFileTimeOutTimer_})
      if (*timer) {
        (*timer)->invalidate();
        timer->reset();
      }
    std::fclose(PACFileReadStream_);
    PACFileReadStream_ = nullptr;
    if (atEnd && PACFileData_) {
      script = stringFromBytes(*PACFileData_, NetUTF8StringEncoding);
      if (!script) script = stringFromBytes(*PACFileData_, NetISOLatin1StringEncoding);
    }
    PACFileData_.reset();
  }
  runPACScript(std::move(script));
  std::lock_guard guard(lock_);
  if (cancelled_) return;
  startRequest();
}

void NetHTTPRequest::runPACScript(std::optional<std::string> script) {
  std::optional<platform::URL> url;
  {
    std::lock_guard guard(lock_);
    if (!script || !url_) return;
    url = url_;
  }
  // A script may take up to its deadline: cancelling and reading the request's state go on
  // meanwhile. Callers on the asynchronous paths hold no lock here.
  platform::Error error;
  auto list = platform::proxiesForAutoConfigurationScript(*script, *url, &error);
  std::lock_guard guard(lock_);
  if (!list) {
    PACScriptError_ = error;
    return;
  }
  PACScriptError_.reset();
  if (list->empty() || list->front().host.empty()) return;
  proxyHost_ = list->front().host;
  proxyPort_ = list->front().port;
  proxyType_ = list->front().type;
}

std::optional<platform::Error> NetHTTPRequest::PACScriptError() const {
  std::lock_guard guard(lock_);
  return PACScriptError_;
}

}  // namespace kavro
