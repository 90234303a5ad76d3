#include "kit/http/NetStringEncoding.h"

#include <unicode/ucnv.h>

#include <cctype>
#include <memory>

#include "platform/foundation/Text.h"

namespace kavro {

namespace {

struct Known {
  const char* name;
  NetStringEncoding encoding;
  const char* converter;  // ICU's name
};

constexpr Known known[] = {
    {"us-ascii", NetASCIIStringEncoding, "US-ASCII"},
    {"ascii", NetASCIIStringEncoding, "US-ASCII"},
    {"utf-8", NetUTF8StringEncoding, "UTF-8"},
    {"utf8", NetUTF8StringEncoding, "UTF-8"},
    {"iso-8859-1", NetISOLatin1StringEncoding, "ISO-8859-1"},
    {"latin1", NetISOLatin1StringEncoding, "ISO-8859-1"},
    {"iso-8859-2", NetISOLatin2StringEncoding, "ISO-8859-2"},
    {"euc-jp", NetJapaneseEUCStringEncoding, "EUC-JP"},
    {"shift_jis", NetShiftJISStringEncoding, "Shift_JIS"},
    {"iso-2022-jp", NetISO2022JPStringEncoding, "ISO-2022-JP"},
    {"utf-16", NetUnicodeStringEncoding, "UTF-16"},
    {"utf-16be", NetUTF16BigEndianStringEncoding, "UTF-16BE"},
    {"utf-16le", NetUTF16LittleEndianStringEncoding, "UTF-16LE"},
    {"windows-1250", NetWindowsCP1250StringEncoding, "windows-1250"},
    {"windows-1251", NetWindowsCP1251StringEncoding, "windows-1251"},
    {"windows-1252", NetWindowsCP1252StringEncoding, "windows-1252"},
    {"gb18030", NetGB18030StringEncoding, "GB18030"},
    {"gbk", NetGBKStringEncoding, "GBK"},
    {"gb2312", NetGBKStringEncoding, "GBK"},
    {"big5", NetBig5StringEncoding, "Big5"},
    {"euc-kr", NetEUCKRStringEncoding, "EUC-KR"},
};

}  // namespace

std::optional<NetStringEncoding> encodingForIANACharSetName(std::string_view name) {
  std::string n(name);
  for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (n.size() >= 2 && n.front() == '"' && n.back() == '"') n = n.substr(1, n.size() - 2);
  for (const auto& k : known)
    if (n == k.name) return k.encoding;
  return std::nullopt;
}

std::optional<std::string> stringFromBytes(const platform::Data& bytes, NetStringEncoding encoding) {
  if (encoding == NetUTF8StringEncoding) {
    std::string s(bytes.begin(), bytes.end());
    if (!platform::isValidUtf8(s)) return std::nullopt;
    return s;
  }
  if (encoding == NetISOLatin1StringEncoding) {
    std::string out;
    for (std::uint8_t b : bytes) out += platform::toUtf8(static_cast<char32_t>(b));
    return out;
  }
  const char* converter = nullptr;
  for (const auto& k : known)
    if (k.encoding == encoding) converter = k.converter;
  if (!converter) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, void (*)(UConverter*)> cnv(ucnv_open(converter, &status), ucnv_close);
  if (U_FAILURE(status)) return std::nullopt;
  ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::u16string text(bytes.size() * 2 + 4, u'\0');
  int32_t length =
      ucnv_toUChars(cnv.get(), reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()),
                    reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  text.resize(static_cast<std::size_t>(length));
  return platform::toUtf8(text);
}

}  // namespace kavro
