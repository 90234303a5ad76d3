// kavro: the headless runner of the recruitment client.
#include <cstdio>
#include <cstring>

namespace {
constexpr const char* kVersion = "0.1.0";

void usage() {
  std::printf(
      "kavro %s: headless runner of the Kavro recruitment client\n"
      "usage: kavro [--version] [--help]\n"
      "\n"
      "Built so far: the platform layer (text, values, run loop, notifications, files,\n"
      "user defaults, archiving, crypto) and the kit's core extensions.\n",
      kVersion);
}
}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("kavro %s\n", kVersion);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage();
      return 0;
    }
    std::fprintf(stderr, "kavro: unknown argument: %s\n", argv[i]);
    usage();
    return 2;
  }
  usage();
  return 0;
}
