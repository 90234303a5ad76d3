#include "kit/http/ui/NetAuthenticationDialog.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPAuthentication.h"
#include "platform/ui/TextField.h"

namespace kavro {
namespace {

constexpr double FieldHeight = 29, FieldGap = 8;

struct DialogState {
  std::shared_ptr<NetAuthenticationDialog> shown;
  std::vector<std::shared_ptr<NetHTTPRequest>> waiting;
};

DialogState& state() {
  static DialogState s;
  return s;
}

void prepareField(platform::TextField& field, std::string placeholder) {
  field.setPlaceholder(std::move(placeholder));
  field.setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  field.setAutocorrectionType(platform::TextAutocorrectionType::No);
}

// The login alert with a third field, the domain, under the password when NTLM needs one.
class LoginAlertView : public platform::AlertView {
 public:
  using AlertView::AlertView;
  std::shared_ptr<platform::TextField> domain;

  void layoutSubviews() override {
    AlertView::layoutSubviews();
    if (!domain) return;
    auto password = textFieldAtIndex(1);
    double y = password->frame().origin.y + FieldHeight + FieldGap;
    const double shift = FieldHeight + FieldGap;
    for (auto& sub : subviews())
      if (sub != domain && sub->frame().origin.y >= y) {
        auto f = sub->frame();
        f.origin.y += shift;
        sub->setFrame(f);
      }
    domain->setFrame(
        platform::Rect(password->frame().origin.x, y, password->frame().size.width, FieldHeight));
    if (domain->superviewPointer() != this) addSubview(domain);
    auto f = frame();
    f.origin.y -= std::floor(shift / 2);
    f.size.height += shift;
    setFrame(f);
  }
};

bool sameOptional(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

}  // namespace

void NetAuthenticationDialog::install() {
  NetHTTPRequest::setAuthenticationDialogPresenter([](std::shared_ptr<NetHTTPRequest> request) {
    presentAuthenticationDialogForRequest(std::move(request));
  });
}

void NetAuthenticationDialog::presentAuthenticationDialogForRequest(std::shared_ptr<NetHTTPRequest> request) {
  if (!request) return;
  auto& s = state();
  if (s.shown) {
    s.waiting.push_back(std::move(request));
    return;
  }
  Type type = request->authenticationNeeded() == NetHTTPRequest::ProxyAuthenticationNeeded
                  ? ProxyAuthentication
                  : ServerAuthentication;
  s.shown = std::make_shared<NetAuthenticationDialog>(std::move(request), type);
  s.shown->show();
}

void NetAuthenticationDialog::dismiss() {
  if (auto shown = state().shown) shown->dismissAlert();
}

std::shared_ptr<NetAuthenticationDialog> NetAuthenticationDialog::currentDialog() { return state().shown; }

std::vector<std::shared_ptr<NetHTTPRequest>> NetAuthenticationDialog::waitingRequests() {
  return state().waiting;
}

void NetAuthenticationDialog::resetForTesting() {
  auto& s = state();
  auto shown = std::move(s.shown);
  s.waiting.clear();
  if (shown) {
    shown->alert_->setDelegate({});
    shown->dismissAlert();
  }
  platform::RunLoop::main().cancelPerforms(&s);
}

NetAuthenticationDialog::NetAuthenticationDialog(std::shared_ptr<NetHTTPRequest> request, Type type)
    : request_(std::move(request)), type_(type) {}

NetAuthenticationDialog::~NetAuthenticationDialog() {
  if (alert_) alert_->setDelegate({});
}

std::optional<std::string> NetAuthenticationDialog::scheme() const {
  return type_ == ProxyAuthentication ? request_->proxyAuthenticationScheme()
                                      : request_->authenticationScheme();
}

std::shared_ptr<platform::TextField> NetAuthenticationDialog::usernameField() const {
  return alert_ ? alert_->textFieldAtIndex(0) : nullptr;
}

std::shared_ptr<platform::TextField> NetAuthenticationDialog::passwordField() const {
  return alert_ ? alert_->textFieldAtIndex(1) : nullptr;
}

void NetAuthenticationDialog::show() {
  std::string title;
  if (type_ == ProxyAuthentication) {
    title = request_->proxyHost().value_or("");
  } else if (auto url = request_->url()) {
    title = url->host();
  }
  std::string message =
      type_ == ProxyAuthentication ? "Login to this secure proxy server." : "Login to this secure server.";
  if (auto realm = type_ == ProxyAuthentication ? request_->proxyAuthenticationRealm()
                                                : request_->authenticationRealm())
    message += "\n" + *realm;
  // Basic sends the password readable by anyone on the way: over plain HTTP to the server, and
  // always to a proxy (the connection to it is not encrypted).
  auto url = request_->url();
  bool clear = scheme() == platform::HTTPAuthenticationSchemeBasic &&
               (type_ == ProxyAuthentication || !url || url->scheme() != "https");
  message += clear ? "\nPassword will be sent in the clear." : "\nPassword will be sent securely.";

  auto alert = std::make_shared<LoginAlertView>(title, message, weak_from_this(), std::string("Cancel"),
                                                std::vector<std::string>{"Login"});
  alert->setAlertViewStyle(platform::AlertViewStyle::LoginAndPasswordInput);
  prepareField(*alert->textFieldAtIndex(0), "User");
  prepareField(*alert->textFieldAtIndex(1), "Password");
  if (scheme() == platform::HTTPAuthenticationSchemeNTLM) {
    domainField_ = std::make_shared<platform::TextField>(platform::Rect(0, 0, 260, FieldHeight));
    domainField_->setBackgroundColor(platform::Color::white());
    domainField_->setBorderStyle(platform::TextBorderStyle::Line);
    prepareField(*domainField_, "Domain");
    alert->domain = domainField_;
  }
  alert_ = alert;
  alert_->show();
}

std::vector<std::shared_ptr<NetHTTPRequest>> NetAuthenticationDialog::requestsRequiringTheseCredentials()
    const {
  std::vector<std::shared_ptr<NetHTTPRequest>> out;
  auto url = request_->url();
  for (auto& other : state().waiting) {
    if (other == request_ || other->authenticationNeeded() != request_->authenticationNeeded()) continue;
    auto otherURL = other->url();
    if (!url || !otherURL) continue;
    if (otherURL->host() != url->host() || otherURL->port() != url->port() ||
        otherURL->scheme() != url->scheme())
      continue;
    if (!sameOptional(other->authenticationRealm(), request_->authenticationRealm())) continue;
    out.push_back(other);
  }
  out.push_back(request_);
  return out;
}

void NetAuthenticationDialog::removeFromWaitingList(const std::shared_ptr<NetHTTPRequest>& request) {
  auto& w = state().waiting;
  w.erase(std::remove(w.begin(), w.end(), request), w.end());
}

void NetAuthenticationDialog::loginWithCredentialsFromDialog() {
  auto self = shared_from_this();
  std::string user = usernameField() ? usernameField()->text() : "";
  std::string password = passwordField() ? passwordField()->text() : "";
  bool ntlm = scheme() == platform::HTTPAuthenticationSchemeNTLM;
  std::string domain = domainField_ ? domainField_->text() : "";
  for (auto& r : requestsRequiringTheseCredentials()) {
    if (type_ == ProxyAuthentication) {
      r->setProxyUsername(user);
      r->setProxyPassword(password);
      if (ntlm) r->setProxyDomain(domain);
    } else {
      r->setUsername(user);
      r->setPassword(password);
      if (ntlm) r->setDomain(domain);
    }
    r->retryUsingSuppliedCredentials();
    removeFromWaitingList(r);
  }
  dismissAlert();
}

void NetAuthenticationDialog::cancelAuthenticationFromDialog() {
  auto self = shared_from_this();
  for (auto& r : requestsRequiringTheseCredentials()) {
    r->cancelAuthentication();
    removeFromWaitingList(r);
  }
  dismissAlert();
}

void NetAuthenticationDialog::dismissAlert() {
  if (alert_ && alert_->isVisible()) alert_->dismissWithClickedButtonIndex(alert_->cancelButtonIndex(), true);
}

void NetAuthenticationDialog::clickedButtonAtIndex(platform::AlertView& alert, int buttonIndex) {
  if (buttonIndex == alert.cancelButtonIndex())
    cancelAuthenticationFromDialog();
  else
    loginWithCredentialsFromDialog();
}

void NetAuthenticationDialog::didDismissWithButtonIndex(platform::AlertView&, int) {
  auto& s = state();
  if (s.shown.get() != this) return;
  s.shown.reset();
  platform::RunLoop::main().performAfter(0, &s, [] { presentNextDialog(); });
}

void NetAuthenticationDialog::presentNextDialog() {
  auto& s = state();
  if (s.shown || s.waiting.empty()) return;
  auto next = s.waiting.front();
  s.waiting.erase(s.waiting.begin());
  presentAuthenticationDialogForRequest(std::move(next));
}

}  // namespace kavro
