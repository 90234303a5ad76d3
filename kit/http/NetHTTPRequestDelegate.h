#pragma once
#include "kit/http/NetHeaderDictionary.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"

namespace kavro {

class NetHTTPRequest;

// Hears how a request goes, on the main thread. Every method is optional; requests do not keep
// their delegate alive.
class NetHTTPRequestDelegate {
 public:
  virtual ~NetHTTPRequestDelegate() = default;

  virtual void requestStarted(NetHTTPRequest& request) {}
  virtual void requestDidReceiveResponseHeaders(NetHTTPRequest& request, const NetHeaderDictionary& headers) {
  }
  virtual void requestFinished(NetHTTPRequest& request) {}
  virtual void requestFailed(NetHTTPRequest& request) {}
  virtual void requestRedirected(NetHTTPRequest& request) {}
};

// The optional methods whose presence changes what a request does. A delegate takes one on by
// deriving from its interface as well, so having the method and being asked for it cannot part:
// the request reads the delegate's interfaces when the delegate is set, and its network thread
// acts on that without calling into the delegate.
//
// The body goes to the delegate, not to memory.
class NetDataReceiver {
 public:
  virtual ~NetDataReceiver() = default;
  virtual void requestDidReceiveData(NetHTTPRequest& request, const platform::Data& data) = 0;
};
// The delegate confirms each redirect (the request waits for redirectToURL).
class NetRedirectConfirmer {
 public:
  virtual ~NetRedirectConfirmer() = default;
  virtual void requestWillRedirectToURL(NetHTTPRequest& request, const platform::URL& newURL) = 0;
};
// The delegate supplies credentials for the server (the request waits for them).
class NetAuthenticationResponder {
 public:
  virtual ~NetAuthenticationResponder() = default;
  virtual void authenticationNeededForRequest(NetHTTPRequest& request) = 0;
};
// The delegate supplies credentials for the proxy (the request waits for them).
class NetProxyAuthenticationResponder {
 public:
  virtual ~NetProxyAuthenticationResponder() = default;
  virtual void proxyAuthenticationNeededForRequest(NetHTTPRequest& request) = 0;
};

enum class NetDelegateMethod {
  DidReceiveData,
  WillRedirectToURL,
  AuthenticationNeeded,
  ProxyAuthenticationNeeded
};

// Whether the receiver has taken on the method's interface.
bool implementsMethod(const NetHTTPRequestDelegate* receiver, NetDelegateMethod method);

// Progress of uploads and downloads, on the main thread. Every method is optional.
class NetProgressDelegate {
 public:
  virtual ~NetProgressDelegate() = default;
  // 0 to 1.
  virtual void setProgress(float progress) {}
  virtual void requestDidReceiveBytes(NetHTTPRequest& request, std::int64_t bytes) {}
  virtual void requestDidSendBytes(NetHTTPRequest& request, std::int64_t bytes) {}
  virtual void requestIncrementDownloadSizeBy(NetHTTPRequest& request, std::int64_t newLength) {}
  virtual void requestIncrementUploadSizeBy(NetHTTPRequest& request, std::int64_t newLength) {}
};

// What a request reports to its queue besides its delegate: the request events and the
// progress figures. Requests keep their queue alive. A queue passes the optional methods on to
// its own delegate, so whether it takes one can change with that delegate: forwards() says, from
// any thread; by default it is the queue's own interfaces.
class NetHTTPRequestQueue : public NetHTTPRequestDelegate, public NetProgressDelegate {
 public:
  virtual bool forwards(NetDelegateMethod method) const { return implementsMethod(this, method); }
};

}  // namespace kavro
