#pragma once
#include <cstdint>

namespace kavro::json {

// The double nearest to w * 10^q (w at most 19 digits, not 0), made with one or two 64 x 128-bit
// products from a table of powers of five, exactly as a general conversion rounds it. Answers
// false, leaving out alone, for what that cannot settle: results that are subnormal or too large,
// powers outside the table, and the rare products too close to a rounding boundary to judge; the
// general conversion takes those.
bool decimalToDouble(std::uint64_t w, std::int64_t q, bool negative, double& out);

}  // namespace kavro::json
