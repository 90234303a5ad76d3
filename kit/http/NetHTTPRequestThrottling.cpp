// Class-wide bandwidth budget, the network activity indicator, and progress reporting.
#include <numeric>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "kit/http/Reachability.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/NotificationCenter.h"

namespace kavro {

using netdetail::shared;

namespace {

double dateNow() { return platform::Date::now().timeIntervalSince1970(); }

bool throttledLocked(netdetail::SharedState& s) REQUIRES(s.bandwidthLock) {
  return s.isBandwidthThrottled || (!s.shouldThrottleBandwidthForWWANOnly && s.maxBandwidthPerSecond > 0);
}

// Closes the measurement window.
void recordBandwidthUsageLocked(netdetail::SharedState& s) REQUIRES(s.bandwidthLock) {
  double now = dateNow();
  if (s.bandwidthUsedInLastSecond == 0) {
    s.bandwidthUsageTracker.clear();
  } else {
    double interval = s.bandwidthMeasurementDate ? *s.bandwidthMeasurementDate - now : 0;
    while ((interval < 0 || s.bandwidthUsageTracker.size() > 5) && !s.bandwidthUsageTracker.empty()) {
      s.bandwidthUsageTracker.erase(s.bandwidthUsageTracker.begin());
      interval++;
    }
  }
  s.bandwidthUsageTracker.push_back(s.bandwidthUsedInLastSecond);
  s.bandwidthMeasurementDate = now + 1;
  s.bandwidthUsedInLastSecond = 0;
  unsigned long total = std::accumulate(s.bandwidthUsageTracker.begin(), s.bandwidthUsageTracker.end(), 0ul);
  s.averageBandwidthUsedPerSecond = total / s.bandwidthUsageTracker.size();
}

void hideNetworkActivityIndicatorIfNeeded() {
  platform::MutexLock pool(shared().connectionsLock);
  if (shared().runningRequestCount == 0) shared().indicatorVisible = false;
}

}  // namespace

// --- bandwidth ---

bool NetHTTPRequest::isBandwidthThrottled() {
  platform::MutexLock guard(shared().bandwidthLock);
  return throttledLocked(shared());
}

unsigned long NetHTTPRequest::maxBandwidthPerSecond() {
  platform::MutexLock guard(shared().bandwidthLock);
  return shared().maxBandwidthPerSecond;
}

void NetHTTPRequest::setMaxBandwidthPerSecond(unsigned long bytes) {
  platform::MutexLock guard(shared().bandwidthLock);
  shared().maxBandwidthPerSecond = bytes;
}

void NetHTTPRequest::incrementBandwidthUsedInLastSecond(unsigned long bytes) {
  platform::MutexLock guard(shared().bandwidthLock);
  shared().bandwidthUsedInLastSecond += bytes;
}

unsigned long NetHTTPRequest::averageBandwidthUsedPerSecond() {
  platform::MutexLock guard(shared().bandwidthLock);
  return shared().averageBandwidthUsedPerSecond;
}

void NetHTTPRequest::measureBandwidthUsage() {
  auto& s = shared();
  platform::MutexLock guard(s.bandwidthLock);
  if (!s.bandwidthMeasurementDate || *s.bandwidthMeasurementDate < dateNow()) recordBandwidthUsageLocked(s);
  if (throttledLocked(s) && s.maxBandwidthPerSecond > 0) {
    long long remaining =
        static_cast<long long>(s.maxBandwidthPerSecond) - static_cast<long long>(s.bandwidthUsedInLastSecond);
    if (remaining < 0)
      s.throttleWakeUpTime = *s.bandwidthMeasurementDate +
                             static_cast<double>(-remaining) / static_cast<double>(s.maxBandwidthPerSecond);
  }
}

unsigned long NetHTTPRequest::maxUploadReadLength() {
  auto& s = shared();
  platform::MutexLock guard(s.bandwidthLock);
  unsigned long toRead = s.maxBandwidthPerSecond / 4;
  if (s.maxBandwidthPerSecond > 0 && s.bandwidthUsedInLastSecond + toRead > s.maxBandwidthPerSecond)
    toRead = s.maxBandwidthPerSecond > s.bandwidthUsedInLastSecond
                 ? s.maxBandwidthPerSecond - s.bandwidthUsedInLastSecond
                 : 0;
  if (toRead == 0 || !s.bandwidthMeasurementDate || *s.bandwidthMeasurementDate < dateNow())
    s.throttleWakeUpTime = s.bandwidthMeasurementDate;
  return toRead;
}

std::size_t NetHTTPRequest::throttledReadSize(std::size_t bufferSize) {
  auto& s = shared();
  platform::MutexLock guard(s.bandwidthLock);
  if (throttledLocked(s) && s.maxBandwidthPerSecond > 0) {
    long long remaining =
        static_cast<long long>(s.maxBandwidthPerSecond) - static_cast<long long>(s.bandwidthUsedInLastSecond);
    if (remaining < 0)
      bufferSize = 1;
    else if (static_cast<unsigned long long>(remaining / 4) < bufferSize)
      bufferSize = static_cast<std::size_t>(remaining / 4);
  }
  return bufferSize < 1 ? 1 : bufferSize;
}

std::optional<double> NetHTTPRequest::throttleWakeUpTime() {
  platform::MutexLock guard(shared().bandwidthLock);
  return shared().throttleWakeUpTime;
}

void NetHTTPRequest::performThrottling() {
  // Also called from an upload's reads: lock_ keeps those apart from the run's own calls.
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!readStream_) return;
  measureBandwidthUsage();
  if (isBandwidthThrottled()) {
    auto wake = throttleWakeUpTime();
    if (!wake) return;
    if (*wake > dateNow()) {
      if (readStreamIsScheduled_) unscheduleReadStream();
    } else if (!readStreamIsScheduled_) {
      scheduleReadStream();
    }
  } else if (!readStreamIsScheduled_) {
    scheduleReadStream();
  }
}

