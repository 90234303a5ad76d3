#include "kit/codec/zip/ZBLog.h"

#include <sys/time.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/UserDefaults.h"

namespace kavro {

namespace {

platform::Mutex& instanceLock() {
  static platform::Mutex lock;
  return lock;
}

std::unique_ptr<ZBLog>& instanceSlot() REQUIRES(instanceLock()) {
  static std::unique_ptr<ZBLog> instance;
  return instance;
}

std::atomic<bool>& debugSwitch() {
  static std::atomic<bool> on{false};
  return on;
}

// The user setting "ZBLogToFile" (absent reads as NO).
bool logToFileSetting() { return platform::UserDefaults::standardUserDefaults().boolForKey("ZBLogToFile"); }

// Where the log file goes when that setting is on: <library>/Logs/<bundle name>.log.
std::string logFileLocation() {
  return (std::filesystem::path(platform::Environment::libraryPath()) / "Logs" /
          (platform::Environment::bundleName() + ".log"))
      .string();
}

std::string timestamp() {
  struct timeval tv {};
  gettimeofday(&tv, nullptr);
  struct tm t {};
  localtime_r(&tv.tv_sec, &t);
  char buf[64];
  std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &t);
  std::snprintf(buf + n, sizeof buf - n, ".%03ld", static_cast<long>(tv.tv_usec / 1000));
  return buf;
}

}  // namespace

ZBLog& ZBLog::sharedInstance() {
  platform::MutexLock guard(instanceLock());
  std::unique_ptr<ZBLog>& slot = instanceSlot();
  if (!slot) slot.reset(new ZBLog());
  return *slot;
}

void ZBLog::destroySharedInstance() {
  platform::MutexLock guard(instanceLock());
  instanceSlot().reset();
}

void ZBLog::setDebugLoggingEnabled(bool enabled) { debugSwitch().store(enabled); }
bool ZBLog::debugLoggingEnabled() { return debugSwitch().load(); }

ZBLog::ZBLog() : pid_(static_cast<int>(::getpid())) {
  if (logToFileSetting()) {
    std::string path = logFileLocation();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (std::FILE* f = std::freopen(path.c_str(), "a+", stderr)) {
      logFilePath_ = path;
      logFilePointer_ = f;
    }
  }
}

ZBLog::~ZBLog() {
  if (logFilePointer_) std::fclose(logFilePointer_);
}

std::string ZBLog::levelToLabel(unsigned level) {
  switch (level) {
    case Debug:
      return "<Debug->";
    case Error:
      return "<ERROR->";
    case Notice:
      return "<Notice>";
    default:
      return "";
  }
}

void ZBLog::setMinimumLevel(unsigned level) {
  if (level <= Notice) {
    minimumLevel_.store(level);
    return;
  }
  logFile(__FILE__, __LINE__, Error,
          "Invalid logging level: " + std::to_string(level) + ". Old value " +
              levelToLabel(minimumLevel_.load()) + " unchanged.");
}

void ZBLog::logFile(const char* file, unsigned lineNumber, unsigned level, std::string_view message) {
  if (level < minimumLevel_.load() || !debugLoggingEnabled()) return;
  std::string label = levelToLabel(level);
  if (label.empty()) return;
  std::string_view source = file ? file : "";
  if (std::size_t slash = source.rfind('/'); slash != std::string_view::npos) source.remove_prefix(slash + 1);
  std::string line = timestamp() + " [" + std::to_string(pid_) + "] " + label + " " + std::string(message) +
                     " (" + std::string(source) + ":" + std::to_string(lineNumber) + ")\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace kavro
