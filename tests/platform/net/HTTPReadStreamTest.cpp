#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "demo/LoopbackHttpServer.h"
#include "platform/net/HTTPConnection.h"
#include "platform/net/HTTPReadStream.h"
#include "tests/platform/net/NetTestSupport.h"

using kavro::test::LoopbackHttpServer;
using kavro::test::ScriptedResponse;
using platform::HTTPMessage;
using platform::HTTPReadStream;
using namespace nettest;

namespace {

class HTTPReadStreamTest : public ::testing::Test {
 protected:
  void TearDown() override { HTTPReadStream::closeIdleConnections(); }
  std::unique_ptr<platform::RunLoop> loop = platform::RunLoop::create();
  LoopbackHttpServer server;

  StreamResult fetch(const ScriptedResponse& response, std::string method = "GET") {
    server.enqueue(response);
    auto s = HTTPReadStream::create(HTTPMessage::request(method, url(server.url("/x"))));
    return runStream(*loop, s);
  }
};

ScriptedResponse chunked(std::string body, std::vector<std::size_t> sizes) {
  ScriptedResponse r = ScriptedResponse::ok(std::move(body));
  r.chunkSizes = std::move(sizes);
  return r;
}

TEST_F(HTTPReadStreamTest, ContentLengthChunkedAndReadToCloseBodies) {
  auto a = fetch(ScriptedResponse::ok("hello world", {{"X-A", "1"}}));
  ASSERT_FALSE(a.error) << a.error->description();
  EXPECT_EQ(a.body, "hello world");
  EXPECT_EQ(a.header->statusCode(), 200);
  EXPECT_EQ(a.header->headerField("x-a"), "1");
  EXPECT_EQ(a.endEvents, 1);

  auto c = chunked(std::string(10000, 'c') + "end", {1, 7, 4096});
  c.trailers = {{"X-Checksum", "abc"}};
  auto b = fetch(c);
  ASSERT_FALSE(b.error) << b.error->description();
  EXPECT_EQ(b.body, std::string(10000, 'c') + "end");

  ScriptedResponse untilClose = ScriptedResponse::ok("until the end");
  untilClose.omitContentLength = true;
  auto d = fetch(untilClose);
  ASSERT_FALSE(d.error) << d.error->description();
  EXPECT_EQ(d.body, "until the end");
}

TEST_F(HTTPReadStreamTest, NoBodyForHeadAnd204And304AndInterim1xxIsSkipped) {
  ScriptedResponse head = ScriptedResponse::ok("ignored");
  auto h = fetch(head, "HEAD");
  ASSERT_FALSE(h.error) << h.error->description();
  EXPECT_EQ(h.body, "");
  EXPECT_EQ(h.header->headerField("Content-Length"), "7");

  for (int status : {204, 304}) {
    ScriptedResponse r;
    r.status = status;
    r.headers = {{"Content-Length", "5"}};  // must be ignored
    auto res = fetch(r);
    ASSERT_FALSE(res.error) << status;
    EXPECT_EQ(res.header->statusCode(), status);
    EXPECT_EQ(res.body, "");
  }

  ScriptedResponse interim;
  interim.raw =
      "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: "
      "2\r\n\r\nok";
  auto i = fetch(interim);
  ASSERT_FALSE(i.error) << i.error->description();
  EXPECT_EQ(i.header->statusCode(), 201);
  EXPECT_EQ(i.body, "ok");
}

TEST_F(HTTPReadStreamTest, BodyBytesArriveAsTheyComeAndStayEncoded) {
  auto r = chunked(std::string(3000, 'z'), {1000});
  // Far apart, so that even a loaded machine reads each chunk before the next one comes.
  r.delayBetweenChunks = 0.25;
  r.headers = {{"Content-Encoding", "gzip"}};
  auto res = fetch(r);
  ASSERT_FALSE(res.error);
  EXPECT_EQ(res.body, std::string(3000, 'z'));  // not decoded, whatever the header says
  EXPECT_GE(res.bytesEvents, 3);
}

TEST_F(HTTPReadStreamTest, EarlyClosesAreErrorsNeverAnEnd) {
  ScriptedResponse inHeader = ScriptedResponse::ok("0123456789");
  inHeader.closeAfterBytes = 10;
  ScriptedResponse inBody = ScriptedResponse::ok(std::string(5000, 'b'));
  inBody.closeAfterBytes = 100;
  auto inChunks = chunked(std::string(5000, 'c'), {100});
  inChunks.closeAfterBytes = 300;
  ScriptedResponse silent;
  silent.closeWithoutResponse = true;
  for (const auto& r : {inHeader, inBody, inChunks, silent}) {
    auto res = fetch(r);
    ASSERT_TRUE(res.error);
    EXPECT_EQ(res.error->code, platform::URLErrorBadServerResponse) << res.error->description();
    EXPECT_EQ(res.endEvents, 0);
    EXPECT_EQ(res.errorEvents, 1);
  }
}

TEST_F(HTTPReadStreamTest, MalformedAndOversizedResponsesFail) {
  ScriptedResponse garbage;
  garbage.raw = "SSH-2.0-OpenSSH\r\n\r\n";
  ScriptedResponse badLength;
  badLength.raw = "HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n";
  ScriptedResponse huge;
  huge.raw = "HTTP/1.1 200 OK\r\n" + std::string(70000, 'X') + ": y\r\n\r\n";
  ScriptedResponse badChunk;
  badChunk.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nnothex\r\n";
  for (const auto& r : {garbage, badLength, huge, badChunk}) {
    auto res = fetch(r);
    ASSERT_TRUE(res.error);
    EXPECT_EQ(res.error->code, platform::URLErrorBadServerResponse);
  }
}

TEST_F(HTTPReadStreamTest, SendsBodiesWithLengthOrChunkedAndCountsThem) {
  server.setHandler(
      [](const kavro::test::RecordedRequest& r) { return ScriptedResponse::ok("got " + r.body); });
  auto post = HTTPMessage::request("POST", url(server.url("/p")));
  post.setHeaderField("Content-Type", "text/plain");
  post.setBody(platform::dataFromString("payload"));
  auto s = HTTPReadStream::create(post);
  auto res = runStream(*loop, s);
  ASSERT_FALSE(res.error);
  EXPECT_EQ(res.body, "got payload");
  EXPECT_EQ(s->requestBytesWritten(), 7u);

  // A stream of unknown length goes chunked.
  class Unknown : public platform::InputStream {
   public:
    std::string left = std::string(200000, 'u');
    bool opened = false, closed = false;
    void open() override { opened = true; }
    void close() override { closed = true; }
    std::ptrdiff_t read(std::uint8_t* b, std::size_t max) override {
      std::size_t n = std::min<std::size_t>({max, left.size(), 777});
      std::memcpy(b, left.data(), n);
      left.erase(0, n);
      return static_cast<std::ptrdiff_t>(n);
    }
  };
  auto body = std::make_shared<Unknown>();
  auto streamed = HTTPReadStream::create(HTTPMessage::request("PUT", url(server.url("/u"))), body);
  res = runStream(*loop, streamed);
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.body, "got " + std::string(200000, 'u'));
  EXPECT_EQ(streamed->requestBytesWritten(), 200000u);
  EXPECT_TRUE(body->opened && body->closed);
  auto requests = server.requests();
  EXPECT_FALSE(requests[0].chunked);
  EXPECT_EQ(requests[0].header("Content-Length"), "7");
  EXPECT_TRUE(requests[1].chunked);
  EXPECT_FALSE(requests[1].header("Content-Length"));

