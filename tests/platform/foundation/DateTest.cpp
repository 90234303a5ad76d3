#include <gtest/gtest.h>

#include <chrono>

#include "platform/foundation/Date.h"

namespace platform {
namespace {

constexpr const char* kPattern = "yyyy-MM-dd HH:mm:ss zzz";
constexpr const char* kHttpPattern = "EEE, dd MMM yyyy HH:mm:ss z";

// Pins the process locale and zone for each test and puts back what was there.
class DateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedLocale_ = currentLocaleIdentifier();
    savedZone_ = localTimeZoneName();
    setCurrentLocaleIdentifier("en_US_POSIX");
    ASSERT_TRUE(setLocalTimeZoneName("Asia/Shanghai"));
  }
  void TearDown() override {
    setCurrentLocaleIdentifier(savedLocale_);
    setLocalTimeZoneName(savedZone_);
    Date::setClock(nullptr);
  }

 private:
  std::string savedLocale_;
  std::string savedZone_;
};

TEST_F(DateTest, FormatsInTheLocalOrANamedZone) {
  Date d(1'700'000'000);
  EXPECT_EQ(formatDate(d, kPattern), "2023-11-15 06:13:20 GMT+8");
  EXPECT_EQ(formatDate(d, kPattern, "", "UTC"), "2023-11-14 22:13:20 UTC");
  EXPECT_EQ(formatDate(d, kPattern, "", "America/New_York"), "2023-11-14 17:13:20 EST");
  EXPECT_EQ(formatDate(Date(1'690'000'000), kPattern, "", "America/New_York"), "2023-07-22 00:26:40 EDT");
  EXPECT_EQ(formatDate(Date(-1), kPattern, "", "UTC"), "1969-12-31 23:59:59 UTC");
  EXPECT_EQ(formatDate(Date(1'700'000'000.123), "yyyy-MM-dd HH:mm:ss.SSS", "", "UTC"),
            "2023-11-14 22:13:20.123");
  EXPECT_EQ(formatDate(d, kHttpPattern, "en_US_POSIX", "GMT"), "Tue, 14 Nov 2023 22:13:20 GMT");
}

TEST_F(DateTest, LocaleChangesNamesNotNumbers) {
  Date d(1'700'000'000);
  EXPECT_EQ(formatDate(d, "EEEE, d. MMMM yyyy", "de_DE", "Europe/Berlin"), "Dienstag, 14. November 2023");
  EXPECT_EQ(formatDate(d, "EEEE d MMMM", "fr_FR", "UTC"), "mardi 14 novembre");
  setCurrentLocaleIdentifier("de_DE.UTF-8@euro");
  EXPECT_EQ(currentLocaleIdentifier(), "de_DE");
  EXPECT_EQ(formatDate(d, "EEE", "", "UTC"), "Di.");
  setCurrentLocaleIdentifier("C");
  EXPECT_EQ(currentLocaleIdentifier(), "en_US_POSIX");
}

TEST_F(DateTest, RoundTripsThroughTheDefaultPattern) {
  const double moments[] = {0, 1'700'000'000, 951'782'400 /* 29 Feb 2000 */, 4'102'444'799, -86'400 * 365.0};
  for (const char* zone : {"Asia/Shanghai", "UTC", "Europe/Berlin", "America/New_York", "Asia/Kolkata"}) {
    for (double t : moments) {
      std::string text = formatDate(Date(t), kPattern, "", zone);
      auto back = parseDate(text, kPattern, "", zone);
      ASSERT_TRUE(back) << zone << " " << text;
      EXPECT_EQ(back->timeIntervalSince1970(), t) << zone << " " << text;
    }
  }
  // The hour repeated when daylight saving ends: the zone name tells the two apart.
  std::string first = formatDate(Date(1'699'162'200), kPattern, "", "America/New_York");
  std::string second = formatDate(Date(1'699'165'800), kPattern, "", "America/New_York");
  EXPECT_EQ(first, "2023-11-05 01:30:00 EDT");
  EXPECT_EQ(second, "2023-11-05 01:30:00 EST");
  EXPECT_EQ(parseDate(first, kPattern, "", "America/New_York"), Date(1'699'162'200));
  EXPECT_EQ(parseDate(second, kPattern, "", "America/New_York"), Date(1'699'165'800));
  // The zone written in the text wins over the formatter's.
  EXPECT_EQ(parseDate("2023-11-15 06:13:20 GMT+8", kPattern, "", "UTC"), Date(1'700'000'000));
}

TEST_F(DateTest, ParsesHttpDates) {
  EXPECT_EQ(parseDate("Sun, 06 Nov 1994 08:49:37 GMT", kHttpPattern, "en_US_POSIX"), Date(784'111'777));
  EXPECT_EQ(parseDate("06 Nov 1994 08:49 GMT", "dd MMM yyyy HH:mm z", "en_US_POSIX"), Date(784'111'740));
  // Fields the pattern lacks come from 1 January 1970 in the zone.
  EXPECT_EQ(parseDate("12:30", "HH:mm", "", "UTC"), Date(45'000));
}

TEST_F(DateTest, ParseRejectsTextThatDoesNotFit) {
  const char* plain = "yyyy-MM-dd HH:mm:ss";
  EXPECT_FALSE(parseDate("", plain));
  EXPECT_FALSE(parseDate("2023-11-15", plain));
  EXPECT_FALSE(parseDate("2023-11-15 06:13:20x", plain));
  EXPECT_FALSE(parseDate(" 2023-11-15 06:13:20", plain));
  EXPECT_FALSE(parseDate("2023-11-15 06:13:20 ", plain));
  EXPECT_FALSE(parseDate("2023/11/15 06:13:20", plain));
  EXPECT_FALSE(parseDate("2023-02-30 00:00:00", plain));
  EXPECT_FALSE(parseDate("2023-11-15 25:00:00", plain));
  EXPECT_FALSE(parseDate("2023-13-01 00:00:00", plain));
  EXPECT_FALSE(parseDate("2023-11-15 06:13:20 GMT+8", plain));
  EXPECT_FALSE(parseDate("2023-11-15 06:13:20", kPattern));
  EXPECT_FALSE(parseDate("Sun, 06 November 1994 08:49:37 GMT", kHttpPattern, "en_US_POSIX"));
  EXPECT_FALSE(parseDate("Sun 06 Nov 1994 08:49:37 GMT", kHttpPattern, "en_US_POSIX"));
  EXPECT_TRUE(parseDate("2023-11-15 06:13:20", plain));
}

TEST_F(DateTest, UnknownZonesAreRefused) {
  EXPECT_FALSE(isKnownTimeZone("Mars/Olympus"));
  EXPECT_FALSE(isKnownTimeZone(""));
  EXPECT_TRUE(isKnownTimeZone("Europe/Paris"));
  EXPECT_TRUE(isKnownTimeZone("GMT+08:00"));
  EXPECT_FALSE(setLocalTimeZoneName("Mars/Olympus"));
  EXPECT_EQ(localTimeZoneName(), "Asia/Shanghai");
  EXPECT_EQ(formatDate(Date(0), kPattern, "", "Mars/Olympus"), "");
  EXPECT_FALSE(parseDate("1970-01-01 00:00:00 UTC", kPattern, "", "Mars/Olympus"));
  EXPECT_FALSE(dateFromComponents(DateComponents{}, "Mars/Olympus"));
  EXPECT_EQ(dateComponents(Date(0), "Mars/Olympus").hour, 0);  // read as UTC
}

TEST_F(DateTest, CalendarFields) {
  DateComponents c = dateComponents(Date(1'700'000'000.25));
  EXPECT_EQ(c.year, 2023);
  EXPECT_EQ(c.month, 11);
  EXPECT_EQ(c.day, 15);
  EXPECT_EQ(c.hour, 6);
  EXPECT_EQ(c.minute, 13);
  EXPECT_EQ(c.second, 20);
  EXPECT_EQ(c.weekday, 4);  // Wednesday
  EXPECT_DOUBLE_EQ(c.fraction, 0.25);

  DateComponents before = dateComponents(Date(-0.5), "UTC");
  EXPECT_EQ(before.year, 1969);
  EXPECT_EQ(before.second, 59);
  EXPECT_EQ(before.weekday, 4);
  EXPECT_DOUBLE_EQ(before.fraction, 0.5);

  EXPECT_EQ(dateFromComponents(c), Date(1'700'000'000.25));
  DateComponents overflow{.year = 2023, .month = 13, .day = 1};
  EXPECT_EQ(dateFromComponents(overflow, "UTC"), Date(1'704'067'200));  // 1 January 2024
  EXPECT_EQ(dateComponents(*dateFromComponents({.year = 1980, .month = 1, .day = 1}), "").hour, 0);
}

TEST_F(DateTest, NowFollowsTheInstalledClock) {
  auto clock = std::make_shared<VirtualClock>(1'000.0);
  Date::setClock(clock);
  EXPECT_EQ(Date::now(), Date(1'000.0));
  Date later = Date::dateWithTimeIntervalSinceNow(30);
  clock->advance(10);
  EXPECT_EQ(later.timeIntervalSinceNow(), 20);
  EXPECT_EQ(later.timeIntervalSinceDate(Date(1'000)), 30);
  EXPECT_LT(later.dateByAddingTimeInterval(-1'029.5), Date(1));

  Date::setClock(nullptr);
  double system = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(Date::now().timeIntervalSince1970(), system, 60);
}

}  // namespace
}  // namespace platform
