#pragma once
#include "kit/http/NetHeaderDictionary.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"

namespace kavro {

class NetHTTPRequest;

// The optional methods whose presence changes what a request does; a delegate (or queue) that
// implements one answers true for it from respondsTo(). A request asks its delegate when the
// delegate is set; it asks its queue whenever it needs to know, from the request's thread.
enum class NetDelegateMethod {
  DidReceiveData,             // request(req, data): the body goes to the delegate, not to memory
  WillRedirectToURL,          // request(req, url): the delegate confirms redirects (redirectToURL)
  AuthenticationNeeded,       // authenticationNeededForRequest
  ProxyAuthenticationNeeded,  // proxyAuthenticationNeededForRequest
};

// Hears how a request goes, on the main thread. Every method is optional; requests do not keep
// their delegate alive.
class NetHTTPRequestDelegate {
 public:
  virtual ~NetHTTPRequestDelegate() = default;
  virtual bool respondsTo(NetDelegateMethod method) const { return false; }

  virtual void requestStarted(NetHTTPRequest& request) {}
  virtual void requestDidReceiveResponseHeaders(NetHTTPRequest& request, const NetHeaderDictionary& headers) {
  }
  virtual void requestWillRedirectToURL(NetHTTPRequest& request, const platform::URL& newURL) {}
  virtual void requestFinished(NetHTTPRequest& request) {}
  virtual void requestFailed(NetHTTPRequest& request) {}
  virtual void requestRedirected(NetHTTPRequest& request) {}
  virtual void requestDidReceiveData(NetHTTPRequest& request, const platform::Data& data) {}
  virtual void authenticationNeededForRequest(NetHTTPRequest& request) {}
  virtual void proxyAuthenticationNeededForRequest(NetHTTPRequest& request) {}
};

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
// progress figures. Requests keep their queue alive.
class NetHTTPRequestQueue : public NetHTTPRequestDelegate, public NetProgressDelegate {};

}  // namespace kavro