  // Known length from the stream: Content-Length.
  auto known = HTTPReadStream::create(HTTPMessage::request("POST", url(server.url("/k"))),
                                      platform::InputStream::withData(platform::dataFromString("abc")));
  res = runStream(*loop, known);
  EXPECT_EQ(res.body, "got abc");
  EXPECT_EQ(server.requests()[2].header("Content-Length"), "3");
}

TEST_F(HTTPReadStreamTest, NothingHappensWhileUnscheduled) {
  server.setHandler([](const kavro::test::RecordedRequest&) { return ScriptedResponse::ok("late"); });
  auto s = get(server.url("/"));
  StreamResult seen;
  ASSERT_TRUE(s->open());
  loop->runFor(0.05);
  EXPECT_EQ(server.connectionCount(), 0u);
  EXPECT_EQ(s->status(), HTTPReadStream::Status::Opening);
  auto res = runStream(*loop, s);  // schedules it
  ASSERT_FALSE(res.error);
  EXPECT_EQ(res.body, "late");

  // Unscheduled in the middle: the bytes wait, no event comes, then they are delivered.
  ScriptedResponse slow = chunked("abcdef", {3});
  slow.delayBetweenChunks = 0.05;
  server.enqueue(slow);
  auto t = get(server.url("/"));
  int events = 0;
  std::string body;
  t->setClient(HTTPReadStream::HasBytesAvailable | HTTPReadStream::EndEncountered,
               [&](HTTPReadStream& st, HTTPReadStream::Event e) {
                 ++events;
                 std::uint8_t b[64];
                 while (std::size_t n = st.read(b, sizeof b)) body.append(reinterpret_cast<char*>(b), n);
                 if (e == HTTPReadStream::HasBytesAvailable && body == "abc") st.unschedule();
               });
  t->schedule(*loop);
  ASSERT_TRUE(t->open());
  ASSERT_TRUE(loop->runUntil([&] { return body == "abc"; }, 10));
  int eventsThen = events;
  loop->runFor(0.2);
  EXPECT_EQ(events, eventsThen);
  EXPECT_EQ(body, "abc");
  t->schedule(*loop);
  ASSERT_TRUE(loop->runUntil([&] { return t->status() == HTTPReadStream::Status::AtEnd; }, 10));
  EXPECT_EQ(body, "abcdef");
}

