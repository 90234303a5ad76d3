// Credentials: presented before a challenge, looked up, applied, remembered for the session and
// in the keychain, asked of the delegate or the dialog; the reaction to 401 and 407.
#include <algorithm>

#include "kit/http/NetHTTPRequest.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "platform/foundation/Mutex.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HTTPReadStream.h"

namespace kavro {

using netdetail::shared;
using platform::HTTPAuthentication;
using platform::HTTPCredentials;
using CredentialsPtr = std::shared_ptr<const HTTPCredentials>;

namespace {

// "DOMAIN\user" gives the domain and the name; anything else gives none.
bool splitDomainUser(const std::string& user, std::string& domain, std::string& name) {
  std::size_t slash = user.find('\\');
  if (slash == std::string::npos || user.find('\\', slash + 1) != std::string::npos) return false;
  domain = user.substr(0, slash);
  name = user.substr(slash + 1);
  return true;
}

platform::ProtectionSpace serverSpace(std::string_view host, int port, std::string_view protocol,
                                      std::string_view realm) {
  return platform::ProtectionSpace::server(std::string(host), port, std::string(protocol),
                                           std::string(realm));
}

}  // namespace

void NetHTTPRequest::addBasicAuthenticationHeaderWithUsername(std::string_view username,
                                                              std::string_view password) {
  platform::MutexLock guard(lock_);
  std::string pair = std::string(username) + ":" + std::string(password);
  requestHeaders_.set("Authorization", "Basic " + base64forData(platform::dataFromString(pair)));
  authenticationScheme_ = std::string(platform::HTTPAuthenticationSchemeBasic);
}

void NetHTTPRequest::applyAuthorizationHeader() {
  platform::MutexLock guard(lock_);
  if (!options_.shouldPresentCredentialsBeforeChallenge || !request_) return;
  if (!requestHeaders_.contains("Authorization")) {
    if (username_ && password_ && authenticationScheme_ == platform::HTTPAuthenticationSchemeBasic) {
      addBasicAuthenticationHeaderWithUsername(*username_, *password_);
    } else if (options_.useSessionPersistence) {
      if (auto entry = findSessionAuthenticationCredentials()) {
        if (entry->authentication) {
          if (entry->authentication->applyCredentials(*entry->credentials, *request_))
            authenticationScheme_ = entry->authenticationScheme;
          else
            removeAuthenticationCredentialsFromSessionStore(entry->credentials);
        } else {
          addBasicAuthenticationHeaderWithUsername(entry->credentials->username,
                                                   entry->credentials->password);
        }
      }
    }
  }
  if (options_.useSessionPersistence) {
    if (auto entry = findSessionProxyAuthenticationCredentials()) {
      if (!entry->authentication || !entry->authentication->applyCredentials(*entry->credentials, *request_))
        removeProxyAuthenticationCredentialsFromSessionStore(entry->credentials);
    }
  }
}

CredentialsPtr NetHTTPRequest::findCredentials() {
  platform::MutexLock guard(lock_);
  std::optional<std::string> user, pass;
  if (url_ && url_->userInfo()) {
    user = url_->user();
    pass = url_->password();
  }
  if (!user || !pass) {
    auto main = mainRequest_.lock();
    std::optional<std::string> mainUser = main ? main->username() : std::nullopt;
    std::optional<std::string> mainPass = main ? main->password() : std::nullopt;
    if (mainUser && mainPass) {
      user = mainUser;
      pass = mainPass;
    } else if (username_ && password_) {
      user = username_;
      pass = password_;
    }
  }
  if ((!user || !pass) && options_.useKeychainPersistence && url_) {
    if (auto saved = savedCredentialsForHost(url_->host(), url_->port().value_or(0), url_->scheme(),
                                             authenticationRealm_.value_or(""))) {
      user = saved->username;
      pass = saved->password;
    }
  }
  std::optional<std::string> accountDomain;
  if (requestAuthentication_ && requestAuthentication_->requiresAccountDomain()) {
    std::string d, name;
    if (domain_ && !domain_->empty())
      accountDomain = *domain_;
    else if (user && splitDomainUser(*user, d, name)) {
      accountDomain = d;
      user = name;
    } else
      accountDomain = "";
  }
  if (!user || !pass) return nullptr;
  return std::make_shared<const HTTPCredentials>(HTTPCredentials{*user, *pass, accountDomain});
}

CredentialsPtr NetHTTPRequest::findProxyCredentials() {
  platform::MutexLock guard(lock_);
  std::optional<std::string> user, pass;
  auto main = mainRequest_.lock();
  std::optional<std::string> mainUser = main ? main->proxyUsername() : std::nullopt;
  std::optional<std::string> mainPass = main ? main->proxyPassword() : std::nullopt;
  if (mainUser && mainPass) {
    user = mainUser;
    pass = mainPass;
  } else if (proxyUsername_ && proxyPassword_) {
    user = proxyUsername_;
    pass = proxyPassword_;
  }
  if ((!user || !pass) && proxyAuthenticationScheme_ == platform::HTTPAuthenticationSchemeNTLM) {
    user = username_;
    pass = password_;
  }
  if (!user || !pass) {
    if (auto saved = savedCredentialsForProxy(proxyHost_.value_or(""), proxyPort_, url_ ? url_->scheme() : "",
                                              proxyAuthenticationRealm_.value_or(""))) {
      user = saved->username;
      pass = saved->password;
    }
  }
  std::optional<std::string> accountDomain;
  if (proxyAuthentication_ && proxyAuthentication_->requiresAccountDomain()) {
    std::string d, name;
    if (proxyDomain_ && !proxyDomain_->empty())
      accountDomain = *proxyDomain_;
    else if (user && splitDomainUser(*user, d, name)) {
      accountDomain = d;
      user = name;
    } else
      accountDomain = domain_.value_or("");
  }
  if (!user || !pass) return nullptr;
  return std::make_shared<const HTTPCredentials>(HTTPCredentials{*user, *pass, accountDomain});
}

bool NetHTTPRequest::applyCredentials(CredentialsPtr credentials) {
  platform::MutexLock guard(lock_);
  authenticationRetryCount_++;
  if (!credentials || !requestAuthentication_ || !request_) return false;
  if (!requestAuthentication_->applyCredentials(*credentials, *request_)) {
    removeAuthenticationCredentialsFromSessionStore(credentials);
    return false;
  }
  if (options_.useKeychainPersistence && url_)
    saveCredentials(*credentials, url_->host(), url_->port().value_or(0), url_->scheme(),
                    authenticationRealm_.value_or(""));
  if (options_.useSessionPersistence) {
    SessionCredentials entry;
    entry.authentication = requestAuthentication_;
    entry.credentials = credentials;
    entry.url = url_;
    entry.authenticationScheme = authenticationScheme_;
    entry.authenticationRealm = authenticationRealm_;
    storeAuthenticationCredentialsInSessionStore(std::move(entry));
  }
  requestCredentials_ = credentials;
  return true;
}

bool NetHTTPRequest::applyProxyCredentials(CredentialsPtr credentials) {
  platform::MutexLock guard(lock_);
  proxyAuthenticationRetryCount_++;
  if (!credentials || !proxyAuthentication_ || !request_) return false;
  if (!proxyAuthentication_->applyCredentials(*credentials, *request_)) {
    removeProxyAuthenticationCredentialsFromSessionStore(credentials);
    return false;
  }
  if (options_.useKeychainPersistence)
    saveCredentialsForProxy(*credentials, proxyHost_.value_or(""), proxyPort_,
                            proxyAuthenticationRealm_.value_or(""));
  if (options_.useSessionPersistence) {
    SessionCredentials entry;
    entry.authentication = proxyAuthentication_;
    entry.credentials = credentials;
    entry.host = proxyHost_.value_or("");
    entry.port = proxyPort_;
    entry.authenticationScheme = proxyAuthenticationScheme_;
    storeProxyAuthenticationCredentialsInSessionStore(std::move(entry));
  }
  proxyCredentials_ = credentials;
  return true;
}

bool NetHTTPRequest::willAskDelegateForCredentials(bool proxy) {
  platform::MutexLock guard(lock_);
  if (isSynchronous_) return false;
  const auto method =
      proxy ? NetDelegateMethod::ProxyAuthenticationNeeded : NetDelegateMethod::AuthenticationNeeded;
  bool answers = !delegate_.expired() ? delegateResponds(method) : queueResponds(method);
  bool hasBlock = blocks_ && (proxy ? blocks_->proxyAuthenticationNeeded : blocks_->authenticationNeeded);
  if (!answers && !hasBlock) return false;
  auto s = self();
  // The challenge goes with the question: the asked read the answer that challenged.
  auto view = snapshotResponse();
  platform::RunLoop::main().performOnMain(
      [s, proxy, view] { s->withCallbackView(view, [&] { s->askDelegateForCredentials(proxy); }); });
  return true;
}

namespace {

// Hands the question to receiver when it answers it for this side (server or proxy).
template <typename Receiver>
bool askResponder(NetHTTPRequest& request, Receiver* receiver, bool proxy) {
  if (proxy) {
    auto* responder = dynamic_cast<NetProxyAuthenticationResponder*>(receiver);
    if (responder) responder->proxyAuthenticationNeededForRequest(request);
    return responder != nullptr;
  }
  auto* responder = dynamic_cast<NetAuthenticationResponder*>(receiver);
  if (responder) responder->authenticationNeededForRequest(request);
  return responder != nullptr;
}

}  // namespace

void NetHTTPRequest::askDelegateForCredentials(bool proxy) {
  auto [delegate, queue, block] = receivers(proxy ? &NetRequestBlocks::proxyAuthenticationNeeded
                                                  : &NetRequestBlocks::authenticationNeeded);
  if (askResponder(*this, delegate.get(), proxy)) return;
  const auto method =
      proxy ? NetDelegateMethod::ProxyAuthenticationNeeded : NetDelegateMethod::AuthenticationNeeded;
  if (!delegate && queue && queue->forwards(method) && askResponder(*this, queue.get(), proxy)) return;
  if (block) block();
}

bool NetHTTPRequest::showAuthenticationDialog(bool proxy) {
  platform::MutexLock guard(lock_);
  if (isSynchronous_ ||
      !(proxy ? options_.shouldPresentProxyAuthenticationDialog : options_.shouldPresentAuthenticationDialog))
    return false;
  AuthenticationDialogPresenter presenter;
  {
    platform::MutexLock defaults(shared().defaultsLock);
    presenter = shared().dialogPresenter;
  }
  if (!presenter) return false;
  auto s = self();
  auto view = snapshotResponse();
  performOnMainThread([presenter, s, view] { s->withCallbackView(view, [&] { presenter(s); }); });
  return true;
}

void NetHTTPRequest::retryUsingSuppliedCredentials() {
  auto s = self();
  performOnRequestThread([s] {
    platform::MutexLock guard(s->lock_);
    if (s->request_)
      s->attemptToApplyCredentialsAndResume();
    else
      s->main();
  });
}

void NetHTTPRequest::cancelAuthentication() {
  auto s = self();
  performOnRequestThread([s] { s->failAuthentication(); });
}

void NetHTTPRequest::failAuthentication() {
  failWithError(netdetail::sharedError(NetAuthenticationErrorType));
}

// One side of authentication: the server's or the proxy's state and operations.
struct NetHTTPRequest::AuthenticationSide {
  std::shared_ptr<platform::HTTPAuthentication>& authentication;
  std::shared_ptr<const platform::HTTPCredentials>& credentials;
  std::optional<std::string>& scheme;
  std::optional<std::string>& realm;
  int& retryCount;
  bool proxy;
};

void NetHTTPRequest::attemptToApplyCredentialsAndResume() {
  platform::MutexLock guard(lock_);
  if (authenticationNeeded_ == ProxyAuthenticationNeeded) {
    attemptToApplyProxyCredentialsAndResume();
    return;
  }
  applyCredentialsAndResume({requestAuthentication_, requestCredentials_, authenticationScheme_,
                             authenticationRealm_, authenticationRetryCount_, false});
}

void NetHTTPRequest::attemptToApplyProxyCredentialsAndResume() {
  platform::MutexLock guard(lock_);
  applyCredentialsAndResume({proxyAuthentication_, proxyCredentials_, proxyAuthenticationScheme_,
                             proxyAuthenticationRealm_, proxyAuthenticationRetryCount_, true});
}

void NetHTTPRequest::applyCredentialsAndResume(const AuthenticationSide& side) {
  requestThread_.claim();
  if (running_.error || cancelled_) return;
  auto findSession = [&] {
    return side.proxy ? findSessionProxyAuthenticationCredentials() : findSessionAuthenticationCredentials();
  };
  auto apply = [&](std::shared_ptr<const platform::HTTPCredentials> c) {
    return side.proxy ? applyProxyCredentials(std::move(c)) : applyCredentials(std::move(c));
  };
  auto askDelegate = [&] { return willAskDelegateForCredentials(side.proxy); };
  auto showDialog = [&] { return showAuthenticationDialog(side.proxy); };
  const char* applyFailure =
      side.proxy ? "Failed to apply proxy credentials to request" : "Failed to apply credentials to request";

  auto response = readStream_ ? readStream_->responseHeader() : nullptr;
  if (!side.authentication) {
    if (response) side.authentication = HTTPAuthentication::createFromResponse(*response);
    if (!side.authentication) {
      cancelLoad();
      failWithError(makeNetError(NetInternalErrorWhileApplyingCredentialsType,
                                 "Failed to get authentication object from response headers"));
      return;
    }
    side.scheme = side.authentication->method();
  } else if (response) {
    // The object learns from the repeated challenge whether its credentials were refused.
    side.authentication->updateFromResponse(*response);
  }
  side.realm.reset();
  if (!side.authentication->requiresAccountDomain()) side.realm = side.authentication->realm();

  platform::Error validity;
  if (!side.authentication->isValid(&validity)) {
    side.authentication.reset();
    if (validity.domain == platform::HTTPStreamErrorDomain &&
        (validity.code == platform::HTTPAuthenticationBadUserName ||
         validity.code == platform::HTTPAuthenticationBadPassword)) {
      platform::MutexLock authLock(shared().delegateAuthenticationLock);
      if (side.proxy)
        removeProxyAuthenticationCredentialsFromSessionStore(side.credentials);
      else
        removeAuthenticationCredentialsFromSessionStore(side.credentials);
      side.credentials.reset();
      if (running_.error || cancelled_) return;
      if (options_.useSessionPersistence) {
        auto entry = findSession();
        if (entry && apply(entry->credentials)) {
          authLock.unlock();
          startRequest();
          return;
        }
      }
      lastActivityTime_.reset();
      if (askDelegate()) return;
      if (showDialog()) return;
    }
    cancelLoad();
    failWithError(netdetail::sharedError(NetAuthenticationErrorType));
    return;
  }

  cancelLoad();
  if (side.credentials) {
    bool ntlm = side.scheme == platform::HTTPAuthenticationSchemeNTLM;
    if ((!ntlm || side.retryCount < 2) && apply(side.credentials)) {
      startRequest();
    } else if (ntlm && side.retryCount == 2) {
      failWithError(netdetail::sharedError(NetAuthenticationErrorType));
    } else {
      failWithError(makeNetError(NetInternalErrorWhileApplyingCredentialsType, applyFailure));
    }
    return;
  }
  if (side.authentication->requiresUserNameAndPassword()) {
    platform::MutexLock authLock(shared().delegateAuthenticationLock);
    if (running_.error || cancelled_) return;
    if (options_.useSessionPersistence) {
      auto entry = findSession();
      if (entry && apply(entry->credentials)) {
        authLock.unlock();
        startRequest();
        return;
      }
    }
    if (auto found = side.proxy ? findProxyCredentials() : findCredentials()) {
      bool applied = apply(found);
      authLock.unlock();
      if (applied)
        startRequest();
      else
        failWithError(makeNetError(NetInternalErrorWhileApplyingCredentialsType, applyFailure));
      return;
    }
    if (askDelegate()) return;
    if (showDialog()) return;
    authLock.unlock();
    failWithError(netdetail::sharedError(NetAuthenticationErrorType));
    return;
  }
  // A scheme that takes no user name and password has no further step; the request would wait
  // for ever, so it ends as unauthenticated.
  failWithError(netdetail::sharedError(NetAuthenticationErrorType));
}

std::optional<NetHTTPRequest::SessionCredentials> NetHTTPRequest::findSessionAuthenticationCredentials() {
  platform::MutexLock guard(lock_);
  if (!url_) return std::nullopt;
  platform::MutexLock store(shared().sessionCredentialsLock);
  std::optional<SessionCredentials> closeMatch;
  for (const auto& entry : shared().sessionCredentials) {
    if (!entry.url || !entry.credentials) continue;
    bool exact = *entry.url == *url_;
    if (!exact) {
      if (closeMatch) continue;
      bool close = entry.url->host() == url_->host() && entry.url->scheme() == url_->scheme() &&
                   entry.url->port() == url_->port();
      if (!close) continue;
    }
    if (authenticationRealm_ && entry.authenticationRealm &&
        *entry.authenticationRealm != *authenticationRealm_)
      continue;
    if (username_ && password_ &&
        (entry.credentials->username != *username_ || entry.credentials->password != *password_))
      continue;
    if (exact) return entry;
    closeMatch = entry;
  }
  return closeMatch;
}

std::optional<NetHTTPRequest::SessionCredentials>
NetHTTPRequest::findSessionProxyAuthenticationCredentials() {
  platform::MutexLock guard(lock_);
  platform::MutexLock store(shared().sessionCredentialsLock);
  for (const auto& entry : shared().sessionProxyCredentials)
    if (proxyHost_ && entry.host == *proxyHost_ && entry.port == proxyPort_ && entry.credentials)
      return entry;
  return std::nullopt;
}

std::vector<NetHTTPRequest::SessionCredentials> NetHTTPRequest::sessionCredentialsStore() {
  platform::MutexLock store(shared().sessionCredentialsLock);
  return shared().sessionCredentials;
}

std::vector<NetHTTPRequest::SessionCredentials> NetHTTPRequest::sessionProxyCredentialsStore() {
  platform::MutexLock store(shared().sessionCredentialsLock);
  return shared().sessionProxyCredentials;
}

namespace {

void storeIn(std::vector<NetHTTPRequest::SessionCredentials>& list,
             NetHTTPRequest::SessionCredentials entry) {
  auto it = std::find_if(list.begin(), list.end(),
                         [&](const auto& e) { return e.credentials == entry.credentials; });
  if (it != list.end()) list.erase(it);
  list.push_back(std::move(entry));
}

void removeFrom(std::vector<NetHTTPRequest::SessionCredentials>& list, const CredentialsPtr& credentials) {
  if (!credentials) return;
  auto it =
      std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.credentials == credentials; });
  if (it != list.end()) list.erase(it);
}

}  // namespace

