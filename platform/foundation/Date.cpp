#include "platform/foundation/Date.h"

#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

platform::Mutex& clockMutex() {
  static platform::Mutex m;
  return m;
}

std::shared_ptr<Clock>& installedClock() REQUIRES(clockMutex()) {
  static std::shared_ptr<Clock> clock;
  return clock;
}

std::unique_ptr<icu::TimeZone> knownZone(std::string_view name) {
  if (name.empty()) return nullptr;
  icu::UnicodeString id =
      icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
  std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
  icu::UnicodeString got;
  zone->getID(got);
  if (got == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID) && id != got) return nullptr;
  return zone;
}

// "de_DE.UTF-8@euro" -> "de_DE"; the C locale reads as en_US_POSIX, whose formats never change.
std::string localeFromEnvironmentValue(std::string_view value) {
  std::string_view id = value.substr(0, value.find_first_of(".@"));
  if (id.empty() || id == "C" || id == "POSIX") return "en_US_POSIX";
  return std::string(id);
}

struct ProcessSettings {
  platform::Mutex mutex;
  bool loaded GUARDED_BY(mutex) = false;
  std::string locale GUARDED_BY(mutex);
  std::shared_ptr<const icu::TimeZone> zone GUARDED_BY(mutex);

  void load() REQUIRES(mutex) {
    if (loaded) return;
    loaded = true;
    const char* value = nullptr;
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
      value = std::getenv(name);
      if (value && *value) break;
    }
    locale = localeFromEnvironmentValue(value ? value : "");
    std::unique_ptr<icu::TimeZone> host;
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
      std::string_view name = tz;
      if (name.starts_with(':')) name.remove_prefix(1);
      if (auto at = name.find("zoneinfo/"); name.starts_with('/') && at != std::string_view::npos)
        name.remove_prefix(at + 9);
      host = knownZone(name);
    }
    // POSIX rules ("CST-8"), or no TZ at all: the system's own reading (TZ, /etc/localtime).
    if (!host) host.reset(icu::TimeZone::detectHostTimeZone());
    icu::UnicodeString id;
    if (!host || host->getID(id) == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID))
      host.reset(icu::TimeZone::createTimeZone("UTC"));
    zone = std::move(host);
  }
};

ProcessSettings& processSettings() {
  static ProcessSettings s;
  return s;
}

// The named zone, or the local one for an empty name; nullptr for an unknown name.
std::unique_ptr<icu::TimeZone> resolveZone(std::string_view name) {
  if (!name.empty()) return knownZone(name);
  auto& s = processSettings();
  platform::MutexLock lock(s.mutex);
  s.load();
  return std::unique_ptr<icu::TimeZone>(s.zone->clone());
}

std::string resolveLocale(std::string_view locale) {
  return locale.empty() ? currentLocaleIdentifier() : std::string(locale);
}

icu::UnicodeString toUnicode(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

// Building a formatter means loading locale data, so each thread keeps its last few.
struct CachedFormatter {
  std::string pattern;
  std::string locale;
  std::unique_ptr<icu::SimpleDateFormat> formatter;
};

icu::SimpleDateFormat* formatterFor(std::string_view pattern, const std::string& locale) {
  thread_local std::vector<CachedFormatter> cache;
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].pattern == pattern && cache[i].locale == locale) {
      if (i != 0) std::swap(cache[i], cache[0]);
      return cache[0].formatter.get();
    }
  }
  UErrorCode status = U_ZERO_ERROR;
  auto formatter = std::make_unique<icu::SimpleDateFormat>(
      toUnicode(pattern), icu::Locale::createCanonical(locale.c_str()), status);
  if (U_FAILURE(status)) return nullptr;
  // Strict parsing: the text must match the pattern's literals and name a real date.
  formatter->setLenient(false);
  formatter->setBooleanAttribute(UDAT_PARSE_PARTIAL_LITERAL_MATCH, false, status);
  formatter->setBooleanAttribute(UDAT_PARSE_MULTIPLE_PATTERNS_FOR_MATCH, false, status);
  if (U_FAILURE(status)) return nullptr;
  constexpr std::size_t kKept = 8;
  if (cache.size() == kKept) cache.pop_back();
  cache.insert(cache.begin(), CachedFormatter{std::string(pattern), locale, std::move(formatter)});
  return cache[0].formatter.get();
}

std::unique_ptr<icu::GregorianCalendar> calendarIn(std::unique_ptr<icu::TimeZone> zone) {
  UErrorCode status = U_ZERO_ERROR;
  auto calendar =
      std::make_unique<icu::GregorianCalendar>(zone.release(), icu::Locale("en_US_POSIX"), status);
  if (U_FAILURE(status)) return nullptr;
  return calendar;
}

}  // namespace

