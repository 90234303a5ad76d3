#include "platform/net/SystemProxySettings.h"

#include <arpa/inet.h>
#include <duktape.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/Mutex.h"
#include "platform/net/NetText.h"

namespace platform {

namespace {

platform::Mutex overrideMutex;
std::optional<SystemProxySettings> overrideSettings GUARDED_BY(overrideMutex);

using nettext::lower;

std::string_view trimSpace(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<std::string> env(const char* lowerName, const char* upperName) {
  const char* v = std::getenv(lowerName);
  if (!v || !*v) v = upperName ? std::getenv(upperName) : nullptr;
  if (!v || !*v) return std::nullopt;
  return std::string(v);
}

std::optional<ProxyEntry> proxyFromEnv(const std::string& text, std::string_view defaultType) {
  std::string t = text.find("://") == std::string::npos ? "http://" + text : text;
  auto url = URL::parse(t);
  if (!url || url->host().empty()) return std::nullopt;
  ProxyEntry e;
  std::string scheme = url->scheme();
  e.type = scheme.rfind("socks", 0) == 0 ? std::string(ProxyTypeSOCKS) : std::string(defaultType);
  e.host = url->host();
  e.port = url->port().value_or(e.type == ProxyTypeSOCKS ? 1080 : scheme == "https" ? 443 : 80);
  return e;
}

bool isLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0 || host.ends_with(".localhost");
}

// "h:p" with a default port.
std::optional<ProxyEntry> parseHostPort(std::string_view text, std::string_view type, int defaultPort) {
  text = trimSpace(text);
  if (text.empty()) return std::nullopt;
  ProxyEntry e;
  e.type = std::string(type);
  std::size_t colon = text.rfind(':');
  bool bracketed = text.front() == '[';
  if (colon != std::string_view::npos && (!bracketed || text.find(']') < colon)) {
    std::string port(text.substr(colon + 1));
    char* end = nullptr;
    long p = std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end || p <= 0 || p > 65535) return std::nullopt;
    e.port = static_cast<int>(p);
    text = text.substr(0, colon);
  } else {
    e.port = defaultPort;
  }
  if (bracketed && text.size() >= 2 && text.back() == ']') text = text.substr(1, text.size() - 2);
  if (text.empty()) return std::nullopt;
  e.host = std::string(text);
  return e;
}

}  // namespace

std::vector<ProxyEntry> parsePACAnswer(std::string_view answer) {
  std::vector<ProxyEntry> out;
  std::size_t pos = 0;
  while (pos <= answer.size()) {
    std::size_t semi = answer.find(';', pos);
    std::string_view item =
        trimSpace(answer.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos));
    pos = semi == std::string_view::npos ? answer.size() + 1 : semi + 1;
    if (item.empty()) continue;
    std::size_t space = item.find_first_of(" \t");
    std::string keyword = lower(item.substr(0, space));
    std::string_view rest = space == std::string_view::npos ? std::string_view() : item.substr(space);
    std::optional<ProxyEntry> e;
    if (keyword == "direct") {
      e = ProxyEntry{};
    } else if (keyword == "proxy" || keyword == "http") {
      e = parseHostPort(rest, ProxyTypeHTTP, 80);
    } else if (keyword == "https") {
      e = parseHostPort(rest, ProxyTypeHTTPS, 443);
    } else if (keyword == "socks" || keyword == "socks5" || keyword == "socks4") {
      e = parseHostPort(rest, ProxyTypeSOCKS, 1080);
    }
    if (e) out.push_back(std::move(*e));
  }
  return out;
}

namespace {

std::optional<std::string> resolveIPv4(const std::string& host) {
  in_addr literal{};
  if (inet_pton(AF_INET, host.c_str(), &literal) == 1) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result) return std::nullopt;
  char buf[INET_ADDRSTRLEN] = {};
  auto* sin = reinterpret_cast<sockaddr_in*>(result->ai_addr);
  inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf);
  freeaddrinfo(result);
  return std::string(buf);
}

