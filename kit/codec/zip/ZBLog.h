#pragma once
#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>

namespace kavro {

// The zip component's logger. Lines go to standard error as
// "<time> [<pid>] <label> <message> (<file>:<line>)", and only while the kit's debug logging is
// switched on (it is off in the shipped program). Any thread.
class ZBLog {
 public:
  enum Level : unsigned { Debug = 1, Error = 2, Notice = 3 };

  static ZBLog& sharedInstance();
  static void destroySharedInstance();

  // The kit's debug-logging switch for zip log lines; off by default.
  static void setDebugLoggingEnabled(bool enabled);
  static bool debugLoggingEnabled();

  // Writes one line when level >= minimumLevel(), the level has a label and logging is on.
  void logFile(const char* file, unsigned lineNumber, unsigned level, std::string_view message);

  unsigned minimumLevel() const { return minimumLevel_.load(); }
  // Takes 0 to 3; a larger value is refused (and the refusal is logged).
  void setMinimumLevel(unsigned level);
  // "<Debug->", "<ERROR->", "<Notice>", or "" for a level without a label.
  static std::string levelToLabel(unsigned level);

  const std::string& logFilePath() const { return logFilePath_; }
  ~ZBLog();

 private:
  ZBLog();
  std::atomic<unsigned> minimumLevel_{Error};
  int pid_ = 0;
  std::string logFilePath_;
  std::FILE* logFilePointer_ = nullptr;
};

}  // namespace kavro

// The message is only built while logging is on.
#define ZBLOG_ERROR(message)                                                                          \
  do {                                                                                                \
    if (::kavro::ZBLog::debugLoggingEnabled())                                                        \
      ::kavro::ZBLog::sharedInstance().logFile(__FILE__, __LINE__, ::kavro::ZBLog::Error, (message)); \
  } while (0)
