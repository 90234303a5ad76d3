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
inline constexpr std::string_view MemoryWarningNotification =
    "ApplicationDidReceiveMemoryWarningNotification";

// Synchronous notifications: post() calls every matching observer, in registration order, on the
// posting thread before it returns. Any thread may add, remove and post; observers are called
// without the centre's lock held, so they may post and add or remove observers themselves. An
// observer added during a post is called from the next post on. A removed observer is not called
// after removeObserver() has returned, also not later in a post that is under way; only a post
// running at that moment on another thread may still be inside it. An exception thrown by an
// observer ends the post and reaches the poster.
class NotificationCenter {
 public:
  using Token = std::uint64_t;
  static NotificationCenter& defaultCenter();

  // name "" observes every name; object nullptr observes every sender. owner groups observers so
  // they can be removed together (a null owner groups nothing).
  Token addObserver(std::string_view name, const void* object, std::function<void(const Notification&)> fn,
                    const void* owner = nullptr);
  void removeObserver(Token token);
  void removeObserversOwnedBy(const void* owner);
  // name must not be empty (std::invalid_argument).
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
