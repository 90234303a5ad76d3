#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/http/NetCacheDelegate.h"
#include "kit/http/NetHTTPRequestDelegate.h"
#include "kit/http/NetHTTPRequestErrors.h"
#include "kit/http/NetHeaderDictionary.h"
#include "kit/http/NetStringEncoding.h"
#include "kit/http/Operation.h"
#include "kit/http/OperationQueue.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/net/ClientIdentity.h"
#include "platform/net/HTTPAuthentication.h"
#include "platform/net/HTTPCookie.h"
#include "platform/net/HTTPMessage.h"
#include "platform/net/SystemProxySettings.h"

namespace platform {
class HTTPReadStream;
class PACScriptEvaluation;
class Timer;
}  // namespace platform

namespace kavro {

class NetDataDecompressor;
class NetInputStream;
struct NetConnectionEntry;
struct NetRequestBlocks;

// The private run-loop mode of synchronous requests.
inline constexpr std::string_view NetHTTPRequestRunLoopMode = "NetHTTPRequestRunLoopMode";

// One HTTP request with its whole configuration, the message it builds, the stream it runs on,
// the response it collects and the callbacks it makes: redirects, persistent connections,
// authentication (Basic, Digest, NTLM; server and proxy), proxies and proxy auto-configuration,
// gzip in both directions, cookies, downloads to files with resume, progress, bandwidth
// throttling.
//
// Threads. startAsynchronous() puts the request on the shared queue (at most 4 at once); its
// work (building the message, the stream, its timers) then runs on the single network thread.
// startSynchronous() runs it on the calling thread's run loop, in NetHTTPRequestRunLoopMode.
// Every delegate, block, progress and queue callback runs on the main thread
// (RunLoop::main()): the delegate first, then the block, then the queue; when the engine itself
// is on the main thread the callback runs at once. Getters and setters may be used from any
// thread; the answer (status, headers, body, error, completion) reads differently by thread, see
// Response; the switches that only tune the run (time-out, redirects, compression, encodings,
// dialogs, persistence, certificates, progress resets, cache storage) are read as they stood
// when the request started, and setting them later changes nothing. Delegates and progress delegates are held
// weakly; the queue is kept.
//
// Make requests with requestWithURL() (they live in a shared_ptr).
class NetHTTPRequest : public Operation {
 public:
  enum AuthenticationState : int {
    NoAuthenticationNeeded = 0,
    HTTPAuthenticationNeeded = 1,
    ProxyAuthenticationNeeded = 2
  };

  using Block = std::function<void()>;
  using HeadersBlock = std::function<void(const NetHeaderDictionary& headers)>;
  using SizeBlock = std::function<void(std::uint64_t size, std::uint64_t total)>;
  using ProgressBlock = std::function<void(std::int64_t size)>;
  using DataBlock = std::function<void(const platform::Data& data)>;

  static std::shared_ptr<NetHTTPRequest> requestWithURL(std::optional<platform::URL> url);
  static std::shared_ptr<NetHTTPRequest> requestWithURL(std::optional<platform::URL> url,
                                                        std::weak_ptr<NetCacheDelegate> cache,
                                                        int cachePolicy = 0);
  ~NetHTTPRequest() override;
  NetHTTPRequest(const NetHTTPRequest&) = delete;
  NetHTTPRequest& operator=(const NetHTTPRequest&) = delete;

  // A HEAD request for the same URL made for this one (it reports nothing of its own; its
  // "Content-Length" sizes this request's download).
  std::shared_ptr<NetHTTPRequest> HEADRequest();
  // A new request with this one's configuration (not its queue, blocks, cache or state).
  std::shared_ptr<NetHTTPRequest> copy();

  // --- running ---
  void startAsynchronous();
  // Runs on loop, which must be the calling thread's (the main loop by default), until complete.
  void startSynchronous(platform::RunLoop& loop = platform::RunLoop::main());
  void start() override;
  void cancel() override;
  // No delegate, progress delegate, queue or block hears anything more; then cancel().
  void clearDelegatesAndCancel();
  bool isConcurrent() const override { return true; }
  bool isExecuting() const override;
  bool isFinished() const override;
  bool isCancelled() const override;

  // After the delegate was asked for credentials: try again with what it set, or give up
  // (the request fails with "Authentication needed").
  void retryUsingSuppliedCredentials();
  void cancelAuthentication();
  // After the delegate was asked to confirm a redirect: follow it to newURL.
  void redirectToURL(const platform::URL& newURL);

  // --- target, method, headers, cookies ---
  std::optional<platform::URL> url() const;
  // Drops the built message and the authentication objects when the URL changes.
  void setURL(std::optional<platform::URL> url);
  std::optional<platform::URL> originalURL() const;
  std::optional<platform::URL> redirectURL() const;
  std::string requestMethod() const;
  // "POST" and "PUT", or any method once there is a body, turn persistent connections off.
  void setRequestMethod(std::string_view method);
  bool useHTTPVersionOne() const;
  void setUseHTTPVersionOne(bool value);
  NetHeaderDictionary requestHeaders() const;
  void setRequestHeaders(NetHeaderDictionary headers);
  void addRequestHeader(std::string_view name, std::string_view value);
  std::vector<platform::HTTPCookie> requestCookies() const;
  void setRequestCookies(std::vector<platform::HTTPCookie> cookies);
  bool useCookiePersistence() const;
  void setUseCookiePersistence(bool value);
  std::optional<std::string> userAgentString() const;
  void setUserAgentString(std::optional<std::string> value);
  // The message as built (after start).
  std::optional<platform::HTTPMessage> request() const;

