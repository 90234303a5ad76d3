#pragma once
#include <memory>
#include <optional>
#include <variant>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace platform {

// The kinds of remote notification an application asks for (a bit set).
enum RemoteNotificationType : unsigned {
  RemoteNotificationTypeNone = 0,
  RemoteNotificationTypeBadge = 1,
  RemoteNotificationTypeSound = 2,
  RemoteNotificationTypeAlert = 4
};

class PushRegistrationDelegate {
 public:
  virtual ~PushRegistrationDelegate() = default;
  virtual void didRegisterForRemoteNotificationsWithDeviceToken(const Data& deviceToken) = 0;
  virtual void didFailToRegisterForRemoteNotificationsWithError(const Error& error) = 0;
};

// Registration with the push service, as the application object does it: the application asks,
// and the answer (a device token or an error) reaches its delegate later, through the main run
// loop. There is no push service here: tests and the runner decide the answer, either beforehand
// (setAnswer: given at the next turn of the main loop after each request) or by hand at any time
// (deliverDeviceToken, deliverError). Requests are counted and their types kept. Main thread only.
class PushRegistration {
 public:
  static PushRegistration& sharedPushRegistration();
  static void destroySharedPushRegistration();

  void setDelegate(std::weak_ptr<PushRegistrationDelegate> delegate);

  // types: RemoteNotificationType bits.
  void registerForRemoteNotificationTypes(unsigned types);
  void unregisterForRemoteNotifications();
  // The types of the last request once a token has been delivered for it; 0 otherwise.
  unsigned enabledRemoteNotificationTypes() const;
  // The token last delivered; none before and after unregistering.
  std::optional<Data> deviceToken() const;

  int registrationRequestCount() const;
  unsigned requestedTypes() const;

  // The push service's side.
  void setAnswer(Data deviceToken);
  void setAnswer(Error error);
  void clearAnswer();
  void deliverDeviceToken(Data deviceToken);
  void deliverError(Error error);

  struct State;
  PushRegistration();

 private:
  std::shared_ptr<State> state_;
};

}  // namespace platform
