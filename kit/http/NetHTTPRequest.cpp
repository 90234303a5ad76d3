#include "kit/http/NetHTTPRequest.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <future>
#include <thread>

#include "kit/http/NetDataDecompressor.h"
#include "kit/http/NetHTTPRequestInternal.h"
#include "kit/http/NetInputStream.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
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

// --- guarded fields ---

template <typename T>
T NetHTTPRequest::guarded(T NetHTTPRequest::*field) const {
  platform::MutexLock guard(lock_);
  return lockedField(field);
}

template <typename T>
void NetHTTPRequest::setGuarded(T NetHTTPRequest::*field, T value) {
  platform::MutexLock guard(lock_);
  lockedField(field) = std::move(value);
}

template <typename T>
void NetHTTPRequest::setBlock(T NetRequestBlocks::*field, T block) {
  platform::MutexLock guard(lock_);
  if (blocks_) (*blocks_).*field = std::move(block);
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

namespace {
// What a new request starts from; out of the constructor, where the lock analysis does not look.
std::pair<double, std::shared_ptr<NetCacheDelegate>> newRequestDefaults() {
  platform::MutexLock guard(shared().defaultsLock);
  return {shared().defaultTimeOutSeconds, shared().defaultCache};
}
}  // namespace

NetHTTPRequest::NetHTTPRequest(std::optional<URL> url) : blocks_(std::make_unique<NetRequestBlocks>()) {
  auto [timeOutSeconds, cache] = newRequestDefaults();
  options_.timeOutSeconds = timeOutSeconds;
  downloadCache_ = std::move(cache);
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
    RunLoop* loop = runLoop_.load() ? runLoop_.load() : &threadForRequest();
    if (loop->isCurrentThread())
      timer->invalidate();
    else
      loop->performOnMain([timer] { timer->invalidate(); });
  }
  for (auto* timer : {&PACFileReadTimer_, &PACFileTimeOutTimer_, &PACDownloadWaitTimer_}) {
    if (!*timer) continue;
    auto t = std::move(*timer);
    RunLoop* loop = runLoop_.load() ? runLoop_.load() : &threadForRequest();
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
  auto r = requestWithURL(std::nullopt);
  // The HEAD request's lock first: a HEAD request locks its main request, never the other way
  // round. Nobody else has the new request yet, so taking its lock waits for no one.
  platform::MutexLock theirs(r->lock_);
  platform::MutexLock guard(lock_);
  platform::MutexLock options(optionsLock_);
  r->url_ = url_;
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
  auto r = std::shared_ptr<NetHTTPRequest>(new NetHTTPRequest(std::nullopt));
  platform::MutexLock theirs(r->lock_);
  platform::MutexLock guard(lock_);
  platform::MutexLock options(optionsLock_);
  r->url_ = url_;
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
  // Makes one loop when several threads ask at once; what it guards is the atomic, read
  // without it once set, so nothing is marked as guarded by it.
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
  RunLoop* loop = runLoop_.load(std::memory_order_acquire);
  return loop ? *loop : threadForRequest();
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
    outsideWork_.emplace();
    runLoop_.store(&threadForRequest(), std::memory_order_release);
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
    runLoop_.store(&loop, std::memory_order_release);
    inProgress_ = true;
  }
  if (!isCancelled() && !complete()) {
    main();
    while (!complete()) loop.runOnce(1e10, NetHTTPRequestRunLoopMode);
  }
  // inProgress_ changes with lock_ held (see the field).
  platform::MutexLock guard(lock_);
  inProgress_ = false;
}

bool NetHTTPRequest::isExecuting() const { return inProgress(); }

bool NetHTTPRequest::isFinished() const { return finished_.load(); }
bool NetHTTPRequest::isCancelled() const { return cancelled_.load(); }

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

std::optional<URL> NetHTTPRequest::url() const { return guarded(&NetHTTPRequest::url_); }

void NetHTTPRequest::setURL(std::optional<URL> url) {
  platform::MutexLock guard(lock_);
  if (url == url_) return;
  url_ = std::move(url);
  requestAuthentication_.reset();
  proxyAuthentication_.reset();
  request_.reset();
  redirectURL_.reset();
}