  // --- body ---
  std::optional<platform::Data> postBody() const;
  void setPostBody(std::optional<platform::Data> body);
  void appendPostData(const platform::Data& data);
  // false when the file cannot be read, or the body streamed to disk cannot take it.
  bool appendPostDataFromFile(std::string_view path);
  bool shouldStreamPostDataFromDisk() const;
  void setShouldStreamPostDataFromDisk(bool value);
  std::optional<std::string> postBodyFilePath() const;
  void setPostBodyFilePath(std::optional<std::string> path);
  bool shouldCompressRequestBody() const;
  void setShouldCompressRequestBody(bool value);
  std::uint64_t postLength() const;
  // Measures (and gzips when asked) the body; once.
  virtual void buildPostBody();

  // --- response ---
  // One answer as a whole. The request's own thread (where the download cache and the proxy
  // script are asked) reads the answer as it is being read. Every other thread reads what was
  // handed to it: inside a main-thread callback, the answer that callback was made for (the
  // headers of a redirect stay the redirect's even when the request has moved on); elsewhere the
  // answer published when the request ended, whole, and nothing of a run still going.
  struct Response {
    int statusCode = 0;
    std::optional<std::string> statusMessage;
    std::optional<NetHeaderDictionary> headers;
    std::vector<platform::HTTPCookie> cookies;
    std::optional<platform::Data> rawData;
    std::uint64_t contentLength = 0;
    std::uint64_t totalBytesRead = 0;
    std::uint64_t totalBytesSent = 0;
    NetStringEncoding encoding = 0;
    bool downloadComplete = false;
    bool complete = false;
    bool didUseCachedResponse = false;
    std::optional<platform::Error> error;
    // The URL that answered: the last one of the redirects.
    std::optional<platform::URL> url;
    // How the body reads: inflated on reading when the request waited to inflate it, up to the
    // request's bound.
    bool waitsToInflate = true;
    std::uint64_t sizeLimit = NetDefaultMaxResponseSize;

    bool isCompressed() const;
    std::optional<platform::Data> data() const;
    std::optional<std::string> string() const;
  };
  // The answer published when the request last ended; none before it ends.
  std::shared_ptr<const Response> publishedResponse() const;
  std::optional<NetHeaderDictionary> responseHeaders() const;
  int responseStatusCode() const;
  std::optional<std::string> responseStatusMessage() const;
  std::vector<platform::HTTPCookie> responseCookies() const;
  // The body as it came (still gzipped when the server compressed it and inflating waits).
  std::optional<platform::Data> rawResponseData() const;
  // The body, inflated; none when there is none or it cannot be inflated.
  std::optional<platform::Data> responseData() const;
  std::optional<std::string> responseString() const;
  bool isResponseCompressed() const;
  std::uint64_t contentLength() const;
  std::uint64_t totalBytesRead() const;
  std::uint64_t totalBytesSent() const;
  bool allowCompressedResponse() const;
  void setAllowCompressedResponse(bool value);
  bool shouldWaitToInflateCompressedResponses() const;
  void setShouldWaitToInflateCompressedResponses(bool value);
  // The most bytes the answer's body may decode to (inflated, when compressed), counted as they
  // arrive; a larger answer fails with NetResponseTooLargeErrorType. A body kept compressed counts
  // at least its own size. NetDefaultMaxResponseSize unless set; the default does not bound a
  // download to a file (downloadDestinationPath), which only the free disk space bounds.
  std::uint64_t maxResponseSize() const;
  void setMaxResponseSize(std::uint64_t bytes);
  NetStringEncoding defaultResponseEncoding() const;
  void setDefaultResponseEncoding(NetStringEncoding encoding);
  NetStringEncoding responseEncoding() const;
  bool downloadComplete() const;

  // --- downloads to a file ---
  std::optional<std::string> downloadDestinationPath() const;
  void setDownloadDestinationPath(std::optional<std::string> path);
  std::optional<std::string> temporaryFileDownloadPath() const;
  void setTemporaryFileDownloadPath(std::optional<std::string> path);
  bool allowResumeForFileDownloads() const;
  void setAllowResumeForFileDownloads(bool value);
  std::uint64_t partialDownloadSize() const;

