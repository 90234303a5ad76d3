#include "kit/http/NetHTTPRequest.h"

#include <cstdio>
#include <future>
#include <thread>

#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "kit/http/NetInputStream.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

using platform::Data;
using platform::Error;
using platform::RunLoop;
using platform::URL;

namespace netdetail {

SharedState& shared() {
  // Never destroyed: the network thread may still use it while the process exits.
  static SharedState* state = new SharedState();
  return *state;
}

std::string lowercase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string uniqueTemporaryPath() {
  return platform::Environment::tmpPath() + "/" + platform::hexString(platform::randomData(16), true);
}

std::shared_ptr<const Error> underlying(const Error& error) { return std::make_shared<const Error>(error); }

Error fileManagementError(std::string description, std::optional<Error> underlyingError) {
  return makeNetError(NetFileManagementError, std::move(description),
                      underlyingError ? underlying(*underlyingError) : nullptr);
}

}  // namespace netdetail

using netdetail::shared;

#define NET_GET(Type, name, field)    \
  Type NetHTTPRequest::name() const { \
    platform::MutexLock guard(lock_); \
    return field;                     \
  }
#define NET_SET(Type, name, field)        \
  void NetHTTPRequest::name(Type value) { \
    platform::MutexLock guard(lock_);     \
    field = std::move(value);             \
  }

// --- options ---

template <typename T>
T NetHTTPRequest::option(T Options::*field) const {
  platform::MutexLock guard(optionsLock_);
  return options_.*field;
}

template <typename T>
void NetHTTPRequest::setOption(T Options::*field, T value) {
  platform::MutexLock guard(optionsLock_);
  if (!optionsFrozen_) options_.*field = std::move(value);
}

void NetHTTPRequest::freezeOptions() {
  platform::MutexLock guard(optionsLock_);
  optionsFrozen_ = true;
}

// --- creation ---

NetHTTPRequest::NetHTTPRequest(std::optional<URL> url) : blocks_(std::make_unique<NetRequestBlocks>()) {
  {
    platform::MutexLock guard(shared().defaultsLock);
    options_.timeOutSeconds = shared().defaultTimeOutSeconds;
    downloadCache_ = shared().defaultCache;
  }
  url_ = std::move(url);
}

std::shared_ptr<NetHTTPRequest> NetHTTPRequest::requestWithURL(std::optional<URL> url) {
  return std::shared_ptr<NetHTTPRequest>(new NetHTTPRequest(std::move(url)));
}

std::shared_ptr<NetHTTPRequest> NetHTTPRequest::requestWithURL(std::optional<URL> url,
                                                               std::weak_ptr<NetCacheDelegate> cache,
                                                               int cachePolicy) {
  auto r = requestWithURL(std::move(url));
  r->setDownloadCache(std::move(cache));
  r->setCachePolicy(cachePolicy);
  return r;
}

NetHTTPRequest::~NetHTTPRequest() {
  tearingDown_ = true;
  authenticationNeeded_ = NoAuthenticationNeeded;
  requestAuthentication_.reset();
  proxyAuthentication_.reset();
  request_.reset();
  cancelLoad();
  if (statusTimer_) {
    auto timer = std::move(statusTimer_);
    RunLoop* loop = runLoop_ ? runLoop_ : &threadForRequest();
    if (loop->isCurrentThread())
      timer->invalidate();
    else
      loop->performOnMain([timer] { timer->invalidate(); });
  }
  for (auto* timer : {&PACFileReadTimer_, &PACFileTimeOutTimer_}) {
    if (!*timer) continue;
    auto t = std::move(*timer);
    RunLoop* loop = runLoop_ ? runLoop_ : &threadForRequest();
    if (loop->isCurrentThread())
      t->invalidate();
    else
      loop->performOnMain([t] { t->invalidate(); });
  }
  if (PACFileReadStream_) std::fclose(PACFileReadStream_);
  if (postBodyWriteStream_) std::fclose(postBodyWriteStream_);
  closeDownloadStreams();
  // Blocks and what they hold go on the main thread.
  if (blocks_) {
    auto blocks = std::shared_ptr<NetRequestBlocks>(std::move(blocks_));
    if (RunLoop::main().isCurrentThread())
      blocks.reset();
    else
      RunLoop::main().performOnMain([blocks]() mutable { blocks.reset(); });
  }
}

std::shared_ptr<NetHTTPRequest> NetHTTPRequest::self() {
  return std::static_pointer_cast<NetHTTPRequest>(shared_from_this());
}

std::shared_ptr<NetHTTPRequest> NetHTTPRequest::HEADRequest() {
  platform::MutexLock guard(lock_);
  // The new request is nobody else's yet: taking its lock waits for no one (elsewhere a HEAD
  // request locks its main request, never the other way round).
  auto r = requestWithURL(url_);
  platform::MutexLock theirs(r->lock_);
  platform::MutexLock options(optionsLock_);
  r->requestMethod_ = "HEAD";
  r->mainRequest_ = self();
  r->requestHeaders_ = requestHeaders_;
  r->requestCookies_ = requestCookies_;
  r->options_.useCookiePersistence = options_.useCookiePersistence;
  r->options_.useKeychainPersistence = options_.useKeychainPersistence;
  r->options_.useSessionPersistence = options_.useSessionPersistence;
  r->options_.allowCompressedResponse = options_.allowCompressedResponse;
  r->username_ = username_;
  r->password_ = password_;
  r->domain_ = domain_;
  r->proxyUsername_ = proxyUsername_;
  r->proxyPassword_ = proxyPassword_;
  r->proxyDomain_ = proxyDomain_;
  r->proxyHost_ = proxyHost_;
  r->proxyPort_ = proxyPort_;
  r->proxyType_ = proxyType_;
  r->options_.shouldPresentAuthenticationDialog = options_.shouldPresentAuthenticationDialog;
  r->options_.shouldPresentProxyAuthenticationDialog = options_.shouldPresentProxyAuthenticationDialog;
  r->options_.timeOutSeconds = options_.timeOutSeconds;
  r->options_.useHTTPVersionOne = options_.useHTTPVersionOne;
  r->options_.validatesSecureCertificate = options_.validatesSecureCertificate;
  r->options_.clientCertificateIdentity = options_.clientCertificateIdentity;
  r->PACurl_ = PACurl_;
  r->options_.shouldPresentCredentialsBeforeChallenge = options_.shouldPresentCredentialsBeforeChallenge;
  r->options_.numberOfTimesToRetryOnTimeout = options_.numberOfTimesToRetryOnTimeout;
  r->options_.shouldUseRFC2616RedirectBehaviour = options_.shouldUseRFC2616RedirectBehaviour;
  r->shouldAttemptPersistentConnection_ = shouldAttemptPersistentConnection_;
  r->persistentConnectionTimeoutSeconds_ = persistentConnectionTimeoutSeconds_;
  return r;
}

