#include "platform/ui/WebView.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

WebView::WebView(Rect frame) : View(frame) {
  scrollView_ = std::make_shared<ScrollView>(Rect(Point{}, frame.size));
  scrollView_->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
  addSubview(scrollView_);
  setBackgroundColor(Color::white());
}

WebView::~WebView() { RunLoop::main().cancelPerforms(this); }

std::optional<URLRequest> WebView::request() const {
  if (history_.empty()) return std::nullopt;
  return history_[current_];
}

bool WebView::start(const URLRequest& request, WebViewNavigationType type, std::string html,
                    bool addToHistory) {
  auto self = weak_from_this().lock();
  if (auto d = delegate_.lock(); d && !d->shouldStartLoadWithRequest(*this, request, type).value_or(true))
    return false;
  RunLoop::main().cancelPerforms(this);
  loads_.push_back(Load{request, type, std::move(html)});
  if (addToHistory) {
    if (!history_.empty()) history_.erase(history_.begin() + std::ptrdiff_t(current_ + 1), history_.end());
    history_.push_back(request);
    current_ = history_.size() - 1;
  }
  loading_ = true;
  if (auto d = delegate_.lock()) d->webViewDidStartLoad(*this);
  if (autoFinish_ && loading_) {
    std::weak_ptr<WebView> weak = std::static_pointer_cast<WebView>(weak_from_this().lock());
    RunLoop::main().performAfter(0, this, [weak] {
      if (auto wv = weak.lock()) wv->finishLoad();
    });
  }
  return true;
}

void WebView::loadRequest(const URLRequest& request) {
  start(request, WebViewNavigationType::Other, "", true);
}

void WebView::loadHTMLString(std::string html, std::optional<URL> baseURL) {
  URL url = baseURL ? *baseURL : *URL::parse("about:blank");
  start(URLRequest(url), WebViewNavigationType::Other, std::move(html), true);
}

bool WebView::clickLink(const URL& url) {
  return start(URLRequest(url), WebViewNavigationType::LinkClicked, "", true);
}

void WebView::goBack() {
  if (!canGoBack()) return;
  if (start(history_[current_ - 1], WebViewNavigationType::BackForward, "", false)) --current_;
}

void WebView::goForward() {
  if (!canGoForward()) return;
  if (start(history_[current_ + 1], WebViewNavigationType::BackForward, "", false)) ++current_;
}

void WebView::reload() {
  if (history_.empty()) return;
  start(history_[current_], WebViewNavigationType::Reload, "", false);
}

void WebView::stopLoading() {
  RunLoop::main().cancelPerforms(this);
  loading_ = false;
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
  scripts_.push_back(script);
  auto it = answers_.find(script);
  return it == answers_.end() ? "" : it->second;
}

void WebView::finishLoad() {
  if (!loading_) return;
  auto self = weak_from_this().lock();
  RunLoop::main().cancelPerforms(this);
  loading_ = false;
  if (auto d = delegate_.lock()) d->webViewDidFinishLoad(*this);
}

void WebView::failLoad(const Error& error) {
  if (!loading_) return;
  auto self = weak_from_this().lock();
  RunLoop::main().cancelPerforms(this);
  loading_ = false;
  if (auto d = delegate_.lock()) d->didFailLoadWithError(*this, error);
}

void WebView::describeProperties(std::vector<std::string>& out) const {
  if (auto r = request()) out.push_back("url=" + quoted(r->url.absoluteString()));
  if (loading_) out.push_back("loading");
  View::describeProperties(out);
}

}  // namespace platform
