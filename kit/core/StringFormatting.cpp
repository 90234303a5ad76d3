#include "kit/core/StringFormatting.h"

#include <charconv>
#include <cmath>

#include "platform/foundation/Text.h"

namespace kavro::str {

using platform::replaceAll;

std::string html2text(std::string_view s) {
  std::string t = replaceAll(s, "&nbsp;", " ");
  t = replaceAll(t, "\r\n", "\n");
  for (const char* br : {"<br>", "<BR>", "<br />", "<BR />"}) t = replaceAll(t, br, "\n");
  for (const char* b : {"<b>", "<B>", "</b>", "</B>"}) t = replaceAll(t, b, " ");
  return t;
}

std::string striptags(std::string_view s) {
  std::string t = replaceAll(s, "&nbsp;", " ");
  for (const char* nl : {"\r\n", "\n", "\r"}) t = replaceAll(t, nl, " ");
  for (const char* br : {"<br>", "<BR>", "<br />", "<BR />"}) t = replaceAll(t, br, " ");
  t = replaceAll(t, "  ", " ");
  t = replaceAll(t, "  ", " ");
  return replaceAll(t, "&amp;", "&");
}

std::string textindent(std::string_view s) { return "    " + replaceAll(s, "\n", "\n    "); }

std::string fromFileSize(std::int64_t b) {
  if (b <= 0) return "0 byte";
  if (b < 1024) return std::to_string(b) + " bytes";
  double v;
  const char* unit;
  double d = static_cast<double>(b);
  if (b < 1048576) {
    v = std::trunc(d * 100 / 1024) / 100;
    unit = " KB";
  } else if (b < 1073741824) {
    v = std::trunc(d * 100 / 1024 / 1024) / 100;
    unit = " MB";
  } else {
    v = std::trunc(d * 100 / 1024 / 1024 / 1024) / 100;
    unit = " GB";
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr) + unit;
}

}  // namespace kavro::str