void NetHTTPRequest::setShouldThrottleBandwidthForWWAN(bool throttle) {
  if (throttle) {
    throttleBandwidthForWWANUsingLimit(WWANBandwidthLimit);
    return;
  }
  unsubscribeFromNetworkReachabilityNotifications();
  platform::MutexLock guard(shared().bandwidthLock);
  shared().maxBandwidthPerSecond = 0;
  shared().isBandwidthThrottled = false;
  shared().shouldThrottleBandwidthForWWANOnly = false;
}

void NetHTTPRequest::throttleBandwidthForWWANUsingLimit(unsigned long limit) {
  {
    platform::MutexLock guard(shared().bandwidthLock);
    shared().shouldThrottleBandwidthForWWANOnly = true;
    shared().maxBandwidthPerSecond = limit;
  }
  registerForNetworkReachabilityNotifications();
  reachabilityChanged();
}

void NetHTTPRequest::registerForNetworkReachabilityNotifications() {
  platform::MutexLock guard(shared().defaultsLock);
  if (shared().reachabilityObserver) return;
  shared().internetReachability = Reachability::reachabilityForInternetConnection();
  if (shared().internetReachability) shared().internetReachability->startNotifier(platform::RunLoop::main());
  shared().reachabilityObserver = platform::NotificationCenter::defaultCenter().addObserver(
      kNetworkReachabilityChangedNotification, nullptr,
      [](const platform::Notification&) { reachabilityChanged(); });
}

void NetHTTPRequest::unsubscribeFromNetworkReachabilityNotifications() {
  std::uint64_t observer;
  std::shared_ptr<Reachability> reachability;
  {
    platform::MutexLock guard(shared().defaultsLock);
    observer = shared().reachabilityObserver;
    shared().reachabilityObserver = 0;
    reachability = std::move(shared().internetReachability);
  }
  if (observer) platform::NotificationCenter::defaultCenter().removeObserver(observer);
  if (reachability) reachability->stopNotifier();
}

bool NetHTTPRequest::isNetworkReachableViaWWAN() {
  auto reachability = Reachability::reachabilityForInternetConnection();
  return reachability && reachability->currentReachabilityStatus() == NetworkStatusViaWWAN;
}

void NetHTTPRequest::reachabilityChanged() {
  bool wwan = isNetworkReachableViaWWAN();
  platform::MutexLock guard(shared().bandwidthLock);
  shared().isBandwidthThrottled = wwan;
}

