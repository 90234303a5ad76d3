#include <gtest/gtest.h>

#include "platform/net/HTTPBodyDecoder.h"
#include "platform/net/HTTPMessage.h"
#include "tests/platform/net/NetTestSupport.h"

using platform::HTTPBodyDecoder;
using platform::HTTPHeaderField;
using platform::HTTPMessage;

namespace {

using nettest::url;

HTTPMessage parsed(std::string_view wire) {
  HTTPMessage m = HTTPMessage::emptyResponse();
  EXPECT_TRUE(m.appendBytes(wire)) << m.parseError();
  EXPECT_TRUE(m.isHeaderComplete());
  return m;
}

std::string decodeAll(HTTPBodyDecoder& d, std::string_view wire, std::size_t step,
                      std::size_t* taken = nullptr) {
  platform::Data out;
  std::size_t total = 0;
  for (std::size_t i = 0; i < wire.size(); i += step) {
    std::size_t n = std::min(step, wire.size() - i);
    std::size_t t = d.decode(reinterpret_cast<const std::uint8_t*>(wire.data() + i), n, out);
    total += t;
    if (t < n) break;
  }
  if (taken) *taken = total;
  return platform::stringFromData(out);
}

}  // namespace

TEST(HTTPMessage, HeadersAreCaseInsensitiveOrderedAndSetReplaces) {
  HTTPMessage m = HTTPMessage::request("GET", url("http://example.test/a"));
  EXPECT_TRUE(m.setHeaderField("User-Agent", "ua/1"));
  EXPECT_TRUE(m.setHeaderField("Accept", "*/*"));
  EXPECT_TRUE(m.setHeaderField("user-agent", "ua/2"));
  EXPECT_EQ(m.headerField("USER-AGENT"), "ua/2");
  EXPECT_EQ(m.allHeaderFields(), (std::vector<HTTPHeaderField>{{"User-Agent", "ua/2"}, {"Accept", "*/*"}}));
  m.removeHeaderField("ACCEPT");
  EXPECT_FALSE(m.headerField("Accept"));
  // Header injection is refused.
  EXPECT_FALSE(m.setHeaderField("X-A", "1\r\nEvil: yes"));
  EXPECT_FALSE(m.setHeaderField("Bad Name", "1"));
  EXPECT_FALSE(m.setHeaderField("", "1"));
  EXPECT_EQ(m.allHeaderFields().size(), 1u);
}

TEST(HTTPMessage, SerialisesRequestsWithHostAndBody) {
  HTTPMessage m = HTTPMessage::request("POST", url("http://Example.test:8080/p%20q/r?x=1&y=%41#frag"));
  m.setHeaderField("User-Agent", "kavro");
  m.setBody(platform::dataFromString("abc"));
  EXPECT_EQ(platform::stringFromData(m.serializedMessage()),
            "POST /p%20q/r?x=1&y=%41 HTTP/1.1\r\nHost: example.test:8080\r\nUser-Agent: kavro\r\n"
            "Content-Length: 3\r\n\r\nabc");
  EXPECT_EQ(m.requestTarget(true), "http://example.test:8080/p%20q/r?x=1&y=%41");

  // A caller's Host wins; the default port is not written; an empty path is "/".
  HTTPMessage g = HTTPMessage::request("GET", url("https://h.test:443"), platform::HTTPVersion1_0);
  EXPECT_EQ(g.serializedHeader(), "GET / HTTP/1.0\r\nHost: h.test\r\n");
  g.setHeaderField("host", "other.test");
  EXPECT_EQ(platform::stringFromData(g.serializedMessage()), "GET / HTTP/1.0\r\nhost: other.test\r\n\r\n");

  // A body framed by the caller gets no second framing; a request without a body gets none.
  HTTPMessage chunked = HTTPMessage::request("POST", url("http://h.test/up"));
  chunked.setHeaderField("Transfer-Encoding", "chunked");
  chunked.setBody(platform::dataFromString("3\r\nabc\r\n0\r\n\r\n"));
  EXPECT_EQ(platform::stringFromData(chunked.serializedMessage()),
            "POST /up HTTP/1.1\r\nHost: h.test\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n");
  HTTPMessage sized = HTTPMessage::request("PUT", url("http://h.test/up"));
  sized.setHeaderField("content-length", "2");
  sized.setBody(platform::dataFromString("xy"));
  EXPECT_EQ(platform::stringFromData(sized.serializedMessage()),
            "PUT /up HTTP/1.1\r\nHost: h.test\r\ncontent-length: 2\r\n\r\nxy");
  HTTPMessage bare = HTTPMessage::request("POST", url("http://h.test/none"));
  EXPECT_EQ(platform::stringFromData(bare.serializedMessage()),
            "POST /none HTTP/1.1\r\nHost: h.test\r\n\r\n");

  HTTPMessage v6 = HTTPMessage::request("GET", url("http://[::1]:81/"));
  EXPECT_EQ(v6.serializedHeader(), "GET / HTTP/1.1\r\nHost: [::1]:81\r\n");
}

