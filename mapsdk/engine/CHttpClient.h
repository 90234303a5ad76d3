#pragma once
#include <memory>
#include <utility>
#include <vector>

#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineTypes.h"

namespace gmengine {

class CVMsgDispatcher;
class CVSocketMan;

// A socket of a client, named to address one of its three requests. Opaque.
struct CVSocket;

// The engine's HTTP client. Requests run on the engine's socket thread (CVSocketMan, names looked
// up on its resolver thread) and end in one engine message on queue 1 (the EngineMsg::Http... ones,
// wParam the client id, lParam the request tag). The
// received body reaches the caller's receive buffer and length word on the thread that takes the
// message from the queue (the main thread), just before the message is handled, through
// DeliverReceived; the socket thread never touches them. Each of the client's three sockets
// carries one request at a time; a request goes on the socket named, or on the first.
//
// A request with flag 1 is tried up to three times while the connection cannot be made or the
// request not sent, then answers HttpAttemptsOver; with flag 0 it is tried once and answers
// HttpConnectFailed. A 3xx answer with a Location, and a 2xx answer of type text/html, answer
// HttpMarkupPage: the redirect URL is then the Location (or the request's own URL), for
// RepeatRequest(1). Five of them in a row without a fresh request end in HttpBadAnswer instead,
// so a page that keeps answering with markup cannot
// make the client loop. Gzip bodies are inflated whether asked for or not.
//
// Requests, settings and queries may come from any thread; the client must outlive none of its
// requests (destruction cancels them) and must not be used once the engine is torn down. No message of a
// cancelled request is posted once CancelRequest has returned, though one already queued is still handled.
class CHttpClient {
 public:
  static constexpr int kSocketCount = 3;
  static constexpr int kAttempts = 3;
  static constexpr int kDefaultTimeoutMs = 30000;
  static constexpr int kMaxMarkupPagesInARow = 5;
  // What an answer may decode to when the client keeps none of it (no receive buffer): the map
  // service's answers are far smaller.
  static constexpr int kDefaultMaxAnswerSize = 8 * 1024 * 1024;

  CHttpClient();
  virtual ~CHttpClient();
  CHttpClient(const CHttpClient&) = delete;
  CHttpClient& operator=(const CHttpClient&) = delete;

  // Takes the socket threads and message dispatcher of the engine that owns the client and readies
  // the three sockets; answers 1, or 0 without them.
  int Init(CVSocketMan* sockets, CVMsgDispatcher* dispatcher);
  // The id the client's messages carry as wParam; DeliverReceived finds the client by it. Clients
  // may share an id: each still receives only the answers of its own requests.
  void SetClientID(EngineClient client);
  EngineClient GetClientID() const;
  // The caller's buffer of size bytes and its received-length word; both stay the caller's and
  // must live as long as the client (or until replaced).
  void SetReceiveBuffer(void* buffer, int* length, int size);
  void SetUseGzip(int on);
  // The most bytes an answer may decode to (inflated, when gzipped), counted as they arrive;
  // requests started afterwards answer HttpTooLarge past it. 0 goes back to the default: the receive
  // buffer's size, or kDefaultMaxAnswerSize without a buffer.
  void SetMaxAnswerSize(int bytes);
  void SetTimeout(int ms);
  // Progress messages (HttpData) as answer bytes arrive; at most one waits in the queue at a time.
  void SetNotifyProgress(int on);

  // One of the three sockets (index 0..2), null outside.
  CVSocket* GetSocket(int index);
  // 1 while that socket (null: any of the three) carries a request.
  int IsBusy(CVSocket* socket = nullptr) const;
  // Closes that socket's request (null: all three) and forgets the last request URL. Answers 1.
  int CancelRequest(CVSocket* socket = nullptr);

  // Starts a GET of url with tag as the request tag. When the socket still carries a request for
  // the same URL nothing is sent, tag takes that request's tag and 0 is answered; 0 also for a URL
  // that is not http or https. A request still on the socket is closed first. rangeStart > 0 asks
  // for the bytes from there on. Else 1.
  int RequestGet(const CVString& url, unsigned int& tag, int flag = 1, int rangeStart = 0,
                 CVSocket* socket = nullptr);
  int RequestGet(const CVString& url, int& tag, int flag = 1, int rangeStart = 0, CVSocket* socket = nullptr);
  // Starts a POST of the form fields (sent URL-encoded as application/x-www-form-urlencoded), as
  // RequestGet does otherwise.
  int RequestPost(const CVString& url, unsigned int& tag, int flag = 1, CVSocket* socket = nullptr);
  void AddPostField(const CVString& name, const CVString& value);
  void ClearPostFields();
  // With followRedirect, requests the stored redirect URL; else repeats the last request as it
  // was (same tag). 1 when there is nothing to do; else as RequestGet.
  int RepeatRequest(int followRedirect, CVSocket* socket = nullptr);
  // The last request URL, or with redirect set the stored redirect URL; 1 when not empty.
  int GetRequestUrl(int redirect, CVString& url) const;

  // The thread handling an HttpData or HttpComplete message of the client calls this first: copies
  // what arrived for the request tag into the receive buffer of the client under that id that asked
  // for it (of each, when clients sharing the id used the same tag) and sets its length word. Each
  // whole answer keeps its own body until then, whatever the socket carried since. An HttpComplete
  // of a request cancelled meanwhile sets the length word to 0 (unless the buffer holds that very
  // answer); nothing else happens without such a client.
  static void DeliverReceived(EngineClient client, EngineMsg message, int tag);
  // 1 when the receive buffer holds the bytes of the request with this tag (what DeliverReceived
  // last put there, all of it or the part that had arrived).
  int HoldsAnswerOf(unsigned int tag) const;

  struct Core;
  class Exchange;

 private:
  int StartRequest(bool post, const CVString& url, unsigned int& tag, int flag, int rangeStart,
                   CVSocket* socket, bool repeat);

  std::shared_ptr<Core> core_;
};

}  // namespace gmengine