  // --- authentication ---
  std::optional<std::string> username() const;
  void setUsername(std::optional<std::string> value);
  std::optional<std::string> password() const;
  void setPassword(std::optional<std::string> value);
  std::optional<std::string> domain() const;
  void setDomain(std::optional<std::string> value);
  std::optional<std::string> proxyUsername() const;
  void setProxyUsername(std::optional<std::string> value);
  std::optional<std::string> proxyPassword() const;
  void setProxyPassword(std::optional<std::string> value);
  std::optional<std::string> proxyDomain() const;
  void setProxyDomain(std::optional<std::string> value);
  std::optional<std::string> authenticationScheme() const;
  void setAuthenticationScheme(std::optional<std::string> value);
  std::optional<std::string> authenticationRealm() const;
  std::optional<std::string> proxyAuthenticationScheme() const;
  std::optional<std::string> proxyAuthenticationRealm() const;
  int authenticationRetryCount() const;
  int proxyAuthenticationRetryCount() const;
  int authenticationNeeded() const;
  bool shouldPresentAuthenticationDialog() const;
  void setShouldPresentAuthenticationDialog(bool value);
  bool shouldPresentProxyAuthenticationDialog() const;
  void setShouldPresentProxyAuthenticationDialog(bool value);
  bool shouldPresentCredentialsBeforeChallenge() const;
  void setShouldPresentCredentialsBeforeChallenge(bool value);
  bool useKeychainPersistence() const;
  void setUseKeychainPersistence(bool value);
  bool useSessionPersistence() const;
  void setUseSessionPersistence(bool value);
  std::shared_ptr<const platform::HTTPCredentials> requestCredentials() const;
  std::shared_ptr<const platform::HTTPCredentials> proxyCredentials() const;
  // "Authorization: Basic ..." and the Basic scheme.
  void addBasicAuthenticationHeaderWithUsername(std::string_view username, std::string_view password);

  // --- proxy and TLS ---
  std::optional<std::string> proxyHost() const;
  void setProxyHost(std::optional<std::string> host);
  int proxyPort() const;
  void setProxyPort(int port);
  // A platform proxy type name (ProxyTypeHTTP, ProxyTypeSOCKS, ...).
  std::optional<std::string> proxyType() const;
  void setProxyType(std::optional<std::string> type);
  std::optional<platform::URL> PACurl() const;
  void setPACurl(std::optional<platform::URL> url);
  bool isPACFileRequest() const;
  // Why the last proxy auto-configuration script gave no proxy (it failed to compile, threw, or
  // overran its time or memory); the request then went on without a proxy.
  std::optional<platform::Error> PACScriptError() const;
  bool validatesSecureCertificate() const;
  void setValidatesSecureCertificate(bool value);
  std::shared_ptr<const platform::ClientIdentity> clientCertificateIdentity() const;
  void setClientCertificateIdentity(std::shared_ptr<const platform::ClientIdentity> identity);

  // --- progress ---
  std::shared_ptr<NetProgressDelegate> uploadProgressDelegate() const;
  void setUploadProgressDelegate(std::weak_ptr<NetProgressDelegate> delegate);
  std::shared_ptr<NetProgressDelegate> downloadProgressDelegate() const;
  void setDownloadProgressDelegate(std::weak_ptr<NetProgressDelegate> delegate);
  bool showAccurateProgress() const;
  void setShowAccurateProgress(bool value);
  bool shouldResetUploadProgress() const;
  void setShouldResetUploadProgress(bool value);
  bool shouldResetDownloadProgress() const;
  void setShouldResetDownloadProgress(bool value);
  bool updatedProgress() const;

  // --- run state ---
  bool complete() const;
  bool inProgress() const;
  std::optional<platform::Error> error() const;
  double timeOutSeconds() const;
  void setTimeOutSeconds(double seconds);
  int numberOfTimesToRetryOnTimeout() const;
  void setNumberOfTimesToRetryOnTimeout(int count);
  int retryCount() const;
  bool isSynchronous() const;
  bool shouldContinueWhenAppEntersBackground() const;
  void setShouldContinueWhenAppEntersBackground(bool value);
  std::shared_ptr<NetHTTPRequest> mainRequest() const;
  std::string runLoopMode() const;

  // --- redirects ---
  bool shouldRedirect() const;
  void setShouldRedirect(bool value);
  int redirectCount() const;
  bool shouldUseRFC2616RedirectBehaviour() const;
  void setShouldUseRFC2616RedirectBehaviour(bool value);

  // --- persistent connections ---
  bool shouldAttemptPersistentConnection() const;
  void setShouldAttemptPersistentConnection(bool value);
  double persistentConnectionTimeoutSeconds() const;
  void setPersistentConnectionTimeoutSeconds(double seconds);
  bool connectionCanBeReused() const;
  // The number of the pooled connection the request runs on; none without one.
  std::optional<int> connectionID() const;
  std::optional<std::uint64_t> requestID() const;

  // --- cache ---
  std::shared_ptr<NetCacheDelegate> downloadCache() const;
  void setDownloadCache(std::weak_ptr<NetCacheDelegate> cache);
  int cachePolicy() const;
  void setCachePolicy(int policy);
  int cacheStoragePolicy() const;
  void setCacheStoragePolicy(int policy);
  bool didUseCachedResponse() const;
  double secondsToCache() const;
  void setSecondsToCache(double seconds);

  // --- caller's data ---
  std::shared_ptr<const platform::Dictionary> userInfo() const;
  void setUserInfo(std::shared_ptr<const platform::Dictionary> info);
  int tag() const;
  void setTag(int tag);

  // --- receivers ---
  std::shared_ptr<NetHTTPRequestDelegate> delegate() const;
  void setDelegate(std::weak_ptr<NetHTTPRequestDelegate> delegate);
  std::shared_ptr<NetHTTPRequestQueue> queue() const;
  void setQueue(std::shared_ptr<NetHTTPRequestQueue> queue);
  void setStartedBlock(Block block);
  void setHeadersReceivedBlock(HeadersBlock block);
  void setCompletionBlock(Block block);
  void setFailedBlock(Block block);
  void setBytesReceivedBlock(SizeBlock block);
  void setBytesSentBlock(SizeBlock block);
  void setDownloadSizeIncrementedBlock(ProgressBlock block);
  void setUploadSizeIncrementedBlock(ProgressBlock block);
  void setDataReceivedBlock(DataBlock block);
  void setAuthenticationNeededBlock(Block block);
  void setProxyAuthenticationNeededBlock(Block block);
  void setRequestRedirectedBlock(Block block);

