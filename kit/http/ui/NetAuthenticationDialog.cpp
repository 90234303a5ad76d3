#include "kit/http/ui/NetAuthenticationDialog.h"

#include <algorithm>
#include <numbers>

#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPAuthentication.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Device.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/RectValue.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"

namespace kavro {
namespace {

using platform::IndexPath;
using platform::Point;
using platform::Rect;

struct DialogState {
  std::shared_ptr<NetAuthenticationDialog> shown;
  std::vector<std::shared_ptr<NetHTTPRequest>> waiting;
};

DialogState& state() {
  static DialogState s;
  return s;
}

bool sameOptional(const std::optional<std::string>& a, const std::optional<std::string>& b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

// The headless platform has no status bar that turns: the interface follows the device.
bool isLandscape() {
  auto o = platform::Device::currentDevice().orientation();
  return o == platform::DeviceOrientation::LandscapeLeft || o == platform::DeviceOrientation::LandscapeRight;
}

// The interface turns against the device: the device held landscape left shows it landscape right.
double rotationForOrientation() {
  switch (platform::Device::currentDevice().orientation()) {
    case platform::DeviceOrientation::PortraitUpsideDown:
      return std::numbers::pi;
    case platform::DeviceOrientation::LandscapeRight:
      return std::numbers::pi / 2;
    case platform::DeviceOrientation::LandscapeLeft:
      return -std::numbers::pi / 2;
    default:
      return 0;
  }
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
  s.shown = create(std::move(request), type);
  s.shown->show();
}

void NetAuthenticationDialog::dismiss() {
  if (auto shown = state().shown) shown->dismissDialog();
}

std::shared_ptr<NetAuthenticationDialog> NetAuthenticationDialog::currentDialog() { return state().shown; }

std::vector<std::shared_ptr<NetHTTPRequest>> NetAuthenticationDialog::waitingRequests() {
  return state().waiting;
}

void NetAuthenticationDialog::resetForTesting() {
  auto& s = state();
  auto shown = std::move(s.shown);
  s.waiting.clear();
  platform::RunLoop::main().cancelPerforms(&s);
  if (shown && shown->presentingViewController()) shown->dismissViewControllerAnimated(false);
}

std::shared_ptr<NetAuthenticationDialog> NetAuthenticationDialog::create(
    std::shared_ptr<NetHTTPRequest> request, Type type) {
  std::shared_ptr<NetAuthenticationDialog> dialog(new NetAuthenticationDialog(std::move(request), type));
  dialog->init();
  return dialog;
}

NetAuthenticationDialog::NetAuthenticationDialog(std::shared_ptr<NetHTTPRequest> request, Type type)
    : request_(std::move(request)), type_(type) {}

void NetAuthenticationDialog::init() {
  auto& center = platform::NotificationCenter::defaultCenter();
  std::weak_ptr<NetAuthenticationDialog> weak = weakAs<NetAuthenticationDialog>();
  keyboardToken_ = center.addObserver(
      platform::KeyboardWillShowNotification, nullptr,
      [weak](const platform::Notification& n) {
        if (auto self = weak.lock()) self->keyboardWillShow(n);
      },
      this);
  auto& device = platform::Device::currentDevice();
  if (device.userInterfaceIdiom() == platform::UserInterfaceIdiom::Phone) {
    if (!device.isGeneratingDeviceOrientationNotifications()) {
      device.beginGeneratingDeviceOrientationNotifications();
      didEnableRotationNotifications_ = true;
    }
    orientationToken_ = center.addObserver(
        platform::DeviceOrientationDidChangeNotification, nullptr,
        [weak](const platform::Notification&) {
          if (auto self = weak.lock()) self->orientationChanged();
        },
        this);
  }
}

NetAuthenticationDialog::~NetAuthenticationDialog() {
  auto& center = platform::NotificationCenter::defaultCenter();
  center.removeObserver(keyboardToken_);
  if (orientationToken_) center.removeObserver(orientationToken_);
  if (didEnableRotationNotifications_)
    platform::Device::currentDevice().endGeneratingDeviceOrientationNotifications();
  if (presentingController_ && presentingController_->isViewLoaded())
    presentingController_->view()->removeFromSuperview();
}

const std::shared_ptr<platform::ViewController>& NetAuthenticationDialog::presentingController() {
  if (!presentingController_) {
    presentingController_ = std::make_shared<NetAutorotatingViewController>();
    const auto& v = presentingController_->view();
    v->setFrame(Rect());
    v->setUserInteractionEnabled(false);
    auto windows = platform::Application::sharedApplication().windows();
    if (!windows.empty()) windows.front()->addSubview(v);
  }
  return presentingController_;
}

std::optional<std::string> NetAuthenticationDialog::scheme() const {
  return type_ == ProxyAuthentication ? request_->proxyAuthenticationScheme()
                                      : request_->authenticationScheme();
}

bool NetAuthenticationDialog::asksForDomain() const {
  return scheme() == platform::HTTPAuthenticationSchemeNTLM;
}

void NetAuthenticationDialog::show() {
  auto self = sharedAs<NetAuthenticationDialog>();
  const auto& v = view();
  for (auto sub : std::vector<std::shared_ptr<platform::View>>(v->subviews())) sub->removeFromSuperview();

  bar_ = std::make_shared<platform::NavigationBar>(Rect(0, 0, v->bounds().size.width, 0));
  bar_->setAutoresizingMask(platform::View::FlexibleWidth);
  auto item = std::make_shared<platform::NavigationItem>();
  std::string title;
  if (type_ == ProxyAuthentication)
    title = request_->proxyHost().value_or("");
  else if (auto url = request_->url())
    title = url->host();
  item->setTitle(title);
  std::weak_ptr<NetAuthenticationDialog> weak = self;
  item->setLeftBarButtonItem(std::make_shared<platform::BarButtonItem>(
      platform::BarButtonSystemItem::Cancel, [weak](platform::BarButtonItem&) {
        if (auto dialog = weak.lock()) dialog->cancelAuthenticationFromDialog();
      }));
  item->setRightBarButtonItem(std::make_shared<platform::BarButtonItem>(
      "Login", platform::BarButtonItemStyle::Done, [weak](platform::BarButtonItem&) {
        if (auto dialog = weak.lock()) dialog->loginWithCredentialsFromDialog();
      }));
  bar_->setItems({item}, false);
  v->addSubview(bar_);

  tableView_ = std::make_shared<platform::TableView>(Rect(), platform::TableViewStyle::Grouped);
  tableView_->setAutoresizingMask(platform::View::FlexibleWidth | platform::View::FlexibleHeight);
  tableView_->setDelegate(self);
  tableView_->setDataSource(self);
  v->addSubview(tableView_);
  showTitle();
  tableView_->reloadData();

  presentingController()->presentViewController(self, true);
  if (presentingViewController().get() != presentingController_.get()) {
    // Nowhere to show it (no window): the requests would wait for ever.
    cancelAuthenticationFromDialog();
    auto& s = state();
    if (s.shown == self) {
      s.shown.reset();
      platform::RunLoop::main().performAfter(0, &s, [] { presentNextDialog(); });
    }
    return;
  }
  if (auto field = usernameField()) field->becomeFirstResponder();
}

void NetAuthenticationDialog::showTitle() {
  if (!bar_ || !tableView_) return;
  std::string prompt;
  if (!isLandscape())
    prompt =
        type_ == ProxyAuthentication ? "Login to this secure proxy server." : "Login to this secure server.";
  bar_->topItem()->setPrompt(prompt);
  bar_->sizeToFit();
  Rect b = view()->bounds();
  double barHeight = bar_->frame().size.height;
  bar_->setFrame(Rect(0, 0, b.size.width, barHeight));
  tableView_->setFrame(Rect(0, barHeight, b.size.width, std::max(0.0, b.size.height - barHeight)));
}

void NetAuthenticationDialog::orientationChanged() {
  Rect app = platform::Screen::mainScreen().applicationFrame();
  double width = app.size.width, height = app.size.height;
  if (isLandscape()) std::swap(width, height);
  const auto& v = view();
  auto old = v->transform();
  v->setTransform(platform::AffineTransform::identity());
  v->setFrame(Rect(0, 0, width, height));
  v->setTransform(old);
  double angle = rotationForOrientation();
  platform::View::animate(0.3, [v, angle, app] {
    v->setTransform(platform::AffineTransform::makeRotation(angle));
    // The turned view's frame starts where the application's does.
    Rect f = v->frame();
    Point c = v->center();
    v->setCenter(Point{c.x + app.origin.x - f.origin.x, c.y + app.origin.y - f.origin.y});
  });
  showTitle();
}

void NetAuthenticationDialog::keyboardWillShow(const platform::Notification& n) {
  if (!tableView_ || !n.userInfo) return;
  const auto* value = n.userInfo->objectForKey(platform::KeyboardFrameEndUserInfoKey);
  if (!value) return;
  auto keyboard = platform::RectValue::rectFromValue(*value);
  if (!keyboard) return;
  auto insets = tableView_->contentInset();
  insets.bottom = keyboard->size.height;
  tableView_->setContentInset(insets);
  auto indicators = tableView_->scrollIndicatorInsets();
  indicators.bottom = keyboard->size.height;
  tableView_->setScrollIndicatorInsets(indicators);
}

std::shared_ptr<platform::TextField> NetAuthenticationDialog::fieldAt(int section, int row) {
  if (!tableView_ || section >= numberOfSectionsInTableView(*tableView_).value_or(1) ||
      row >= numberOfRowsInSection(*tableView_, section))
    return nullptr;
  auto cell = cellForRowAtIndexPath(*tableView_, IndexPath{section, row});
  const auto& subviews = cell->contentView()->subviews();
  return subviews.empty() ? nullptr : std::dynamic_pointer_cast<platform::TextField>(subviews.front());
}

std::shared_ptr<platform::TextField> NetAuthenticationDialog::usernameField() { return fieldAt(0, 0); }
std::shared_ptr<platform::TextField> NetAuthenticationDialog::passwordField() { return fieldAt(0, 1); }
std::shared_ptr<platform::TextField> NetAuthenticationDialog::domainField() { return fieldAt(1, 0); }

std::optional<int> NetAuthenticationDialog::numberOfSectionsInTableView(platform::TableView&) {
  return asksForDomain() ? 2 : 1;
}

int NetAuthenticationDialog::numberOfRowsInSection(platform::TableView&, int section) {
  return section == 0 ? 2 : 1;
}

std::shared_ptr<platform::TableViewCell> NetAuthenticationDialog::cellForRowAtIndexPath(
    platform::TableView& tv, const IndexPath& ip) {
  // Each row keeps its cell, so what was typed stays whatever the table shows again.
  auto& cell = cells_[ip];
  if (cell) return cell;
  cell = std::make_shared<platform::TableViewCell>(platform::TableViewCellStyle::Default, "");
  cell->setSelectionStyle(platform::TableViewCellSelectionStyle::None);
  cell->setFrame(Rect(0, 0, tv.bounds().size.width, tv.rowHeight()));
  cell->layoutIfNeeded();
  const auto& content = cell->contentView();
  Rect b = content->bounds();
  auto field = std::make_shared<platform::TextField>(
      Rect(10, 10, std::max(0.0, b.size.width - 20), std::max(0.0, b.size.height - 20)));
  field->setAutoresizingMask(platform::View::FlexibleWidth | platform::View::FlexibleHeight);
  field->setAutocapitalizationType(platform::TextAutocapitalizationType::None);
  field->setAutocorrectionType(platform::TextAutocorrectionType::No);
  if (ip.section == 0 && ip.row == 0) {
    field->setPlaceholder("User");
  } else if (ip.section == 0) {
    field->setPlaceholder("Password");
    field->setSecureTextEntry(true);
  } else {
    field->setPlaceholder("Domain");
  }
  content->addSubview(field);
  return cell;
}

std::optional<std::string> NetAuthenticationDialog::titleForHeaderInSection(platform::TableView&,
                                                                            int section) {
  if (section != 0) return std::nullopt;
  return request_->authenticationRealm();
}

std::optional<std::string> NetAuthenticationDialog::titleForFooterInSection(platform::TableView& tv,
                                                                            int section) {
  if (section != numberOfSectionsInTableView(tv).value_or(1) - 1) return std::nullopt;
  // The footer follows the request's own scheme and URL, for a proxy's sheet too.
  auto url = request_->url();
  bool clear = request_->authenticationScheme() == platform::HTTPAuthenticationSchemeBasic &&
               (!url || url->scheme() != "https");
  return clear ? "Password will be sent in the clear." : "Password will be sent securely.";
}

std::optional<double> NetAuthenticationDialog::heightForHeaderInSection(platform::TableView&, int section) {
  return section == 0 ? 30 : 0;
}

std::optional<double> NetAuthenticationDialog::heightForFooterInSection(platform::TableView& tv,
                                                                        int section) {
  return section == numberOfSectionsInTableView(tv).value_or(1) - 1 ? 30 : 0;
}

std::optional<IndexPath> NetAuthenticationDialog::willSelectRowAtIndexPath(platform::TableView&,
                                                                           const IndexPath&) {
  return std::nullopt;
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
  auto self = sharedAs<NetAuthenticationDialog>();
  auto text = [](const std::shared_ptr<platform::TextField>& f) { return f ? f->text() : std::string(); };
  std::string user = text(usernameField());
  std::string password = text(passwordField());
  bool ntlm = asksForDomain();
  std::string domain = text(domainField());
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
  dismissDialog();
}

void NetAuthenticationDialog::cancelAuthenticationFromDialog() {
  auto self = sharedAs<NetAuthenticationDialog>();
  for (auto& r : requestsRequiringTheseCredentials()) {
    r->cancelAuthentication();
    removeFromWaitingList(r);
  }
  dismissDialog();
}

void NetAuthenticationDialog::dismissDialog() {
  if (presentingViewController()) dismissViewControllerAnimated(true);
}

void NetAuthenticationDialog::viewDidDisappear(bool) {
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
