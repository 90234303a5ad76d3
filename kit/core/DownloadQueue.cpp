#include "kit/core/DownloadQueue.h"

#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

namespace {

platform::Mutex& instanceMutex() {
  static platform::Mutex mutex;
  return mutex;
}

// Never destroyed at exit: a download still running then must not reach services already gone.
std::shared_ptr<DownloadQueue>& instanceSlot() REQUIRES(instanceMutex()) {
  static auto* slot = new std::shared_ptr<DownloadQueue>();
  return *slot;
}

}  // namespace

std::shared_ptr<DownloadQueue> DownloadQueue::instance() {
  platform::MutexLock lock(instanceMutex());
  auto& slot = instanceSlot();
  if (!slot) {
    auto queue = std::make_shared<DownloadQueue>(Token{});
    queue->self_ = queue;
    slot = std::move(queue);
  }
  return slot;
}

DownloadQueue& DownloadQueue::sharedDownloadQueue() { return *instance(); }

void DownloadQueue::destroySharedDownloadQueue() {
  std::shared_ptr<DownloadQueue> queue;
  {
    platform::MutexLock lock(instanceMutex());
    queue = std::move(instanceSlot());
  }
  // The destructor stops what still runs.
}

DownloadQueue::~DownloadQueue() {
  for (auto& [url, download] : url2conn_) download.connection->stopLoading();
}

std::shared_ptr<DataHttpConnection> DownloadQueue::addRequestURL(
    std::string_view url, std::weak_ptr<DataHttpConnectionDelegate> delegate) {
  return instance()->add(url, std::nullopt, std::move(delegate));
}

std::shared_ptr<DataHttpConnection> DownloadQueue::addRequestURL(
    std::string_view url, std::optional<platform::Data> postData,
    std::weak_ptr<DataHttpConnectionDelegate> delegate) {
  return instance()->add(url, std::move(postData), std::move(delegate));
}

void DownloadQueue::removeRequestURL(std::string_view url, const DataHttpConnectionDelegate* delegate) {
  instance()->remove(url, delegate);
}

void DownloadQueue::stopRequestURL(std::string_view url) { instance()->stop(url); }

std::size_t DownloadQueue::entryCount() {
  auto queue = instance();
  platform::MutexLock lock(queue->mutex_);
  return queue->url2conn_.size() + queue->conn2url_.size();
}

std::shared_ptr<DataHttpConnection> DownloadQueue::add(std::string_view url,
                                                       std::optional<platform::Data> postData,
                                                       std::weak_ptr<DataHttpConnectionDelegate> delegate) {
  platform::MutexLock lock(mutex_);
  auto it = url2conn_.find(url);
  if (it == url2conn_.end()) {
    std::weak_ptr<DataHttpConnectionDelegate> me = std::shared_ptr<DataHttpConnectionDelegate>(
        self_.lock(), static_cast<DataHttpConnectionDelegate*>(this));
    Download download;
    download.connection = DataHttpConnection::create(url, std::move(postData), me);
    conn2url_[download.connection.get()] = std::string(url);
    it = url2conn_.emplace(std::string(url), std::move(download)).first;
  }
  const DataHttpConnectionDelegate* identity = delegate.lock().get();
  it->second.delegates.push_back({nextSerial_++, identity, std::move(delegate)});
  return it->second.connection;
}

void DownloadQueue::remove(std::string_view url, const DataHttpConnectionDelegate* delegate) {
  platform::MutexLock lock(mutex_);
  auto it = url2conn_.find(url);
  if (it == url2conn_.end()) return;
  std::erase_if(it->second.delegates, [delegate](const Registration& r) { return r.identity == delegate; });
  if (!it->second.delegates.empty()) return;
  auto connection = it->second.connection;
  conn2url_.erase(connection.get());
  url2conn_.erase(it);
  retire(std::move(connection));
}

void DownloadQueue::stop(std::string_view url) {
  platform::MutexLock lock(mutex_);
  auto it = url2conn_.find(url);
  if (it == url2conn_.end()) return;
  auto connection = it->second.connection;
  conn2url_.erase(connection.get());
  url2conn_.erase(it);
  retire(std::move(connection));
}

std::optional<DownloadQueue::Download> DownloadQueue::forget(DataHttpConnection& connection) {
  auto byConnection = conn2url_.find(&connection);
  if (byConnection == conn2url_.end()) return std::nullopt;
  auto it = url2conn_.find(byConnection->second);
  conn2url_.erase(byConnection);
  if (it == url2conn_.end()) return std::nullopt;
  Download download = std::move(it->second);
  url2conn_.erase(it);
  return download;
}

void DownloadQueue::retire(std::shared_ptr<DataHttpConnection> connection) {
  connection->stopLoading();
  platform::RunLoop::main().performOnMain(
      [connection = std::move(connection)]() mutable { connection.reset(); });
}

bool DownloadQueue::isRegistered(const std::string& url, std::uint64_t serial) const {
  auto it = url2conn_.find(url);
  if (it == url2conn_.end()) return false;
  for (const auto& r : it->second.delegates)
    if (r.serial == serial) return true;
  return false;
}

void DownloadQueue::connectionOnDownloadedSize(DataHttpConnection& connection, std::int64_t size) {
  platform::MutexLock lock(mutex_);
  auto self = self_.lock();
  auto byConnection = conn2url_.find(&connection);
  if (byConnection == conn2url_.end()) return;
  const std::string url = byConnection->second;
  // A copy: callbacks may add and remove registrations; one removed meanwhile is not told.
  const std::vector<Registration> delegates = url2conn_.at(url).delegates;
  for (const auto& r : delegates) {
    if (!isRegistered(url, r.serial) || conn2url_.count(&connection) == 0) continue;
    if (auto delegate = r.delegate.lock()) delegate->connectionOnDownloadedSize(connection, size);
  }
  // Nobody left to wait: the download stops.
  auto it = url2conn_.find(url);
  if (it == url2conn_.end() || it->second.connection.get() != &connection) return;
  std::erase_if(it->second.delegates, [](const Registration& r) { return r.delegate.expired(); });
  if (it->second.delegates.empty()) stop(url);
}

void DownloadQueue::connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) {
  platform::MutexLock lock(mutex_);
  auto self = self_.lock();
  auto download = forget(connection);
  if (!download) return;
  retire(download->connection);
  for (const auto& r : download->delegates) {
    if (auto delegate = r.delegate.lock()) delegate->connectionOnReceived(connection, data);
  }
}

void DownloadQueue::connectionOnError(DataHttpConnection& connection, const platform::Error& error) {
  platform::MutexLock lock(mutex_);
  auto self = self_.lock();
  auto download = forget(connection);
  if (!download) return;
  retire(download->connection);
  for (const auto& r : download->delegates) {
    if (auto delegate = r.delegate.lock()) delegate->connectionOnError(connection, error);
  }
}

}  // namespace kavro