// --- activity indicator ---

bool NetHTTPRequest::isNetworkInUse() {
  platform::MutexLock pool(shared().connectionsLock);
  return shared().runningRequestCount > 0;
}

void NetHTTPRequest::setShouldUpdateNetworkActivityIndicator(bool value) {
  platform::MutexLock pool(shared().connectionsLock);
  shared().shouldUpdateNetworkActivityIndicator = value;
}

bool NetHTTPRequest::isNetworkActivityIndicatorVisible() { return shared().indicatorVisible.load(); }

void NetHTTPRequest::showNetworkActivity() {
  platform::MutexLock pool(shared().connectionsLock);
  shared().runningRequestCount++;
  if (shared().shouldUpdateNetworkActivityIndicator) shared().indicatorVisible = true;
}

void NetHTTPRequest::hideNetworkActivity() {
  platform::MutexLock pool(shared().connectionsLock);
  if (shared().runningRequestCount > 0) shared().runningRequestCount--;
  if (shared().shouldUpdateNetworkActivityIndicator && shared().runningRequestCount == 0) {
    // Hidden half a second later unless another request started meanwhile: no flicker between requests.
    performOnMainThread([] {
      auto& main = platform::RunLoop::main();
      main.cancelPerforms(&shared());
      main.performAfter(0.5, &shared(), [] { hideNetworkActivityIndicatorIfNeeded(); });
    });
  }
}

// --- progress ---

void NetHTTPRequest::performProgress(ProgressTarget target,
                                     std::function<void(NetProgressDelegate&, NetHTTPRequest&)> call) {
  auto pick = [target](NetHTTPRequest& r) -> std::shared_ptr<NetProgressDelegate> {
    platform::MutexLock guard(r.lock_);
    switch (target) {
      case ProgressTarget::Upload:
        return r.uploadProgressDelegate_.lock();
      case ProgressTarget::Download:
        return r.downloadProgressDelegate_.lock();
      case ProgressTarget::Queue:
        return r.queue_;
    }
    return nullptr;
  };
  {
    platform::MutexLock guard(lock_);
    bool present = target == ProgressTarget::Queue    ? queue_ != nullptr
                   : target == ProgressTarget::Upload ? !uploadProgressDelegate_.expired()
                                                      : !downloadProgressDelegate_.expired();
    if (!present) return;
  }
  auto s = self();
  performOnMainThread([s, pick, call] {
    // Read again at delivery: a receiver cleared meanwhile hears nothing.
    if (auto receiver = pick(*s)) call(*receiver, *s);
  });
}

void NetHTTPRequest::updateProgressIndicator(ProgressTarget target, double progress, double total) {
  platform::MutexLock progressGuard(shared().progressLock);
  float fraction = total > 0 ? static_cast<float>(progress / total) : 0.0f;
  performProgress(target, [fraction](NetProgressDelegate& d, NetHTTPRequest&) { d.setProgress(fraction); });
}

void NetHTTPRequest::updateProgressIndicators() {
  platform::MutexLock guard(lock_);
  if (hasMainRequest()) return;
  if (showAccurateProgress_ || (running_.complete && !updatedProgress_)) {
    updateUploadProgress();
    updateDownloadProgress();
  }
}

void NetHTTPRequest::updateDownloadProgress() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (!running_.headers || needsRedirect_ || (running_.contentLength == 0 && !running_.complete)) return;
  std::uint64_t soFar = running_.totalBytesRead + partialDownloadSize_;
  std::int64_t value;
  if (showAccurateProgress_ && running_.contentLength > 0) {
    value = static_cast<std::int64_t>(soFar) - static_cast<std::int64_t>(lastBytesRead_);
  } else {
    value = 1;
    updatedProgress_ = true;
  }
  if (value == 0) return;
  auto received = [value](NetProgressDelegate& d, NetHTTPRequest& r) { d.requestDidReceiveBytes(r, value); };
  performProgress(ProgressTarget::Queue, received);
  performProgress(ProgressTarget::Download, received);
  std::uint64_t total = running_.contentLength + partialDownloadSize_;
  updateProgressIndicator(ProgressTarget::Download, static_cast<double>(soFar), static_cast<double>(total));
  auto s = self();
  performOnMainThread([s, value, total] {
    SizeBlock block;
    {
      platform::MutexLock g(s->lock_);
      if (s->blocks_) block = s->blocks_->bytesReceived;
    }
    if (block) block(static_cast<std::uint64_t>(value), total);
  });
  lastBytesRead_ = soFar;
}

