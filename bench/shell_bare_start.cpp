// The work a fresh process cannot avoid for the client's start, the start benchmark's peer:
//   shell_bare_start CORE.db CACHE.db DICT.db URL POINT
// opens the three store files (schema read), makes one round trip of the start's call (URL, plain
// http://HOST:PORT/PATH) on a new connection, the request written and the answer read on a plain
// socket, counts POINT in the core store, then writes "ready" to standard output (the benchmark's
// clock stops there) and ends. Exit status 0 when every step worked.
// No HTTP library: one would load its own shared libraries and set itself up, work the client
// does not do at its start.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/BareStore.h"

namespace {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Case-insensitive search for a header's value in the head of an answer; npos when absent.
std::size_t headerValue(std::string_view head, std::string_view name) {
  for (std::size_t at = head.find("\r\n"); at != std::string_view::npos; at = head.find("\r\n", at + 2)) {
    const std::string_view line = head.substr(at + 2, name.size() + 1);
    if (line.size() == name.size() + 1 && line.back() == ':' &&
        ::strncasecmp(line.data(), name.data(), name.size()) == 0)
      return at + 2 + name.size() + 1;
  }
  return std::string_view::npos;
}

// One GET of url on a new connection, its whole answer read; true on a 200.
bool get(std::string_view url) {
  constexpr std::string_view Scheme = "http://";
  if (url.substr(0, Scheme.size()) != Scheme) return false;
  url.remove_prefix(Scheme.size());
  const std::size_t slash = url.find('/');
  const std::string_view authority = url.substr(0, slash);
  const std::string target(slash == std::string_view::npos ? "/" : url.substr(slash));
  const std::size_t colon = authority.rfind(':');
  const std::string host(authority.substr(0, colon));
  const std::string port(colon == std::string_view::npos ? "80" : authority.substr(colon + 1));

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(port.c_str())));
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return false;  // the bench's own server
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            writeAll(fd, "GET " + target + " HTTP/1.1\r\nHost: " + std::string(authority) +
                             "\r\nAccept: */*\r\n\r\n");
  // The answer: its head, then a body of Content-Length bytes, chunks to the last one, or bytes to
  // the end of the connection.
  std::string answer;
  std::size_t headEnd = std::string::npos;
  char buffer[16384];
  auto more = [&] {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
  };
  while (ok && (headEnd = answer.find("\r\n\r\n")) == std::string::npos) ok = more();
  if (ok) {
    const std::string_view head(answer.data(), headEnd + 2);
    ok = head.substr(0, 9) == "HTTP/1.1 " || head.substr(0, 9) == "HTTP/1.0 ";
    ok = ok && head.substr(9, 4) == "200 ";
    const std::size_t bodyStart = headEnd + 4;
    if (const std::size_t length = headerValue(head, "Content-Length"); ok && length != std::string::npos) {
      const std::size_t want = bodyStart + std::strtoull(head.data() + length, nullptr, 10);
      while (ok && answer.size() < want) ok = more();
    } else if (const std::size_t coding = headerValue(head, "Transfer-Encoding");
               ok && coding != std::string::npos) {
      // Chunked: the last chunk is one of size 0 and an empty line.
      while (ok && answer.find("\r\n0\r\n\r\n", bodyStart - 2) == std::string::npos) ok = more();
    } else {
      while (more()) {
      }
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return 2;
  sqlite3* dbs[3] = {};
  bool ok = true;
  for (int d = 0; d < 3 && ok; ++d) ok = (dbs[d] = kavro::bench::openBare(argv[1 + d])) != nullptr;
  ok = ok && get(argv[4]) && kavro::bench::countPoint(dbs[0], argv[5]);
  if (ok) ok = ::write(1, "ready\n", 6) == 6;
  for (sqlite3* db : dbs) sqlite3_close(db);
  return ok ? 0 : 1;
}
