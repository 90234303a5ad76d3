#pragma once
#include <string>
#include <string_view>

#include "platform/foundation/Text.h"

namespace platform {

// Shared by the text inputs: what the keyboard's delete key removes and how secure text shows.
namespace textediting {

// The range a backward delete removes: the selection when it is not empty, else the whole
// character before the caret (a surrogate pair, with the combining marks, variation selectors
// and zero-width-joined characters that belong to it); empty at the start of the text.
Range deleteBackwardRange(std::string_view text, Range selection);

// Replaces the range, cut to fit the text (a delegate may have changed the text since it was
// asked), with `with`; the caret after the new text.
Range replaceInText(std::string& text, Range range, std::string_view with);

// One bullet "●" per character (Unicode scalar value).
std::string masked(std::string_view text);

}  // namespace textediting

}  // namespace platform
