#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"

// The platform's string encodings by number, as the request engine reports them
// (responseEncoding, defaultResponseEncoding), and the conversion of response bytes to text.
namespace kavro {

using NetStringEncoding = unsigned int;

inline constexpr NetStringEncoding NetASCIIStringEncoding = 1;
inline constexpr NetStringEncoding NetJapaneseEUCStringEncoding = 3;
inline constexpr NetStringEncoding NetUTF8StringEncoding = 4;
inline constexpr NetStringEncoding NetISOLatin1StringEncoding = 5;
inline constexpr NetStringEncoding NetShiftJISStringEncoding = 8;
inline constexpr NetStringEncoding NetISOLatin2StringEncoding = 9;
inline constexpr NetStringEncoding NetUnicodeStringEncoding = 10;
inline constexpr NetStringEncoding NetWindowsCP1251StringEncoding = 11;
inline constexpr NetStringEncoding NetWindowsCP1252StringEncoding = 12;
inline constexpr NetStringEncoding NetWindowsCP1250StringEncoding = 15;
inline constexpr NetStringEncoding NetISO2022JPStringEncoding = 21;
inline constexpr NetStringEncoding NetUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr NetStringEncoding NetUTF16LittleEndianStringEncoding = 0x94000100;
inline constexpr NetStringEncoding NetGB18030StringEncoding = 0x80000632;
inline constexpr NetStringEncoding NetGBKStringEncoding = 0x80000631;
inline constexpr NetStringEncoding NetBig5StringEncoding = 0x80000A03;
inline constexpr NetStringEncoding NetEUCKRStringEncoding = 0x80000940;

// The encoding an IANA character set name stands for ("utf-8", "ISO-8859-1", "gb2312", ...);
// none for a name not known here.
std::optional<NetStringEncoding> encodingForIANACharSetName(std::string_view name);

// The bytes read in encoding, as UTF-8 text; none when they are not valid in it or the encoding
// is unknown.
std::optional<std::string> stringFromBytes(const platform::Data& bytes, NetStringEncoding encoding);

}  // namespace kavro