  // --- class-wide ---
  static std::shared_ptr<OperationQueue> sharedQueue();
  static double defaultTimeOutSeconds();
  static void setDefaultTimeOutSeconds(double seconds);
  static std::shared_ptr<NetCacheDelegate> defaultCache();
  static void setDefaultCache(std::shared_ptr<NetCacheDelegate> cache);
  // The loop of the network thread (made on first use, never ended).
  static platform::RunLoop& threadForRequest(const NetHTTPRequest* request = nullptr);

  // Session cookies: those received during this run of the program.
  static std::vector<platform::HTTPCookie> sessionCookies();
  // Deletes the current session cookies from the shared cookie storage, then keeps cookies.
  static void setSessionCookies(std::vector<platform::HTTPCookie> cookies);
  static void addSessionCookie(const platform::HTTPCookie& cookie);
  // Forgets the session credentials and cookies and the default cache's session responses.
  static void clearSession();

  static std::optional<std::string> defaultUserAgentString();
  static void setDefaultUserAgentString(std::optional<std::string> agent);
  // None when no file is at path; "application/octet-stream" for an unknown extension.
  static std::optional<std::string> mimeTypeForFileAtPath(std::string_view path);
  static std::string base64forData(const platform::Data& data);
  static std::optional<platform::Date> dateFromRFC1123String(std::string_view text);
  static std::optional<platform::Date> expiryDateForRequest(NetHTTPRequest& request, double maxAge);
  // Leaves mimeType and encoding as they are where the content type says nothing.
  static void parseMimeType(std::string* mimeType, NetStringEncoding* encoding,
                            std::optional<std::string_view> contentType);

  // Session credential stores (server and proxy), process-wide.
  struct SessionCredentials {
    std::shared_ptr<platform::HTTPAuthentication> authentication;
    std::shared_ptr<const platform::HTTPCredentials> credentials;
    std::optional<platform::URL> url;  // server entries
    std::string host;                  // proxy entries
    int port = 0;                      // proxy entries
    std::optional<std::string> authenticationScheme;
    std::optional<std::string> authenticationRealm;
  };
  static std::vector<SessionCredentials> sessionCredentialsStore();
  static std::vector<SessionCredentials> sessionProxyCredentialsStore();
  static void storeAuthenticationCredentialsInSessionStore(SessionCredentials entry);
  static void storeProxyAuthenticationCredentialsInSessionStore(SessionCredentials entry);
  static void removeAuthenticationCredentialsFromSessionStore(
      const std::shared_ptr<const platform::HTTPCredentials>& credentials);
  static void removeProxyAuthenticationCredentialsFromSessionStore(
      const std::shared_ptr<const platform::HTTPCredentials>& credentials);

  // The keychain: the platform's credential storage.
  static void saveCredentials(const platform::HTTPCredentials& credentials, std::string_view host, int port,
                              std::string_view protocol, std::string_view realm);
  static void saveCredentialsForProxy(const platform::HTTPCredentials& credentials, std::string_view host,
                                      int port, std::string_view realm);
  static std::optional<platform::HTTPCredentials> savedCredentialsForHost(std::string_view host, int port,
                                                                          std::string_view protocol,
                                                                          std::string_view realm);
  static std::optional<platform::HTTPCredentials> savedCredentialsForProxy(std::string_view host, int port,
                                                                           std::string_view protocol,
                                                                           std::string_view realm);
  static void removeCredentialsForHost(std::string_view host, int port, std::string_view protocol,
                                       std::string_view realm);
  static void removeCredentialsForProxy(std::string_view host, int port, std::string_view realm);

  // The dialog that asks the user for credentials; without one a request never shows a dialog.
  using AuthenticationDialogPresenter = std::function<void(std::shared_ptr<NetHTTPRequest> request)>;
  static void setAuthenticationDialogPresenter(AuthenticationDialogPresenter presenter);

  // Bandwidth, shared by every request.
  static bool isBandwidthThrottled();
  static unsigned long maxBandwidthPerSecond();
  static void setMaxBandwidthPerSecond(unsigned long bytes);
  static void incrementBandwidthUsedInLastSecond(unsigned long bytes);
  static unsigned long averageBandwidthUsedPerSecond();
  static unsigned long maxUploadReadLength();
  static void measureBandwidthUsage();
  // The bytes a read of a response body asks for: bufferSize capped while throttled, at least 1.
  static std::size_t throttledReadSize(std::size_t bufferSize);
  // When throttled streams wake up again; none when they need not sleep.
  static std::optional<double> throttleWakeUpTime();
  static constexpr unsigned long WWANBandwidthLimit = 14800;
  static void setShouldThrottleBandwidthForWWAN(bool throttle);
  static void throttleBandwidthForWWANUsingLimit(unsigned long limit);
  // The internet connection's reachability says mobile data.
  static bool isNetworkReachableViaWWAN();
  static void reachabilityChanged();
  // Watching the internet connection (main thread): started by mobile-data throttling.
  static void registerForNetworkReachabilityNotifications();
  static void unsubscribeFromNetworkReachabilityNotifications();

