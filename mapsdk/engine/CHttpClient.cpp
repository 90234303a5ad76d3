#include "mapsdk/engine/CHttpClient.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#include "mapsdk/engine/CVMsgDispatcher.h"
#include "mapsdk/engine/CVSocketMan.h"
#include "mapsdk/engine/VUrlEncode.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/URL.h"
#include "platform/net/HTTPMessage.h"
#include "platform/net/HTTPReadStream.h"

namespace gmengine {

struct CHttpClient::Core {
  struct Slot {
    bool busy = false;
    std::uint64_t generation = 0;
    std::string url;
    unsigned tag = 0;
    std::weak_ptr<Exchange> exchange;
    // What arrived so far for the request tagged stagedTag (progress), waiting for DeliverReceived.
    bool staged = false;
    unsigned stagedTag = 0;
    platform::Data stagedBody;
    bool progressQueued = false;
  };

  platform::Mutex mutex;
  CVSocketMan* sockets GUARDED_BY(mutex) = nullptr;
  CVMsgDispatcher* dispatcher GUARDED_BY(mutex) = nullptr;
  int clientId GUARDED_BY(mutex) = -1;
  void* buffer GUARDED_BY(mutex) = nullptr;
  int* lengthWord GUARDED_BY(mutex) = nullptr;
  int bufferSize GUARDED_BY(mutex) = 0;
  bool gzip GUARDED_BY(mutex) = false;
  int timeoutMs GUARDED_BY(mutex) = kDefaultTimeoutMs;
  int maxAnswerSize GUARDED_BY(mutex) = 0;  // 0: the default
  bool progress GUARDED_BY(mutex) = false;
  Slot slots[kSocketCount] GUARDED_BY(mutex);
  // Whole answers whose message waits in the queue, each with its own body: the socket may carry
  // the next request (and finish it) before the main thread takes the message.
  struct Answer {
    int slot = 0;
    unsigned tag = 0;
    platform::Data body;
  };
  std::vector<Answer> answers GUARDED_BY(mutex);
  // The request whose bytes the receive buffer holds (set by DeliverReceived).
  bool holdsTag GUARDED_BY(mutex) = false;
  unsigned heldTag GUARDED_BY(mutex) = 0;

