#pragma once
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/Value.h"

namespace platform {

// Fills a printf-style format with values, the way localised strings and log lines are filled.
//
// Understood: %@ (any value, by its description), %d %i %u %x %X %o %c %C %s %f %F %e %E %g %G
// and %%; flags "-", "+", " ", "0", "#"; a width and a precision, either of which may be "*"
// (taken from the next argument, or "*N$"); positional arguments ("%2$@"); length modifiers
// (hh h l ll q L z t j) are accepted, and an integer conversion takes any integer value whatever
// its size, the modifier only deciding how a negative number reads under %u %x %X %o.
//
// The format is never trusted to match the arguments: a conversion without an argument renders
// nothing, a value of another kind is converted (a number from text that holds one, else the
// value's description), and an unknown conversion is copied through as written. The output does
// not depend on the process locale: the decimal point is always ".". Widths and precisions count
// UTF-16 units for text and are capped, so no format asks for unbounded memory.
std::string format(std::string_view fmt, std::span<const Value> args);

inline std::string format(std::string_view fmt, std::initializer_list<Value> args) {
  return format(fmt, std::span<const Value>(args.begin(), args.size()));
}

template <class... Args>
requires(sizeof...(Args) > 0 && (std::is_constructible_v<Value, const Args&> && ...)) std::string
    format(std::string_view fmt, const Args&... args) {
  const Value values[] = {Value(args)...};
  return format(fmt, std::span<const Value>(values, sizeof...(Args)));
}

inline std::string format(std::string_view fmt) { return format(fmt, std::span<const Value>()); }

}  // namespace platform