void NetHTTPRequest::updateUploadProgress() {
  platform::MutexLock guard(lock_);
  requestThread_.claim();
  if (cancelled_ || running_.totalBytesSent == 0) return;
  if (uploadBufferSize_ == 0 && running_.totalBytesSent != postLength_) {
    uploadBufferSize_ = running_.totalBytesSent;
    incrementUploadSizeBy(-static_cast<std::int64_t>(uploadBufferSize_));
  }
  std::int64_t value;
  if (showAccurateProgress_) {
    if (running_.totalBytesSent != postLength_ && lastBytesSent_ == 0) return;
    value = static_cast<std::int64_t>(running_.totalBytesSent) - static_cast<std::int64_t>(lastBytesSent_);
  } else {
    value = 1;
    updatedProgress_ = true;
  }
  if (value == 0) return;
  auto sent = [value](NetProgressDelegate& d, NetHTTPRequest& r) { d.requestDidSendBytes(r, value); };
  performProgress(ProgressTarget::Queue, sent);
  performProgress(ProgressTarget::Upload, sent);
  updateProgressIndicator(ProgressTarget::Upload,
                          static_cast<double>(running_.totalBytesSent - uploadBufferSize_),
                          static_cast<double>(postLength_ - uploadBufferSize_));
  auto s = self();
  std::uint64_t total = postLength_;
  performOnMainThread([s, value, total] {
    SizeBlock block;
    {
      platform::MutexLock g(s->lock_);
      if (s->blocks_) block = s->blocks_->bytesSent;
    }
    if (block) block(static_cast<std::uint64_t>(value), total);
  });
}

void NetHTTPRequest::incrementDownloadSizeBy(std::int64_t length) {
  auto change = [length](NetProgressDelegate& d, NetHTTPRequest& r) {
    d.requestIncrementDownloadSizeBy(r, length);
  };
  performProgress(ProgressTarget::Queue, change);
  performProgress(ProgressTarget::Download, change);
  auto s = self();
  performOnMainThread([s, length] {
    ProgressBlock block;
    {
      platform::MutexLock g(s->lock_);
      if (s->blocks_) block = s->blocks_->downloadSizeIncremented;
    }
    if (block) block(length);
  });
}

void NetHTTPRequest::incrementUploadSizeBy(std::int64_t length) {
  auto change = [length](NetProgressDelegate& d, NetHTTPRequest& r) {
    d.requestIncrementUploadSizeBy(r, length);
  };
  performProgress(ProgressTarget::Queue, change);
  performProgress(ProgressTarget::Upload, change);
  auto s = self();
  performOnMainThread([s, length] {
    ProgressBlock block;
    {
      platform::MutexLock g(s->lock_);
      if (s->blocks_) block = s->blocks_->uploadSizeIncremented;
    }
    if (block) block(length);
  });
}

void NetHTTPRequest::removeUploadProgressSoFar() {
  platform::MutexLock guard(lock_);
  std::int64_t value = -static_cast<std::int64_t>(running_.totalBytesSent);
  auto sent = [value](NetProgressDelegate& d, NetHTTPRequest& r) { d.requestDidSendBytes(r, value); };
  performProgress(ProgressTarget::Queue, sent);
  performProgress(ProgressTarget::Upload, sent);
  updateProgressIndicator(ProgressTarget::Upload, 0, static_cast<double>(postLength_));
  auto s = self();
  std::uint64_t total = postLength_;
  performOnMainThread([s, value, total] {
    SizeBlock block;
    {
      platform::MutexLock g(s->lock_);
      if (s->blocks_) block = s->blocks_->bytesSent;
    }
    if (block) block(static_cast<std::uint64_t>(value), total);
  });
}

}  // namespace kavro
