#pragma once
#include <cstdint>

namespace kavro::test {

// A listening socket on 127.0.0.1 with a kernel-chosen port (written to port); throws on failure.
int listenOnLoopback(int backlog, std::uint16_t& port);
// A connected socket to 127.0.0.1:port, or -1.
int connectToLoopback(std::uint16_t port);
// Copies bytes both ways until either side closes or fails.
void relayBetween(int a, int b);

}  // namespace kavro::test
