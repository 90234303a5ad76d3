#include <gtest/gtest.h>

#include <cctype>

#include "kit/core/DataHex.h"
#include "kit/core/DateCustomInterval.h"
#include "kit/core/MutableDictionaryExt.h"
#include "kit/core/StringAppend.h"
#include "kit/core/StringCheck.h"
#include "kit/core/StringConversion.h"
#include "kit/core/StringError.h"
#include "kit/core/StringFormatting.h"
#include "kit/core/StringMisc.h"

using namespace kavro;
using platform::Color;

TEST(StringMisc, Md5IsLowerHexAndNothingForEmpty) {
  EXPECT_FALSE(str::md5("").has_value());
  EXPECT_EQ(str::md5("abc").value(), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(str::md5(std::string("abc\0def", 7)).value(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(StringMisc, UrlEncodingEscapesAllButUnreserved) {
  EXPECT_EQ(str::urlEncoding("a b&c=d/e"), "a%20b%26c%3Dd%2Fe");
  EXPECT_EQ(str::urlEncoding("\xC3\xA9"), "%C3%A9");
  EXPECT_EQ(str::urlEncoding("-_.!~*'()"), "-_.!~*'()");
  EXPECT_EQ(str::urlEncoding(";/?:@&=$+{}<>,"), "%3B%2F%3F%3A%40%26%3D%24%2B%7B%7D%3C%3E%2C");
  EXPECT_EQ(str::urlEncoding("Az09"), "Az09");
}

TEST(StringMisc, UrlDecoding) {
  EXPECT_EQ(str::urlDecoding("a%20b+c%C3%A9").value(), "a b+c\xC3\xA9");
  EXPECT_EQ(str::urlDecoding("100%").value(), "100%");
  EXPECT_FALSE(str::urlDecoding("%C3").has_value());
  EXPECT_EQ(*str::urlDecoding(str::urlEncoding("x y&z\xE5\xB7\xA5")), "x y&z\xE5\xB7\xA5");
  // Every hex digit in both cases, each with its own value; a non-digit leaves the escape as it is.
  EXPECT_EQ(str::urlDecoding("%e5%b7%a5%E5%B7%A5").value(), "\xE5\xB7\xA5\xE5\xB7\xA5");
  EXPECT_EQ(str::urlDecoding("%2a%2B%2c%2D%2e%2F%3a%3b%3c%3d%3e%3f%09%10%7e").value(), "*+,-./:;<=>?\t\x10~");
  EXPECT_EQ(str::urlDecoding("%g1%1g%2").value(), "%g1%1g%2");
}

TEST(StringMisc, TrimToUrlAndZeros) {
  EXPECT_EQ(str::trim(" \n a b \t"), "a b");
  EXPECT_FALSE(str::toURL("").has_value());
  EXPECT_FALSE(str::toURL("not a url").has_value());
  EXPECT_EQ(str::toURL("http://example.test/a?b=1")->host(), "example.test");
  EXPECT_EQ(str::stripDoubleSuffixZeros("1200"), "12");
  EXPECT_EQ(str::stripDoubleSuffixZeros("1000"), "10");
  EXPECT_EQ(str::stripDoubleSuffixZeros("100"), "1");
  EXPECT_EQ(str::stripDoubleSuffixZeros("00"), "");
  EXPECT_EQ(str::stripDoubleSuffixZeros("12000"), "120");
}

TEST(StringCheck, DictCodesAndComparisons) {
  EXPECT_TRUE(str::isGeneralLegalDictCode("0100"));
  EXPECT_FALSE(str::isGeneralLegalDictCode("0000"));
  EXPECT_FALSE(str::isGeneralLegalDictCode(""));
  EXPECT_TRUE(str::equalsIgnoreCase("Hello", "hELLO"));
  EXPECT_FALSE(str::contains("abc", ""));
  EXPECT_TRUE(str::contains("abc", "bc"));
  EXPECT_FALSE(str::contains("abc", "B"));
}

TEST(StringConversion, ColoursFromText) {
  EXPECT_EQ(str::toColorWithDefaultColor("  #FFF ", Color::red()), Color::rgba(1, 1, 1, 1));
  EXPECT_EQ(str::toColorWithDefaultColor("#12345", Color::red()), Color::red());
  EXPECT_EQ(str::toColorWithDefaultColor("0x00ff00", Color::red()), Color::rgba(0, 1, 0, 1));
  EXPECT_EQ(str::toColorWithDefaultColor("Light Gray", Color::red()), Color::gray());
  EXPECT_EQ(str::toColorWithDefaultColor("lightGray", Color::red()), Color::lightGray());
  EXPECT_EQ(str::toColorWithDefaultColor("darkred", Color::black()), Color::red());
  EXPECT_EQ(str::toColorWithDefaultColor("#f00", Color::black()), Color::rgba(1, 0, 0, 1));
  EXPECT_EQ(str::toColorWithDefaultColor("#zz0000", Color::blue()), Color::blue());
  Color half = str::toColor("#ff000080");
  EXPECT_DOUBLE_EQ(half.alpha(), (255 - 128) / 255.0);
  EXPECT_EQ(str::toColor("nonsense"), Color::black());
}

TEST(StringConversion, ColoursToTextAndBack) {
  EXPECT_EQ(str::fromColor(Color::white()).value(), "#ffffff");
  EXPECT_EQ(str::fromColor(Color::grey(0, 0)).value(), "#000000ff");
  EXPECT_EQ(str::fromColor(Color::rgba(1, 0, 0, 1)).value(), "#ff0000");
  EXPECT_FALSE(str::fromColor(std::nullopt).has_value());
  EXPECT_FALSE(str::fromColor(Color(Color::Model::RGB, {1, 0, 0})).has_value());
  for (const char* text : {"#ff0000", "#12345678", "#000000ff", "#7f7f7f"})
    EXPECT_EQ(str::fromColor(str::toColor(text)).value(), text);
}

TEST(StringConversion, DatesInTheFixedPattern) {
  platform::setLocalTimeZoneName("Asia/Shanghai");
  platform::setCurrentLocaleIdentifier("en_US_POSIX");
  platform::Date d(1700000000);
  std::string text = str::stringFromDate(d);
  EXPECT_EQ(text.substr(0, 19), "2023-11-15 06:13:20");
  EXPECT_EQ(str::toDate(text)->timeIntervalSince1970(), 1700000000);
  EXPECT_FALSE(str::toDate("2023-11-15").has_value());
  EXPECT_EQ(str::currentDateByFormat().size(), 19u);
  EXPECT_EQ(str::currentDateByFormat("yyyy").size(), 4u);
}

TEST(StringFormatting, HtmlAndSizes) {
  EXPECT_EQ(str::html2text("a&nbsp;b\r\nc<br>d<BR />e<b>f</B>&amp;"), "a b\nc\nd\ne f &amp;");
  EXPECT_EQ(str::striptags("a\r\nb\n\nc<br><br>d    e&amp;"), "a b c d e&");
  EXPECT_EQ(str::textindent("a\nb"), "    a\n    b");
  EXPECT_EQ(str::fromFileSize(-5), "0 byte");
  EXPECT_EQ(str::fromFileSize(0), "0 byte");
  EXPECT_EQ(str::fromFileSize(1), "1 bytes");
  EXPECT_EQ(str::fromFileSize(1023), "1023 bytes");
  EXPECT_EQ(str::fromFileSize(1024), "1.00 KB");
  EXPECT_EQ(str::fromFileSize(1535), "1.49 KB");
  EXPECT_EQ(str::fromFileSize(1048575), "1023.99 KB");
  EXPECT_EQ(str::fromFileSize(1048576), "1.00 MB");
  EXPECT_EQ(str::fromFileSize(1073741823), "1023.99 MB");
  EXPECT_EQ(str::fromFileSize(1073741824), "1.00 GB");
  EXPECT_EQ(str::fromFileSize(5 * 1048576 + 1), "5.00 MB");
}

TEST(StringAppend, SkipsEmptyPieces) {
  std::string s;
  str::appendString(s, "a", ",");
  str::appendString(s, "", ",");
  str::appendString(s, "b", ",");
  str::appendStringEx(s, "");
  str::appendStringEx(s, "c");
  EXPECT_EQ(s, "a,bc");
}

TEST(DataHex, BothWays) {
  EXPECT_EQ(data::toHex({0x00, 0xab, 0x10}), "00ab10");
  EXPECT_EQ(data::toHex({}), "");
  EXPECT_EQ(*data::fromHex("00AB10"), (platform::Data{0x00, 0xab, 0x10}));
  EXPECT_FALSE(data::fromHex("abc").has_value());
  EXPECT_FALSE(data::fromHex("").has_value());
  EXPECT_FALSE(data::fromHex("zz").has_value());
}

TEST(DataHex, EveryByteGoesThereAndBackInEitherCaseAndTheDigitsNeighboursAreNoDigits) {
  platform::Data all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  std::string lower = data::toHex(all), upper = lower;
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(lower.substr(0, 6), "000102");
  EXPECT_EQ(lower.substr(lower.size() - 6), "fdfeff");
  EXPECT_EQ(data::fromHex(lower), all);
  EXPECT_EQ(data::fromHex(upper), all);
  // The characters next to each range of digits: a pair that starts with one is refused, and one
  // that ends with one reads its first digit alone.
  for (char c : std::string("/:`g@G")) {
    EXPECT_FALSE(data::fromHex(std::string{c, '1'}).has_value()) << c;
    EXPECT_EQ(data::fromHex(std::string{'a', c}), (platform::Data{0x0a})) << c;
  }
}

TEST(StringError, FallsBackInOrder) {
  EXPECT_EQ(str::fromError(nullptr), "Unkown error!");
  platform::Error e{"Dom", 3, "", nullptr, nullptr};
  EXPECT_EQ(str::fromError(&e), e.description());
  e.localizedDescription = "broken";
  EXPECT_EQ(str::fromError(&e), "broken");
  str::setUnkownErrorDescription("?");
  EXPECT_EQ(str::fromError(nullptr), "?");
  str::setUnkownErrorDescription("Unkown error!");
}

TEST(DictionaryAndDate, Helpers) {
  auto d = platform::MutableDictionary::create();
  dict::setObjectEx(*d, platform::Value(), "a");
  dict::setObjectEx(*d, "x", "b");
  EXPECT_EQ(d->count(), 1u);
  platform::Date a(100), b(40);
  EXPECT_EQ(date::absIntervalSinceDate(b, a), 60);
  double years = date::dateWithYearIntervalSinceNow(-1).timeIntervalSinceNow();
  EXPECT_NEAR(years, -365.25 * 86400, 5);
}
