#pragma once
#include <memory>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "platform/ui/AlertView.h"

namespace platform {
class TextField;
}

namespace kavro {

// The engine's login sheet: asks for user name and password (and the domain for NTLM) when a
// server or proxy wants credentials the request cannot find, hands them to the request and to
// every waiting request that needs the same ones, and lets them retry; or cancels their
// authentication. One sheet at a time; later requests wait in arrival order.
//
// An alert: the host (the proxy host for a proxy) as title; the prompt, the realm and whether the
// password travels in the clear as message; the fields; "Cancel" (button 0) and "Login" (1).
// Main thread only.
class NetAuthenticationDialog : public platform::AlertViewDelegate,
                                public std::enable_shared_from_this<NetAuthenticationDialog> {
 public:
  enum Type : int { ServerAuthentication = 0, ProxyAuthentication = 1 };

  // Makes the sheet the engine shows (NetHTTPRequest::setAuthenticationDialogPresenter).
  static void install();
  // Shows a sheet for the request, or queues it while one is shown.
  static void presentAuthenticationDialogForRequest(std::shared_ptr<NetHTTPRequest> request);
  // Dismisses the shown sheet without answering it.
  static void dismiss();
  static std::shared_ptr<NetAuthenticationDialog> currentDialog();
  static std::vector<std::shared_ptr<NetHTTPRequest>> waitingRequests();
  // Forgets the shown sheet and the waiting requests (tests).
  static void resetForTesting();

  explicit NetAuthenticationDialog(std::shared_ptr<NetHTTPRequest> request, Type type);
  ~NetAuthenticationDialog() override;

  const std::shared_ptr<NetHTTPRequest>& request() const { return request_; }
  Type type() const { return type_; }
  const std::shared_ptr<platform::AlertView>& alertView() const { return alert_; }
  std::shared_ptr<platform::TextField> usernameField() const;
  std::shared_ptr<platform::TextField> passwordField() const;
  // Null unless the scheme is NTLM.
  std::shared_ptr<platform::TextField> domainField() const { return domainField_; }

  void show();
  void loginWithCredentialsFromDialog();
  void cancelAuthenticationFromDialog();
  // The waiting requests that need the same credentials, in arrival order, then this one's.
  std::vector<std::shared_ptr<NetHTTPRequest>> requestsRequiringTheseCredentials() const;

  void clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) override;
  void didDismissWithButtonIndex(platform::AlertView& alert, int buttonIndex) override;

 private:
  static void presentNextDialog();
  std::optional<std::string> scheme() const;
  void removeFromWaitingList(const std::shared_ptr<NetHTTPRequest>& request);
  void dismissAlert();

  std::shared_ptr<NetHTTPRequest> request_;
  Type type_;
  std::shared_ptr<platform::AlertView> alert_;
  std::shared_ptr<platform::TextField> domainField_;
};

}  // namespace kavro