  // The network activity indicator, counted over scheduled streams.
  static bool isNetworkInUse();
  static void setShouldUpdateNetworkActivityIndicator(bool value);
  static bool isNetworkActivityIndicatorVisible();
  static bool isMultitaskingSupported() { return false; }

  // Per-request throttling step (also run by the upload stream).
  void performThrottling();

  // For tests: the connection pool as it stands, and its reset.
  struct ConnectionInfo {
    int id = 0;
    std::string host;
    int port = 0;
    std::string scheme;
    std::optional<std::uint64_t> request;
    std::optional<double> expires;
  };
  static std::vector<ConnectionInfo> persistentConnections();
  static void expirePersistentConnections();
  static void resetForTesting();

 protected:
  explicit NetHTTPRequest(std::optional<platform::URL> url);
  // Runs on the request's thread: builds the message and starts the stream.
  void main() override;
  // For subclasses that make up their body (form requests).
  void setPostLength(std::uint64_t length);
  void setHaveBuiltPostBody(bool value);
  bool haveBuiltPostBody() const;
  void failWithError(const platform::Error& error);
  platform::RecursiveMutex& cancelledLock() const RETURN_CAPABILITY(lock_) { return lock_; }

 private:
  std::shared_ptr<NetHTTPRequest> self();
  platform::RunLoop& requestLoop() const;
  void performOnRequestThread(std::function<void()> fn);
  static void performOnMainThread(std::function<void()> fn);
  double now() const;

  // Execution.
  void setupPostBody();
  // false when the body file could not take the bytes: the file is dropped then, for good.
  bool writePostBody(const void* bytes, std::size_t size) REQUIRES(lock_);
  void buildRequestHeaders();
  void applyCookieHeader();
  void updatePartialDownloadSize();
  void startRequest();
  void updateStatus();
  void checkRequestStatus();
  bool shouldTimeOut();
  void cancelOnRequestThread();
  void cancelLoad();
  void readResponseHeaders();
  bool willRedirect();
  void performRedirect();
  void parseStringEncodingFromHeaders();
  void markAsFinished();
  void dropConnectionEntry();

  // Response stream.
  void handleNetworkEvent(unsigned event);
  void handleBytesAvailable();
  void handleStreamComplete();
  void handleStreamError();
  bool willAskDelegateToConfirmRedirect();
  void useDataFromCache();
  bool retryUsingNewConnection();
  void scheduleReadStream();
  void unscheduleReadStream() REQUIRES(lock_);
  void destroyReadStream();
  bool removeTemporaryDownloadFile();
  bool removeTemporaryUncompressedDownloadFile();
  bool removeTemporaryUploadFile();
  bool removeTemporaryCompressedUploadFile();
  bool removeFileAtPath(const std::string& path, platform::Error* error);
  // False when what was written could not all reach the disk.
  bool closeDownloadStreams();

  // Authentication.
  void applyAuthorizationHeader();
  std::shared_ptr<const platform::HTTPCredentials> findCredentials();
  std::shared_ptr<const platform::HTTPCredentials> findProxyCredentials();
  bool applyCredentials(std::shared_ptr<const platform::HTTPCredentials> credentials);
  bool applyProxyCredentials(std::shared_ptr<const platform::HTTPCredentials> credentials);
  // proxy: the question is the proxy's, else the server's.
  bool willAskDelegateForCredentials(bool proxy);
  void askDelegateForCredentials(bool proxy);
  bool showAuthenticationDialog(bool proxy);
  void failAuthentication();
  void attemptToApplyCredentialsAndResume();
  void attemptToApplyProxyCredentialsAndResume();
  // The server and the proxy run one credential reaction over their own state.
  struct AuthenticationSide;
  void applyCredentialsAndResume(const AuthenticationSide& side) REQUIRES(lock_);
  std::optional<SessionCredentials> findSessionAuthenticationCredentials();
  std::optional<SessionCredentials> findSessionProxyAuthenticationCredentials();

  // Proxies.
  bool configureProxies();
  void fetchPACFile();
  // Evaluates the script away from the request's thread, applies what it gives, then starts.
  void runPACScriptThenStart(std::optional<std::string> script);
  void finishPACScript(const platform::PACScriptEvaluation& evaluation,
                       const std::optional<std::vector<platform::ProxyEntry>>& list,
                       const platform::Error& error);
  void readPACFileChunk();
  void finishPACFileRead(bool atEnd);
  void finishedDownloadingPACFile(NetHTTPRequest& request);
  // The download shared by every request waiting for the script at key has ended.
  static void finishedSharedPACDownload(const std::string& key, NetHTTPRequest& pac);
  // This request no longer waits for its script's download; the last to leave cancels it.
  void leavePACDownload() REQUIRES(lock_);
  // A request waiting for a shared download times out as if the download were its own: when it
  // has heard nothing for timeOutSeconds, it goes on without the script.
  void checkPACDownloadWait();
  void stopPACDownloadWait() REQUIRES(lock_);
  // When the run last heard from its peer; asked from the network thread, where the run goes on.
  std::optional<double> lastActivityOnNetworkThread() const;
  // While an asynchronous request waits for its proxy script (fetched, read or evaluated), the
  // shared queue has one place more, so the wait holds back no other request.
  void lendQueuePlaceForScript();
  void takeBackQueuePlace();