std::optional<URL> NetHTTPRequest::originalURL() const { return guarded(&NetHTTPRequest::originalURL_); }
std::optional<URL> NetHTTPRequest::redirectURL() const { return guarded(&NetHTTPRequest::redirectURL_); }
std::string NetHTTPRequest::requestMethod() const { return guarded(&NetHTTPRequest::requestMethod_); }

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
NetHeaderDictionary NetHTTPRequest::requestHeaders() const {
  return guarded(&NetHTTPRequest::requestHeaders_);
}
void NetHTTPRequest::setRequestHeaders(NetHeaderDictionary value) {
  setGuarded(&NetHTTPRequest::requestHeaders_, std::move(value));
}

void NetHTTPRequest::addRequestHeader(std::string_view name, std::string_view value) {
  platform::MutexLock guard(lock_);
  requestHeaders_.set(name, value);
}

std::vector<platform::HTTPCookie> NetHTTPRequest::requestCookies() const {
  return guarded(&NetHTTPRequest::requestCookies_);
}
void NetHTTPRequest::setRequestCookies(std::vector<platform::HTTPCookie> value) {
  setGuarded(&NetHTTPRequest::requestCookies_, std::move(value));
}
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
std::optional<platform::HTTPMessage> NetHTTPRequest::request() const {
  return guarded(&NetHTTPRequest::request_);
}