duk_ret_t nativeDnsResolve(duk_context* ctx) {
  std::string host = duk_safe_to_string(ctx, 0);
  if (auto ip = resolveIPv4(host))
    duk_push_string(ctx, ip->c_str());
  else
    duk_push_null(ctx);
  return 1;
}

duk_ret_t nativeNoLookup(duk_context* ctx) {
  duk_push_null(ctx);
  return 1;
}

duk_ret_t nativeMyIpAddress(duk_context* ctx) {
  std::string address = "127.0.0.1";
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (ifaddrs* i = list; i; i = i->ifa_next) {
      if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
      char buf[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, buf, sizeof buf);
      if (std::string(buf).rfind("127.", 0) == 0) continue;
      address = buf;
      break;
    }
    freeifaddrs(list);
  }
  duk_push_string(ctx, address.c_str());
  return 1;
}

// The helper functions scripts expect around FindProxyForURL.
constexpr const char* pacHelpers = R"JS(
function isPlainHostName(host) { return host.indexOf('.') < 0; }
function dnsDomainIs(host, domain) {
  return host.length >= domain.length && host.substring(host.length - domain.length) == domain;
}
function localHostOrDomainIs(host, hostdom) { return host == hostdom || hostdom.lastIndexOf(host + '.', 0) == 0; }
function isResolvable(host) { return dnsResolve(host) != null; }
function dnsDomainLevels(host) { return host.split('.').length - 1; }
function __ipToInt(ip) {
  var p = /^(\d+)\.(\d+)\.(\d+)\.(\d+)$/.exec(ip);
  if (!p) return null;
  return ((+p[1]) * 16777216) + ((+p[2]) << 16) + ((+p[3]) << 8) + (+p[4]);
}
function isInNet(host, pattern, mask) {
  var ip = __ipToInt(host) == null ? dnsResolve(host) : host;
  if (ip == null) return false;
  var a = __ipToInt(ip), b = __ipToInt(pattern), m = __ipToInt(mask);
  if (a == null || b == null || m == null) return false;
  for (var i = 0; i < 4; i++) {
    var d = Math.pow(256, 3 - i);
    var ma = Math.floor(m / d) % 256;
    if ((Math.floor(a / d) % 256 & ma) != (Math.floor(b / d) % 256 & ma)) return false;
  }
  return true;
}
function shExpMatch(str, shexp) {
  var re = shexp.replace(/[.+^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
  return new RegExp('^' + re + '$').test(str);
}
function __now(gmt) { var d = new Date(); return gmt == 'GMT' ? { day: d.getUTCDay(), hour: d.getUTCHours() } : { day: d.getDay(), hour: d.getHours() }; }
function weekdayRange(wd1, wd2, gmt) {
  var days = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
  if (wd2 == 'GMT') { gmt = wd2; wd2 = undefined; }
  var now = __now(gmt).day, a = days.indexOf(wd1), b = wd2 === undefined ? a : days.indexOf(wd2);
  if (a < 0 || b < 0) return false;
  return a <= b ? (now >= a && now <= b) : (now >= a || now <= b);
}
function timeRange() {
  var args = Array.prototype.slice.call(arguments), gmt;
  if (args.length && args[args.length - 1] == 'GMT') { gmt = 'GMT'; args.pop(); }
  var h = __now(gmt).hour;
  if (args.length == 1) return h == args[0];
  if (args.length == 2) return args[0] <= args[1] ? (h >= args[0] && h < args[1]) : (h >= args[0] || h < args[1]);
  return false;
}
)JS";

// What one evaluation may spend: real time (checked between bytecode steps) and heap bytes.
struct ScriptBudget {
  std::chrono::steady_clock::time_point deadline;
  std::size_t bytesLeft;
  bool overran = false;
  bool outOfMemory = false;
  // In the script's own process a fatal engine error ends that process alone.
  bool inChild = false;
};

// Each block carries its size in front, so realloc and free can give it back to the budget.
constexpr std::size_t blockHeader = alignof(std::max_align_t);

// Exit status of a script process whose engine gave up (it cannot go on after a fatal error).
constexpr int ChildEngineFailed = 70;

void* budgetAlloc(void* udata, duk_size_t size) {
  auto* budget = static_cast<ScriptBudget*>(udata);
  if (size > budget->bytesLeft) {
    budget->outOfMemory = true;
    return nullptr;
  }
  auto* block = static_cast<unsigned char*>(std::malloc(size + blockHeader));
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  budget->bytesLeft -= size;
  return block + blockHeader;
}

void budgetFree(void* udata, void* ptr) {
  if (!ptr) return;
  auto* block = static_cast<unsigned char*>(ptr) - blockHeader;
  std::size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  static_cast<ScriptBudget*>(udata)->bytesLeft += size;
  std::free(block);
}

void* budgetRealloc(void* udata, void* ptr, duk_size_t size) {
  if (!ptr) return budgetAlloc(udata, size);
  if (size == 0) {
    budgetFree(udata, ptr);
    return nullptr;
  }
  void* fresh = budgetAlloc(udata, size);
  if (!fresh) return nullptr;
  std::size_t old = 0;
  std::memcpy(&old, static_cast<unsigned char*>(ptr) - blockHeader, sizeof old);
  std::memcpy(fresh, ptr, std::min<std::size_t>(old, size));
  budgetFree(udata, ptr);
  return fresh;
}

void duktapeFatal(void* udata, const char* message) {
  if (udata && static_cast<ScriptBudget*>(udata)->inChild) _exit(ChildEngineFailed);
  std::fprintf(stderr, "proxy auto-configuration: fatal script engine error: %s\n", message ? message : "");
  std::abort();
}

}  // namespace

}  // namespace platform

