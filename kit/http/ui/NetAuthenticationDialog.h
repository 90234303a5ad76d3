#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/http/NetHTTPRequest.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

namespace platform {
class NavigationBar;
class TextField;
}  // namespace platform

namespace kavro {

// A controller that allows every interface orientation.
class NetAutorotatingViewController : public platform::ViewController {
 public:
  bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation) override { return true; }
};

// The engine's login sheet: asks for user name and password (and the domain for NTLM) when a
// server or proxy wants credentials the request cannot find, hands them to the request and to
// every waiting request that needs the same ones, and lets them retry; or cancels their
// authentication. One sheet at a time; later requests wait in arrival order, and the next one's
// sheet opens a turn after the last has disappeared.
//
// Presented modally from an invisible controller in the application's first window: a navigation
// bar (the prompt in portrait, the host or the proxy host as title, Cancel and "Login"), then a
// grouped table: the user name and the password, the domain in a section of its own for NTLM, the
// realm above and whether the password travels in the clear below. Main thread only.
class NetAuthenticationDialog : public NetAutorotatingViewController,
                                public platform::TableViewDataSource,
                                public platform::TableViewDelegate {
 public:
  enum Type : int { ServerAuthentication = 0, ProxyAuthentication = 1 };

  // Makes the sheet the engine shows (NetHTTPRequest::setAuthenticationDialogPresenter).
  static void install();
  // Shows a sheet for the request, or queues it while one is shown.
  static void presentAuthenticationDialogForRequest(std::shared_ptr<NetHTTPRequest> request);
  // Dismisses the shown sheet (animated) without answering it.
  static void dismiss();
  static std::shared_ptr<NetAuthenticationDialog> currentDialog();
  static std::vector<std::shared_ptr<NetHTTPRequest>> waitingRequests();
  // Forgets the shown sheet (taken off screen at once) and the waiting requests (tests).
  static void resetForTesting();

  static std::shared_ptr<NetAuthenticationDialog> create(std::shared_ptr<NetHTTPRequest> request, Type type);
  ~NetAuthenticationDialog() override;

  const std::shared_ptr<NetHTTPRequest>& request() const { return request_; }
  Type type() const { return type_; }
  const std::shared_ptr<platform::NavigationBar>& navigationBar() const { return bar_; }
  const std::shared_ptr<platform::TableView>& tableView() const { return tableView_; }
  // The field of row 0 and row 1 of section 0; the domain's, row 0 of section 1 (null unless the
  // scheme is NTLM).
  std::shared_ptr<platform::TextField> usernameField();
  std::shared_ptr<platform::TextField> passwordField();
  std::shared_ptr<platform::TextField> domainField();

  // Builds the sheet and presents it.
  void show();
  // The Login and the Cancel item.
  void loginWithCredentialsFromDialog();
  void cancelAuthenticationFromDialog();
  // The waiting requests that need the same credentials, in arrival order, then this one's.
  std::vector<std::shared_ptr<NetHTTPRequest>> requestsRequiringTheseCredentials() const;
  // The sheet leaves the screen (animated).
  void dismissDialog();

  void viewDidDisappear(bool animated) override;

  int numberOfRowsInSection(platform::TableView& tv, int section) override;
  std::shared_ptr<platform::TableViewCell> cellForRowAtIndexPath(platform::TableView& tv,
                                                                 const platform::IndexPath& ip) override;
  std::optional<int> numberOfSectionsInTableView(platform::TableView& tv) override;
  std::optional<std::string> titleForHeaderInSection(platform::TableView& tv, int section) override;
  std::optional<std::string> titleForFooterInSection(platform::TableView& tv, int section) override;
  std::optional<double> heightForHeaderInSection(platform::TableView& tv, int section) override;
  std::optional<double> heightForFooterInSection(platform::TableView& tv, int section) override;
  std::optional<platform::IndexPath> willSelectRowAtIndexPath(platform::TableView& tv,
                                                              const platform::IndexPath& ip) override;

 private:
  NetAuthenticationDialog(std::shared_ptr<NetHTTPRequest> request, Type type);
  void init();
  static void presentNextDialog();
  // The scheme that decides the domain section: the proxy's for a proxy sheet.
  std::optional<std::string> scheme() const;
  bool asksForDomain() const;
  std::shared_ptr<platform::TextField> fieldAt(int section, int row);
  void removeFromWaitingList(const std::shared_ptr<NetHTTPRequest>& request);
  // The prompt for the orientation, the bar fitted to it and the table below it.
  void showTitle();
  void orientationChanged();
  void keyboardWillShow(const platform::Notification& n);
  const std::shared_ptr<platform::ViewController>& presentingController();

  std::shared_ptr<NetHTTPRequest> request_;
  Type type_;
  std::shared_ptr<platform::NavigationBar> bar_;
  std::shared_ptr<platform::TableView> tableView_;
  std::map<platform::IndexPath, std::shared_ptr<platform::TableViewCell>> cells_;
  std::shared_ptr<platform::ViewController> presentingController_;
  bool didEnableRotationNotifications_ = false;
  platform::NotificationCenter::Token keyboardToken_ = 0;
  platform::NotificationCenter::Token orientationToken_ = 0;
};

}  // namespace kavro
