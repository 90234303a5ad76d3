// Which proxy carries a request: its own, the system's, or what an auto-configuration script says.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/SystemProxySettings.h"

namespace kavro {

using platform::Data;

namespace {

constexpr std::size_t PACReadChunk = 16384;
// A proxy script larger than this is not read to its end.
constexpr std::size_t PACScriptMaxBytes = 1024 * 1024;
// How often a request waiting for a shared script looks whether it has waited long enough: as
// often as a running request looks at its own time-out.
constexpr double PACDownloadWaitCheck = 0.25;

// Changed on the network thread, outside every request's lock: a higher limit starts queued
// requests, which take their own locks, while the caller may hold its own. The queue moves its
// limit under its own lock, so lendings from many requests add up.
void changeSharedQueueLimit(int delta) {
  NetHTTPRequest::threadForRequest().performOnMain(
      [delta] { NetHTTPRequest::sharedQueue()->changeMaxConcurrentOperationCount(delta); });
}

// One download per script URL, however many requests wait for it.
struct PACDownload {
  std::shared_ptr<NetHTTPRequest> request;
  std::vector<std::weak_ptr<NetHTTPRequest>> waiting;
};

class PACDownloads {
 public:
  platform::Mutex lock;  // taken after a request's lock, never before
  std::map<std::string, std::shared_ptr<PACDownload>> byURL GUARDED_BY(lock);
};

PACDownloads& pacDownloads() {
  static auto* downloads = new PACDownloads();
  return *downloads;
}

}  // namespace

bool NetHTTPRequest::configureProxies() {
  platform::MutexLock guard(lock_);
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

void NetHTTPRequest::lendQueuePlaceForScript() {
  platform::MutexLock guard(lock_);
  if (isSynchronous_ || lentQueuePlace_) return;
  lentQueuePlace_ = true;
  changeSharedQueueLimit(+1);
}

void NetHTTPRequest::takeBackQueuePlace() {
  platform::MutexLock guard(lock_);
  if (!lentQueuePlace_) return;
  lentQueuePlace_ = false;
  changeSharedQueueLimit(-1);
}

void NetHTTPRequest::fetchPACFile() {
  platform::MutexLock guard(lock_);
  // Reading and running a script that loops takes seconds: meanwhile other requests go ahead.
  lendQueuePlaceForScript();
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
        options_.timeOutSeconds, false,
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
  {
    // Nobody else knows the new request yet: taking its lock waits for no one.
    platform::MutexLock theirs(pac->lock_);
    pac->isPACFileRequest_ = true;
  }
  // A download shared by waiting requests has no time-out of its own: each waiter keeps its own,
  // and the download lives until the script comes, it fails, or the last waiter leaves.
  pac->options_.timeOutSeconds = isSynchronous_ ? options_.timeOutSeconds : 0;
  // Held to the same size as a script read from a file.
  pac->options_.maxResponseSize = PACScriptMaxBytes;
  if (isSynchronous_) {
    pac->startSynchronous(requestLoop());
    runPACScriptThenStart(pac->error() ? std::nullopt : std::optional<std::string>(pac->responseString()));
    return;
  }
  const std::string key = PACurl_->absoluteString();
  bool starts = false;
  {
    auto& downloads = pacDownloads();
    platform::MutexLock registry(downloads.lock);
    auto& download = downloads.byURL[key];
    if (!download) {
      download = std::make_shared<PACDownload>();
      download->request = pac;
      starts = true;
    }
    download->waiting.push_back(self());
    pac = download->request;
  }
  PACFileRequest_ = pac;
  PACDownloadWaitStart_ = now();
  if (options_.timeOutSeconds > 0) {
    std::weak_ptr<NetHTTPRequest> weak = self();
    PACDownloadWaitTimer_ = requestLoop().scheduleTimer(
        PACDownloadWaitCheck, true,
        [weak](platform::Timer&) {
          if (auto r = weak.lock()) r->checkPACDownloadWait();
        },
        runLoopMode_);
  }
  // Another request already fetches this script: this one waits for the same answer.
  if (!starts) return;
  // The download runs on a place of its own, lent until it ends: waiting requests and their
  // script hold no place another request could have.
  changeSharedQueueLimit(+1);
  pac->setQueuePriority(Operation::High);
  // The download reports on this thread with its own lock held: go on from a fresh turn of the loop.
  auto done = [key, pacWeak = std::weak_ptr<NetHTTPRequest>(pac)] {
    // Only asynchronous requests wait this way: they run on the network thread.
    threadForRequest().performOnMain([key, pacWeak] {
      if (auto p = pacWeak.lock()) finishedSharedPACDownload(key, *p);
    });
  };
  pac->setCompletionBlock(done);
  pac->setFailedBlock(done);
  pac->startAsynchronous();
}

void NetHTTPRequest::finishedSharedPACDownload(const std::string& key, NetHTTPRequest& pac) {
  std::shared_ptr<PACDownload> download;
  {
    auto& downloads = pacDownloads();
    platform::MutexLock registry(downloads.lock);
    auto it = downloads.byURL.find(key);
    // Every waiting request was cancelled meanwhile: the last one took the place back.
    if (it == downloads.byURL.end() || it->second->request.get() != &pac) return;
    download = std::move(it->second);
    downloads.byURL.erase(it);
  }
  changeSharedQueueLimit(-1);
  for (auto& weak : download->waiting)
    if (auto waiting = weak.lock()) waiting->finishedDownloadingPACFile(pac);
}

void NetHTTPRequest::leavePACDownload() {
  stopPACDownloadWait();
  auto pac = std::move(PACFileRequest_);
  if (!pac) return;
  bool last = false;
  {
    auto& downloads = pacDownloads();
    platform::MutexLock registry(downloads.lock);
    auto it = std::find_if(downloads.byURL.begin(), downloads.byURL.end(),
                           [&](const auto& entry) { return entry.second->request == pac; });
    if (it == downloads.byURL.end()) return;
    std::erase_if(it->second->waiting, [this](const std::weak_ptr<NetHTTPRequest>& w) {
      auto r = w.lock();
      return !r || r.get() == this;
    });
    if (it->second->waiting.empty()) {
      downloads.byURL.erase(it);
      last = true;
    }
  }
  // The others still want the script.
  if (!last) return;
  changeSharedQueueLimit(-1);
  requestLoop().performOnMain([pac] { pac->clearDelegatesAndCancel(); });
}

void NetHTTPRequest::finishedDownloadingPACFile(NetHTTPRequest& pac) {
  std::optional<std::string> script;
  {
    platform::MutexLock guard(lock_);
    if (PACFileRequest_.get() != &pac) return;
    stopPACDownloadWait();
    if (!pac.error()) script = pac.responseString();
    PACFileRequest_.reset();
  }
  runPACScriptThenStart(std::move(script));
}

void NetHTTPRequest::checkPACDownloadWait() {
  {
    platform::MutexLock guard(lock_);
    if (!PACFileRequest_ || cancelled_) return;
    double heard = PACDownloadWaitStart_;
    if (auto activity = PACFileRequest_->lastActivityOnNetworkThread()) heard = std::max(heard, *activity);
    if (now() - heard <= options_.timeOutSeconds) return;
    // What a request alone does when its download times out: on without the script.
    leavePACDownload();
  }
  runPACScriptThenStart(std::nullopt);
}

void NetHTTPRequest::stopPACDownloadWait() {
  // The owner's last release leaves the timer to the destructor, which ends it on its loop.
  if (!PACDownloadWaitTimer_ || tearingDown_) return;
  PACDownloadWaitTimer_->invalidate();
  PACDownloadWaitTimer_.reset();
}

std::optional<double> NetHTTPRequest::lastActivityOnNetworkThread() const {
  // Only asynchronous requests share a download: the waiter and the download both run on the
  // network thread, which is asking.
  requestThread_.claim();
  return lastActivityTime_;
}

void NetHTTPRequest::readPACFileChunk() {
  std::optional<bool> ended;
  {
    platform::MutexLock guard(lock_);
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
    platform::MutexLock guard(lock_);
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
  runPACScriptThenStart(std::move(script));
}

void NetHTTPRequest::runPACScriptThenStart(std::optional<std::string> script) {
  std::shared_ptr<platform::PACScriptEvaluation> evaluation;
  std::optional<platform::URL> url;
  {
    platform::MutexLock guard(lock_);
    if (cancelled_) return;
    if (!script || !url_) {
      startRequest();
      return;
    }
    url = url_;
    evaluation = std::make_shared<platform::PACScriptEvaluation>();
    platform::MutexLock run(PACScriptRunLock_);
    PACScriptRun_ = evaluation;
  }
  if (isSynchronous()) {
    // The caller's own thread waits; cancel() from another thread ends the script.
    platform::Error error;
    auto list = evaluation->run(*script, *url, &error);
    finishPACScript(*evaluation, list, error);
    return;
  }
  // The network thread serves every other request meanwhile: the script waits on a thread of its
  // own, which ends by the script's deadline at the latest.
  std::weak_ptr<NetHTTPRequest> weak = self();
  platform::RunLoop* loop = &requestLoop();
  std::thread([weak, evaluation, loop, script = std::move(*script), url = std::move(*url)] {
    auto error = std::make_shared<platform::Error>();
    auto list = std::make_shared<std::optional<std::vector<platform::ProxyEntry>>>(
        evaluation->run(script, url, error.get()));
    loop->performOnMain([weak, evaluation, list, error] {
      if (auto r = weak.lock()) r->finishPACScript(*evaluation, *list, *error);
    });
  }).detach();
}

void NetHTTPRequest::finishPACScript(const platform::PACScriptEvaluation& evaluation,
                                     const std::optional<std::vector<platform::ProxyEntry>>& list,
                                     const platform::Error& error) {
  platform::MutexLock guard(lock_);
  {
    // Cancelled meanwhile: cancelLoad let the script go.
    platform::MutexLock run(PACScriptRunLock_);
    if (PACScriptRun_.get() != &evaluation) return;
    PACScriptRun_.reset();
  }
  // A synchronous request cancelled from another thread: the cancel waiting on its loop ends it.
  if (cancelled_ || evaluation.isCancelled()) return;
  if (!list) {
    PACScriptError_ = error;
  } else {
    PACScriptError_.reset();
    if (!list->empty() && !list->front().host.empty()) {
      proxyHost_ = list->front().host;
      proxyPort_ = list->front().port;
      proxyType_ = list->front().type;
    }
  }
  startRequest();
}

std::optional<platform::Error> NetHTTPRequest::PACScriptError() const {
  platform::MutexLock guard(lock_);
  return PACScriptError_;
}

}  // namespace kavro
