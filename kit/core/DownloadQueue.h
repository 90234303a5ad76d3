#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kit/core/DataHttpConnection.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

// Lets several views wait for the same download without fetching it twice: one DataHttpConnection
// per URL text, and every callback of it goes to each delegate registered for that URL, in order of
// registration (once per registration). A download stops when its last delegate is removed. The
// queue holds delegates weakly and skips those that are gone; it forgets a connection before it
// hands over its result, so a delegate that asks for the URL again starts a new download; and it
// never destroys a connection inside that connection's own callback. Process-wide; main thread.
class DownloadQueue : private DataHttpConnectionDelegate {
 public:
  static DownloadQueue& sharedDownloadQueue();
  // Stops every running download (no callbacks) and drops the instance (tests).
  static void destroySharedDownloadQueue();

  // Joins the download of url, or starts it (GET without a body, POST with one; a body given when
  // the download already runs is ignored). Answers the shared connection.
  static std::shared_ptr<DataHttpConnection> addRequestURL(
      std::string_view url, std::weak_ptr<DataHttpConnectionDelegate> delegate);
  static std::shared_ptr<DataHttpConnection> addRequestURL(
      std::string_view url, std::optional<platform::Data> postData,
      std::weak_ptr<DataHttpConnectionDelegate> delegate);
  // Drops every registration of delegate for url (by identity, so a destructor can call it); the
  // download stops when none is left.
  static void removeRequestURL(std::string_view url, const DataHttpConnectionDelegate* delegate);
  // Stops the download of url and forgets it with all its delegates; nobody is told.
  static void stopRequestURL(std::string_view url);
  // Entries the queue holds for running downloads, two a download (by URL and by connection): 0
  // once every download ended, failed or was stopped.
  static std::size_t entryCount();

  ~DownloadQueue() override;
  DownloadQueue(const DownloadQueue&) = delete;
  DownloadQueue& operator=(const DownloadQueue&) = delete;

 private:
  struct Token {};

 public:
  explicit DownloadQueue(Token) {}

 private:
  struct Registration {
    std::uint64_t serial;
    const DataHttpConnectionDelegate* identity;
    std::weak_ptr<DataHttpConnectionDelegate> delegate;
  };
  struct Download {
    std::shared_ptr<DataHttpConnection> connection;
    std::vector<Registration> delegates;
  };

  static std::shared_ptr<DownloadQueue> instance();

  std::shared_ptr<DataHttpConnection> add(std::string_view url, std::optional<platform::Data> postData,
                                          std::weak_ptr<DataHttpConnectionDelegate> delegate);
  void remove(std::string_view url, const DataHttpConnectionDelegate* delegate);
  void stop(std::string_view url);
  // Takes the download out of every map; the caller retires its connection.
  std::optional<Download> forget(DataHttpConnection& connection) REQUIRES(mutex_);
  // Stops a connection and lets it go from the run loop, outside any callback of its own.
  static void retire(std::shared_ptr<DataHttpConnection> connection);
  bool isRegistered(const std::string& url, std::uint64_t serial) const REQUIRES(mutex_);

  void connectionOnError(DataHttpConnection& connection, const platform::Error& error) override;
  void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) override;
  void connectionOnDownloadedSize(DataHttpConnection& connection, std::int64_t size) override;

  // Taken again by stop() and by delegates' calls while a callback holds it.
  platform::RecursiveMutex mutex_;
  std::map<std::string, Download, std::less<>> url2conn_ GUARDED_BY(mutex_);
  std::unordered_map<const DataHttpConnection*, std::string> conn2url_ GUARDED_BY(mutex_);
  std::uint64_t nextSerial_ GUARDED_BY(mutex_) = 1;
  // Set once before the queue is shared.
  std::weak_ptr<DownloadQueue> self_;
};

}  // namespace kavro