TEST_F(HTTPReadStreamTest, ConnectionsAreReusedByIdentityOnly) {
  server.setHandler([](const kavro::test::RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  EXPECT_EQ(runStream(*loop, get(server.url("/1"), "A")).body, "/1");
  EXPECT_EQ(runStream(*loop, get(server.url("/2"), "A")).body, "/2");
  EXPECT_EQ(server.connectionCount(), 1u);
  // Another identity, or none: connections of their own.
  EXPECT_EQ(runStream(*loop, get(server.url("/3"), "B")).body, "/3");
  EXPECT_EQ(runStream(*loop, get(server.url("/4"))).body, "/4");
  EXPECT_EQ(runStream(*loop, get(server.url("/5"))).body, "/5");
  EXPECT_EQ(server.connectionCount(), 4u);
  // An answer that says "close" is not reused.
  ScriptedResponse closing = ScriptedResponse::ok("c");
  closing.keepAlive = false;
  server.enqueue(closing);
  runStream(*loop, get(server.url("/6"), "C"));
  runStream(*loop, get(server.url("/7"), "C"));
  EXPECT_EQ(server.connectionCount(), 6u);
}

TEST_F(HTTPReadStreamTest, ClosingAnOldFinishedStreamLeavesTheNewerOnesConnection) {
  server.setHandler([](const kavro::test::RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  auto first = get(server.url("/first"), "id");
  ASSERT_EQ(runStream(*loop, first).body, "/first");
  ScriptedResponse slow = chunked("ab", {1});
  slow.delayBetweenChunks = 0.05;
  server.enqueue(slow);
  auto second = get(server.url("/second"), "id");
  std::string body;
  second->setClient(HTTPReadStream::HasBytesAvailable, [&](HTTPReadStream& s, HTTPReadStream::Event) {
    std::uint8_t b[16];
    while (std::size_t n = s.read(b, sizeof b)) body.append(reinterpret_cast<char*>(b), n);
  });
  second->schedule(*loop);
  ASSERT_TRUE(second->open());
  ASSERT_TRUE(loop->runUntil([&] { return !body.empty(); }, 10));
  first->close();  // the old stream goes after the new one started on its connection
  ASSERT_TRUE(loop->runUntil([&] { return second->status() == HTTPReadStream::Status::AtEnd; }, 10));
  EXPECT_EQ(body, "ab");
  EXPECT_EQ(server.connectionCount(), 1u);

  // Closing an unfinished stream closes its connection: the next one needs a new connection.
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.enqueue(held);
  auto third = get(server.url("/third"), "id");
  third->schedule(*loop);
  ASSERT_TRUE(third->open());
  ASSERT_TRUE(loop->runUntil([&] { return server.requestCount() == 3; }, 10));
  third->close();
  EXPECT_EQ(runStream(*loop, get(server.url("/fourth"), "id")).body, "/fourth");
  EXPECT_EQ(server.connectionCount(), 2u);
}

TEST_F(HTTPReadStreamTest, DeadPooledConnections) {
  server.setHandler([](const kavro::test::RecordedRequest& r) { return ScriptedResponse::ok(r.target); });
  ASSERT_EQ(runStream(*loop, get(server.url("/a"), "id")).body, "/a");
  // Closed by the server while idle: noticed in the pool, a new connection is made.
  server.closeIdleConnections();
  ASSERT_TRUE(loop->runUntil([&] { return false; }, 0.05) || true);
  auto b = runStream(*loop, get(server.url("/b"), "id"));
  ASSERT_FALSE(b.error) << b.error->description();
  EXPECT_EQ(b.body, "/b");
  EXPECT_EQ(server.connectionCount(), 2u);

  // Closed by the server once the request is on the reused connection: a distinct error.
  ScriptedResponse drop;
  drop.closeWithoutResponse = true;
  server.enqueue(drop);
  auto reused = get(server.url("/c"), "id");
  auto c = runStream(*loop, reused);
  EXPECT_TRUE(reused->usedPooledConnection());
  ASSERT_TRUE(c.error);
  EXPECT_EQ(c.error->code, platform::URLErrorNetworkConnectionLost);

  // The same on a fresh connection is a bad response, not a lost connection.
  server.enqueue(drop);
  auto fresh = runStream(*loop, get(server.url("/d"), "other"));
  ASSERT_TRUE(fresh.error);
  EXPECT_EQ(fresh.error->code, platform::URLErrorBadServerResponse);
}

TEST_F(HTTPReadStreamTest, ThePoolKeepsTheNewestIdleConnectionsAndClosesTheOldest) {
  auto& pool = platform::HTTPConnectionPool::shared();
  pool.closeIdleConnections();
  // Connections over socket pairs: the far ends show when the pool closes one.
  const std::size_t count = platform::HTTPConnectionPool::MaximumIdle + 1;
  std::vector<int> far;
  for (std::size_t i = 0; i < count; ++i) {
    int fd[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fd), 0);
    far.push_back(fd[1]);
    pool.put(std::make_unique<platform::HTTPConnection>(fd[0], "key " + std::to_string(i)));
    EXPECT_EQ(pool.idleCount(), std::min(i + 1, platform::HTTPConnectionPool::MaximumIdle));
  }
  auto closedAtFarEnd = [&](std::size_t i) {
    char c;
    return ::recv(far[i], &c, 1, MSG_DONTWAIT) == 0;
  };
  EXPECT_TRUE(closedAtFarEnd(0)) << "the oldest made room and was closed";
  EXPECT_FALSE(closedAtFarEnd(1));
  EXPECT_FALSE(pool.take("key 0"));
  auto second = pool.take("key 1");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->poolKey(), "key 1");
  EXPECT_TRUE(pool.take("key " + std::to_string(count - 1)));
  EXPECT_EQ(pool.idleCount(), platform::HTTPConnectionPool::MaximumIdle - 2);
  pool.closeIdleConnections();
  EXPECT_EQ(pool.idleCount(), 0u);
  EXPECT_TRUE(closedAtFarEnd(2));
  for (int fd : far) ::close(fd);
}

TEST_F(HTTPReadStreamTest, OpenRefusesWhatItCannotSend) {
  auto ftp = HTTPReadStream::create(HTTPMessage::request("GET", url("ftp://h/x")));
  EXPECT_FALSE(ftp->open());
  EXPECT_EQ(ftp->error()->code, platform::URLErrorUnsupportedURL);
  auto s = get(server.url("/"));
  ASSERT_TRUE(s->open());
  EXPECT_FALSE(s->open());
  s->close();
}

TEST_F(HTTPReadStreamTest, ConnectAndResolveFailures) {
  int port;
  {
    LoopbackHttpServer gone;
    port = gone.port();
  }
  auto refused = runStream(*loop, get("http://127.0.0.1:" + std::to_string(port) + "/"));
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->code, platform::URLErrorCannotConnectToHost);
  ASSERT_TRUE(refused.error->underlying);
  EXPECT_EQ(refused.error->underlying->domain, platform::POSIXErrorDomain);

  ScopedResolver fake;
  fake.resolver->table["kavro.test"] = "127.0.0.1";
  auto missing = runStream(*loop, get("http://missing.test/"));
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->code, platform::URLErrorCannotFindHost);

  server.enqueue(ScriptedResponse::ok("by name"));
  auto named = runStream(*loop, get("http://kavro.test:" + std::to_string(server.port()) + "/"));
  ASSERT_FALSE(named.error);
  EXPECT_EQ(named.body, "by name");
  EXPECT_EQ(server.requests().back().header("Host"), "kavro.test:" + std::to_string(server.port()));
}

TEST_F(HTTPReadStreamTest, SystemResolverAnswersOnTheLoop) {
  server.enqueue(ScriptedResponse::ok("local"));
  auto res = runStream(*loop, get("http://localhost:" + std::to_string(server.port()) + "/"));
  // localhost may resolve to ::1 first; the stream tries the next address.
  ASSERT_FALSE(res.error) << res.error->description();
  EXPECT_EQ(res.body, "local");
}

}  // namespace