// Called by the script engine between bytecode steps: a true answer throws a RangeError in the
// script, which nothing in the script can catch for long (the check repeats).
extern "C" int kavro_duk_exec_timeout(void* udata) {
  auto* budget = static_cast<platform::ScriptBudget*>(udata);
  if (!budget) return 0;
  if (std::chrono::steady_clock::now() < budget->deadline) return 0;
  budget->overran = true;
  return 1;
}

namespace platform {

SystemProxySettings SystemProxySettings::current() {
  {
    platform::MutexLock lock(overrideMutex);
    if (overrideSettings) return *overrideSettings;
  }
  SystemProxySettings s;
  if (auto pac = env("KAVRO_PROXY_AUTOCONFIG_URL", nullptr)) s.autoConfigurationURL = URL::parse(*pac);
  if (auto v = env("http_proxy", "HTTP_PROXY")) s.httpProxy = proxyFromEnv(*v, ProxyTypeHTTP);
  if (auto v = env("https_proxy", "HTTPS_PROXY")) s.httpsProxy = proxyFromEnv(*v, ProxyTypeHTTPS);
  if (auto v = env("all_proxy", "ALL_PROXY")) {
    auto e = proxyFromEnv(*v, ProxyTypeHTTP);
    if (e && e->type == ProxyTypeSOCKS) s.socksProxy = e;
  }
  if (auto v = env("no_proxy", "NO_PROXY")) {
    std::string_view list = *v;
    std::size_t pos = 0;
    while (pos <= list.size()) {
      std::size_t comma = list.find(',', pos);
      std::string_view item =
          trimSpace(list.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
      if (!item.empty()) s.exceptions.push_back(lower(item));
      if (comma == std::string_view::npos) break;
      pos = comma + 1;
    }
  }
  return s;
}

void SystemProxySettings::setOverride(std::optional<SystemProxySettings> settings) {
  platform::MutexLock lock(overrideMutex);
  overrideSettings = std::move(settings);
}

std::optional<std::vector<ProxyEntry>> SystemProxySettings::proxiesForURL(const URL& url) const {
  if (url.scheme().empty()) return std::nullopt;
  if (autoConfigurationURL) {
    ProxyEntry e;
    e.type = std::string(ProxyTypeAutoConfigurationURL);
    e.autoConfigurationURL = autoConfigurationURL;
    return std::vector<ProxyEntry>{e};
  }
  std::string host = lower(url.host());
  bool bypass = host.empty() || isLoopback(host);
  for (const auto& ex : exceptions) {
    if (ex == "*") bypass = true;
    std::string suffix = ex.front() == '.' ? ex.substr(1) : ex;
    if (host == suffix || (host.size() > suffix.size() && host.ends_with("." + suffix))) bypass = true;
  }
  std::vector<ProxyEntry> out;
  if (!bypass) {
    if (url.scheme() == "https" && httpsProxy)
      out.push_back(*httpsProxy);
    else if (url.scheme() == "http" && httpProxy)
      out.push_back(*httpProxy);
    else if (socksProxy)
      out.push_back(*socksProxy);
  }
  out.push_back(ProxyEntry{});
  return out;
}

namespace {

// What an evaluation ended with: the script's answer, or why there is none.
struct PACOutcome {
  bool answered = false;
  std::string text;
};

// Looks FindProxyForURL up and calls it, inside the engine's protected call: a getter that throws
// or anything the call does is a script error, never a fatal one. [url, host] -> [answer]; udata
// is set when there is no such function.
duk_ret_t callFindProxyForURL(duk_context* ctx, void* udata) {
  duk_get_global_string(ctx, "FindProxyForURL");
  if (!duk_is_function(ctx, -1)) {
    *static_cast<bool*>(udata) = true;
    return 0;
  }
  duk_insert(ctx, 0);
  duk_call(ctx, 2);
  return 1;
}

PACOutcome evaluate(std::string_view script, const URL& url, PACScriptLimits limits, bool inChild,
                    std::chrono::steady_clock::time_point deadline) {
  ScriptBudget budget{deadline, limits.heapBytes};
  budget.inChild = inChild;
  auto fail = [&](std::string message) {
    if (budget.overran)
      message = "The script ran out of time";
    else if (budget.outOfMemory)
      message = "The script ran out of memory";
    return PACOutcome{false, std::move(message)};
  };
  if (script.size() > limits.heapBytes) return fail("The script is too large");
  duk_context* ctx = duk_create_heap(budgetAlloc, budgetRealloc, budgetFree, &budget, duktapeFatal);
  if (!ctx) return fail("The script engine could not start");
  struct HeapGuard {
    duk_context* ctx;
    ~HeapGuard() { duk_destroy_heap(ctx); }
  } guard{ctx};
  duk_push_c_function(ctx, limits.nameLookups ? nativeDnsResolve : nativeNoLookup, 1);
  duk_put_global_string(ctx, "dnsResolve");
  duk_push_c_function(ctx, nativeMyIpAddress, 0);
  duk_put_global_string(ctx, "myIpAddress");
  if (duk_peval_string(ctx, pacHelpers) != 0) return fail(duk_safe_to_string(ctx, -1));
  duk_pop(ctx);
  duk_push_lstring(ctx, script.data(), script.size());
  duk_push_string(ctx, "proxy.pac");
  if (duk_pcompile(ctx, 0) != 0)
    return fail(std::string("The script does not compile: ") + duk_safe_to_string(ctx, -1));
  if (duk_pcall(ctx, 0) != 0) return fail(std::string("The script failed: ") + duk_safe_to_string(ctx, -1));
  duk_pop(ctx);
  std::string u = url.absoluteString();
  std::string host = url.host();
  duk_push_lstring(ctx, u.data(), u.size());
  duk_push_lstring(ctx, host.data(), host.size());
  bool missing = false;
  if (duk_safe_call(ctx, callFindProxyForURL, &missing, 2, 1) != DUK_EXEC_SUCCESS)
    return fail(std::string("FindProxyForURL failed: ") + duk_safe_to_string(ctx, -1));
  if (missing) return fail("The script has no FindProxyForURL function");
  if (!duk_is_string(ctx, -1)) return fail("FindProxyForURL answered no text");
  duk_size_t length = 0;
  const char* answer = duk_get_lstring(ctx, -1, &length);
  if (length > limits.answerBytes) return fail("FindProxyForURL answered too much");
  return PACOutcome{true, std::string(answer, length)};
}

std::chrono::steady_clock::time_point deadlineAfter(double seconds) {
  return std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                std::chrono::duration<double>(seconds));
}

std::optional<std::vector<ProxyEntry>> toEntries(PACOutcome outcome, Error* error) {
  if (outcome.answered) return parsePACAnswer(outcome.text);
  if (error) *error = Error{"kCFErrorDomainCFNetwork", 311, std::move(outcome.text), nullptr, nullptr};
  return std::nullopt;
}

void writeAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

// The script's process: only the forking thread lives on here, so it touches nothing another
// thread could have held; it ends with _exit so that no handler of the parent's runs twice.
[[noreturn]] void runInChild(int out, pid_t parent, std::string_view script, const URL& url,
                             PACScriptLimits limits, std::chrono::steady_clock::time_point deadline) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) _exit(1);
  // The parent's sockets and files stay the parent's: a script process must not keep them open.
  if (out > 3) ::close_range(3, static_cast<unsigned>(out - 1), 0);
  ::close_range(static_cast<unsigned>(out + 1), ~0U, 0);
  // A last guard should the parent never kill it.
  rlimit cpu{};
  cpu.rlim_cur = cpu.rlim_max = static_cast<rlim_t>(limits.seconds) + 2;
  ::setrlimit(RLIMIT_CPU, &cpu);
  PACOutcome outcome = evaluate(script, url, limits, true, deadline);
  char tag = outcome.answered ? 'A' : 'E';
  writeAll(out, &tag, 1);
  writeAll(out, outcome.text.data(), outcome.text.size());
  _exit(0);
}

}  // namespace

