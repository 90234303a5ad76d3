#pragma once
#include <cstddef>
#include <cstdint>

// The layout of a keyed archive, shared by the archiver and the unarchiver.
//
//   archive := magic "KVAR", u16 version, value            (nothing may follow)
//   value   := u8 tag, then by tag:
//                Null, False, True: nothing
//                Int, UInt: 8 bytes; Double: 8 bytes (IEEE 754 bits)
//                String, Bytes: u32 length, the bytes
//                Array: u32 count, values
//                Dictionary: u32 count, (string key, value) pairs in order
//                Object: string class name, frame
//   frame   := u32 count, (string key, value) pairs; u32 count, unkeyed values
//   integers are little-endian; a string is u32 length and its UTF-8 bytes.
namespace platform::archive {

inline constexpr std::uint8_t kMagic[4] = {'K', 'V', 'A', 'R'};
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 6;
// Containers and objects nest at most this deep, on both sides.
inline constexpr int kMaxDepth = 128;

enum Tag : std::uint8_t {
  kNull = 0,
  kFalse = 1,
  kTrue = 2,
  kInt = 3,
  kUInt = 4,
  kDouble = 5,
  kString = 6,
  kBytes = 7,
  kArray = 8,
  kDictionary = 9,
  kObject = 10,
};

}  // namespace platform::archive
