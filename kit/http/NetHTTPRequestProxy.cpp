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
  std::lock_guard guard(lock_);
  if (PACFileRequest_.get() != &pac) return;
  if (!pac.error()) runPACScript(pac.responseString());
  changeSharedQueueLimit(-1);
  PACFileRequest_.reset();
  startRequest();
}

void NetHTTPRequest::readPACFileChunk() {
  std::lock_guard guard(lock_);
  if (!PACFileReadStream_) return;
  if (!PACFileData_) PACFileData_ = Data();
  std::uint8_t buffer[PACReadChunk];
  std::size_t n = std::fread(buffer, 1, sizeof buffer, PACFileReadStream_);
  PACFileData_->insert(PACFileData_->end(), buffer, buffer + n);
  if (n < sizeof buffer) {
    if (std::ferror(PACFileReadStream_))
      finishPACFileRead(false);
    else if (std::feof(PACFileReadStream_))
      finishPACFileRead(true);
  }
}

void NetHTTPRequest::finishPACFileRead(bool atEnd) {
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
    auto script = stringFromBytes(*PACFileData_, NetUTF8StringEncoding);
    if (!script) script = stringFromBytes(*PACFileData_, NetISOLatin1StringEncoding);
    runPACScript(script);
  }
  PACFileData_.reset();
  startRequest();
}

void NetHTTPRequest::runPACScript(std::optional<std::string> script) {
  std::lock_guard guard(lock_);
  if (!script || !url_) return;
  auto list = platform::proxiesForAutoConfigurationScript(*script, *url_);
  if (!list || list->empty() || list->front().host.empty()) return;
  proxyHost_ = list->front().host;
  proxyPort_ = list->front().port;
  proxyType_ = list->front().type;
}

}  // namespace kavro
