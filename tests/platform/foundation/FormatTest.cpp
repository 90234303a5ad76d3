#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Format.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

TEST(FormatTest, IntegerConversions) {
  EXPECT_EQ(format("%d|%i|%u", -42, 7, 3u), "-42|7|3");
  EXPECT_EQ(format("%x %X %o", 255, 255, 8), "ff FF 10");
  EXPECT_EQ(format("%lld %llu", std::numeric_limits<long long>::min(),
                   std::numeric_limits<unsigned long long>::max()),
            "-9223372036854775808 18446744073709551615");
  EXPECT_EQ(format("%zu %zd %ld %lu %hd", std::size_t{9}, -1L, 5L, 6UL, 300), "9 -1 5 6 300");
  // A negative number under an unsigned conversion reads at the conversion's size.
  EXPECT_EQ(format("%x %u", -1, -1), "ffffffff 4294967295");
  EXPECT_EQ(format("%llx %hhx %hx", -1, -1, -2), "ffffffffffffffff ff fffe");
  EXPECT_EQ(format("%x", -5'000'000'000LL), "fffffffed5fa0e00");
}

TEST(FormatTest, FlagsWidthAndPrecisionOnIntegers) {
  EXPECT_EQ(format("[%5d][%-5d][%05d][%+d][% d][%+ d]", 42, 42, -42, 42, 42, 42),
            "[   42][42   ][-0042][+42][ 42][+42]");
  EXPECT_EQ(format("[%.3d][%8.3d][%08.3d][%-08d]", 7, -7, 7, 7), "[007][    -007][     007][7       ]");
  EXPECT_EQ(format("[%#x][%#X][%#o][%#x][%#o]", 255, 255, 8, 0, 0), "[0xff][0XFF][010][0][0]");
  EXPECT_EQ(format("[%#08x][%02x][%4.4x][%2.2x]", 255, 10, 0x1f, 0xab), "[0x0000ff][0a][001f][ab]");
  EXPECT_EQ(format("[%.0d][%5.0d]", 0, 0), "[][     ]");
  EXPECT_EQ(format("[%+u]", 5u), "[5]");  // sign flags only apply to signed conversions
}

TEST(FormatTest, FloatingConversions) {
  EXPECT_EQ(format("%f %.2f %.0f %.1f", 3.14159, 3.14159, 2.5, 0.05), "3.141590 3.14 2 0.1");
  EXPECT_EQ(format("%.2f %.02f %lf", 1.005, 2.0, 0.5), "1.00 2.00 0.500000");
  EXPECT_EQ(format("[%8.3f][%-8.2f][%08.2f][%+.1f][% .1f][%#.0f]", 3.14159, 2.5, -2.5, 1.0, 1.0, 3.0),
            "[   3.142][2.50    ][-0002.50][+1.0][ 1.0][3.]");
  EXPECT_EQ(format("%e %.2E %.0e %#.0e", 12345.678, 0.000123, 5e10, 5e10),
            "1.234568e+04 1.23E-04 5e+10 5.e+10");
  EXPECT_EQ(format("%g %g %g %g %g", 0.0001, 0.00001, 123456.0, 1234567.0, 100.0),
            "0.0001 1e-05 123456 1.23457e+06 100");
  EXPECT_EQ(format("%#g %.3g %G %.17g %g", 1.0, 3.14159, 1e-10, 0.1, 0.0),
            "1.00000 3.14 1E-10 0.10000000000000001 0");
  EXPECT_EQ(format("%f %.1f %e", -0.0, 1e22, 1e-300), "-0.000000 10000000000000000000000.0 1.000000e-300");
  double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(format("[%f][%6.1f][%05f][%F][%+e][%G]", inf, -inf, std::nan(""), inf, inf, inf),
            "[inf][  -inf][  nan][INF][+inf][INF]");
}

TEST(FormatTest, TextAndCharacters) {
  EXPECT_EQ(format("%@ and %s", "cats", std::string("dogs")), "cats and dogs");
  EXPECT_EQ(format("[%6@][%-6s][%.2@][%*.*s]", "ab", "ab", "abcdef", 5, 2, "abcdef"),
            "[    ab][ab    ][ab][   ab]");
  // Widths and precisions count UTF-16 units and never split a character.
  EXPECT_EQ(format("[%4@][%3@][%.1@][%.2@]", "中文", "😀", "😀a", "😀a"), "[  中文][ 😀][][😀]");
  EXPECT_EQ(format("%c%c%c|%C", 'O', 'K', 0x4E2D, 0x1F600), "OK中|😀");
  EXPECT_EQ(format("[%3c][%-3c]", 'x', 'y'), "[  x][y  ]");
  EXPECT_EQ(format("[%c][%c]", 0, "xyz"), "[][x]");
  EXPECT_EQ(format("100%% %@%%", 5), "100% 5%");
}

TEST(FormatTest, ObjectDescriptions) {
  auto list = MutableArray::create();
  list->addObject(1);
  list->addObject("two");
  EXPECT_EQ(format("%@", list), "(1, two)");
  EXPECT_EQ(format("%@|%@|%@|%@|%@", 1.5, true, -3, nullptr, Data{0xca, 0xfe}), "1.5|1|-3||<cafe>");
}

TEST(FormatTest, StarArguments) {
  EXPECT_EQ(format("[%*d][%-*d][%*d]", 5, 42, 4, 7, -4, 7), "[   42][7   ][7   ]");
  EXPECT_EQ(format("[%.*f][%.*f]", 2, 3.14159, -1, 3.14159), "[3.14][3.141590]");
  // A huge width from data is capped rather than honoured.
  std::string wide = format("%*d", 1'000'000'000, 1);
  EXPECT_LE(wide.size(), 4096u);
  EXPECT_EQ(wide.back(), '1');
}

TEST(FormatTest, PositionalArguments) {
  EXPECT_EQ(format("%2$@ %1$@", "world", "hello"), "hello world");
  EXPECT_EQ(format("%1$d = %1$#x = %1$o", 255), "255 = 0xff = 377");
  EXPECT_EQ(format("[%2$*1$d][%2$-*1$d]", 5, 42), "[   42][42   ]");
  EXPECT_EQ(format("%1$.2f%%", 12.345), "12.35%");
  EXPECT_EQ(format("a%3$@b", "x", "y"), "ab");
}

TEST(FormatTest, MissingArgumentsRenderNothing) {
  EXPECT_EQ(format("%d and %@", 1), "1 and ");
  EXPECT_EQ(format("[%@][%s][%d][%f][%c][%5d]"), "[][][][][][]");
  EXPECT_EQ(format("[%*d]", 5), "[]");
  EXPECT_EQ(format("[%d][%@]", nullptr, nullptr), "[][]");
  std::vector<Value> none;
  EXPECT_EQ(format("%@%@%@%@", none), "");
  EXPECT_EQ(format("no conversions", 1, 2), "no conversions");
}

TEST(FormatTest, WrongKindsConvertSensibly) {
  EXPECT_EQ(format("%d|%05d|%x", "42", " -7 ", "255"), "42|-0007|ff");
  EXPECT_EQ(format("%.2f|%d|%f", "3.14159", 3.9, 2), "3.14|3|2.000000");
  EXPECT_EQ(format("%d|%u|%x", true, -1.0, 16.5), "1|4294967295|10");
  // Text that is not a number shows as itself rather than as a made-up 0.
  EXPECT_EQ(format("[%d][%5.1f][%s]", "abc", "n/a", 12), "[abc][  n/a][12]");
}

TEST(FormatTest, MalformedAndUnknownConversionsAreCopied) {
  EXPECT_EQ(format("%n%d", 5), "%n5");
  EXPECT_EQ(format("%y %p", 1, 2), "%y %p");
  EXPECT_EQ(format("50%"), "50%");
  EXPECT_EQ(format("%5"), "%5");
  EXPECT_EQ(format("%ll", 1), "%ll");
  EXPECT_EQ(format("%-"), "%-");
}

TEST(FormatTest, DecimalPointIgnoresProcessLocale) {
  const char* wanted[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"};
  bool active = false;
  for (const char* name : wanted) {
    if (std::setlocale(LC_ALL, name)) {
      active = true;
      break;
    }
  }
  // Machines without generated locales: build one for this run when the sources are there.
  kavro::test::TempDir dir;
  if (!active) {
    std::string command = "localedef -i de_DE -f UTF-8 '" + dir.path() + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) {
      setenv("LOCPATH", dir.path().c_str(), 1);
      active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
  }
  if (!active) GTEST_SKIP() << "no locale with a decimal comma on this machine";
  char cFormatted[32];
  std::snprintf(cFormatted, sizeof cFormatted, "%.2f", 1.5);
  std::string expectedComma = cFormatted;
  std::string ours = format("%.2f %f %e %g %@ %5.1f", 1.5, 0.25, 1234.5, 0.125, 2.75, -0.5);
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
  EXPECT_EQ(expectedComma, "1,50");  // the locale really was in force
  EXPECT_EQ(ours, "1.50 0.250000 1.234500e+03 0.125 2.75  -0.5");
}

}  // namespace
}  // namespace platform