Date Date::now() {
  std::shared_ptr<Clock> clock;
  {
    platform::MutexLock lock(clockMutex());
    clock = installedClock();
  }
  if (clock) return Date(clock->now());
  using namespace std::chrono;
  return Date(duration<double>(system_clock::now().time_since_epoch()).count());
}

void Date::setClock(std::shared_ptr<Clock> clock) {
  platform::MutexLock lock(clockMutex());
  installedClock() = std::move(clock);
}

std::string currentLocaleIdentifier() {
  auto& s = processSettings();
  platform::MutexLock lock(s.mutex);
  s.load();
  return s.locale;
}

std::string localTimeZoneName() {
  auto& s = processSettings();
  platform::MutexLock lock(s.mutex);
  s.load();
  icu::UnicodeString id;
  s.zone->getID(id);
  std::string out;
  id.toUTF8String(out);
  return out;
}

void setCurrentLocaleIdentifier(std::string_view locale) {
  auto& s = processSettings();
  platform::MutexLock lock(s.mutex);
  s.load();
  s.locale = localeFromEnvironmentValue(locale);
}

bool setLocalTimeZoneName(std::string_view timeZone) {
  auto zone = knownZone(timeZone);
  if (!zone) return false;
  auto& s = processSettings();
  platform::MutexLock lock(s.mutex);
  s.load();
  s.zone = std::move(zone);
  return true;
}

bool isKnownTimeZone(std::string_view timeZone) { return knownZone(timeZone) != nullptr; }

std::string formatDate(Date date, std::string_view pattern, std::string_view locale,
                       std::string_view timeZone) {
  auto zone = resolveZone(timeZone);
  if (!zone) return "";
  icu::SimpleDateFormat* formatter = formatterFor(pattern, resolveLocale(locale));
  if (!formatter) return "";
  formatter->adoptTimeZone(zone.release());
  icu::UnicodeString text;
  formatter->format(date.timeIntervalSince1970() * 1000.0, text);
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::optional<Date> parseDate(std::string_view text, std::string_view pattern, std::string_view locale,
                              std::string_view timeZone) {
  auto zone = resolveZone(timeZone);
  if (!zone) return std::nullopt;
  icu::SimpleDateFormat* formatter = formatterFor(pattern, resolveLocale(locale));
  if (!formatter) return std::nullopt;
  formatter->adoptTimeZone(zone.release());
  // The parser skips white space before fields; the text's own ends must still fit the pattern.
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  if (!text.empty() && ((space(text.front()) && (pattern.empty() || !space(pattern.front()))) ||
                        (space(text.back()) && (pattern.empty() || !space(pattern.back())))))
    return std::nullopt;
  icu::UnicodeString input = toUnicode(text);
  icu::ParsePosition position(0);
  UDate when = formatter->parse(input, position);
  if (position.getErrorIndex() >= 0 || position.getIndex() != input.length() || input.isEmpty())
    return std::nullopt;
  return Date(when / 1000.0);
}

DateComponents dateComponents(Date date, std::string_view timeZone) {
  auto zone = resolveZone(timeZone);
  if (!zone) zone.reset(icu::TimeZone::createTimeZone("UTC"));
  DateComponents c;
  auto calendar = calendarIn(std::move(zone));
  if (!calendar) return c;
  double seconds = date.timeIntervalSince1970();
  double whole = std::floor(seconds);
  UErrorCode status = U_ZERO_ERROR;
  calendar->setTime(whole * 1000.0, status);
  auto field = [&](UCalendarDateFields f) { return calendar->get(f, status); };
  c.year = field(UCAL_EXTENDED_YEAR);
  c.month = field(UCAL_MONTH) + 1;
  c.day = field(UCAL_DATE);
  c.hour = field(UCAL_HOUR_OF_DAY);
  c.minute = field(UCAL_MINUTE);
  c.second = field(UCAL_SECOND);
  c.weekday = field(UCAL_DAY_OF_WEEK);
  c.fraction = seconds - whole;
  if (U_FAILURE(status)) return DateComponents{};
  return c;
}

std::optional<Date> dateFromComponents(const DateComponents& components, std::string_view timeZone) {
  auto zone = resolveZone(timeZone);
  if (!zone) return std::nullopt;
  auto calendar = calendarIn(std::move(zone));
  if (!calendar) return std::nullopt;
  calendar->setLenient(true);
  calendar->clear();
  calendar->set(UCAL_EXTENDED_YEAR, components.year);
  calendar->set(UCAL_MONTH, components.month - 1);
  calendar->set(UCAL_DATE, components.day);
  calendar->set(UCAL_HOUR_OF_DAY, components.hour);
  calendar->set(UCAL_MINUTE, components.minute);
  calendar->set(UCAL_SECOND, components.second);
  UErrorCode status = U_ZERO_ERROR;
  UDate when = calendar->getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  return Date(when / 1000.0 + components.fraction);
}

}  // namespace platform
