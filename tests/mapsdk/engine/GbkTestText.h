#pragma once
// Text in GBK, the engine's own encoding, for the tests that convert it.

namespace enginetest {

// "北京" in GBK.
inline constexpr char kBeijingGbk[] = "\xB1\xB1\xBE\xA9";

}  // namespace enginetest
