#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLRequest.h"
#include "platform/ui/View.h"

namespace platform {

class ScrollView;
class WebView;

// The platform's values.
enum class WebViewNavigationType {
  LinkClicked = 0,
  FormSubmitted = 1,
  BackForward = 2,
  Reload = 3,
  FormResubmitted = 4,
  Other = 5
};

// Decides on requests and hears how loads end; every method optional (empty: not implemented,
// which allows).
class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  virtual std::optional<bool> shouldStartLoadWithRequest(WebView& wv, const URLRequest& request,
                                                         WebViewNavigationType type) {
    return std::nullopt;
  }
  virtual void webViewDidStartLoad(WebView& wv) {}
  virtual void webViewDidFinishLoad(WebView& wv) {}
  virtual void didFailLoadWithError(WebView& wv, const Error& error) {}
};

// A web page that is never fetched or drawn: the view records what it was asked to load and runs
// the delegate's side of it. Every load (loadRequest, loadHTMLString, a link the person follows,
// back, forward, reload) first asks shouldStartLoadWithRequest; when allowed it is recorded in
// loads(), the view is loading, webViewDidStartLoad is told, and the load finishes on the next
// pass of the main run loop (webViewDidFinishLoad), unless a test or the runner finishes or fails
// it first, or autoFinish is off. Scripts are recorded and answer what was set for them ("" else).
class WebView : public View {
 public:
  struct Load {
    URLRequest request;
    WebViewNavigationType navigationType;
    std::string html;  // for loadHTMLString
  };

  explicit WebView(Rect frame = {});
  ~WebView() override;

  const std::weak_ptr<WebViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<WebViewDelegate> d) { delegate_ = std::move(d); }
  // The request of the current page; empty before the first load.
  std::optional<URLRequest> request() const;
  bool isLoading() const { return loading_; }
  bool canGoBack() const { return current_ > 0; }
  bool canGoForward() const { return current_ + 1 < history_.size(); }
  bool scalesPageToFit() const { return scalesPageToFit_; }
  void setScalesPageToFit(bool s) { scalesPageToFit_ = s; }
  const std::shared_ptr<ScrollView>& scrollView() const { return scrollView_; }

  void loadRequest(const URLRequest& request);
  // The page's address is the base URL, or "about:blank".
  void loadHTMLString(std::string html, std::optional<URL> baseURL);
  void goBack();
  void goForward();
  void reload();
  void stopLoading();
  std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

  // --- The record and the other side --------------------------------------------------------------
  const std::vector<Load>& loads() const { return loads_; }
  const std::vector<std::string>& evaluatedScripts() const { return scripts_; }
  void setJavaScriptAnswer(const std::string& script, std::string answer) {
    answers_[script] = std::move(answer);
  }
  bool autoFinish() const { return autoFinish_; }
  void setAutoFinish(bool a) { autoFinish_ = a; }
  // A person follows a link on the page; false when the delegate refuses.
  bool clickLink(const URL& url);
  void finishLoad();
  void failLoad(const Error& error);

  void describeProperties(std::vector<std::string>& out) const override;

 private:
  bool start(const URLRequest& request, WebViewNavigationType type, std::string html, bool addToHistory);

  std::weak_ptr<WebViewDelegate> delegate_;
  std::shared_ptr<ScrollView> scrollView_;
  bool scalesPageToFit_ = false;
  bool loading_ = false;
  bool autoFinish_ = true;
  std::vector<Load> loads_;
  std::vector<URLRequest> history_;
  std::size_t current_ = 0;
  std::vector<std::string> scripts_;
  std::map<std::string, std::string> answers_;
};

}  // namespace platform
