#include "kit/http/NetNetworkQueue.h"

#include <algorithm>

#include "kit/http/NetHTTPRequestInternal.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

using platform::RunLoop;

namespace {

unsigned bit(NetDelegateMethod method) { return 1u << static_cast<unsigned>(method); }

unsigned respondsMask(const NetNetworkQueueDelegate* delegate) {
  unsigned mask = 0;
  if (!delegate) return 0;
  for (auto m : {NetDelegateMethod::WillRedirectToURL, NetDelegateMethod::AuthenticationNeeded,
                 NetDelegateMethod::ProxyAuthenticationNeeded})
    if (implementsMethod(delegate, m)) mask |= bit(m);
  return mask;
}

bool sameRequest(const std::weak_ptr<NetHTTPRequest>& a, const std::shared_ptr<NetHTTPRequest>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

std::shared_ptr<NetNetworkQueue> NetNetworkQueue::queue() {
  return std::shared_ptr<NetNetworkQueue>(new NetNetworkQueue());
}

NetNetworkQueue::NetNetworkQueue() {
  setMaxConcurrentOperationCount(4);
  setSuspended(true);
}

NetNetworkQueue::~NetNetworkQueue() {
  for (const auto& op : operations()) {
    auto request = std::dynamic_pointer_cast<NetHTTPRequest>(op);
    if (request && request->queue().get() == static_cast<NetHTTPRequestQueue*>(this))
      request->setQueue(nullptr);
  }
}

std::shared_ptr<NetNetworkQueue> NetNetworkQueue::self() {
  return std::static_pointer_cast<NetNetworkQueue>(OperationQueue::shared_from_this());
}

std::shared_ptr<NetNetworkQueue> NetNetworkQueue::copy() const {
  auto q = queue();
  platform::MutexLock guard(fieldsLock_);
  platform::MutexLock theirs(q->fieldsLock_);
  q->delegate_ = delegate_;
  q->delegateResponds_.store(delegateResponds_.load());
  q->uploadProgressDelegate_ = uploadProgressDelegate_;
  q->downloadProgressDelegate_ = downloadProgressDelegate_;
  q->userInfo_ = userInfo_;
  q->setShouldCancelAllRequestsOnFailure(shouldCancelAllRequestsOnFailure());
  q->setShowAccurateProgress(showAccurateProgress());
  return q;
}

// --- running ---

void NetNetworkQueue::go() { setSuspended(false); }

void NetNetworkQueue::reset() {
  cancelAllOperations();
  {
    platform::MutexLock guard(fieldsLock_);
    delegate_.reset();
    delegateResponds_.store(0);
    uploadProgressDelegate_.reset();
    downloadProgressDelegate_.reset();
  }
  setSuspended(true);
}

void NetNetworkQueue::cancelAllOperations() {
  bytesUploadedSoFar_.store(0);
  totalBytesToUpload_.store(0);
  bytesDownloadedSoFar_.store(0);
  totalBytesToDownload_.store(0);
  OperationQueue::cancelAllOperations();
}

void NetNetworkQueue::addOperation(std::shared_ptr<Operation> operation) {
  auto request = std::dynamic_pointer_cast<NetHTTPRequest>(operation);
  if (!request)
    throw platform::Exception(
        "AttemptToAddInvalidRequest",
        "Attempted to add an object that was not an NetHTTPRequest to an NetNetworkQueue");
  {
    platform::MutexLock guard(fieldsLock_);
    pending_.push_back(request);
    requestsCount_.fetch_add(1);
  }
  if (showAccurateProgress()) {
    // Building the body may change the method (a GET with a body is sent as a POST).
    request->buildPostBody();
    // The size of a download is asked for ahead only before the batch starts: a request added
    // later would move the overall progress back anyway.
    if (request->requestMethod() == "GET" && isSuspended()) {
      auto head = request->HEADRequest();
      addHEADOperation(head);
      request->addDependency(head);
      if (request->shouldResetDownloadProgress()) {
        std::weak_ptr<NetProgressDelegate> download;
        {
          platform::MutexLock guard(fieldsLock_);
          download = downloadProgressDelegate_;
        }
        resetProgressDelegate(download);
        request->setShouldResetDownloadProgress(false);
      }
    }
    request->buildPostBody();
    totalBytesToUpload_.fetch_add(request->postLength());
  } else {
    totalBytesToDownload_.fetch_add(1);
    totalBytesToUpload_.fetch_add(1);
  }
  if (request->shouldResetUploadProgress()) {
    std::weak_ptr<NetProgressDelegate> upload;
    {
      platform::MutexLock guard(fieldsLock_);
      upload = uploadProgressDelegate_;
    }
    resetProgressDelegate(upload);
    request->setShouldResetUploadProgress(false);
  }
  request->setShowAccurateProgress(showAccurateProgress());
  request->setQueue(self());
  OperationQueue::addOperation(request);
  // A request that failed before it was given to the queue (a form whose file is missing) told
  // nobody here and will not run: count its failure, or the batch would never end.
  if (request->error()) {
    auto q = self();
    RunLoop::main().performOnMain([q, request] { q->requestFailed(*request); });
  }
}

void NetNetworkQueue::addHEADOperation(std::shared_ptr<Operation> operation) {
  auto request = std::dynamic_pointer_cast<NetHTTPRequest>(operation);
  if (!request) return;
  request->setRequestMethod("HEAD");
  request->setQueuePriority(10);
  request->setShowAccurateProgress(true);
  request->setQueue(self());
  OperationQueue::addOperation(request);
}

// --- receivers ---

std::shared_ptr<NetNetworkQueueDelegate> NetNetworkQueue::delegate() const {
  platform::MutexLock guard(fieldsLock_);
  return delegate_.lock();
}

void NetNetworkQueue::setDelegate(std::weak_ptr<NetNetworkQueueDelegate> delegate) {
  unsigned mask = respondsMask(delegate.lock().get());
  platform::MutexLock guard(fieldsLock_);
  delegate_ = std::move(delegate);
  delegateResponds_.store(mask);
}

std::shared_ptr<NetProgressDelegate> NetNetworkQueue::uploadProgressDelegate() const {
  platform::MutexLock guard(fieldsLock_);
  return uploadProgressDelegate_.lock();
}

void NetNetworkQueue::setUploadProgressDelegate(std::weak_ptr<NetProgressDelegate> delegate) {
  {
    platform::MutexLock guard(fieldsLock_);
    uploadProgressDelegate_ = delegate;
  }
  resetProgressDelegate(delegate);
}

std::shared_ptr<NetProgressDelegate> NetNetworkQueue::downloadProgressDelegate() const {
  platform::MutexLock guard(fieldsLock_);
  return downloadProgressDelegate_.lock();
}

void NetNetworkQueue::setDownloadProgressDelegate(std::weak_ptr<NetProgressDelegate> delegate) {
  {
    platform::MutexLock guard(fieldsLock_);
    downloadProgressDelegate_ = delegate;
  }
  resetProgressDelegate(delegate);
}

std::shared_ptr<const platform::Dictionary> NetNetworkQueue::userInfo() const {
  platform::MutexLock guard(fieldsLock_);
  return userInfo_;
}

void NetNetworkQueue::setUserInfo(std::shared_ptr<const platform::Dictionary> info) {
  platform::MutexLock guard(fieldsLock_);
  userInfo_ = std::move(info);
}

// --- progress ---

void NetNetworkQueue::resetProgressDelegate(const std::weak_ptr<NetProgressDelegate>& delegate) {
  if (delegate.expired()) return;
  auto call = [delegate] {
    if (auto d = delegate.lock()) d->setProgress(0.0f);
  };
  if (RunLoop::main().isCurrentThread())
    call();
  else
    RunLoop::main().performOnMain(call);
}

void NetNetworkQueue::updateProgress(const std::weak_ptr<NetProgressDelegate>& delegate, std::uint64_t soFar,
                                     std::uint64_t total) {
  auto d = delegate.lock();
  if (!d) return;
  platform::MutexLock progress(netdetail::shared().progressLock);
  d->setProgress(total > 0 ? static_cast<float>(static_cast<double>(soFar) / static_cast<double>(total))
                           : 0.0f);
}

void NetNetworkQueue::requestDidReceiveBytes(NetHTTPRequest&, std::int64_t bytes) {
  std::uint64_t soFar =
      bytesDownloadedSoFar_.fetch_add(static_cast<std::uint64_t>(bytes)) + static_cast<std::uint64_t>(bytes);
  std::weak_ptr<NetProgressDelegate> download;
  {
    platform::MutexLock guard(fieldsLock_);
    download = downloadProgressDelegate_;
  }
  updateProgress(download, soFar, totalBytesToDownload());
}

void NetNetworkQueue::requestDidSendBytes(NetHTTPRequest&, std::int64_t bytes) {
  std::uint64_t soFar =
      bytesUploadedSoFar_.fetch_add(static_cast<std::uint64_t>(bytes)) + static_cast<std::uint64_t>(bytes);
  std::weak_ptr<NetProgressDelegate> upload;
  {
    platform::MutexLock guard(fieldsLock_);
    upload = uploadProgressDelegate_;
  }
  updateProgress(upload, soFar, totalBytesToUpload());
}

void NetNetworkQueue::requestIncrementDownloadSizeBy(NetHTTPRequest&, std::int64_t newLength) {
  totalBytesToDownload_.fetch_add(static_cast<std::uint64_t>(newLength));
}

void NetNetworkQueue::requestIncrementUploadSizeBy(NetHTTPRequest&, std::int64_t newLength) {
  totalBytesToUpload_.fetch_add(static_cast<std::uint64_t>(newLength));
}

// --- request events ---

bool NetNetworkQueue::forwards(NetDelegateMethod method) const {
  if (method == NetDelegateMethod::DidReceiveData) return false;
  platform::MutexLock guard(fieldsLock_);
  return !delegate_.expired() && (delegateResponds_.load() & bit(method));
}

void NetNetworkQueue::requestStarted(NetHTTPRequest& request) {
  if (auto d = delegate()) d->requestStarted(request);
}

void NetNetworkQueue::requestDidReceiveResponseHeaders(NetHTTPRequest& request,
                                                       const NetHeaderDictionary& headers) {
  if (auto d = delegate()) d->requestDidReceiveResponseHeaders(request, headers);
}

void NetNetworkQueue::requestWillRedirectToURL(NetHTTPRequest& request, const platform::URL& newURL) {
  if (!forwards(NetDelegateMethod::WillRedirectToURL)) return;
  if (auto* confirmer = dynamic_cast<NetRedirectConfirmer*>(delegate().get()))
    confirmer->requestWillRedirectToURL(request, newURL);
}

void NetNetworkQueue::requestFinished(NetHTTPRequest& request) { requestEnded(request, false); }

void NetNetworkQueue::requestFailed(NetHTTPRequest& request) { requestEnded(request, true); }

void NetNetworkQueue::requestEnded(NetHTTPRequest& request, bool failed) {
  int remaining;
  {
    // Each request of the batch ends once here, however many reports of its end arrive.
    auto strong = std::static_pointer_cast<NetHTTPRequest>(request.shared_from_this());
    platform::MutexLock guard(fieldsLock_);
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [&](const std::weak_ptr<NetHTTPRequest>& w) { return sameRequest(w, strong); });
    if (it == pending_.end()) return;
    pending_.erase(it);
    remaining = requestsCount_.fetch_sub(1) - 1;
  }
  auto d = delegate();
  if (d) {
    if (failed)
      d->requestFailed(request);
    else
      d->requestFinished(request);
  }
  if (remaining == 0) {
    if (auto current = delegate()) current->queueFinished(*this);
  }
  if (failed && shouldCancelAllRequestsOnFailure() && remaining >= 1) cancelAllOperations();
}

void NetNetworkQueue::authenticationNeededForRequest(NetHTTPRequest& request) {
  if (!forwards(NetDelegateMethod::AuthenticationNeeded)) return;
  if (auto* responder = dynamic_cast<NetAuthenticationResponder*>(delegate().get()))
    responder->authenticationNeededForRequest(request);
}

void NetNetworkQueue::proxyAuthenticationNeededForRequest(NetHTTPRequest& request) {
  if (!forwards(NetDelegateMethod::ProxyAuthenticationNeeded)) return;
  if (auto* responder = dynamic_cast<NetProxyAuthenticationResponder*>(delegate().get()))
    responder->proxyAuthenticationNeededForRequest(request);
}

}  // namespace kavro