void NetHTTPRequest::storeAuthenticationCredentialsInSessionStore(SessionCredentials entry) {
  platform::MutexLock store(shared().sessionCredentialsLock);
  storeIn(shared().sessionCredentials, std::move(entry));
}

void NetHTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(SessionCredentials entry) {
  platform::MutexLock store(shared().sessionCredentialsLock);
  storeIn(shared().sessionProxyCredentials, std::move(entry));
}

void NetHTTPRequest::removeAuthenticationCredentialsFromSessionStore(const CredentialsPtr& credentials) {
  platform::MutexLock store(shared().sessionCredentialsLock);
  removeFrom(shared().sessionCredentials, credentials);
}

void NetHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(const CredentialsPtr& credentials) {
  platform::MutexLock store(shared().sessionCredentialsLock);
  removeFrom(shared().sessionProxyCredentials, credentials);
}

void NetHTTPRequest::saveCredentials(const HTTPCredentials& credentials, std::string_view host, int port,
                                     std::string_view protocol, std::string_view realm) {
  platform::CredentialStorage::sharedCredentialStorage().setDefaultCredential(
      platform::URLCredential{credentials.username, credentials.password,
                              platform::URLCredential::Persistence::Permanent},
      serverSpace(host, port, protocol, realm));
}

void NetHTTPRequest::saveCredentialsForProxy(const HTTPCredentials& credentials, std::string_view host,
                                             int port, std::string_view realm) {
  platform::CredentialStorage::sharedCredentialStorage().setDefaultCredential(
      platform::URLCredential{credentials.username, credentials.password,
                              platform::URLCredential::Persistence::Permanent},
      platform::ProtectionSpace::proxy(std::string(host), port, std::string(realm)));
}