std::shared_ptr<NetHTTPRequest> NetHTTPRequest::copy() {
  platform::MutexLock guard(lock_);
  auto r = std::shared_ptr<NetHTTPRequest>(new NetHTTPRequest(url_));
  platform::MutexLock theirs(r->lock_);
  platform::MutexLock options(optionsLock_);
  r->delegate_ = delegate_;
  r->delegateResponds_ = delegateResponds_;
  r->requestMethod_ = requestMethod_;
  r->postBody_ = postBody_;
  r->shouldStreamPostDataFromDisk_ = shouldStreamPostDataFromDisk_;
  r->postBodyFilePath_ = postBodyFilePath_;
  r->requestHeaders_ = requestHeaders_;
  r->requestCookies_ = requestCookies_;
  r->options_.useCookiePersistence = options_.useCookiePersistence;
  r->options_.useKeychainPersistence = options_.useKeychainPersistence;
  r->options_.useSessionPersistence = options_.useSessionPersistence;
  r->options_.allowCompressedResponse = options_.allowCompressedResponse;
  r->downloadDestinationPath_ = downloadDestinationPath_;
  r->temporaryFileDownloadPath_ = temporaryFileDownloadPath_;
  r->username_ = username_;
  r->password_ = password_;
  r->domain_ = domain_;
  r->proxyUsername_ = proxyUsername_;
  r->proxyPassword_ = proxyPassword_;
  r->proxyDomain_ = proxyDomain_;
  r->proxyHost_ = proxyHost_;
  r->proxyPort_ = proxyPort_;
  r->proxyType_ = proxyType_;
  r->uploadProgressDelegate_ = uploadProgressDelegate_;
  r->downloadProgressDelegate_ = downloadProgressDelegate_;
  r->options_.shouldPresentAuthenticationDialog = options_.shouldPresentAuthenticationDialog;
  r->options_.shouldPresentProxyAuthenticationDialog = options_.shouldPresentProxyAuthenticationDialog;
  r->postLength_ = postLength_;
  r->haveBuiltPostBody_ = haveBuiltPostBody_;
  r->options_.timeOutSeconds = options_.timeOutSeconds;
  r->options_.shouldResetDownloadProgress = options_.shouldResetDownloadProgress;
  r->options_.shouldResetUploadProgress = options_.shouldResetUploadProgress;
  r->showAccurateProgress_ = showAccurateProgress_;
  r->options_.defaultResponseEncoding = options_.defaultResponseEncoding;
  r->options_.allowResumeForFileDownloads = options_.allowResumeForFileDownloads;
  r->userInfo_ = userInfo_;
  r->tag_ = tag_;
  r->options_.useHTTPVersionOne = options_.useHTTPVersionOne;
  r->options_.shouldRedirect = options_.shouldRedirect;
  r->options_.validatesSecureCertificate = options_.validatesSecureCertificate;
  r->options_.clientCertificateIdentity = options_.clientCertificateIdentity;
  r->PACurl_ = PACurl_;
  r->options_.shouldPresentCredentialsBeforeChallenge = options_.shouldPresentCredentialsBeforeChallenge;
  r->options_.numberOfTimesToRetryOnTimeout = options_.numberOfTimesToRetryOnTimeout;
  r->options_.shouldUseRFC2616RedirectBehaviour = options_.shouldUseRFC2616RedirectBehaviour;
  r->shouldAttemptPersistentConnection_ = shouldAttemptPersistentConnection_;
  r->persistentConnectionTimeoutSeconds_ = persistentConnectionTimeoutSeconds_;
  r->authenticationScheme_ = authenticationScheme_;
  return r;
}

// --- threads ---

RunLoop& NetHTTPRequest::threadForRequest(const NetHTTPRequest*) {
  static std::atomic<RunLoop*> networkLoop{nullptr};
  if (RunLoop* loop = networkLoop.load(std::memory_order_acquire)) return *loop;
  static platform::Mutex creation;
  platform::MutexLock guard(creation);
  if (RunLoop* loop = networkLoop.load(std::memory_order_acquire)) return *loop;
  auto ready = std::make_shared<std::promise<RunLoop*>>();
  std::thread([ready] {
    // Made on the thread that runs it, so that the loop belongs to it; kept for the process.
    RunLoop* loop = RunLoop::create().release();
    ready->set_value(loop);
    for (;;) loop->run();
  }).detach();
  RunLoop* loop = ready->get_future().get();
  networkLoop.store(loop, std::memory_order_release);
  return *loop;
}

RunLoop& NetHTTPRequest::requestLoop() const {
  platform::MutexLock guard(lock_);
  return runLoop_ ? *runLoop_ : threadForRequest();
}

double NetHTTPRequest::now() const { return requestLoop().now(); }