std::optional<Data> NetHTTPRequest::postBody() const { return guarded(&NetHTTPRequest::postBody_); }
void NetHTTPRequest::setPostBody(std::optional<Data> value) {
  setGuarded(&NetHTTPRequest::postBody_, std::move(value));
}
bool NetHTTPRequest::shouldStreamPostDataFromDisk() const {
  return guarded(&NetHTTPRequest::shouldStreamPostDataFromDisk_);
}
void NetHTTPRequest::setShouldStreamPostDataFromDisk(bool value) {
  setGuarded(&NetHTTPRequest::shouldStreamPostDataFromDisk_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::postBodyFilePath() const {
  return guarded(&NetHTTPRequest::postBodyFilePath_);
}
void NetHTTPRequest::setPostBodyFilePath(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::postBodyFilePath_, std::move(value));
}
bool NetHTTPRequest::shouldCompressRequestBody() const { return option(&Options::shouldCompressRequestBody); }
void NetHTTPRequest::setShouldCompressRequestBody(bool value) {
  setOption(&Options::shouldCompressRequestBody, std::move(value));
}
std::uint64_t NetHTTPRequest::postLength() const { return guarded(&NetHTTPRequest::postLength_); }
void NetHTTPRequest::setPostLength(std::uint64_t value) {
  setGuarded(&NetHTTPRequest::postLength_, std::move(value));
}
bool NetHTTPRequest::haveBuiltPostBody() const { return guarded(&NetHTTPRequest::haveBuiltPostBody_); }
void NetHTTPRequest::setHaveBuiltPostBody(bool value) {
  setGuarded(&NetHTTPRequest::haveBuiltPostBody_, std::move(value));
}

void NetHTTPRequest::setupPostBody() {
  platform::MutexLock guard(lock_);
  if (shouldStreamPostDataFromDisk_) {
    if (!postBodyFilePath_) {
      postBodyFilePath_ = netdetail::uniqueTemporaryPath();
      didCreateTemporaryPostDataFile_ = true;
    }
    if (!postBodyWriteStream_ && !postBodyWriteFailed_)
      postBodyWriteStream_ = std::fopen(postBodyFilePath_->c_str(), "wb");
  } else if (!postBody_) {
    postBody_ = Data();
  }
}

void NetHTTPRequest::appendPostData(const Data& data) {
  platform::MutexLock guard(lock_);
  setupPostBody();
  if (data.empty()) return;
  if (shouldStreamPostDataFromDisk_) {
    writePostBody(data.data(), data.size());
  } else {
    postBody_->insert(postBody_->end(), data.begin(), data.end());
  }
}

// Written straight to the file, so that a disk that fails is seen here and not at a close nobody
// checks. A body that could not be written whole is dropped, as one that could not be opened is: the
// request then fails at its start, naming the file, instead of sending what there is of it.
bool NetHTTPRequest::writePostBody(const void* bytes, std::size_t size) {
  if (!postBodyWriteStream_) return false;
  const int fd = fileno(postBodyWriteStream_);
  const auto* at = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(fd, at, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      postBodyWriteErrno_ = n < 0 ? errno : ENOSPC;
      std::fclose(postBodyWriteStream_);
      postBodyWriteStream_ = nullptr;
      postBodyWriteFailed_ = true;
      platform::FileManager::removeItemAtPath(*postBodyFilePath_);
      return false;
    }
    at += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool NetHTTPRequest::appendPostDataFromFile(std::string_view path) {
  platform::MutexLock guard(lock_);
  setupPostBody();
  std::FILE* in = std::fopen(std::string(path).c_str(), "rb");
  if (!in) return false;
  std::vector<std::uint8_t> buffer(262144);
  bool whole = true;
  for (;;) {
    std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
    if (n == 0) break;
    if (shouldStreamPostDataFromDisk_) {
      if (!writePostBody(buffer.data(), n)) {
        whole = false;
        break;
      }
    } else {
      postBody_->insert(postBody_->end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
  }
  if (std::ferror(in)) whole = false;
  std::fclose(in);
  return whole;
}

// --- the answer ---

bool NetHTTPRequest::onRequestThread() const {
  platform::RunLoop* loop = runLoop_.load(std::memory_order_acquire);
  return loop && loop->isCurrentThread();
}

std::shared_ptr<const NetHTTPRequest::Response> NetHTTPRequest::handedResponse() const {
  platform::MutexLock guard(publishedLock_);
  if (callbackView_ && RunLoop::main().isCurrentThread()) return callbackView_;
  return published_;
}

template <typename F>
auto NetHTTPRequest::readResponse(F read) const {
  if (onRequestThread()) {
    platform::MutexLock guard(lock_);
    return read(running_);
  }
  static const Response none;
  auto handed = handedResponse();
  return read(handed ? *handed : none);
}

std::shared_ptr<const NetHTTPRequest::Response> NetHTTPRequest::snapshotResponse() const {
  platform::MutexLock guard(lock_);
  auto copy = std::make_shared<Response>(running_);
  copy->url = url_;
  copy->waitsToInflate = option(&Options::shouldWaitToInflateCompressedResponses);
  copy->sizeLimit = responseSizeLimit();
  return copy;
}

std::shared_ptr<const NetHTTPRequest::Response> NetHTTPRequest::publishResponse() {
  auto answer = snapshotResponse();
  platform::MutexLock guard(publishedLock_);
  published_ = answer;
  return answer;
}

std::shared_ptr<const NetHTTPRequest::Response> NetHTTPRequest::publishedResponse() const {
  platform::MutexLock guard(publishedLock_);
  return published_;
}

void NetHTTPRequest::withCallbackView(const std::shared_ptr<const Response>& view,
                                      const std::function<void()>& call) {
  std::shared_ptr<const Response> before;
  {
    platform::MutexLock guard(publishedLock_);
    before = std::exchange(callbackView_, view);
  }
  call();
  platform::MutexLock guard(publishedLock_);
  callbackView_ = std::move(before);
}

bool NetHTTPRequest::Response::isCompressed() const {
  if (!headers) return false;
  auto encoding = headers->value("Content-Encoding");
  return encoding && encoding->find("gzip") != std::string::npos;
}

std::optional<Data> NetHTTPRequest::Response::data() const {
  if (isCompressed() && waitsToInflate) {
    if (!rawData) return std::nullopt;
    return NetDataDecompressor::uncompressData(*rawData, nullptr, sizeLimit);
  }
  return rawData;
}

std::optional<std::string> NetHTTPRequest::Response::string() const {
  auto body = data();
  if (!body) return std::nullopt;
  return stringFromBytes(*body, encoding);
}

std::optional<NetHeaderDictionary> NetHTTPRequest::responseHeaders() const {
  return readResponse([](const Response& r) { return r.headers; });
}
int NetHTTPRequest::responseStatusCode() const {
  return readResponse([](const Response& r) { return r.statusCode; });
}
std::optional<std::string> NetHTTPRequest::responseStatusMessage() const {
  return readResponse([](const Response& r) { return r.statusMessage; });
}
std::vector<platform::HTTPCookie> NetHTTPRequest::responseCookies() const {
  return readResponse([](const Response& r) { return r.cookies; });
}
std::optional<Data> NetHTTPRequest::rawResponseData() const {
  return readResponse([](const Response& r) { return r.rawData; });
}
std::uint64_t NetHTTPRequest::contentLength() const {
  return readResponse([](const Response& r) { return r.contentLength; });
}
std::uint64_t NetHTTPRequest::totalBytesRead() const {
  return readResponse([](const Response& r) { return r.totalBytesRead; });
}
std::uint64_t NetHTTPRequest::totalBytesSent() const {
  return readResponse([](const Response& r) { return r.totalBytesSent; });
}
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
NetStringEncoding NetHTTPRequest::responseEncoding() const {
  return readResponse([](const Response& r) { return r.encoding; });
}
bool NetHTTPRequest::downloadComplete() const {
  return readResponse([](const Response& r) { return r.downloadComplete; });
}

bool NetHTTPRequest::isResponseCompressed() const {
  return readResponse([](const Response& r) { return r.isCompressed(); });
}

std::optional<Data> NetHTTPRequest::responseData() const {
  if (!onRequestThread()) return readResponse([](const Response& r) { return r.data(); });
  platform::MutexLock guard(lock_);
  if (running_.isCompressed() && options_.shouldWaitToInflateCompressedResponses) {
    if (!running_.rawData) return std::nullopt;
    return NetDataDecompressor::uncompressData(*running_.rawData, nullptr, responseSizeLimit());
  }
  return running_.rawData;
}

std::optional<std::string> NetHTTPRequest::responseString() const {
  if (!onRequestThread()) return readResponse([](const Response& r) { return r.string(); });
  platform::MutexLock guard(lock_);
  auto data = responseData();
  if (!data) return std::nullopt;
  return stringFromBytes(*data, running_.encoding);
}

std::optional<std::string> NetHTTPRequest::downloadDestinationPath() const {
  return guarded(&NetHTTPRequest::downloadDestinationPath_);
}
void NetHTTPRequest::setDownloadDestinationPath(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::downloadDestinationPath_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::temporaryFileDownloadPath() const {
  return guarded(&NetHTTPRequest::temporaryFileDownloadPath_);
}
void NetHTTPRequest::setTemporaryFileDownloadPath(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::temporaryFileDownloadPath_, std::move(value));
}
bool NetHTTPRequest::allowResumeForFileDownloads() const {
  return option(&Options::allowResumeForFileDownloads);
}
void NetHTTPRequest::setAllowResumeForFileDownloads(bool value) {
  setOption(&Options::allowResumeForFileDownloads, std::move(value));
}
std::uint64_t NetHTTPRequest::partialDownloadSize() const {
  return guarded(&NetHTTPRequest::partialDownloadSize_);
}

std::optional<std::string> NetHTTPRequest::username() const { return guarded(&NetHTTPRequest::username_); }
void NetHTTPRequest::setUsername(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::username_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::password() const { return guarded(&NetHTTPRequest::password_); }
void NetHTTPRequest::setPassword(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::password_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::domain() const { return guarded(&NetHTTPRequest::domain_); }
void NetHTTPRequest::setDomain(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::domain_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::proxyUsername() const {
  return guarded(&NetHTTPRequest::proxyUsername_);
}
void NetHTTPRequest::setProxyUsername(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::proxyUsername_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::proxyPassword() const {
  return guarded(&NetHTTPRequest::proxyPassword_);
}
void NetHTTPRequest::setProxyPassword(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::proxyPassword_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::proxyDomain() const {
  return guarded(&NetHTTPRequest::proxyDomain_);
}
void NetHTTPRequest::setProxyDomain(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::proxyDomain_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::authenticationScheme() const {
  return guarded(&NetHTTPRequest::authenticationScheme_);
}
void NetHTTPRequest::setAuthenticationScheme(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::authenticationScheme_, std::move(value));
}
std::optional<std::string> NetHTTPRequest::authenticationRealm() const {
  return guarded(&NetHTTPRequest::authenticationRealm_);
}
std::optional<std::string> NetHTTPRequest::proxyAuthenticationScheme() const {
  return guarded(&NetHTTPRequest::proxyAuthenticationScheme_);
}
std::optional<std::string> NetHTTPRequest::proxyAuthenticationRealm() const {
  return guarded(&NetHTTPRequest::proxyAuthenticationRealm_);
}
int NetHTTPRequest::authenticationRetryCount() const {
  return guarded(&NetHTTPRequest::authenticationRetryCount_);
}
int NetHTTPRequest::proxyAuthenticationRetryCount() const {
  return guarded(&NetHTTPRequest::proxyAuthenticationRetryCount_);
}
int NetHTTPRequest::authenticationNeeded() const { return guarded(&NetHTTPRequest::authenticationNeeded_); }
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
std::shared_ptr<const platform::HTTPCredentials> NetHTTPRequest::requestCredentials() const {
  return guarded(&NetHTTPRequest::requestCredentials_);
}
std::shared_ptr<const platform::HTTPCredentials> NetHTTPRequest::proxyCredentials() const {
  return guarded(&NetHTTPRequest::proxyCredentials_);
}

std::optional<std::string> NetHTTPRequest::proxyHost() const { return guarded(&NetHTTPRequest::proxyHost_); }
void NetHTTPRequest::setProxyHost(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::proxyHost_, std::move(value));
}
int NetHTTPRequest::proxyPort() const { return guarded(&NetHTTPRequest::proxyPort_); }
void NetHTTPRequest::setProxyPort(int value) { setGuarded(&NetHTTPRequest::proxyPort_, std::move(value)); }
std::optional<std::string> NetHTTPRequest::proxyType() const { return guarded(&NetHTTPRequest::proxyType_); }
void NetHTTPRequest::setProxyType(std::optional<std::string> value) {
  setGuarded(&NetHTTPRequest::proxyType_, std::move(value));
}
std::optional<URL> NetHTTPRequest::PACurl() const { return guarded(&NetHTTPRequest::PACurl_); }
void NetHTTPRequest::setPACurl(std::optional<URL> value) {
  setGuarded(&NetHTTPRequest::PACurl_, std::move(value));
}
bool NetHTTPRequest::isPACFileRequest() const { return guarded(&NetHTTPRequest::isPACFileRequest_); }
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
void NetHTTPRequest::setUploadProgressDelegate(std::weak_ptr<NetProgressDelegate> value) {
  setGuarded(&NetHTTPRequest::uploadProgressDelegate_, std::move(value));
}
std::shared_ptr<NetProgressDelegate> NetHTTPRequest::downloadProgressDelegate() const {
  platform::MutexLock guard(lock_);
  return downloadProgressDelegate_.lock();
}
void NetHTTPRequest::setDownloadProgressDelegate(std::weak_ptr<NetProgressDelegate> value) {
  setGuarded(&NetHTTPRequest::downloadProgressDelegate_, std::move(value));
}
bool NetHTTPRequest::showAccurateProgress() const { return guarded(&NetHTTPRequest::showAccurateProgress_); }
void NetHTTPRequest::setShowAccurateProgress(bool value) {
  setGuarded(&NetHTTPRequest::showAccurateProgress_, std::move(value));
}
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
bool NetHTTPRequest::updatedProgress() const { return guarded(&NetHTTPRequest::updatedProgress_); }

bool NetHTTPRequest::complete() const {
  return readResponse([](const Response& r) { return r.complete; });
}
bool NetHTTPRequest::inProgress() const { return inProgress_.load(); }
std::optional<Error> NetHTTPRequest::error() const {
  return readResponse([](const Response& r) { return r.error; });
}
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
int NetHTTPRequest::retryCount() const { return guarded(&NetHTTPRequest::retryCount_); }
bool NetHTTPRequest::isSynchronous() const { return guarded(&NetHTTPRequest::isSynchronous_); }
bool NetHTTPRequest::shouldContinueWhenAppEntersBackground() const {
  return option(&Options::shouldContinueWhenAppEntersBackground);
}
void NetHTTPRequest::setShouldContinueWhenAppEntersBackground(bool value) {
  setOption(&Options::shouldContinueWhenAppEntersBackground, std::move(value));
}
std::string NetHTTPRequest::runLoopMode() const { return guarded(&NetHTTPRequest::runLoopMode_); }

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
int NetHTTPRequest::redirectCount() const { return guarded(&NetHTTPRequest::redirectCount_); }
bool NetHTTPRequest::shouldUseRFC2616RedirectBehaviour() const {
  return option(&Options::shouldUseRFC2616RedirectBehaviour);
}
void NetHTTPRequest::setShouldUseRFC2616RedirectBehaviour(bool value) {
  setOption(&Options::shouldUseRFC2616RedirectBehaviour, std::move(value));
}

bool NetHTTPRequest::shouldAttemptPersistentConnection() const {
  return guarded(&NetHTTPRequest::shouldAttemptPersistentConnection_);
}
void NetHTTPRequest::setShouldAttemptPersistentConnection(bool value) {
  setGuarded(&NetHTTPRequest::shouldAttemptPersistentConnection_, std::move(value));
}
double NetHTTPRequest::persistentConnectionTimeoutSeconds() const {
  return guarded(&NetHTTPRequest::persistentConnectionTimeoutSeconds_);
}
void NetHTTPRequest::setPersistentConnectionTimeoutSeconds(double value) {
  setGuarded(&NetHTTPRequest::persistentConnectionTimeoutSeconds_, std::move(value));
}
bool NetHTTPRequest::connectionCanBeReused() const {
  return guarded(&NetHTTPRequest::connectionCanBeReused_);
}
std::optional<std::uint64_t> NetHTTPRequest::requestID() const {
  return guarded(&NetHTTPRequest::requestID_);
}

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
void NetHTTPRequest::setDownloadCache(std::weak_ptr<NetCacheDelegate> value) {
  setGuarded(&NetHTTPRequest::downloadCache_, std::move(value));
}
int NetHTTPRequest::cachePolicy() const { return guarded(&NetHTTPRequest::cachePolicy_); }
void NetHTTPRequest::setCachePolicy(int value) {
  setGuarded(&NetHTTPRequest::cachePolicy_, std::move(value));
}
int NetHTTPRequest::cacheStoragePolicy() const { return option(&Options::cacheStoragePolicy); }
void NetHTTPRequest::setCacheStoragePolicy(int value) {
  setOption(&Options::cacheStoragePolicy, std::move(value));
}
bool NetHTTPRequest::didUseCachedResponse() const {
  return readResponse([](const Response& r) { return r.didUseCachedResponse; });
}
double NetHTTPRequest::secondsToCache() const { return option(&Options::secondsToCache); }
void NetHTTPRequest::setSecondsToCache(double value) {
  setOption(&Options::secondsToCache, std::move(value));
}

std::shared_ptr<const platform::Dictionary> NetHTTPRequest::userInfo() const {
  return guarded(&NetHTTPRequest::userInfo_);
}
void NetHTTPRequest::setUserInfo(std::shared_ptr<const platform::Dictionary> value) {
  setGuarded(&NetHTTPRequest::userInfo_, std::move(value));
}
int NetHTTPRequest::tag() const { return guarded(&NetHTTPRequest::tag_); }
void NetHTTPRequest::setTag(int value) { setGuarded(&NetHTTPRequest::tag_, std::move(value)); }

std::shared_ptr<NetHTTPRequestDelegate> NetHTTPRequest::delegate() const {
  platform::MutexLock guard(lock_);
  return delegate_.lock();
}
std::shared_ptr<NetHTTPRequestQueue> NetHTTPRequest::queue() const {
  return guarded(&NetHTTPRequest::queue_);
}

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

void NetHTTPRequest::setStartedBlock(Block block) { setBlock(&NetRequestBlocks::started, std::move(block)); }
void NetHTTPRequest::setHeadersReceivedBlock(HeadersBlock block) {
  setBlock(&NetRequestBlocks::headersReceived, std::move(block));
}
void NetHTTPRequest::setCompletionBlock(Block block) {
  setBlock(&NetRequestBlocks::completion, std::move(block));
}
void NetHTTPRequest::setFailedBlock(Block block) { setBlock(&NetRequestBlocks::failure, std::move(block)); }
void NetHTTPRequest::setBytesReceivedBlock(SizeBlock block) {
  setBlock(&NetRequestBlocks::bytesReceived, std::move(block));
}
void NetHTTPRequest::setBytesSentBlock(SizeBlock block) {
  setBlock(&NetRequestBlocks::bytesSent, std::move(block));
}
void NetHTTPRequest::setDownloadSizeIncrementedBlock(ProgressBlock block) {
  setBlock(&NetRequestBlocks::downloadSizeIncremented, std::move(block));
}
void NetHTTPRequest::setUploadSizeIncrementedBlock(ProgressBlock block) {
  setBlock(&NetRequestBlocks::uploadSizeIncremented, std::move(block));
}
void NetHTTPRequest::setDataReceivedBlock(DataBlock block) {
  setBlock(&NetRequestBlocks::dataReceived, std::move(block));
}
void NetHTTPRequest::setAuthenticationNeededBlock(Block block) {
  setBlock(&NetRequestBlocks::authenticationNeeded, std::move(block));
}
void NetHTTPRequest::setProxyAuthenticationNeededBlock(Block block) {
  setBlock(&NetRequestBlocks::proxyAuthenticationNeeded, std::move(block));
}
void NetHTTPRequest::setRequestRedirectedBlock(Block block) {
  setBlock(&NetRequestBlocks::requestRedirected, std::move(block));
}

// --- callbacks on the main thread ---

bool NetHTTPRequest::suppressesEvents() const {
  platform::MutexLock guard(lock_);
  return running_.error.has_value() || hasMainRequest();
}

void NetHTTPRequest::requestStarted() {
  auto s = self();
  performOnMainThread([s] {
    if (s->suppressesEvents()) return;
    auto [delegate, queue, block] = s->receivers(&NetRequestBlocks::started);
    if (delegate) delegate->requestStarted(*s);
    if (block) block();
    if (queue) queue->requestStarted(*s);
  });
}

void NetHTTPRequest::requestReceivedResponseHeaders(NetHeaderDictionary headers) {
  requestThread_.claim();
  auto s = self();
  auto view = snapshotResponse();
  headersView_ = view;
  performOnMainThread(
      [s, headers, view] { s->withCallbackView(view, [&] { s->reportResponseHeaders(headers); }); });
}

void NetHTTPRequest::reportResponseHeaders(const NetHeaderDictionary& headers) {
  if (suppressesEvents()) return;
  auto [delegate, queue, block] = receivers(&NetRequestBlocks::headersReceived);
  if (delegate) delegate->requestDidReceiveResponseHeaders(*this, headers);
  if (block) block(headers);
  if (queue) queue->requestDidReceiveResponseHeaders(*this, headers);
}

void NetHTTPRequest::requestWillRedirectToURL(URL url) {
  auto s = self();
  auto view = snapshotResponse();
  performOnMainThread([s, url, view] {
    if (s->suppressesEvents()) return;
    s->withCallbackView(view, [&] {
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
  });
}

void NetHTTPRequest::requestRedirected() {
  auto s = self();
  auto view = snapshotResponse();
  performOnMainThread([s, view] {
    if (s->suppressesEvents()) return;
    auto got = s->receivers(&NetRequestBlocks::requestRedirected);
    s->withCallbackView(view, [&] {
      if (got.delegate) got.delegate->requestRedirected(*s);
      if (got.block) got.block();
    });
  });
}

void NetHTTPRequest::requestFinished() {
  bool pac;
  {
    platform::MutexLock guard(lock_);
    pac = isPACFileRequest_;
  }
  // The answer is whole now: published before anyone hears of the end.
  auto answer = publishResponse();
  // A proxy-script download reports at once on its own thread: the request that waits for it
  // runs there too.
  if (pac)
    reportFinished();
  else {
    auto s = self();
    performOnMainThread([s, answer] { s->withCallbackView(answer, [&] { s->reportFinished(); }); });
  }
}

void NetHTTPRequest::reportFinished() {
  if (suppressesEvents()) return;
  auto [delegate, queue, block] = receivers(&NetRequestBlocks::completion);
  if (delegate) delegate->requestFinished(*this);
  if (block) block();
  if (queue) queue->requestFinished(*this);
}

void NetHTTPRequest::reportFailure() {
  auto [delegate, queue, block] = receivers(&NetRequestBlocks::failure);
  if (delegate) delegate->requestFailed(*this);
  if (block) block();
  if (queue) queue->requestFailed(*this);
}

void NetHTTPRequest::passOnReceivedData(Data data) {
  requestThread_.claim();
  auto s = self();
  auto shared = std::make_shared<Data>(std::move(data));
  std::shared_ptr<const Response> view = headersView_;
  performOnMainThread([s, shared, view] {
    auto got = s->receivers(&NetRequestBlocks::dataReceived);
    s->withCallbackView(view, [&] {
      if (auto* receiver = dynamic_cast<NetDataReceiver*>(got.delegate.get()))
        receiver->requestDidReceiveData(*s, *shared);
      if (got.block) got.block(*shared);
    });
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