  // The bound on this answer's decoded size: none for a file download under the default.
  std::uint64_t responseSizeLimit() const;

  // Progress.
  void updateProgressIndicators();
  void updateDownloadProgress();
  void updateUploadProgress();
  void incrementDownloadSizeBy(std::int64_t length);
  void incrementUploadSizeBy(std::int64_t length);
  void removeUploadProgressSoFar();
  enum class ProgressTarget { Upload, Download, Queue };
  void performProgress(ProgressTarget target,
                       std::function<void(NetProgressDelegate&, NetHTTPRequest&)> call);
  void updateProgressIndicator(ProgressTarget target, double progress, double total);

  // Callbacks to the main thread.
  void requestStarted();
  void requestReceivedResponseHeaders(NetHeaderDictionary headers);
  void reportResponseHeaders(const NetHeaderDictionary& headers);
  void requestWillRedirectToURL(platform::URL url);
  void requestRedirected();
  void requestFinished();
  void reportFinished();
  void reportFailure();
  void passOnReceivedData(platform::Data data);
  void releaseBlocksOnMainThread();
  bool suppressesEvents() const;
  // Who hears a callback, read together: the delegate, the queue and the block.
  template <typename T>
  struct Receivers {
    std::shared_ptr<NetHTTPRequestDelegate> delegate;
    std::shared_ptr<NetHTTPRequestQueue> queue;
    T block;
  };
  template <typename T>
  Receivers<T> receivers(T NetRequestBlocks::*block) const;
  bool hasMainRequest() const;
  bool delegateResponds(NetDelegateMethod method) const;
  bool queueResponds(NetDelegateMethod method) const;

  // The answer: which one this thread reads, the copy handed over, its publication.
  bool onRequestThread() const;
  std::shared_ptr<const Response> handedResponse() const EXCLUDES(publishedLock_);
  template <typename F>
  auto readResponse(F read) const;
  std::shared_ptr<const Response> snapshotResponse() const;
  // Publishes the answer as it stands now: the request has ended (finished or failed).
  std::shared_ptr<const Response> publishResponse();
  // Runs call while the main thread reads view, then lets it read what it read before.
  void withCallbackView(const std::shared_ptr<const Response>& view, const std::function<void()>& call)
      EXCLUDES(publishedLock_);

  // Throttling bookkeeping for this request.
  void showNetworkActivity();
  void hideNetworkActivity();

  // What the caller sets before the request starts. start() freezes it: from then on the
  // request's thread reads options_ without a lock, and the setters change nothing, so a change
  // made while the request runs never reaches it. Before the freeze the fields are written and
  // read under optionsLock_ (a leaf lock: nothing is called while it is held).
  struct Options {
    bool useHTTPVersionOne = false;
    bool useCookiePersistence = true;
    std::optional<std::string> userAgentString;
    bool shouldCompressRequestBody = false;
    bool allowCompressedResponse = true;
    bool shouldWaitToInflateCompressedResponses = true;
    std::uint64_t maxResponseSize = NetDefaultMaxResponseSize;
    bool maxResponseSizeSet = false;
    NetStringEncoding defaultResponseEncoding = NetISOLatin1StringEncoding;
    bool allowResumeForFileDownloads = false;
    bool shouldPresentAuthenticationDialog = false;
    bool shouldPresentProxyAuthenticationDialog = true;
    bool shouldPresentCredentialsBeforeChallenge = true;
    bool useKeychainPersistence = false;
    bool useSessionPersistence = true;
    bool validatesSecureCertificate = true;
    std::shared_ptr<const platform::ClientIdentity> clientCertificateIdentity;
    bool shouldResetUploadProgress = true;
    bool shouldResetDownloadProgress = true;
    double timeOutSeconds = 10.0;
    int numberOfTimesToRetryOnTimeout = 0;
    bool shouldContinueWhenAppEntersBackground = false;
    bool shouldRedirect = true;
    bool shouldUseRFC2616RedirectBehaviour = false;
    int cacheStoragePolicy = 0;
    double secondsToCache = 0;
  };
  // A field under lock_, read or written with the lock taken.
  template <typename T>
  T guarded(T NetHTTPRequest::*field) const;
  template <typename T>
  void setGuarded(T NetHTTPRequest::*field, T value);
  // The field itself: the lock analysis does not see a read through a member pointer, so those
  // go through here, which wants the lock.
  template <typename T>
  const T& lockedField(T NetHTTPRequest::*field) const REQUIRES(lock_) {
    return this->*field;
  }
  template <typename T>
  T& lockedField(T NetHTTPRequest::*field) REQUIRES(lock_) {
    return this->*field;
  }
  template <typename T>
  void setBlock(T NetRequestBlocks::*field, T block);
  template <typename T>
  T option(T Options::*field) const EXCLUDES(optionsLock_);
  template <typename T>
  void setOption(T Options::*field, T value) EXCLUDES(optionsLock_);
  void freezeOptions() EXCLUDES(optionsLock_);

  mutable platform::Mutex optionsLock_;
  bool optionsFrozen_ GUARDED_BY(optionsLock_) = false;
  // Not marked as guarded by optionsLock_: once frozen it is read without it.
  Options options_;

