#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "demo/LoopbackHttpServer.h"
#include "demo/LoopbackSocket.h"

namespace kavro::test {
namespace {

std::size_t mappingCount() {
  std::ifstream maps("/proc/self/maps");
  std::size_t n = 0;
  for (std::string line; std::getline(maps, line);) ++n;
  return n;
}

// One request on a fresh connection, read until the server closes it.
std::string askOnce(std::uint16_t port) {
  int fd = connectToLoopback(port);
  if (fd < 0) return {};
  std::string request = "GET /n HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[4096];
  for (long n; (n = ::recv(fd, buf, sizeof buf, 0)) > 0;) answer.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return answer;
}

TEST(LoopbackHttpServer, ConnectionsThatEndedLeaveNoThreadBehind) {
  LoopbackHttpServer server;
  server.setHandler([](const RecordedRequest&) { return ScriptedResponse::ok("n"); });
  ASSERT_NE(askOnce(server.port()).find("\r\n\r\nn"), std::string::npos);
  std::size_t before = mappingCount();
  constexpr std::size_t connections = 300;
  for (std::size_t i = 0; i < connections; ++i)
    ASSERT_NE(askOnce(server.port()).find("200 OK"), std::string::npos);
  // Each thread left unjoined keeps its stack and its guard page mapped.
  EXPECT_LT(mappingCount(), before + connections / 2);
  EXPECT_EQ(server.connectionCount(), connections + 1);
  EXPECT_EQ(server.requestCount(), connections + 1);
}

}  // namespace
}  // namespace kavro::test
