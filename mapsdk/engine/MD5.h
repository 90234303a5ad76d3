#pragma once

namespace gmengine {

// MD5 digests as the engine writes them. Any thread.
class MD5 {
 public:
  // The digest of length bytes of data as 32 lower-case hexadecimal characters and a zero, in
  // output (at least 33 bytes). Answers 32, or 0 (output empty) for a negative length or null
  // data with a length.
  static int HexDigest(char* output, const void* data, int length);
};

}  // namespace gmengine
