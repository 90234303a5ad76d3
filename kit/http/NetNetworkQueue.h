#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestDelegate.h"
#include "kit/http/OperationQueue.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

class NetNetworkQueue;

// Hears how the requests of a queue go, on the main thread. Every method is optional. Besides
// the request events it is told once when the queue's last request has finished or failed.
// The redirect confirmation and the two credential requests reach it only when it has taken on
// their interfaces (NetRedirectConfirmer, NetAuthenticationResponder,
// NetProxyAuthenticationResponder); the queue passes them on only then.
class NetNetworkQueueDelegate : public NetHTTPRequestDelegate {
 public:
  virtual void queueFinished(NetNetworkQueue& queue) {}
};

// Runs a batch of requests, at most four at once, tells one delegate about each of them, adds up
// their progress for two progress delegates (in bytes with showAccurateProgress, else one unit
// per request and direction), says when the batch is done, and by default cancels the rest of
// the batch when one request fails.
//
// A queue is made suspended: requests added before go() wait (with accurate progress, each GET
// first gets a HEAD request that announces its size). Requests keep their queue alive while
// they hold it; the delegate and the progress delegates are held weakly. Every callback comes
// on the main thread; the figures may be read from any thread. Make queues with queue().
class NetNetworkQueue : public OperationQueue,
                        public NetHTTPRequestQueue,
                        public NetRedirectConfirmer,
                        public NetAuthenticationResponder,
                        public NetProxyAuthenticationResponder {
 public:
  static std::shared_ptr<NetNetworkQueue> queue();
  ~NetNetworkQueue() override;

  // A new queue with this one's receivers, switches and caller's data (not its requests or sums).
  std::shared_ptr<NetNetworkQueue> copy() const;

  // Starts the batch.
  void go();
  // Cancels everything and makes the queue fresh and suspended, without receivers.
  void reset();
  // Raises "AttemptToAddInvalidRequest" for an operation that is not a request.
  void addOperation(std::shared_ptr<Operation> operation) override;
  // Runs ahead of everything else and is counted neither in requestsCount nor in events.
  void addHEADOperation(std::shared_ptr<Operation> operation);
  // Also sets the four progress sums to 0.
  void cancelAllOperations() override;

  std::shared_ptr<NetNetworkQueueDelegate> delegate() const;
  void setDelegate(std::weak_ptr<NetNetworkQueueDelegate> delegate);
  std::shared_ptr<NetProgressDelegate> uploadProgressDelegate() const;
  // Stores, then sets the delegate's progress to 0.
  void setUploadProgressDelegate(std::weak_ptr<NetProgressDelegate> delegate);
  std::shared_ptr<NetProgressDelegate> downloadProgressDelegate() const;
  void setDownloadProgressDelegate(std::weak_ptr<NetProgressDelegate> delegate);

  std::uint64_t bytesUploadedSoFar() const { return bytesUploadedSoFar_.load(); }
  std::uint64_t totalBytesToUpload() const { return totalBytesToUpload_.load(); }
  std::uint64_t bytesDownloadedSoFar() const { return bytesDownloadedSoFar_.load(); }
  std::uint64_t totalBytesToDownload() const { return totalBytesToDownload_.load(); }
  bool shouldCancelAllRequestsOnFailure() const { return shouldCancelAllRequestsOnFailure_.load(); }
  void setShouldCancelAllRequestsOnFailure(bool value) { shouldCancelAllRequestsOnFailure_.store(value); }
  // Requests added and not yet finished or failed.
  int requestsCount() const { return requestsCount_.load(); }
  bool showAccurateProgress() const { return showAccurateProgress_.load(); }
  void setShowAccurateProgress(bool value) { showAccurateProgress_.store(value); }
  std::shared_ptr<const platform::Dictionary> userInfo() const;
  void setUserInfo(std::shared_ptr<const platform::Dictionary> info);

  // --- what the requests report (main thread) ---
  bool forwards(NetDelegateMethod method) const override;
  void requestStarted(NetHTTPRequest& request) override;
  void requestDidReceiveResponseHeaders(NetHTTPRequest& request, const NetHeaderDictionary& headers) override;
  void requestWillRedirectToURL(NetHTTPRequest& request, const platform::URL& newURL) override;
  void requestFinished(NetHTTPRequest& request) override;
  void requestFailed(NetHTTPRequest& request) override;
  void authenticationNeededForRequest(NetHTTPRequest& request) override;
  void proxyAuthenticationNeededForRequest(NetHTTPRequest& request) override;
  void requestDidReceiveBytes(NetHTTPRequest& request, std::int64_t bytes) override;
  void requestDidSendBytes(NetHTTPRequest& request, std::int64_t bytes) override;
  void requestIncrementDownloadSizeBy(NetHTTPRequest& request, std::int64_t newLength) override;
  void requestIncrementUploadSizeBy(NetHTTPRequest& request, std::int64_t newLength) override;

 private:
  NetNetworkQueue();

  std::shared_ptr<NetNetworkQueue> self();
  void requestEnded(NetHTTPRequest& request, bool failed);
  static void resetProgressDelegate(const std::weak_ptr<NetProgressDelegate>& delegate);
  static void updateProgress(const std::weak_ptr<NetProgressDelegate>& delegate, std::uint64_t soFar,
                             std::uint64_t total);

  mutable platform::Mutex fieldsLock_;
  std::weak_ptr<NetNetworkQueueDelegate> delegate_ GUARDED_BY(fieldsLock_);
  // The optional methods the delegate took on when it was set (a bit per NetDelegateMethod):
  // requests ask from the network thread.
  std::atomic<unsigned> delegateResponds_{0};
  std::weak_ptr<NetProgressDelegate> uploadProgressDelegate_ GUARDED_BY(fieldsLock_);
  std::weak_ptr<NetProgressDelegate> downloadProgressDelegate_ GUARDED_BY(fieldsLock_);
  std::shared_ptr<const platform::Dictionary> userInfo_ GUARDED_BY(fieldsLock_);
  // Requests added and not yet ended (requestsCount of them).
  std::vector<std::weak_ptr<NetHTTPRequest>> pending_ GUARDED_BY(fieldsLock_);

  std::atomic<std::uint64_t> bytesUploadedSoFar_{0};
  std::atomic<std::uint64_t> totalBytesToUpload_{0};
  std::atomic<std::uint64_t> bytesDownloadedSoFar_{0};
  std::atomic<std::uint64_t> totalBytesToDownload_{0};
  std::atomic<bool> shouldCancelAllRequestsOnFailure_{true};
  std::atomic<int> requestsCount_{0};
  std::atomic<bool> showAccurateProgress_{false};
};

}  // namespace kavro