  mutable platform::RecursiveMutex lock_;
  // The request's own thread (the network thread, or the caller's for a synchronous request) as
  // a capability: what only the run touches is guarded by it and needs no lock, and only the
  // functions of the run claim it (requestThread_.claim()). A failure before the start and the
  // owner's last release, which tears the run down, claim it too: no run goes on meanwhile.
  class CAPABILITY("thread") RequestThread {
   public:
    void claim() const ASSERT_CAPABILITY(this) {}
  };
  RequestThread requestThread_;

  // Target, method, message.
  std::optional<platform::URL> url_ GUARDED_BY(lock_);
  std::optional<platform::URL> originalURL_ GUARDED_BY(lock_);
  std::optional<platform::URL> redirectURL_ GUARDED_BY(lock_);
  std::string requestMethod_ GUARDED_BY(lock_) = "GET";
  NetHeaderDictionary requestHeaders_ GUARDED_BY(lock_);
  bool haveBuiltRequestHeaders_ GUARDED_BY(lock_) = false;
  std::vector<platform::HTTPCookie> requestCookies_ GUARDED_BY(lock_);
  std::optional<platform::HTTPMessage> request_ GUARDED_BY(lock_);

  // Body.
  std::optional<platform::Data> postBody_ GUARDED_BY(lock_);
  bool shouldStreamPostDataFromDisk_ GUARDED_BY(lock_) = false;
  std::optional<std::string> postBodyFilePath_ GUARDED_BY(lock_);
  bool didCreateTemporaryPostDataFile_ GUARDED_BY(lock_) = false;
  std::FILE* postBodyWriteStream_ GUARDED_BY(lock_) = nullptr;
  bool postBodyWriteFailed_ GUARDED_BY(lock_) = false;
  // The errno of that failure, for the error the request then fails with.
  int postBodyWriteErrno_ GUARDED_BY(lock_) = 0;
  std::shared_ptr<NetInputStream> postBodyReadStream_ GUARDED_BY(requestThread_);
  std::optional<platform::Data> compressedPostBody_ GUARDED_BY(lock_);
  std::optional<std::string> compressedPostBodyFilePath_ GUARDED_BY(lock_);
  std::uint64_t postLength_ GUARDED_BY(lock_) = 0;
  bool haveBuiltPostBody_ GUARDED_BY(lock_) = false;
  std::uint64_t uploadBufferSize_ GUARDED_BY(requestThread_) = 0;

  // Response: the request's thread writes and reads running_ under lock_ (the cache protocol and
  // cancellation reach it there). Other threads read only what was handed to them: published_,
  // set once when the request ends, and callbackView_, the answer a main-thread callback was
  // made for, while that callback runs.
  Response running_ GUARDED_BY(lock_);
  mutable platform::Mutex publishedLock_;
  std::shared_ptr<const Response> published_ GUARDED_BY(publishedLock_);
  std::shared_ptr<const Response> callbackView_ GUARDED_BY(publishedLock_);
  // The answer as its headers stood, handed with the body's pieces.
  std::shared_ptr<const Response> headersView_ GUARDED_BY(requestThread_);
  std::optional<std::string> responseHTTPVersion_ GUARDED_BY(requestThread_);
  std::uint64_t decodedBytesRead_ GUARDED_BY(requestThread_) = 0;
  std::uint64_t lastBytesRead_ GUARDED_BY(requestThread_) = 0;
  std::uint64_t lastBytesSent_ GUARDED_BY(requestThread_) = 0;
  std::unique_ptr<NetDataDecompressor> dataDecompressor_ GUARDED_BY(requestThread_);

  // Downloads.
  std::optional<std::string> downloadDestinationPath_ GUARDED_BY(lock_);
  std::optional<std::string> temporaryFileDownloadPath_ GUARDED_BY(lock_);
  std::optional<std::string> temporaryUncompressedDataDownloadPath_ GUARDED_BY(requestThread_);
  std::FILE* fileDownloadOutputStream_ GUARDED_BY(requestThread_) = nullptr;
  std::FILE* inflatedFileDownloadOutputStream_ GUARDED_BY(requestThread_) = nullptr;
  std::uint64_t partialDownloadSize_ GUARDED_BY(lock_) = 0;

  // Authentication.
  std::optional<std::string> username_ GUARDED_BY(lock_);
  std::optional<std::string> password_ GUARDED_BY(lock_);
  std::optional<std::string> domain_ GUARDED_BY(lock_);
  std::shared_ptr<platform::HTTPAuthentication> requestAuthentication_ GUARDED_BY(lock_);
  std::shared_ptr<const platform::HTTPCredentials> requestCredentials_ GUARDED_BY(lock_);
  std::optional<std::string> authenticationScheme_ GUARDED_BY(lock_);
  std::optional<std::string> authenticationRealm_ GUARDED_BY(lock_);
  int authenticationRetryCount_ GUARDED_BY(lock_) = 0;
  int authenticationNeeded_ GUARDED_BY(lock_) = NoAuthenticationNeeded;
  std::optional<std::string> proxyUsername_ GUARDED_BY(lock_);
  std::optional<std::string> proxyPassword_ GUARDED_BY(lock_);
  std::optional<std::string> proxyDomain_ GUARDED_BY(lock_);
  std::shared_ptr<platform::HTTPAuthentication> proxyAuthentication_ GUARDED_BY(lock_);
  std::shared_ptr<const platform::HTTPCredentials> proxyCredentials_ GUARDED_BY(lock_);
  std::optional<std::string> proxyAuthenticationScheme_ GUARDED_BY(lock_);
  std::optional<std::string> proxyAuthenticationRealm_ GUARDED_BY(lock_);
  int proxyAuthenticationRetryCount_ GUARDED_BY(lock_) = 0;