TEST(HTTPMessage, ParsesResponsesIncrementallyAndJoinsRepeatedFields) {
  std::string wire =
      "\r\nHTTP/1.1 404 Not Found\r\nContent-Type: text/xml\r\nSet-Cookie: a=1\r\nX-Folded: one\r\n  two\r\n"
      "set-cookie: b=2\r\nEmpty:\r\n\r\nbody";
  for (std::size_t step : {1u, 2u, 5u, 1000u}) {
    HTTPMessage m = HTTPMessage::emptyResponse();
    for (std::size_t i = 0; i < wire.size(); i += step) ASSERT_TRUE(m.appendBytes(wire.substr(i, step)));
    ASSERT_TRUE(m.isHeaderComplete());
    EXPECT_EQ(m.statusCode(), 404);
    EXPECT_EQ(m.version(), "HTTP/1.1");
    EXPECT_EQ(m.statusLine(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(m.headerField("set-cookie"), "a=1, b=2");
    EXPECT_EQ(m.headerField("x-folded"), "one two");
    EXPECT_EQ(m.headerField("Empty"), "");
    EXPECT_EQ(m.allHeaderFields().size(), 4u);
    EXPECT_EQ(platform::stringFromData(m.body()), "body");
  }
  // appendHeaderBytes stops right after the blank line.
  HTTPMessage m = HTTPMessage::emptyResponse();
  std::string two = "HTTP/1.0 200\nA: b\n\nrest";
  auto taken = m.appendHeaderBytes(reinterpret_cast<const std::uint8_t*>(two.data()), two.size());
  ASSERT_TRUE(taken);
  EXPECT_EQ(two.substr(*taken), "rest");
  EXPECT_EQ(m.reasonPhrase(), "");
  EXPECT_EQ(m.headerField("a"), "b");
}

TEST(HTTPMessage, RejectsMalformedAndOversizedHeaders) {
  for (std::string_view bad :
       {"HTTP/1.1 20 OK\r\n\r\n", "ICY 200 OK\r\n\r\n", "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n",
        "HTTP/1.1 200 OK\r\n folded-first\r\n\r\n", "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n"}) {
    HTTPMessage m = HTTPMessage::emptyResponse();
    EXPECT_FALSE(m.appendBytes(bad)) << bad;
    EXPECT_FALSE(m.parseError().empty());
    EXPECT_FALSE(m.appendBytes("more"));
  }
  HTTPMessage big = HTTPMessage::emptyResponse();
  ASSERT_TRUE(big.appendBytes("HTTP/1.1 200 OK\r\n"));
  std::string field = "X: " + std::string(1000, 'a') + "\r\n";
  bool ok = true;
  for (int i = 0; i < 100 && ok; ++i) ok = big.appendBytes(field);
  EXPECT_FALSE(ok);
  EXPECT_NE(big.parseError().find("larger"), std::string::npos);

  // A header of 64 KiB with its blank line is taken and one byte more refused, whole or in pieces.
  auto header = [](std::size_t length) {
    const std::string status = "HTTP/1.1 200 OK\r\n";
    return status + "X: " + std::string(length - status.size() - 7, 'a') + "\r\n\r\n";
  };
  for (std::size_t step : {1u, 7u, 4096u, 100000u}) {
    for (std::size_t extra : {0u, 1u}) {
      const std::string wire = header(HTTPMessage::MaximumHeaderSize + extra) + "body";
      HTTPMessage m = HTTPMessage::emptyResponse();
      bool taken = true;
      for (std::size_t i = 0; i < wire.size() && taken; i += step)
        taken = m.appendBytes(std::string_view(wire).substr(i, step));
      EXPECT_EQ(taken, extra == 0) << "step " << step;
      EXPECT_EQ(m.isHeaderComplete(), extra == 0) << "step " << step;
    }
  }
}

TEST(HTTPBodyDecoder, PicksFramingFromTheResponse) {
  using F = HTTPBodyDecoder::Framing;
  auto framing = [](std::string_view head, std::string_view method = "GET") {
    return HTTPBodyDecoder::forResponse(parsed(head), method);
  };
  EXPECT_EQ(framing("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n").framing(), F::Length);
  EXPECT_EQ(framing("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n", "HEAD").framing(), F::None);
  EXPECT_EQ(framing("HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n").framing(), F::None);
  EXPECT_EQ(framing("HTTP/1.1 304 Not Modified\r\n\r\n").framing(), F::None);
  EXPECT_EQ(framing("HTTP/1.1 100 Continue\r\n\r\n").framing(), F::None);
  EXPECT_EQ(
      framing("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\nContent-Length: 5\r\n\r\n").framing(),
      F::Chunked);
  EXPECT_EQ(framing("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n").framing(), F::UntilClose);
  EXPECT_EQ(framing("HTTP/1.0 200 OK\r\n\r\n").framing(), F::UntilClose);
  EXPECT_EQ(framing("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nContent-Length: 7\r\n\r\n").expectedLength(),
            7u);
  EXPECT_TRUE(framing("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nContent-Length: 8\r\n\r\n").hasFailed());
  EXPECT_TRUE(framing("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n").hasFailed());
  EXPECT_TRUE(framing("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n").hasFailed());
  EXPECT_TRUE(framing("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n").isComplete());
}

TEST(HTTPBodyDecoder, LengthStopsAtTheEndAndFailsWhenTruncated) {
  HTTPBodyDecoder d(HTTPBodyDecoder::Framing::Length, 5);
  std::size_t taken = 0;
  EXPECT_EQ(decodeAll(d, "helloNEXT", 3, &taken), "hello");
  EXPECT_EQ(taken, 5u);
  EXPECT_TRUE(d.isComplete());

  HTTPBodyDecoder cut(HTTPBodyDecoder::Framing::Length, 10);
  EXPECT_EQ(decodeAll(cut, "hel", 3), "hel");
  cut.peerClosed();
  EXPECT_TRUE(cut.hasFailed());
  EXPECT_FALSE(cut.isComplete());

  HTTPBodyDecoder untilClose(HTTPBodyDecoder::Framing::UntilClose);
  EXPECT_EQ(decodeAll(untilClose, "anything", 2), "anything");
  untilClose.peerClosed();
  EXPECT_TRUE(untilClose.isComplete());
}

TEST(HTTPBodyDecoder, DecodesChunksWithExtensionsAndTrailers) {
  std::string wire = "5;ext=1\r\nhello\r\n1A\r\n" + std::string(26, 'x') + "\r\n0\r\nTrailer: v\r\n\r\nNEXT";
  for (std::size_t step : {1u, 3u, 7u, 4096u}) {
    HTTPBodyDecoder d(HTTPBodyDecoder::Framing::Chunked);
    std::size_t taken = 0;
    EXPECT_EQ(decodeAll(d, wire, step, &taken), "hello" + std::string(26, 'x')) << step;
    EXPECT_TRUE(d.isComplete());
    EXPECT_EQ(taken, wire.size() - 4);
  }
  HTTPBodyDecoder bare(HTTPBodyDecoder::Framing::Chunked);
  EXPECT_EQ(decodeAll(bare, "3\nabc\n0\n\n", 1), "abc");
  EXPECT_TRUE(bare.isComplete());
}

TEST(HTTPBodyDecoder, RejectsBrokenChunks) {
  for (std::string_view bad : {"zz\r\n", "5\r\nhelloX\r\n", "1234567890abcdef0\r\n", "\r\n"}) {
    HTTPBodyDecoder d(HTTPBodyDecoder::Framing::Chunked);
    decodeAll(d, bad, 1);
    EXPECT_TRUE(d.hasFailed()) << bad;
  }
  HTTPBodyDecoder longLine(HTTPBodyDecoder::Framing::Chunked);
  decodeAll(longLine, "1;" + std::string(5000, 'e'), 100);
  EXPECT_TRUE(longLine.hasFailed());

  // The limits hold however the bytes come, whole or in pieces of any size: a chunk-size line of
  // 4096 bytes before its line feed is taken and one of 4097 refused; a trailer of 64 KiB with its
  // line ends (two fields) is taken and one byte more refused.
  auto sizeLine = [](std::size_t length) {
    return "1;" + std::string(length - 3, 'e') + "\r\nx\r\n0\r\n\r\n";
  };
  const std::string first = "A: " + std::string(40000, 'a') + "\r\n";
  auto trailer = [&](std::size_t length) {
    return "0\r\n" + first + "B: " + std::string(length - first.size() - 5 - 2, 'b') + "\r\n\r\n";
  };
  for (std::size_t step : {1u, 7u, 4096u, 100000u}) {
    for (std::size_t extra : {0u, 1u}) {
      HTTPBodyDecoder line(HTTPBodyDecoder::Framing::Chunked);
      decodeAll(line, sizeLine(HTTPBodyDecoder::MaximumChunkLineSize + extra), step);
      EXPECT_EQ(line.hasFailed(), extra == 1) << "chunk-size line, step " << step;
      EXPECT_EQ(line.isComplete(), extra == 0) << "chunk-size line, step " << step;
      HTTPBodyDecoder fields(HTTPBodyDecoder::Framing::Chunked);
      decodeAll(fields, trailer(HTTPBodyDecoder::MaximumTrailerSize + extra), step);
      EXPECT_EQ(fields.hasFailed(), extra == 1) << "trailer, step " << step;
      EXPECT_EQ(fields.isComplete(), extra == 0) << "trailer, step " << step;
    }
  }

  HTTPBodyDecoder cut(HTTPBodyDecoder::Framing::Chunked);
  decodeAll(cut, "5\r\nhel", 2);
  cut.peerClosed();
  EXPECT_TRUE(cut.hasFailed());
  EXPECT_NE(cut.errorMessage().find("chunked"), std::string::npos);
}
