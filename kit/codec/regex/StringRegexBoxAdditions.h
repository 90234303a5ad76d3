#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kit/codec/regex/RegexBox.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Text.h"

// Regular expressions on UTF-8 text: match, find ranges, extract captures, split, build
// dictionaries of captures, replace and enumerate. Patterns use ICU's syntax, replacement templates
// ICU's ($n for capture n). Ranges and positions count UTF-16 units; a range's length of
// platform::WholeLength means "to the end". The short forms search the whole text with no options.
//
// Misuse (a range past the end, a capture the pattern does not have) raises
// platform::InvalidArgumentException or platform::RangeException. A pattern that does not compile and
// ICU failures are written to *error when error is given, and raise RGXICURegexException otherwise;
// the function then answers nullopt, false, -1, an empty container or platform::NotFoundRange.
//
// Any thread may call. Compiled patterns and converted texts are cached process-wide; the texts are
// compared byte for byte, so a string changed in place is always searched as it is now.
namespace kavro::str {

// ---- Compile only: the argument is the pattern. A bad pattern never raises: -1 or false.
std::int64_t captureCountForRegex(std::string_view regex);
std::int64_t captureCountForRegex(std::string_view regex, RGXRegexOptions options, platform::Error* error);
std::int64_t captureCount(std::string_view regex);
std::int64_t captureCountWithOptions(std::string_view regex, RGXRegexOptions options, platform::Error* error);
bool isRegexValid(std::string_view regex);
bool isRegexValidWithOptions(std::string_view regex, RGXRegexOptions options, platform::Error* error);

// ---- Match test
bool isMatchedByRegex(std::string_view s, std::string_view regex);
bool isMatchedByRegex(std::string_view s, std::string_view regex, platform::Range range);
bool isMatchedByRegex(std::string_view s, std::string_view regex, RGXRegexOptions options,
                      platform::Range range, platform::Error* error);

// ---- The range of the first match, or of capture group `capture` in it (0: the whole match);
// platform::NotFoundRange without a match or when the group did not take part.
platform::Range rangeOfRegex(std::string_view s, std::string_view regex);
platform::Range rangeOfRegex(std::string_view s, std::string_view regex, int capture);
platform::Range rangeOfRegex(std::string_view s, std::string_view regex, platform::Range range);
platform::Range rangeOfRegex(std::string_view s, std::string_view regex, RGXRegexOptions options,
                             platform::Range range, int capture, platform::Error* error);

// ---- The text of that range; nullopt where rangeOfRegex gives platform::NotFoundRange.
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex);
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex, int capture);
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex,
                                            platform::Range range);
std::optional<std::string> stringByMatching(std::string_view s, std::string_view regex,
                                            RGXRegexOptions options, platform::Range range, int capture,
                                            platform::Error* error);

// ---- Split: the pieces between matches, each followed by the texts of the groups of the match that
// ends it. Empty pieces at the end are dropped when the text ends with a match; without any match
// the result holds the searched text.
std::vector<std::string> componentsSeparatedByRegex(std::string_view s, std::string_view regex);
std::vector<std::string> componentsSeparatedByRegex(std::string_view s, std::string_view regex,
                                                    platform::Range range);
std::vector<std::string> componentsSeparatedByRegex(std::string_view s, std::string_view regex,
                                                    RGXRegexOptions options, platform::Range range,
                                                    platform::Error* error);

// ---- The text of every match (or of group `capture` of every match; "" where it did not take part).
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex);
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex, int capture);
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                  platform::Range range);
std::vector<std::string> componentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                  RGXRegexOptions options, platform::Range range, int capture,
                                                  platform::Error* error);

// ---- [match, group 1, ..., group n] of the first match ("" for a group that did not take part);
// empty without a match.
std::vector<std::string> captureComponentsMatchedByRegex(std::string_view s, std::string_view regex);
std::vector<std::string> captureComponentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                         platform::Range range);
std::vector<std::string> captureComponentsMatchedByRegex(std::string_view s, std::string_view regex,
                                                         RGXRegexOptions options, platform::Range range,
                                                         platform::Error* error);

