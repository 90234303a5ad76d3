#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class Dictionary;

struct Notification {
  std::string name;
  const void* object = nullptr;  // the sender's identity, compared by address
  std::shared_ptr<const Dictionary> userInfo;
};

// Posted by the platform layer when memory runs low (tests post it by hand).
inline constexpr std::string_view MemoryWarningNotification = "ApplicationDidReceiveMemoryWarningNotification";

// Synchronous notifications: post() calls every matching observer on the posting thread before it
// returns. Observers added or removed during a post take effect for later posts; a removed observer
// is never called after removeObserver() returns on the posting thread.
class NotificationCenter {
 public:
  using Token = std::uint64_t;
  static NotificationCenter& defaultCenter();

  // name "" observes every name; object nullptr observes every sender. owner groups observers so
  // they can be removed together.
  Token addObserver(std::string_view name, const void* object, std::function<void(const Notification&)> fn,
                    const void* owner = nullptr);
  void removeObserver(Token token);
  void removeObserversOwnedBy(const void* owner);
  void post(std::string_view name, const void* object = nullptr,
            std::shared_ptr<const Dictionary> userInfo = nullptr);

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