void NetHTTPRequest::performOnRequestThread(std::function<void()> fn) {
  requestLoop().performOnMain(std::move(fn));
}

void NetHTTPRequest::performOnMainThread(std::function<void()> fn) {
  RunLoop& main = RunLoop::main();
  if (main.isCurrentThread())
    fn();
  else
    main.performOnMain(std::move(fn));
}

std::shared_ptr<OperationQueue> NetHTTPRequest::sharedQueue() {
  platform::MutexLock guard(shared().defaultsLock);
  if (!shared().sharedQueue) {
    shared().sharedQueue = OperationQueue::create();
    shared().sharedQueue->setMaxConcurrentOperationCount(4);
  }
  return shared().sharedQueue;
}

// --- running ---

void NetHTTPRequest::startAsynchronous() {
  // The main loop belongs to the thread that asks first: make sure that is not the network thread.
  RunLoop::main();
  sharedQueue()->addOperation(self());
}

void NetHTTPRequest::start() {
  freezeOptions();
  {
    platform::MutexLock guard(lock_);
    inProgress_ = true;
    runLoop_ = &threadForRequest();
  }
  auto s = self();
  threadForRequest().performOnMain([s] { s->main(); });
}

void NetHTTPRequest::startSynchronous(RunLoop& loop) {
  auto keep = self();
  freezeOptions();
  {
    platform::MutexLock guard(lock_);
    isSynchronous_ = true;
    runLoopMode_ = std::string(NetHTTPRequestRunLoopMode);
    runLoop_ = &loop;
    inProgress_ = true;
  }
  if (!isCancelled() && !complete()) {
    main();
    while (!complete()) loop.runOnce(1e10, NetHTTPRequestRunLoopMode);
  }
  platform::MutexLock guard(lock_);
  inProgress_ = false;
}

bool NetHTTPRequest::isExecuting() const { return inProgress(); }

NET_GET(bool, isFinished, finished_)
NET_GET(bool, isCancelled, cancelled_)

void NetHTTPRequest::cancel() {
  {
    // A synchronous request's thread may be waiting on its script, holding lock_: end that first.
    platform::MutexLock guard(PACScriptRunLock_);
    if (PACScriptRun_) PACScriptRun_->cancel();
  }
  auto s = self();
  performOnRequestThread([s] { s->cancelOnRequestThread(); });
}

void NetHTTPRequest::clearDelegatesAndCancel() {
  {
    platform::MutexLock guard(lock_);
    delegate_.reset();
    queue_.reset();
    delegateResponds_ = 0;
    uploadProgressDelegate_.reset();
    downloadProgressDelegate_.reset();
    releaseBlocksOnMainThread();
  }
  cancel();
}

void NetHTTPRequest::redirectToURL(const URL& newURL) {
  {
    platform::MutexLock guard(lock_);
    redirectURL_ = newURL;
  }
  auto s = self();
  performOnRequestThread([s] { s->performRedirect(); });
}

// --- configuration ---

NET_GET(std::optional<URL>, url, url_)

void NetHTTPRequest::setURL(std::optional<URL> url) {
  platform::MutexLock guard(lock_);
  if (url == url_) return;
  url_ = std::move(url);
  requestAuthentication_.reset();
  proxyAuthentication_.reset();
  request_.reset();
  redirectURL_.reset();
}

NET_GET(std::optional<URL>, originalURL, originalURL_)
NET_GET(std::optional<URL>, redirectURL, redirectURL_)
NET_GET(std::string, requestMethod, requestMethod_)

void NetHTTPRequest::setRequestMethod(std::string_view method) {
  platform::MutexLock guard(lock_);
  if (requestMethod_ == method) return;
  requestMethod_ = std::string(method);
  if (method == "POST" || method == "PUT" || (postBody_ && !postBody_->empty()) || postBodyFilePath_)
    shouldAttemptPersistentConnection_ = false;
}

bool NetHTTPRequest::useHTTPVersionOne() const { return option(&Options::useHTTPVersionOne); }
void NetHTTPRequest::setUseHTTPVersionOne(bool value) {
  setOption(&Options::useHTTPVersionOne, std::move(value));
}
NET_GET(NetHeaderDictionary, requestHeaders, requestHeaders_)
NET_SET(NetHeaderDictionary, setRequestHeaders, requestHeaders_)

void NetHTTPRequest::addRequestHeader(std::string_view name, std::string_view value) {
  platform::MutexLock guard(lock_);
  requestHeaders_.set(name, value);
}

NET_GET(std::vector<platform::HTTPCookie>, requestCookies, requestCookies_)
NET_SET(std::vector<platform::HTTPCookie>, setRequestCookies, requestCookies_)
bool NetHTTPRequest::useCookiePersistence() const { return option(&Options::useCookiePersistence); }
void NetHTTPRequest::setUseCookiePersistence(bool value) {
  setOption(&Options::useCookiePersistence, std::move(value));
}
std::optional<std::string> NetHTTPRequest::userAgentString() const {
  return option(&Options::userAgentString);
}
void NetHTTPRequest::setUserAgentString(std::optional<std::string> value) {
  setOption(&Options::userAgentString, std::move(value));
}
NET_GET(std::optional<platform::HTTPMessage>, request, request_)

NET_GET(std::optional<Data>, postBody, postBody_)
NET_SET(std::optional<Data>, setPostBody, postBody_)
NET_GET(bool, shouldStreamPostDataFromDisk, shouldStreamPostDataFromDisk_)
NET_SET(bool, setShouldStreamPostDataFromDisk, shouldStreamPostDataFromDisk_)
NET_GET(std::optional<std::string>, postBodyFilePath, postBodyFilePath_)
NET_SET(std::optional<std::string>, setPostBodyFilePath, postBodyFilePath_)
bool NetHTTPRequest::shouldCompressRequestBody() const { return option(&Options::shouldCompressRequestBody); }
void NetHTTPRequest::setShouldCompressRequestBody(bool value) {
  setOption(&Options::shouldCompressRequestBody, std::move(value));
}
NET_GET(std::uint64_t, postLength, postLength_)
NET_SET(std::uint64_t, setPostLength, postLength_)
NET_GET(bool, haveBuiltPostBody, haveBuiltPostBody_)
NET_SET(bool, setHaveBuiltPostBody, haveBuiltPostBody_)

