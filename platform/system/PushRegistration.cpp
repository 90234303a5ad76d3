#include "platform/system/PushRegistration.h"

#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

struct PushRegistration::State {
  std::weak_ptr<PushRegistrationDelegate> delegate;
  std::optional<std::variant<Data, Error>> answer;
  std::optional<Data> token;
  unsigned requestedTypes = 0;
  unsigned enabledTypes = 0;
  int requests = 0;
};

namespace {

platform::Mutex sharedMutex;
std::unique_ptr<PushRegistration> sharedInstance GUARDED_BY(sharedMutex);

// By value: a delegate may destroy the registration it is told by.
void deliver(std::shared_ptr<PushRegistration::State> state, const std::variant<Data, Error>& answer) {
  if (const Data* token = std::get_if<Data>(&answer)) {
    state->token = *token;
    state->enabledTypes = state->requestedTypes;
    if (auto d = state->delegate.lock()) d->didRegisterForRemoteNotificationsWithDeviceToken(*token);
  } else {
    state->enabledTypes = 0;
    if (auto d = state->delegate.lock())
      d->didFailToRegisterForRemoteNotificationsWithError(std::get<Error>(answer));
  }
}

}  // namespace

PushRegistration::PushRegistration() : state_(std::make_shared<State>()) {}

PushRegistration& PushRegistration::sharedPushRegistration() {
  platform::MutexLock lock(sharedMutex);
  if (!sharedInstance) sharedInstance = std::make_unique<PushRegistration>();
  return *sharedInstance;
}

void PushRegistration::destroySharedPushRegistration() {
  platform::MutexLock lock(sharedMutex);
  sharedInstance.reset();
}

void PushRegistration::setDelegate(std::weak_ptr<PushRegistrationDelegate> delegate) {
  state_->delegate = std::move(delegate);
}

void PushRegistration::registerForRemoteNotificationTypes(unsigned types) {
  ++state_->requests;
  state_->requestedTypes = types;
  if (!state_->answer) return;
  // Weakly held: a registration destroyed before the loop turns hears nothing more.
  std::weak_ptr<State> weak = state_;
  RunLoop::main().performOnMain([weak, answer = *state_->answer] {
    if (auto state = weak.lock()) deliver(state, answer);
  });
}

void PushRegistration::unregisterForRemoteNotifications() {
  state_->token.reset();
  state_->enabledTypes = 0;
}

unsigned PushRegistration::enabledRemoteNotificationTypes() const { return state_->enabledTypes; }
std::optional<Data> PushRegistration::deviceToken() const { return state_->token; }
int PushRegistration::registrationRequestCount() const { return state_->requests; }
unsigned PushRegistration::requestedTypes() const { return state_->requestedTypes; }

void PushRegistration::setAnswer(Data deviceToken) {
  state_->answer = std::variant<Data, Error>(std::move(deviceToken));
}
void PushRegistration::setAnswer(Error error) {
  state_->answer = std::variant<Data, Error>(std::move(error));
}
void PushRegistration::clearAnswer() { state_->answer.reset(); }

void PushRegistration::deliverDeviceToken(Data deviceToken) {
  deliver(state_, std::variant<Data, Error>(std::move(deviceToken)));
}

void PushRegistration::deliverError(Error error) {
  deliver(state_, std::variant<Data, Error>(std::move(error)));
}

}  // namespace platform