  bool hasLast GUARDED_BY(mutex) = false;
  bool lastPost GUARDED_BY(mutex) = false;
  std::string lastUrl GUARDED_BY(mutex);
  unsigned lastTag GUARDED_BY(mutex) = 0;
  int lastFlag GUARDED_BY(mutex) = 1;
  int lastRange GUARDED_BY(mutex) = 0;
  std::string lastBody GUARDED_BY(mutex);
  int lastSocket GUARDED_BY(mutex) = 0;
  std::string redirectUrl GUARDED_BY(mutex);
  int markupInARow GUARDED_BY(mutex) = 0;
  std::vector<std::pair<CVString, CVString>> postFields GUARDED_BY(mutex);
};

namespace {

// Every client under its id: several may share one (the street clients of two map controllers), and each
// takes only the answers of its own requests.
platform::Mutex registryMutex;
using Registered = std::vector<std::weak_ptr<CHttpClient::Core>>;
std::unordered_map<int, Registered>& registry() REQUIRES(registryMutex) {
  static std::unordered_map<int, Registered> clients;
  return clients;
}

// Drops core (and clients gone) from the list of id. Registry lock held.
void Unregister(int id, const std::shared_ptr<CHttpClient::Core>& core) REQUIRES(registryMutex) {
  auto it = registry().find(id);
  if (it == registry().end()) return;
  std::erase_if(it->second, [&](const std::weak_ptr<CHttpClient::Core>& w) {
    auto held = w.lock();
    return !held || held == core;
  });
  if (it->second.empty()) registry().erase(it);
}

// A client going away: its buffers are written no more and its answers go nowhere. Out of the
// destructor, where the lock analysis does not look.
void Detach(const std::shared_ptr<CHttpClient::Core>& core) {
  int id;
  {
    platform::MutexLock lock(core->mutex);
    core->buffer = nullptr;
    core->lengthWord = nullptr;
    id = core->clientId;
  }
  platform::MutexLock lock(registryMutex);
  Unregister(id, core);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         platform::HTTPMessage::equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

// One request on the socket thread: resolve, connect, send, read, inflate, then one message.
class CHttpClient::Exchange : public CVSocketMan::Job, public std::enable_shared_from_this<Exchange> {
 public:
  struct Request {
    int slot = 0;
    std::uint64_t generation = 0;
    bool post = false;
    std::string url;
    std::string body;
    bool gzip = false;
    int timeoutMs = kDefaultTimeoutMs;
    int attempts = 1;
    unsigned tag = 0;
    bool progress = false;
    int rangeStart = 0;
    int limit = 0;  // bytes the receive buffer holds; 0 without one (nothing is kept)
    std::size_t maxAnswer = kDefaultMaxAnswerSize;  // decoded bytes, kept or not
  };

  Exchange(std::shared_ptr<Core> core, CVSocketMan* sockets, Request request)
      : core_(std::move(core)), sockets_(sockets), r_(std::move(request)) {}
  ~Exchange() override { EndInflate(); }

  void Begin() {
    sockets_->Attach(shared_from_this());
    auto url = platform::URL::parse(r_.url);
    if (!url) return Finish(EngineMsg::HttpConnectFailed);
    url_ = *url;
    attemptsLeft_ = std::max(1, r_.attempts);
    Attempt();
  }

  void Abort() override {
    Quit();
    platform::MutexLock lock(core_->mutex);
    Core::Slot& s = core_->slots[r_.slot];
    if (s.generation == r_.generation) {
      ++s.generation;
      s.busy = false;
      s.exchange.reset();
    }
  }

  // The client moved on (cancel or a newer request): close without a word.
  void Quit() {
    if (done_) return;
    done_ = true;
    Close();
    sockets_->Detach(this);
  }

 private:
  bool Current() {
    platform::MutexLock lock(core_->mutex);
    return core_->slots[r_.slot].generation == r_.generation;
  }

  void Attempt() {
    if (!Current()) return Quit();
    ArmTimeout();
    int port = url_.portOrDefault().value_or(80);
    if (auto numeric = platform::SocketAddress::numeric(url_.host(), port)) return Open(*numeric);
    if (!addresses_.empty()) return Open(addresses_[addressIndex_++ % addresses_.size()]);
    std::weak_ptr<Exchange> weak = weak_from_this();
    sockets_->Resolve(url_.host(), port, [weak](std::vector<platform::SocketAddress> addresses) {
      auto self = weak.lock();
      if (!self || self->done_) return;
      if (addresses.empty()) return self->Failed(true);
      self->addresses_ = std::move(addresses);
      self->Open(self->addresses_[self->addressIndex_++ % self->addresses_.size()]);
    });
  }

  void Open(const platform::SocketAddress& address) {
    if (!Current()) return Quit();
    // The request goes to the address looked up here, under the URL's own host name.
    std::string target = url_.scheme() + "://" + address.description() + url_.percentEncodedPath();
    if (url_.hasQuery()) target += "?" + url_.query();
    auto targetUrl = platform::URL::parse(target);
    if (!targetUrl) return Finish(EngineMsg::HttpConnectFailed);
    platform::HTTPMessage message = platform::HTTPMessage::request(r_.post ? "POST" : "GET", *targetUrl);
    std::string host = url_.host().find(':') != std::string::npos ? "[" + url_.host() + "]" : url_.host();
    if (url_.port()) host += ":" + std::to_string(*url_.port());
    message.setHeaderField("Host", host);
    message.setHeaderField("Accept", "*/*");
    if (r_.gzip) message.setHeaderField("Accept-Encoding", "gzip");
    if (r_.rangeStart > 0) message.setHeaderField("Range", "bytes=" + std::to_string(r_.rangeStart) + "-");
    if (r_.post) {
      message.setHeaderField("Content-Type", "application/x-www-form-urlencoded");
      message.setBody(platform::Data(r_.body.begin(), r_.body.end()));
    }
    stream_ = platform::HTTPReadStream::create(std::move(message));
    if (url_.scheme() == "https") {
      platform::TLSSettings tls;
      tls.peerName = url_.host();
      stream_->setTLSSettings(std::move(tls));
    }
    std::weak_ptr<Exchange> weak = weak_from_this();
    stream_->setClient(platform::HTTPReadStream::OpenCompleted | platform::HTTPReadStream::HasBytesAvailable |
                           platform::HTTPReadStream::ErrorOccurred | platform::HTTPReadStream::EndEncountered,
                       [weak](platform::HTTPReadStream&, platform::HTTPReadStream::Event event) {
                         if (auto self = weak.lock()) self->OnEvent(event);
                       });
    stream_->schedule(sockets_->Loop());
    if (!stream_->open()) Failed(true);
  }

  void OnEvent(platform::HTTPReadStream::Event event) {
    if (done_) return;
    if (!Current()) return Quit();
    switch (event) {
      case platform::HTTPReadStream::OpenCompleted:
        return;
      case platform::HTTPReadStream::HasBytesAvailable:
        if (!headerSeen_ && !OnHeader()) return;
        ReadBody();
        return;
      case platform::HTTPReadStream::EndEncountered:
        if (!headerSeen_ && !OnHeader()) return;
        ReadBody();
        if (done_) return;
        if (inflating_ && !inflateDone_) return Finish(EngineMsg::HttpBadAnswer);
        return Finish(EngineMsg::HttpComplete);
      case platform::HTTPReadStream::ErrorOccurred:
        return Failed(!headerSeen_);
    }
  }

  // Decides what the answer is by its header; false when that already ended the exchange.
  bool OnHeader() {
    auto header = stream_->responseHeader();
    if (!header) return Failed(true), false;
    headerSeen_ = true;
    int status = header->statusCode();
    if (status >= 300 && status < 400) {
      auto location = header->headerField("Location");
      std::optional<platform::URL> target;
      if (location) target = platform::URL::resolve(url_, *location);
      if (!target) return Finish(EngineMsg::HttpBadAnswer), false;
      return Finish(EngineMsg::HttpMarkupPage, target->absoluteString()), false;
    }
    if (status < 200 || status >= 300) return Finish(EngineMsg::HttpBadAnswer), false;
    if (startsWithIgnoringCase(header->headerField("Content-Type").value_or(""), "text/html")) {
      return Finish(EngineMsg::HttpMarkupPage, r_.url), false;
    }
    std::string encoding = header->headerField("Content-Encoding").value_or("");
    if (startsWithIgnoringCase(encoding, "gzip") || startsWithIgnoringCase(encoding, "x-gzip")) {
      std::memset(&z_, 0, sizeof z_);
      if (inflateInit2(&z_, 15 + 32) != Z_OK) return Finish(EngineMsg::HttpBadAnswer), false;
      inflating_ = true;
    }
    return true;
  }

  void ReadBody() {
    std::uint8_t chunk[16384];
    bool grew = false;
    while (!done_) {
      std::size_t n = stream_->read(chunk, sizeof chunk);
      if (n == 0) break;
      if (!inflating_) {
        if (!Keep(chunk, n)) return;
        grew = true;
        continue;
      }
      if (inflateDone_) continue;  // bytes after the end of the gzip member are not ours
      z_.next_in = chunk;
      z_.avail_in = static_cast<uInt>(n);
      while (z_.avail_in > 0 && !inflateDone_) {
        std::uint8_t out[16384];
        z_.next_out = out;
        z_.avail_out = sizeof out;
        int rc = inflate(&z_, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return Finish(EngineMsg::HttpBadAnswer);
        std::size_t produced = sizeof out - z_.avail_out;
        if (produced && !Keep(out, produced)) return;
        grew = grew || produced > 0;
        if (rc == Z_STREAM_END) inflateDone_ = true;
        if (rc == Z_BUF_ERROR && produced == 0) break;
      }
    }
    if (done_) return;
    ArmTimeout();
    if (grew && r_.progress) Post(EngineMsg::HttpData, {});
  }

  bool Keep(const std::uint8_t* bytes, std::size_t n) {
    decoded_ += n;
    if (decoded_ > r_.maxAnswer) {
      Finish(EngineMsg::HttpTooLarge);
      return false;
    }
    if (r_.limit <= 0) return true;
    if (received_.size() + n > static_cast<std::size_t>(r_.limit)) {
      Finish(EngineMsg::HttpTooLarge);
      return false;
    }
    received_.insert(received_.end(), bytes, bytes + n);
    return true;
  }

  // A failure: before the answer began it costs an attempt (with attempts left, try again).
  void Failed(bool beforeAnswer) {
    if (done_) return;
    Close();
    if (!beforeAnswer) return Finish(EngineMsg::HttpTimeout);
    if (--attemptsLeft_ > 0) {
      headerSeen_ = false;
      received_.clear();
      decoded_ = 0;
      EndInflate();
      return Attempt();
    }
    Finish(r_.attempts > 1 ? EngineMsg::HttpAttemptsOver : EngineMsg::HttpConnectFailed);
  }

  void ArmTimeout() {
    if (timer_) timer_->invalidate();
    std::weak_ptr<Exchange> weak = weak_from_this();
    timer_ =
        sockets_->Loop().scheduleTimer(std::max(1, r_.timeoutMs) / 1000.0, false, [weak](platform::Timer&) {
          if (auto self = weak.lock()) self->Finish(EngineMsg::HttpTimeout);
        });
  }

  void Close() {
    if (timer_) timer_->invalidate();
    timer_.reset();
    if (stream_) {
      stream_->setClient(0, nullptr);
      stream_->close();
      stream_->unschedule();
      stream_.reset();
    }
  }

  void EndInflate() {
    if (inflating_) inflateEnd(&z_);
    inflating_ = false;
    inflateDone_ = false;
  }

  void Finish(EngineMsg message, std::string redirect = {}) {
    if (done_) return;
    done_ = true;
    Close();
    Post(message, std::move(redirect));
    sockets_->Detach(this);
  }

  void Post(EngineMsg message, std::string redirect) {
    platform::MutexLock lock(core_->mutex);
    Core::Slot& s = core_->slots[r_.slot];
    if (s.generation != r_.generation) return;  // cancelled or replaced: not a word
    if (message == EngineMsg::HttpData) {
      if (s.progressQueued) return;
      s.progressQueued = true;
      s.staged = true;
      s.stagedTag = r_.tag;
      s.stagedBody = received_;
    } else {
      s.busy = false;
      s.exchange.reset();
      s.staged = false;
      s.stagedBody.clear();
      if (message == EngineMsg::HttpComplete)
        core_->answers.push_back({r_.slot, r_.tag, std::move(received_)});
      if (message == EngineMsg::HttpMarkupPage) {
        core_->redirectUrl = std::move(redirect);
        if (++core_->markupInARow >= kMaxMarkupPagesInARow) message = EngineMsg::HttpBadAnswer;
      }
    }
    if (core_->dispatcher &&
        !core_->dispatcher->PostMessage(CVMsgDispatcher::kEngineQueue, ToInt(message), core_->clientId,
                                        static_cast<int>(r_.tag)) &&
        message == EngineMsg::HttpData) {
      s.progressQueued = false;  // refused by a full queue: the next bytes may try again
    }
  }

  std::shared_ptr<Core> core_;
  CVSocketMan* sockets_;
  Request r_;
  platform::URL url_ = *platform::URL::parse("http://localhost/");
  std::vector<platform::SocketAddress> addresses_;
  std::size_t addressIndex_ = 0;
  int attemptsLeft_ = 1;
  std::shared_ptr<platform::HTTPReadStream> stream_;
  std::shared_ptr<platform::Timer> timer_;
  bool done_ = false;
  bool headerSeen_ = false;
  z_stream z_{};
  bool inflating_ = false;
  bool inflateDone_ = false;
  std::size_t decoded_ = 0;
  platform::Data received_;
};

CHttpClient::CHttpClient() : core_(std::make_shared<Core>()) {}

CHttpClient::~CHttpClient() {
  CancelRequest(nullptr);
  Detach(core_);
}

int CHttpClient::Init(CVSocketMan* sockets, CVMsgDispatcher* dispatcher) {
  if (!sockets || !dispatcher) return 0;
  platform::MutexLock lock(core_->mutex);
  core_->sockets = sockets;
  core_->dispatcher = dispatcher;
  return 1;
}

void CHttpClient::SetClientID(EngineClient client) {
  const int id = ToInt(client);
  int previous;
  {
    platform::MutexLock lock(core_->mutex);
    previous = core_->clientId;
    core_->clientId = id;
  }
  platform::MutexLock lock(registryMutex);
  Unregister(previous, core_);
  Unregister(id, core_);
  registry()[id].push_back(core_);
}

EngineClient CHttpClient::GetClientID() const {
  platform::MutexLock lock(core_->mutex);
  return static_cast<EngineClient>(core_->clientId);
}

void CHttpClient::SetReceiveBuffer(void* buffer, int* length, int size) {
  platform::MutexLock lock(core_->mutex);
  core_->buffer = buffer;
  core_->lengthWord = length;
  core_->bufferSize = buffer ? std::max(0, size) : 0;
}

void CHttpClient::SetUseGzip(int on) {
  platform::MutexLock lock(core_->mutex);
  core_->gzip = on != 0;
}

void CHttpClient::SetMaxAnswerSize(int bytes) {
  platform::MutexLock lock(core_->mutex);
  core_->maxAnswerSize = std::max(0, bytes);
}

void CHttpClient::SetTimeout(int ms) {
  platform::MutexLock lock(core_->mutex);
  core_->timeoutMs = ms > 0 ? ms : kDefaultTimeoutMs;
}

void CHttpClient::SetNotifyProgress(int on) {
  platform::MutexLock lock(core_->mutex);
  core_->progress = on != 0;
}

CVSocket* CHttpClient::GetSocket(int index) {
  if (index < 0 || index >= kSocketCount) return nullptr;
  return reinterpret_cast<CVSocket*>(&core_->slots[index]);
}

namespace {
// The slot index of socket in core (0 for null), -1 for a socket of another client.
int slotIndex(const CHttpClient::Core& core, const CVSocket* socket) {
  if (!socket) return 0;
  for (int i = 0; i < CHttpClient::kSocketCount; ++i) {
    if (reinterpret_cast<const CVSocket*>(&core.slots[i]) == socket) return i;
  }
  return -1;
}
}  // namespace

int CHttpClient::IsBusy(CVSocket* socket) const {
  platform::MutexLock lock(core_->mutex);
  if (!socket) {
    return std::any_of(std::begin(core_->slots), std::end(core_->slots),
                       [](const Core::Slot& s) { return s.busy; })
               ? 1
               : 0;
  }
  int index = slotIndex(*core_, socket);
  return index >= 0 && core_->slots[index].busy ? 1 : 0;
}

int CHttpClient::CancelRequest(CVSocket* socket) {
  std::vector<std::shared_ptr<Exchange>> stopped;
  CVSocketMan* sockets;
  {
    platform::MutexLock lock(core_->mutex);
    sockets = core_->sockets;
    int index = slotIndex(*core_, socket);
    for (int i = 0; i < kSocketCount; ++i) {
      if (socket && i != index) continue;
      Core::Slot& s = core_->slots[i];
      ++s.generation;
      s.busy = false;
      s.staged = false;
      s.stagedBody.clear();
      s.progressQueued = false;
      if (auto exchange = s.exchange.lock()) stopped.push_back(std::move(exchange));
      s.exchange.reset();
      std::erase_if(core_->answers, [i](const Core::Answer& a) { return a.slot == i; });
    }
    core_->lastUrl.clear();
    core_->hasLast = false;
  }
  for (auto& exchange : stopped) {
    sockets->Perform([exchange] { exchange->Quit(); });
  }
  return 1;
}

int CHttpClient::RequestGet(const CVString& url, unsigned int& tag, int flag, int rangeStart,
                            CVSocket* socket) {
  return StartRequest(false, url, tag, flag, rangeStart, socket, false);
}

int CHttpClient::RequestGet(const CVString& url, int& tag, int flag, int rangeStart, CVSocket* socket) {
  unsigned int t = static_cast<unsigned int>(tag);
  int result = RequestGet(url, t, flag, rangeStart, socket);
  tag = static_cast<int>(t);
  return result;
}

int CHttpClient::RequestPost(const CVString& url, unsigned int& tag, int flag, CVSocket* socket) {
  return StartRequest(true, url, tag, flag, 0, socket, false);
}

void CHttpClient::AddPostField(const CVString& name, const CVString& value) {
  platform::MutexLock lock(core_->mutex);
  core_->postFields.emplace_back(name, value);
}

void CHttpClient::ClearPostFields() {
  platform::MutexLock lock(core_->mutex);
  core_->postFields.clear();
}

int CHttpClient::RepeatRequest(int followRedirect, CVSocket* socket) {
  bool post;
  std::string url;
  unsigned tag;
  int flag, range;
  {
    platform::MutexLock lock(core_->mutex);
    if (followRedirect) {
      if (core_->redirectUrl.empty()) return 1;
      url = core_->redirectUrl;
      post = false;
    } else {
      if (!core_->hasLast) return 1;
      url = core_->lastUrl;
      post = core_->lastPost;
    }
    tag = core_->lastTag;
    flag = core_->lastFlag;
    range = followRedirect ? 0 : core_->lastRange;
    if (!socket) socket = reinterpret_cast<CVSocket*>(&core_->slots[core_->lastSocket]);
  }
  return StartRequest(post, CVString::FromUtf8(url), tag, flag, range, socket, true);
}

int CHttpClient::GetRequestUrl(int redirect, CVString& url) const {
  platform::MutexLock lock(core_->mutex);
  // Not one conditional over the two: the lock analysis does not see a read through one.
  url = redirect ? CVString::FromUtf8(core_->redirectUrl) : CVString::FromUtf8(core_->lastUrl);
  return url.IsEmpty() ? 0 : 1;
}

int CHttpClient::StartRequest(bool post, const CVString& url, unsigned int& tag, int flag, int rangeStart,
                              CVSocket* socket, bool repeat) {
  std::string text = url.ToUtf8();
  auto parsed = platform::URL::parse(text);
  if (!parsed || (parsed->scheme() != "http" && parsed->scheme() != "https") || parsed->host().empty())
    return 0;

  std::shared_ptr<Exchange> exchange;
  std::shared_ptr<Exchange> replaced;
  CVSocketMan* sockets;
  {
    platform::MutexLock lock(core_->mutex);
    sockets = core_->sockets;
    if (!sockets) return 0;
    int index = slotIndex(*core_, socket);
    if (index < 0) return 0;
    Core::Slot& s = core_->slots[index];
    if (s.busy && s.url == text) {
      tag = s.tag;
      return 0;
    }
    replaced = s.exchange.lock();

    Exchange::Request r;
    r.slot = index;
    r.generation = ++s.generation;
    r.post = post;
    r.url = text;
    if (post) {
      if (repeat) {
        r.body = core_->lastBody;
      } else {
        for (const auto& [name, value] : core_->postFields) {
          if (!r.body.empty()) r.body += '&';
          r.body += UrlEncode(name.ToUtf8()) + "=" + UrlEncode(value.ToUtf8());
        }
      }
    }
    r.gzip = core_->gzip;
    r.timeoutMs = core_->timeoutMs;
    r.attempts = flag ? kAttempts : 1;
    r.tag = tag;
    r.progress = core_->progress;
    r.rangeStart = std::max(0, rangeStart);
    r.limit = core_->bufferSize;
    r.maxAnswer = static_cast<std::size_t>(core_->maxAnswerSize > 0 ? core_->maxAnswerSize
                                           : r.limit > 0            ? r.limit
                                                                    : kDefaultMaxAnswerSize);

    s.busy = true;
    s.url = text;
    s.tag = tag;
    s.staged = false;
    s.stagedBody.clear();
    s.progressQueued = false;
    core_->hasLast = true;
    core_->lastPost = post;
    core_->lastUrl = text;
    core_->lastTag = tag;
    core_->lastFlag = flag;
    core_->lastRange = r.rangeStart;
    core_->lastBody = r.body;
    core_->lastSocket = index;
    if (!repeat) core_->markupInARow = 0;
    exchange = std::make_shared<Exchange>(core_, sockets, std::move(r));
    s.exchange = exchange;
  }
  if (replaced) sockets->Perform([replaced] { replaced->Quit(); });
  sockets->Perform([exchange] { exchange->Begin(); });
  return 1;
}

namespace {
// What arrived for the request tagged tag, into the client's receive buffer and length word.
void DeliverInto(CHttpClient::Core& core, const platform::Data& body, unsigned tag) REQUIRES(core.mutex) {
  const int n =
      static_cast<int>(std::min<std::size_t>(body.size(), static_cast<std::size_t>(core.bufferSize)));
  if (core.buffer && n > 0) std::memcpy(core.buffer, body.data(), static_cast<std::size_t>(n));
  if (core.lengthWord) *core.lengthWord = n;
  core.holdsTag = true;
  core.heldTag = tag;
}
}  // namespace

void CHttpClient::DeliverReceived(EngineClient client, EngineMsg message, int tag) {
  if (message != EngineMsg::HttpData && message != EngineMsg::HttpComplete) return;
  const int clientId = ToInt(client);
  std::vector<std::shared_ptr<Core>> cores;
  {
    platform::MutexLock lock(registryMutex);
    auto it = registry().find(clientId);
    if (it == registry().end()) return;
    for (const auto& weak : it->second) {
      if (auto core = weak.lock()) cores.push_back(std::move(core));
    }
  }
  const auto wanted = static_cast<unsigned>(tag);
  // Each client that holds bytes of a request with this tag gets its own; the others keep theirs.
  for (const auto& core : cores) {
    platform::MutexLock lock(core->mutex);
    if (message == EngineMsg::HttpComplete) {
      auto answer = std::find_if(core->answers.begin(), core->answers.end(),
                                 [wanted](const Core::Answer& a) { return a.tag == wanted; });
      if (answer != core->answers.end()) {
        DeliverInto(*core, answer->body, wanted);
        core->answers.erase(answer);
      } else if (!core->holdsTag || core->heldTag != wanted) {
        // A cancelled request's answer: what the buffer holds belongs to another request.
        if (core->lengthWord) *core->lengthWord = 0;
        core->holdsTag = false;
      }
      continue;
    }
    for (Core::Slot& s : core->slots) {
      if (!s.staged || s.stagedTag != wanted) continue;
      DeliverInto(*core, s.stagedBody, wanted);
      s.progressQueued = false;
      break;
    }
  }
}

int CHttpClient::HoldsAnswerOf(unsigned int tag) const {
  platform::MutexLock lock(core_->mutex);
  return core_->holdsTag && core_->heldTag == tag ? 1 : 0;
}

}  // namespace gmengine
