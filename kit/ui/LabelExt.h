#pragma once

namespace platform {
class Label;
}

// Sizing labels to their text.
namespace kavro::label {

// Any number of lines; only the height changes, to the wrapped text's height.
void autoFitHeight(platform::Label& l);
// The same with exactly one line.
void autoFitHeightForSingleLine(platform::Label& l);
// Width := the text's width (character-wrapped, within the current height) or maxWidth, the
// smaller; 0 without text.
void autoFitSizeWithMaxWidth(platform::Label& l, double maxWidth);
// The width autoFitSizeWithMaxWidth gives the label, without giving it.
double fittedWidth(const platform::Label& l, double maxWidth);

}  // namespace kavro::label