// ---- The same array for every match.
std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(std::string_view s,
                                                                             std::string_view regex);
std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(std::string_view s,
                                                                             std::string_view regex,
                                                                             platform::Range range);
std::vector<std::vector<std::string>> arrayOfCaptureComponentsMatchedByRegex(std::string_view s,
                                                                             std::string_view regex,
                                                                             RGXRegexOptions options,
                                                                             platform::Range range,
                                                                             platform::Error* error);

// ---- Dictionaries of captures: key -> the text of its capture group (0: the whole match). The pairs
// forms read at most 62 pairs and ignore the rest; a key that appears twice keeps its first place and
// its last capture. The first match gives one dictionary (empty without a match); the array form
// gives one per match.
using RGXKeysAndCaptures = std::vector<std::pair<std::string, int>>;
inline constexpr std::size_t RGXMaxKeysAndCaptures = 62;

std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                const RGXKeysAndCaptures& keysAndCaptures);
std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                platform::Range range,
                                                                const RGXKeysAndCaptures& keysAndCaptures);
std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                RGXRegexOptions options,
                                                                platform::Range range, platform::Error* error,
                                                                const RGXKeysAndCaptures& keysAndCaptures);
// keys[i] takes capture captures[i]; both spans hold one entry per key.
std::shared_ptr<platform::Dictionary> dictionaryByMatchingRegex(std::string_view s, std::string_view regex,
                                                                RGXRegexOptions options,
                                                                platform::Range range, platform::Error* error,
                                                                std::span<const std::string> keys,
                                                                std::span<const int> captures);

std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, const RGXKeysAndCaptures& keysAndCaptures);
std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, platform::Range range,
    const RGXKeysAndCaptures& keysAndCaptures);
std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, RGXRegexOptions options, platform::Range range,
    platform::Error* error, const RGXKeysAndCaptures& keysAndCaptures);
std::vector<std::shared_ptr<platform::Dictionary>> arrayOfDictionariesByMatchingRegex(
    std::string_view s, std::string_view regex, RGXRegexOptions options, platform::Range range,
    platform::Error* error, std::span<const std::string> keys, std::span<const int> captures);

// ---- Replace: the text of the searched range (only) with every match replaced by the template.
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               std::string_view replacement);
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               std::string_view replacement,
                                                               platform::Range range);
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               std::string_view replacement,
                                                               RGXRegexOptions options, platform::Range range,
                                                               platform::Error* error);

// ---- Blocks. They run on a private copy of the text and compiled pattern, without any lock, so a
// block may call any of these functions. True (or a value) when no error intervened, also when the
// block stopped the enumeration.

// The block gets [match, group 1, ..., group n] of every match.
bool enumerateStringsMatchedByRegex(std::string_view s, std::string_view regex, const RGXMatchBlock& block);
bool enumerateStringsMatchedByRegex(std::string_view s, std::string_view regex, RGXRegexOptions options,
                                    platform::Range range, platform::Error* error,
                                    RGXRegexEnumerationOptions enumerationOptions,
                                    const RGXMatchBlock& block);
// The block gets [piece, group 1, ..., group n] for the piece before every match, then the piece
// after the last match alone.
bool enumerateStringsSeparatedByRegex(std::string_view s, std::string_view regex, const RGXMatchBlock& block);
bool enumerateStringsSeparatedByRegex(std::string_view s, std::string_view regex, RGXRegexOptions options,
                                      platform::Range range, platform::Error* error,
                                      RGXRegexEnumerationOptions enumerationOptions,
                                      const RGXMatchBlock& block);
// Every match replaced by what the block returns; the text of the range.
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               const RGXReplaceBlock& block);
std::optional<std::string> stringByReplacingOccurrencesOfRegex(std::string_view s, std::string_view regex,
                                                               RGXRegexOptions options, platform::Range range,
                                                               platform::Error* error,
                                                               RGXRegexEnumerationOptions enumerationOptions,
                                                               const RGXReplaceBlock& block);

// ---- Cache control
// Empties every cache of compiled patterns and converted texts.
void clearStringCache();
// Forgets the converted copy of this text.
void flushCachedRegexData(std::string_view s);

}  // namespace kavro::str