void NetHTTPRequest::setupPostBody() {
  platform::MutexLock guard(lock_);
  if (shouldStreamPostDataFromDisk_) {
    if (!postBodyFilePath_) {
      postBodyFilePath_ = netdetail::uniqueTemporaryPath();
      didCreateTemporaryPostDataFile_ = true;
    }
    if (!postBodyWriteStream_) postBodyWriteStream_ = std::fopen(postBodyFilePath_->c_str(), "wb");
  } else if (!postBody_) {
    postBody_ = Data();
  }
}

void NetHTTPRequest::appendPostData(const Data& data) {
  platform::MutexLock guard(lock_);
  setupPostBody();
  if (data.empty()) return;
  if (shouldStreamPostDataFromDisk_) {
    if (postBodyWriteStream_) std::fwrite(data.data(), 1, data.size(), postBodyWriteStream_);
  } else {
    postBody_->insert(postBody_->end(), data.begin(), data.end());
  }
}

bool NetHTTPRequest::appendPostDataFromFile(std::string_view path) {
  platform::MutexLock guard(lock_);
  setupPostBody();
  std::FILE* in = std::fopen(std::string(path).c_str(), "rb");
  if (!in) return false;
  std::vector<std::uint8_t> buffer(262144);
  for (;;) {
    std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0) break;
    if (shouldStreamPostDataFromDisk_) {
      if (postBodyWriteStream_) std::fwrite(buffer.data(), 1, n, postBodyWriteStream_);
    } else {
      postBody_->insert(postBody_->end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
  }
  std::fclose(in);
  return true;
}

NET_GET(std::optional<NetHeaderDictionary>, responseHeaders, responseHeaders_)
NET_GET(int, responseStatusCode, responseStatusCode_)
NET_GET(std::optional<std::string>, responseStatusMessage, responseStatusMessage_)
NET_GET(std::vector<platform::HTTPCookie>, responseCookies, responseCookies_)
NET_GET(std::optional<Data>, rawResponseData, rawResponseData_)
NET_GET(std::uint64_t, contentLength, contentLength_)
NET_GET(std::uint64_t, totalBytesRead, totalBytesRead_)
NET_GET(std::uint64_t, totalBytesSent, totalBytesSent_)
bool NetHTTPRequest::allowCompressedResponse() const { return option(&Options::allowCompressedResponse); }
void NetHTTPRequest::setAllowCompressedResponse(bool value) {
  setOption(&Options::allowCompressedResponse, std::move(value));
}
bool NetHTTPRequest::shouldWaitToInflateCompressedResponses() const {
  return option(&Options::shouldWaitToInflateCompressedResponses);
}
void NetHTTPRequest::setShouldWaitToInflateCompressedResponses(bool value) {
  setOption(&Options::shouldWaitToInflateCompressedResponses, std::move(value));
}
std::uint64_t NetHTTPRequest::maxResponseSize() const { return option(&Options::maxResponseSize); }
void NetHTTPRequest::setMaxResponseSize(std::uint64_t bytes) {
  platform::MutexLock guard(optionsLock_);
  if (optionsFrozen_) return;
  options_.maxResponseSize = bytes;
  options_.maxResponseSizeSet = true;
}

std::uint64_t NetHTTPRequest::responseSizeLimit() const {
  platform::MutexLock guard(lock_);
  if (downloadDestinationPath_ && !options_.maxResponseSizeSet)
    return std::numeric_limits<std::uint64_t>::max();
  return options_.maxResponseSize;
}
NetStringEncoding NetHTTPRequest::defaultResponseEncoding() const {
  return option(&Options::defaultResponseEncoding);
}
void NetHTTPRequest::setDefaultResponseEncoding(NetStringEncoding value) {
  setOption(&Options::defaultResponseEncoding, std::move(value));
}
NET_GET(NetStringEncoding, responseEncoding, responseEncoding_)
NET_GET(bool, downloadComplete, downloadComplete_)

bool NetHTTPRequest::isResponseCompressed() const {
  platform::MutexLock guard(lock_);
  if (!responseHeaders_) return false;
  auto encoding = responseHeaders_->value("Content-Encoding");
  return encoding && encoding->find("gzip") != std::string::npos;
}

std::optional<Data> NetHTTPRequest::responseData() const {
  platform::MutexLock guard(lock_);
  if (isResponseCompressed() && options_.shouldWaitToInflateCompressedResponses) {
    if (!rawResponseData_) return std::nullopt;
    return NetDataDecompressor::uncompressData(*rawResponseData_, nullptr, responseSizeLimit());
  }
  return rawResponseData_;
}

std::optional<std::string> NetHTTPRequest::responseString() const {
  platform::MutexLock guard(lock_);
  auto data = responseData();
  if (!data) return std::nullopt;
  return stringFromBytes(*data, responseEncoding_);
}

NET_GET(std::optional<std::string>, downloadDestinationPath, downloadDestinationPath_)
NET_SET(std::optional<std::string>, setDownloadDestinationPath, downloadDestinationPath_)
NET_GET(std::optional<std::string>, temporaryFileDownloadPath, temporaryFileDownloadPath_)
NET_SET(std::optional<std::string>, setTemporaryFileDownloadPath, temporaryFileDownloadPath_)
bool NetHTTPRequest::allowResumeForFileDownloads() const {
  return option(&Options::allowResumeForFileDownloads);
}
void NetHTTPRequest::setAllowResumeForFileDownloads(bool value) {
  setOption(&Options::allowResumeForFileDownloads, std::move(value));
}
NET_GET(std::uint64_t, partialDownloadSize, partialDownloadSize_)

NET_GET(std::optional<std::string>, username, username_)
NET_SET(std::optional<std::string>, setUsername, username_)
NET_GET(std::optional<std::string>, password, password_)
NET_SET(std::optional<std::string>, setPassword, password_)
NET_GET(std::optional<std::string>, domain, domain_)
NET_SET(std::optional<std::string>, setDomain, domain_)
NET_GET(std::optional<std::string>, proxyUsername, proxyUsername_)
NET_SET(std::optional<std::string>, setProxyUsername, proxyUsername_)
NET_GET(std::optional<std::string>, proxyPassword, proxyPassword_)
NET_SET(std::optional<std::string>, setProxyPassword, proxyPassword_)
NET_GET(std::optional<std::string>, proxyDomain, proxyDomain_)
NET_SET(std::optional<std::string>, setProxyDomain, proxyDomain_)
NET_GET(std::optional<std::string>, authenticationScheme, authenticationScheme_)
NET_SET(std::optional<std::string>, setAuthenticationScheme, authenticationScheme_)
NET_GET(std::optional<std::string>, authenticationRealm, authenticationRealm_)
NET_GET(std::optional<std::string>, proxyAuthenticationScheme, proxyAuthenticationScheme_)
NET_GET(std::optional<std::string>, proxyAuthenticationRealm, proxyAuthenticationRealm_)
NET_GET(int, authenticationRetryCount, authenticationRetryCount_)
NET_GET(int, proxyAuthenticationRetryCount, proxyAuthenticationRetryCount_)
NET_GET(int, authenticationNeeded, authenticationNeeded_)
bool NetHTTPRequest::shouldPresentAuthenticationDialog() const {
  return option(&Options::shouldPresentAuthenticationDialog);
}
void NetHTTPRequest::setShouldPresentAuthenticationDialog(bool value) {
  setOption(&Options::shouldPresentAuthenticationDialog, std::move(value));
}
bool NetHTTPRequest::shouldPresentProxyAuthenticationDialog() const {
  return option(&Options::shouldPresentProxyAuthenticationDialog);
}
void NetHTTPRequest::setShouldPresentProxyAuthenticationDialog(bool value) {
  setOption(&Options::shouldPresentProxyAuthenticationDialog, std::move(value));
}
bool NetHTTPRequest::shouldPresentCredentialsBeforeChallenge() const {
  return option(&Options::shouldPresentCredentialsBeforeChallenge);
}
void NetHTTPRequest::setShouldPresentCredentialsBeforeChallenge(bool value) {
  setOption(&Options::shouldPresentCredentialsBeforeChallenge, std::move(value));
}
bool NetHTTPRequest::useKeychainPersistence() const { return option(&Options::useKeychainPersistence); }
void NetHTTPRequest::setUseKeychainPersistence(bool value) {
  setOption(&Options::useKeychainPersistence, std::move(value));
}
bool NetHTTPRequest::useSessionPersistence() const { return option(&Options::useSessionPersistence); }
void NetHTTPRequest::setUseSessionPersistence(bool value) {
  setOption(&Options::useSessionPersistence, std::move(value));
}
NET_GET(std::shared_ptr<const platform::HTTPCredentials>, requestCredentials, requestCredentials_)
NET_GET(std::shared_ptr<const platform::HTTPCredentials>, proxyCredentials, proxyCredentials_)

NET_GET(std::optional<std::string>, proxyHost, proxyHost_)
NET_SET(std::optional<std::string>, setProxyHost, proxyHost_)
NET_GET(int, proxyPort, proxyPort_)
NET_SET(int, setProxyPort, proxyPort_)
NET_GET(std::optional<std::string>, proxyType, proxyType_)
NET_SET(std::optional<std::string>, setProxyType, proxyType_)
NET_GET(std::optional<URL>, PACurl, PACurl_)
NET_SET(std::optional<URL>, setPACurl, PACurl_)
NET_GET(bool, isPACFileRequest, isPACFileRequest_)
bool NetHTTPRequest::validatesSecureCertificate() const {
  return option(&Options::validatesSecureCertificate);
}
void NetHTTPRequest::setValidatesSecureCertificate(bool value) {
  setOption(&Options::validatesSecureCertificate, std::move(value));
}
std::shared_ptr<const platform::ClientIdentity> NetHTTPRequest::clientCertificateIdentity() const {
  return option(&Options::clientCertificateIdentity);
}
void NetHTTPRequest::setClientCertificateIdentity(std::shared_ptr<const platform::ClientIdentity> value) {
  setOption(&Options::clientCertificateIdentity, std::move(value));
}

std::shared_ptr<NetProgressDelegate> NetHTTPRequest::uploadProgressDelegate() const {
  platform::MutexLock guard(lock_);
  return uploadProgressDelegate_.lock();
}
NET_SET(std::weak_ptr<NetProgressDelegate>, setUploadProgressDelegate, uploadProgressDelegate_)
std::shared_ptr<NetProgressDelegate> NetHTTPRequest::downloadProgressDelegate() const {
  platform::MutexLock guard(lock_);
  return downloadProgressDelegate_.lock();
}
NET_SET(std::weak_ptr<NetProgressDelegate>, setDownloadProgressDelegate, downloadProgressDelegate_)
NET_GET(bool, showAccurateProgress, showAccurateProgress_)
NET_SET(bool, setShowAccurateProgress, showAccurateProgress_)
bool NetHTTPRequest::shouldResetUploadProgress() const { return option(&Options::shouldResetUploadProgress); }
void NetHTTPRequest::setShouldResetUploadProgress(bool value) {
  setOption(&Options::shouldResetUploadProgress, std::move(value));
}
bool NetHTTPRequest::shouldResetDownloadProgress() const {
  return option(&Options::shouldResetDownloadProgress);
}
void NetHTTPRequest::setShouldResetDownloadProgress(bool value) {
  setOption(&Options::shouldResetDownloadProgress, std::move(value));
}
NET_GET(bool, updatedProgress, updatedProgress_)

NET_GET(bool, complete, complete_)
NET_GET(bool, inProgress, inProgress_)
NET_GET(std::optional<Error>, error, error_)
double NetHTTPRequest::timeOutSeconds() const { return option(&Options::timeOutSeconds); }
void NetHTTPRequest::setTimeOutSeconds(double value) {
  setOption(&Options::timeOutSeconds, std::move(value));
}
int NetHTTPRequest::numberOfTimesToRetryOnTimeout() const {
  return option(&Options::numberOfTimesToRetryOnTimeout);
}
void NetHTTPRequest::setNumberOfTimesToRetryOnTimeout(int value) {
  setOption(&Options::numberOfTimesToRetryOnTimeout, std::move(value));
}
NET_GET(int, retryCount, retryCount_)
NET_GET(bool, isSynchronous, isSynchronous_)
bool NetHTTPRequest::shouldContinueWhenAppEntersBackground() const {
  return option(&Options::shouldContinueWhenAppEntersBackground);
}
void NetHTTPRequest::setShouldContinueWhenAppEntersBackground(bool value) {
  setOption(&Options::shouldContinueWhenAppEntersBackground, std::move(value));
}
NET_GET(std::string, runLoopMode, runLoopMode_)

std::shared_ptr<NetHTTPRequest> NetHTTPRequest::mainRequest() const {
  platform::MutexLock guard(lock_);
  return mainRequest_.lock();
}

bool NetHTTPRequest::hasMainRequest() const {
  platform::MutexLock guard(lock_);
  std::weak_ptr<NetHTTPRequest> none;
  return mainRequest_.owner_before(none) || none.owner_before(mainRequest_);
}

bool NetHTTPRequest::shouldRedirect() const { return option(&Options::shouldRedirect); }
void NetHTTPRequest::setShouldRedirect(bool value) { setOption(&Options::shouldRedirect, std::move(value)); }
NET_GET(int, redirectCount, redirectCount_)
bool NetHTTPRequest::shouldUseRFC2616RedirectBehaviour() const {
  return option(&Options::shouldUseRFC2616RedirectBehaviour);
}
void NetHTTPRequest::setShouldUseRFC2616RedirectBehaviour(bool value) {
  setOption(&Options::shouldUseRFC2616RedirectBehaviour, std::move(value));
}

NET_GET(bool, shouldAttemptPersistentConnection, shouldAttemptPersistentConnection_)
NET_SET(bool, setShouldAttemptPersistentConnection, shouldAttemptPersistentConnection_)
NET_GET(double, persistentConnectionTimeoutSeconds, persistentConnectionTimeoutSeconds_)
NET_SET(double, setPersistentConnectionTimeoutSeconds, persistentConnectionTimeoutSeconds_)
NET_GET(bool, connectionCanBeReused, connectionCanBeReused_)
NET_GET(std::optional<std::uint64_t>, requestID, requestID_)

std::optional<int> NetHTTPRequest::connectionID() const {
  platform::MutexLock guard(lock_);
  platform::MutexLock pool(shared().connectionsLock);
  if (!connectionInfo_) return std::nullopt;
  return connectionInfo_->id;
}

std::shared_ptr<NetCacheDelegate> NetHTTPRequest::downloadCache() const {
  platform::MutexLock guard(lock_);
  return downloadCache_.lock();
}
NET_SET(std::weak_ptr<NetCacheDelegate>, setDownloadCache, downloadCache_)
NET_GET(int, cachePolicy, cachePolicy_)
NET_SET(int, setCachePolicy, cachePolicy_)
int NetHTTPRequest::cacheStoragePolicy() const { return option(&Options::cacheStoragePolicy); }
void NetHTTPRequest::setCacheStoragePolicy(int value) {
  setOption(&Options::cacheStoragePolicy, std::move(value));
}
NET_GET(bool, didUseCachedResponse, didUseCachedResponse_)
double NetHTTPRequest::secondsToCache() const { return option(&Options::secondsToCache); }
void NetHTTPRequest::setSecondsToCache(double value) {
  setOption(&Options::secondsToCache, std::move(value));
}

NET_GET(std::shared_ptr<const platform::Dictionary>, userInfo, userInfo_)
NET_SET(std::shared_ptr<const platform::Dictionary>, setUserInfo, userInfo_)
NET_GET(int, tag, tag_)
NET_SET(int, setTag, tag_)

std::shared_ptr<NetHTTPRequestDelegate> NetHTTPRequest::delegate() const {
  platform::MutexLock guard(lock_);
  return delegate_.lock();
}
NET_GET(std::shared_ptr<NetHTTPRequestQueue>, queue, queue_)

namespace {

unsigned respondsMask(const NetHTTPRequestDelegate* receiver) {
  unsigned mask = 0;
  for (auto m : {NetDelegateMethod::DidReceiveData, NetDelegateMethod::WillRedirectToURL,
                 NetDelegateMethod::AuthenticationNeeded, NetDelegateMethod::ProxyAuthenticationNeeded})
    if (implementsMethod(receiver, m)) mask |= 1u << static_cast<unsigned>(m);
  return mask;
}

}  // namespace

bool implementsMethod(const NetHTTPRequestDelegate* receiver, NetDelegateMethod method) {
  if (!receiver) return false;
  switch (method) {
    case NetDelegateMethod::DidReceiveData:
      return dynamic_cast<const NetDataReceiver*>(receiver) != nullptr;
    case NetDelegateMethod::WillRedirectToURL:
      return dynamic_cast<const NetRedirectConfirmer*>(receiver) != nullptr;
    case NetDelegateMethod::AuthenticationNeeded:
      return dynamic_cast<const NetAuthenticationResponder*>(receiver) != nullptr;
    case NetDelegateMethod::ProxyAuthenticationNeeded:
      return dynamic_cast<const NetProxyAuthenticationResponder*>(receiver) != nullptr;
  }
  return false;
}

void NetHTTPRequest::setDelegate(std::weak_ptr<NetHTTPRequestDelegate> delegate) {
  auto strong = delegate.lock();
  unsigned mask = respondsMask(strong.get());
  platform::MutexLock guard(lock_);
  delegate_ = std::move(delegate);
  delegateResponds_ = mask;
}

void NetHTTPRequest::setQueue(std::shared_ptr<NetHTTPRequestQueue> queue) {
  platform::MutexLock guard(lock_);
  queue_ = std::move(queue);
}

bool NetHTTPRequest::delegateResponds(NetDelegateMethod method) const {
  platform::MutexLock guard(lock_);
  return !delegate_.expired() && (delegateResponds_ & (1u << static_cast<unsigned>(method)));
}

bool NetHTTPRequest::queueResponds(NetDelegateMethod method) const {
  std::shared_ptr<NetHTTPRequestQueue> queue;
  {
    platform::MutexLock guard(lock_);
    queue = queue_;
  }
  // A queue's answer may change with its own delegate: asked each time (queues answer from any thread).
  return queue && queue->forwards(method);
}

#define NET_BLOCK_SETTER(name, Type, field)         \
  void NetHTTPRequest::name(Type block) {           \
    platform::MutexLock guard(lock_);               \
    if (blocks_) blocks_->field = std::move(block); \
  }
NET_BLOCK_SETTER(setStartedBlock, Block, started)
NET_BLOCK_SETTER(setHeadersReceivedBlock, HeadersBlock, headersReceived)
NET_BLOCK_SETTER(setCompletionBlock, Block, completion)
NET_BLOCK_SETTER(setFailedBlock, Block, failure)
NET_BLOCK_SETTER(setBytesReceivedBlock, SizeBlock, bytesReceived)
NET_BLOCK_SETTER(setBytesSentBlock, SizeBlock, bytesSent)
NET_BLOCK_SETTER(setDownloadSizeIncrementedBlock, ProgressBlock, downloadSizeIncremented)
NET_BLOCK_SETTER(setUploadSizeIncrementedBlock, ProgressBlock, uploadSizeIncremented)
NET_BLOCK_SETTER(setDataReceivedBlock, DataBlock, dataReceived)
NET_BLOCK_SETTER(setAuthenticationNeededBlock, Block, authenticationNeeded)
NET_BLOCK_SETTER(setProxyAuthenticationNeededBlock, Block, proxyAuthenticationNeeded)
NET_BLOCK_SETTER(setRequestRedirectedBlock, Block, requestRedirected)

// --- callbacks on the main thread ---

bool NetHTTPRequest::suppressesEvents() const {
  platform::MutexLock guard(lock_);
  return error_.has_value() || hasMainRequest();
}

void NetHTTPRequest::requestStarted() {
  auto s = self();
  performOnMainThread([s] {
    if (s->suppressesEvents()) return;
    std::shared_ptr<NetHTTPRequestDelegate> delegate;
    std::shared_ptr<NetHTTPRequestQueue> queue;
    Block block;
    {
      platform::MutexLock guard(s->lock_);
      delegate = s->delegate_.lock();
      queue = s->queue_;
      if (s->blocks_) block = s->blocks_->started;
    }
    if (delegate) delegate->requestStarted(*s);
    if (block) block();
    if (queue) queue->requestStarted(*s);
  });
}

void NetHTTPRequest::requestReceivedResponseHeaders(NetHeaderDictionary headers) {
  auto s = self();
  performOnMainThread([s, headers] {
    if (s->suppressesEvents()) return;
    std::shared_ptr<NetHTTPRequestDelegate> delegate;
    std::shared_ptr<NetHTTPRequestQueue> queue;
    HeadersBlock block;
    {
      platform::MutexLock guard(s->lock_);
      delegate = s->delegate_.lock();
      queue = s->queue_;
      if (s->blocks_) block = s->blocks_->headersReceived;
    }
    if (delegate) delegate->requestDidReceiveResponseHeaders(*s, headers);
    if (block) block(headers);
    if (queue) queue->requestDidReceiveResponseHeaders(*s, headers);
  });
}

void NetHTTPRequest::requestWillRedirectToURL(URL url) {
  auto s = self();
  performOnMainThread([s, url] {
    if (s->suppressesEvents()) return;
    std::shared_ptr<NetHTTPRequestDelegate> delegate;
    std::shared_ptr<NetHTTPRequestQueue> queue;
    {
      platform::MutexLock guard(s->lock_);
      delegate = s->delegate_.lock();
      queue = s->queue_;
    }
    if (auto* confirmer = dynamic_cast<NetRedirectConfirmer*>(delegate.get()))
      confirmer->requestWillRedirectToURL(*s, url);
    if (queue && queue->forwards(NetDelegateMethod::WillRedirectToURL)) {
      if (auto* confirmer = dynamic_cast<NetRedirectConfirmer*>(queue.get()))
        confirmer->requestWillRedirectToURL(*s, url);
    }
  });
}

void NetHTTPRequest::requestRedirected() {
  auto s = self();
  performOnMainThread([s] {
    if (s->suppressesEvents()) return;
    std::shared_ptr<NetHTTPRequestDelegate> delegate;
    Block block;
    {
      platform::MutexLock guard(s->lock_);
      delegate = s->delegate_.lock();
      if (s->blocks_) block = s->blocks_->requestRedirected;
    }
    if (delegate) delegate->requestRedirected(*s);
    if (block) block();
  });
}

void NetHTTPRequest::requestFinished() {
  bool pac;
  {
    platform::MutexLock guard(lock_);
    pac = isPACFileRequest_;
  }
  // A proxy-script download reports at once on its own thread: the request that waits for it
  // runs there too.
  if (pac)
    reportFinished();
  else {
    auto s = self();
    performOnMainThread([s] { s->reportFinished(); });
  }
}

void NetHTTPRequest::reportFinished() {
  if (suppressesEvents()) return;
  std::shared_ptr<NetHTTPRequestDelegate> delegate;
  std::shared_ptr<NetHTTPRequestQueue> queue;
  Block block;
  std::function<void(NetHTTPRequest&)> pacDone;
  {
    platform::MutexLock guard(lock_);
    delegate = delegate_.lock();
    queue = queue_;
    if (blocks_) block = blocks_->completion;
  }
  if (delegate) delegate->requestFinished(*this);
  if (block) block();
  if (queue) queue->requestFinished(*this);
}

void NetHTTPRequest::reportFailure() {
  std::shared_ptr<NetHTTPRequestDelegate> delegate;
  std::shared_ptr<NetHTTPRequestQueue> queue;
  Block block;
  {
    platform::MutexLock guard(lock_);
    delegate = delegate_.lock();
    queue = queue_;
    if (blocks_) block = blocks_->failure;
  }
  if (delegate) delegate->requestFailed(*this);
  if (block) block();
  if (queue) queue->requestFailed(*this);
}

void NetHTTPRequest::passOnReceivedData(Data data) {
  auto s = self();
  auto shared = std::make_shared<Data>(std::move(data));
  performOnMainThread([s, shared] {
    std::shared_ptr<NetHTTPRequestDelegate> delegate;
    DataBlock block;
    {
      platform::MutexLock guard(s->lock_);
      delegate = s->delegate_.lock();
      if (s->blocks_) block = s->blocks_->dataReceived;
    }
    if (auto* receiver = dynamic_cast<NetDataReceiver*>(delegate.get()))
      receiver->requestDidReceiveData(*s, *shared);
    if (block) block(*shared);
  });
}

void NetHTTPRequest::releaseBlocksOnMainThread() {
  platform::MutexLock guard(lock_);
  if (!blocks_) return;
  auto old = std::make_shared<NetRequestBlocks>(std::move(*blocks_));
  *blocks_ = NetRequestBlocks();
  performOnMainThread([old]() mutable { old.reset(); });
}

// --- class-wide defaults ---

double NetHTTPRequest::defaultTimeOutSeconds() {
  platform::MutexLock guard(shared().defaultsLock);
  return shared().defaultTimeOutSeconds;
}

void NetHTTPRequest::setDefaultTimeOutSeconds(double seconds) {
  platform::MutexLock guard(shared().defaultsLock);
  shared().defaultTimeOutSeconds = seconds;
}

std::shared_ptr<NetCacheDelegate> NetHTTPRequest::defaultCache() {
  platform::MutexLock guard(shared().defaultsLock);
  return shared().defaultCache;
}

void NetHTTPRequest::setDefaultCache(std::shared_ptr<NetCacheDelegate> cache) {
  platform::MutexLock guard(shared().defaultsLock);
  shared().defaultCache = std::move(cache);
}

void NetHTTPRequest::setAuthenticationDialogPresenter(AuthenticationDialogPresenter presenter) {
  platform::MutexLock guard(shared().defaultsLock);
  shared().dialogPresenter = std::move(presenter);
}

std::vector<NetHTTPRequest::ConnectionInfo> NetHTTPRequest::persistentConnections() {
  platform::MutexLock guard(shared().connectionsLock);
  std::vector<ConnectionInfo> out;
  for (const auto& e : shared().pool)
    out.push_back({e->id, e->host, e->port, e->scheme, e->request, e->expires});
  return out;
}

void NetHTTPRequest::resetForTesting() {
  unsubscribeFromNetworkReachabilityNotifications();
  std::vector<std::shared_ptr<NetConnectionEntry>> pool;
  {
    platform::MutexLock guard(shared().connectionsLock);
    pool.swap(shared().pool);
    shared().runningRequestCount = 0;
    shared().indicatorVisible = false;
  }
  for (auto& e : pool) {
    if (!e->stream) continue;
    auto stream = e->stream;
    RunLoop* loop = e->streamLoop;
    if (!loop || loop->isCurrentThread())
      stream->close();
    else
      loop->performOnMain([stream] { stream->close(); });
  }
  {
    platform::MutexLock guard(shared().sessionCredentialsLock);
    shared().sessionCredentials.clear();
    shared().sessionProxyCredentials.clear();
  }
  {
    platform::MutexLock guard(shared().sessionCookiesLock);
    shared().sessionCookies.clear();
  }
  {
    platform::MutexLock guard(shared().bandwidthLock);
    shared().maxBandwidthPerSecond = 0;
    shared().bandwidthUsedInLastSecond = 0;
    shared().bandwidthMeasurementDate.reset();
    shared().bandwidthUsageTracker.clear();
    shared().averageBandwidthUsedPerSecond = 0;
    shared().throttleWakeUpTime.reset();
    shared().isBandwidthThrottled = false;
    shared().shouldThrottleBandwidthForWWANOnly = false;
  }
  platform::MutexLock guard(shared().defaultsLock);
  shared().defaultTimeOutSeconds = 10.0;
  shared().defaultCache.reset();
  shared().dialogPresenter = nullptr;
}

}  // namespace kavro
