#pragma once
#include <compare>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Clock.h"

namespace platform {

// A moment in time: seconds since 1 January 1970 00:00:00 UTC. now() reads the clock installed
// with setClock() (the system clock until one is installed), so tests can run on virtual time.
// Thread-safe.
class Date {
 public:
  constexpr Date() = default;
  constexpr explicit Date(double secondsSince1970) : seconds_(secondsSince1970) {}

  static Date now();
  static Date dateWithTimeIntervalSinceNow(double seconds) { return Date(now().seconds_ + seconds); }
  // nullptr goes back to the system clock.
  static void setClock(std::shared_ptr<Clock> clock);

  double timeIntervalSince1970() const { return seconds_; }
  double timeIntervalSinceDate(Date other) const { return seconds_ - other.seconds_; }
  double timeIntervalSinceNow() const { return seconds_ - now().seconds_; }
  Date dateByAddingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }

  auto operator<=>(const Date&) const = default;

 private:
  double seconds_ = 0;
};

// The process's locale and time zone: read from the environment on first use (LC_ALL, LC_TIME,
// LANG; TZ, else the system's zone), "en_US_POSIX" standing for the C locale. Tests pin them.
std::string currentLocaleIdentifier();
std::string localTimeZoneName();
void setCurrentLocaleIdentifier(std::string_view locale);
// False (and nothing changes) for a zone the time zone database does not know.
bool setLocalTimeZoneName(std::string_view timeZone);
// A zone name the database knows: "Asia/Shanghai", "UTC", "GMT+08:00", ...
bool isKnownTimeZone(std::string_view timeZone);

// Below, an empty locale means currentLocaleIdentifier() and an empty time zone the local zone.
// Patterns are Unicode date patterns ("yyyy-MM-dd HH:mm:ss zzz", "EEE, dd MMM yyyy HH:mm:ss z").

// "" for an unknown time zone or a pattern the formatter rejects.
std::string formatDate(Date date, std::string_view pattern, std::string_view locale = {},
                       std::string_view timeZone = {});

// Strict: the whole text must fit the pattern and name a real date (no 31 February, no hour 25);
// nullopt otherwise. Names must be written as the pattern asks ("MMM" takes "Nov", not
// "November"); numbers may have fewer digits than the pattern shows.
// Fields the pattern lacks take their values from 1 January 1970 in the zone.
std::optional<Date> parseDate(std::string_view text, std::string_view pattern, std::string_view locale = {},
                              std::string_view timeZone = {});

// Gregorian calendar fields of a moment in a zone.
struct DateComponents {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 5;      // 1 Sunday ... 7 Saturday (1 January 1970 was a Thursday)
  double fraction = 0;  // of a second, 0 <= fraction < 1
};

// Fields in the zone (the local zone when empty; UTC for a name the database does not know).
DateComponents dateComponents(Date date, std::string_view timeZone = {});
// The moment those fields name in the zone (weekday is ignored; fields out of range carry over,
// so month 13 is January of the next year). nullopt for an unknown zone.
std::optional<Date> dateFromComponents(const DateComponents& components, std::string_view timeZone = {});

}  // namespace platform