PACScriptEvaluation::PACScriptEvaluation() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PACScriptEvaluation::~PACScriptEvaluation() {
  if (wake_ >= 0) ::close(wake_);
}

void PACScriptEvaluation::cancel() {
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
}

bool PACScriptEvaluation::isCancelled() const {
  pollfd p{wake_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

std::optional<std::vector<ProxyEntry>> PACScriptEvaluation::run(std::string_view script, const URL& url,
                                                                Error* error, PACScriptLimits limits) {
  auto deadline = deadlineAfter(limits.seconds);
  auto failed = [&](std::string message) { return toEntries(PACOutcome{false, std::move(message)}, error); };
  if (wake_ < 0) return failed("The script engine could not start");
  if (isCancelled()) return failed("The script was cancelled");
  if (script.size() > limits.heapBytes) return failed("The script is too large");
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return failed("The script engine could not start");
  pid_t parent = ::getpid();
  pid_t child = ::fork();
  if (child == 0) runInChild(pipeFds[1], parent, script, url, limits, deadline);
  ::close(pipeFds[1]);
  if (child < 0) {
    ::close(pipeFds[0]);
    return failed("The script engine could not start");
  }
  std::string received;
  std::optional<std::string> stopped;
  for (;;) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      stopped = "The script ran out of time";
      break;
    }
    pollfd fds[2] = {{pipeFds[0], POLLIN, 0}, {wake_, POLLIN, 0}};
    int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left.count() + 1, 60000)));
    if (ready < 0 && errno != EINTR) {
      stopped = "The script engine failed";
      break;
    }
    if (fds[1].revents) {
      stopped = "The script was cancelled";
      break;
    }
    if (!fds[0].revents) continue;
    char buffer[16384];
    ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    received.append(buffer, static_cast<std::size_t>(n));
    if (received.size() > limits.answerBytes + 1) {
      stopped = "FindProxyForURL answered too much";
      break;
    }
  }
  ::close(pipeFds[0]);
  if (stopped) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (stopped) return failed(*stopped);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || received.empty()) {
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) return failed("The script ran out of time");
    return failed("The script engine failed");
  }
  return toEntries(PACOutcome{received[0] == 'A', received.substr(1)}, error);
}

std::optional<std::vector<ProxyEntry>> proxiesForAutoConfigurationScript(std::string_view script,
                                                                         const URL& url, Error* error,
                                                                         PACScriptLimits limits) {
  PACScriptEvaluation evaluation;
  return evaluation.run(script, url, error, limits);
}

std::optional<std::vector<ProxyEntry>> evaluatePACScriptInThisProcess(std::string_view script, const URL& url,
                                                                      Error* error, PACScriptLimits limits) {
  return toEntries(evaluate(script, url, limits, false, deadlineAfter(limits.seconds)), error);
}

}  // namespace platform