std::optional<HTTPCredentials> NetHTTPRequest::savedCredentialsForHost(std::string_view host, int port,
                                                                       std::string_view protocol,
                                                                       std::string_view realm) {
  auto c = platform::CredentialStorage::sharedCredentialStorage().defaultCredentialForProtectionSpace(
      serverSpace(host, port, protocol, realm));
  if (!c) return std::nullopt;
  return HTTPCredentials{c->user, c->password, {}};
}

std::optional<HTTPCredentials> NetHTTPRequest::savedCredentialsForProxy(std::string_view host, int port,
                                                                        std::string_view,
                                                                        std::string_view realm) {
  auto c = platform::CredentialStorage::sharedCredentialStorage().defaultCredentialForProtectionSpace(
      platform::ProtectionSpace::proxy(std::string(host), port, std::string(realm)));
  if (!c) return std::nullopt;
  return HTTPCredentials{c->user, c->password, {}};
}

void NetHTTPRequest::removeCredentialsForHost(std::string_view host, int port, std::string_view protocol,
                                              std::string_view realm) {
  auto space = serverSpace(host, port, protocol, realm);
  auto& storage = platform::CredentialStorage::sharedCredentialStorage();
  if (auto c = storage.defaultCredentialForProtectionSpace(space)) storage.removeCredential(*c, space);
}

void NetHTTPRequest::removeCredentialsForProxy(std::string_view host, int port, std::string_view realm) {
  auto space = platform::ProtectionSpace::proxy(std::string(host), port, std::string(realm));
  auto& storage = platform::CredentialStorage::sharedCredentialStorage();
  if (auto c = storage.defaultCredentialForProtectionSpace(space)) storage.removeCredential(*c, space);
}

}  // namespace kavro
