// The work a fresh process cannot avoid for the client's start, the start benchmark's peer:
//   shell_bare_start CORE.db CACHE.db DICT.db URL POINT
// opens the three store files (schema read), makes one libcurl round trip of the start's call on a
// new connection, counts POINT in the core store, then writes "ready" to standard output (the
// benchmark's clock stops there) and ends. Exit status 0 when every step worked.
#include <curl/curl.h>
#include <unistd.h>

#include "bench/BareStore.h"

namespace {

std::size_t discard(char*, std::size_t size, std::size_t n, void*) { return size * n; }

bool get(const char* url) {
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  curl_easy_setopt(curl, CURLOPT_URL, url);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 50L);
  long status = 0;
  bool ok = curl_easy_perform(curl) == CURLE_OK &&
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
  curl_easy_cleanup(curl);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return 2;
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return 1;
  sqlite3* dbs[3] = {};
  bool ok = true;
  for (int d = 0; d < 3 && ok; ++d) ok = (dbs[d] = kavro::bench::openBare(argv[1 + d])) != nullptr;
  ok = ok && get(argv[4]) && kavro::bench::countPoint(dbs[0], argv[5]);
  if (ok) ok = ::write(1, "ready\n", 6) == 6;
  for (sqlite3* db : dbs) sqlite3_close(db);
  curl_global_cleanup();
  return ok ? 0 : 1;
}
