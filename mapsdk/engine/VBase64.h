#pragma once

// Standard base64 (alphabet A-Z a-z 0-9 + /, "=" padding) for the engine. Any thread.
namespace gmengine {

// Encodes the bytes of the zero-terminated text into output, with a terminating zero. Answers the
// characters written (without the zero); 0 and an empty output when outputSize cannot hold the
// whole result and its zero (4 * ceil(n / 3) + 1 bytes).
int Base64Encode(char* output, int outputSize, const char* text);

// Decodes text until its end, a "=" or the first character outside the alphabet, writing at most
// outputSize bytes; answers the byte count. A trailing group of one character yields nothing.
int Base64Decode(unsigned char* output, int outputSize, const char* text);

}  // namespace gmengine