  // Proxy and TLS.
  std::optional<std::string> proxyHost_ GUARDED_BY(lock_);
  int proxyPort_ GUARDED_BY(lock_) = 0;
  std::optional<std::string> proxyType_ GUARDED_BY(lock_);
  std::optional<platform::URL> PACurl_ GUARDED_BY(lock_);
  bool isPACFileRequest_ GUARDED_BY(lock_) = false;
  std::shared_ptr<NetHTTPRequest> PACFileRequest_ GUARDED_BY(lock_);
  std::shared_ptr<platform::Timer> PACDownloadWaitTimer_ GUARDED_BY(lock_);
  double PACDownloadWaitStart_ GUARDED_BY(lock_) = 0;
  bool lentQueuePlace_ GUARDED_BY(lock_) = false;
  std::FILE* PACFileReadStream_ GUARDED_BY(lock_) = nullptr;
  std::shared_ptr<platform::Timer> PACFileReadTimer_ GUARDED_BY(lock_);
  std::shared_ptr<platform::Timer> PACFileTimeOutTimer_ GUARDED_BY(lock_);
  std::optional<platform::Data> PACFileData_ GUARDED_BY(lock_);
  std::optional<platform::Error> PACScriptError_ GUARDED_BY(lock_);
  // The script being evaluated for this request; cancelling the request ends it. Under its own
  // lock, taken alone: a synchronous request holds lock_ while its script runs.
  platform::Mutex PACScriptRunLock_;
  std::shared_ptr<platform::PACScriptEvaluation> PACScriptRun_ GUARDED_BY(PACScriptRunLock_);

  // Progress.
  std::weak_ptr<NetProgressDelegate> uploadProgressDelegate_ GUARDED_BY(lock_);
  std::weak_ptr<NetProgressDelegate> downloadProgressDelegate_ GUARDED_BY(lock_);
  bool showAccurateProgress_ GUARDED_BY(lock_) = true;
  bool updatedProgress_ GUARDED_BY(lock_) = false;

  // Run state.
  // Where the run stands, read by the queue and the caller from any thread without lock_ (they
  // change with lock_ held, so that the request's thread sees them together).
  std::atomic<bool> finished_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> inProgress_{false};
  // From start to finish: a virtual clock waits for this request's answer.
  std::optional<platform::RunLoop::OutsideWork> outsideWork_ GUARDED_BY(lock_);
  std::shared_ptr<platform::HTTPReadStream> readStream_ GUARDED_BY(requestThread_);
  platform::RunLoop* readStreamLoop_ GUARDED_BY(requestThread_) = nullptr;
  bool readStreamIsScheduled_ GUARDED_BY(requestThread_) = false;
  std::string runLoopMode_ GUARDED_BY(lock_) = std::string(platform::DefaultRunLoopMode);
  // Set when the request starts; read without lock_ to tell the request's thread from the others.
  std::atomic<platform::RunLoop*> runLoop_{nullptr};
  std::shared_ptr<platform::Timer> statusTimer_ GUARDED_BY(requestThread_);
  std::optional<double> lastActivityTime_ GUARDED_BY(requestThread_);
  int retryCount_ GUARDED_BY(lock_) = 0;
  bool willRetryRequest_ GUARDED_BY(requestThread_) = false;
  bool isSynchronous_ GUARDED_BY(lock_) = false;
  std::weak_ptr<NetHTTPRequest> mainRequest_ GUARDED_BY(lock_);

  // Redirects.
  bool needsRedirect_ GUARDED_BY(requestThread_) = false;
  int redirectCount_ GUARDED_BY(lock_) = 0;

  // Persistent connections.
  bool shouldAttemptPersistentConnection_ GUARDED_BY(lock_) = true;
  double persistentConnectionTimeoutSeconds_ GUARDED_BY(lock_) = 60.0;
  bool connectionCanBeReused_ GUARDED_BY(lock_) = false;
  std::shared_ptr<NetConnectionEntry> connectionInfo_ GUARDED_BY(lock_);
  std::optional<std::uint64_t> requestID_ GUARDED_BY(lock_);

  // Cache.
  std::weak_ptr<NetCacheDelegate> downloadCache_ GUARDED_BY(lock_);
  int cachePolicy_ GUARDED_BY(lock_) = 0;

  // Caller's data.
  std::shared_ptr<const platform::Dictionary> userInfo_ GUARDED_BY(lock_);
  int tag_ GUARDED_BY(lock_) = 0;

  // Receivers.
  std::weak_ptr<NetHTTPRequestDelegate> delegate_ GUARDED_BY(lock_);
  std::shared_ptr<NetHTTPRequestQueue> queue_ GUARDED_BY(lock_);
  // The optional methods the delegate took on when it was set (a bit per NetDelegateMethod), so
  // that the request's thread never calls into it.
  unsigned delegateResponds_ GUARDED_BY(lock_) = 0;
  bool tearingDown_ GUARDED_BY(lock_) = false;
  std::unique_ptr<NetRequestBlocks> blocks_ GUARDED_BY(lock_);
};

}  // namespace kavro
