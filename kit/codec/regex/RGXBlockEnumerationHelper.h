#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kit/codec/regex/RGXCachedRegex.h"
#include "kit/codec/regex/RGXRegexOps.h"

namespace kavro {

// What one block enumeration works on: its own clone of the compiled expression and its own UTF-16
// copy of the subject, so that after construction it needs no lock and its block may call any
// regular-expression operation, on any string, including the one being enumerated.
class RGXBlockEnumerationHelper {
 public:
  // Takes the cache lock only to find (or compile) the pattern and clone it. range comes back
  // resolved; on failure the failure is set and the helper is unusable.
  RGXBlockEnumerationHelper(std::string_view regex, std::uint32_t options, std::string_view subject,
                            platform::Range& range, RGXFailure& failure);
  ~RGXBlockEnumerationHelper();
  RGXBlockEnumerationHelper(const RGXBlockEnumerationHelper&) = delete;
  RGXBlockEnumerationHelper& operator=(const RGXBlockEnumerationHelper&) = delete;

  RGXCachedRegex& cachedRegex() { return cachedRegex_; }
  // The subject as it was when the enumeration began (the block may change the caller's string).
  const std::string& subject() const { return buffer_.string; }

 private:
  RGXCachedRegex cachedRegex_;
  RGXBuffer buffer_;
};

enum class RGXBlockEnumerationKind { Matches, Separated, Replace };

struct RGXEnumerationResult {
  bool ok = false;
  std::string text;         // replace kind: the new text of the range
  std::int64_t count = 0;   // block calls
  platform::Range range{};  // the resolved range
};

// The block forms. Exactly one of matchBlock and replaceBlock is used, by kind. Argument errors
// raise; ICU errors are reported through request.error or raised as RGXICURegexException, and give
// ok == false.
RGXEnumerationResult rgx_performEnumerationUsingBlock(const RGXOpRequest& request,
                                                      RGXBlockEnumerationKind kind,
                                                      std::uint32_t enumerationOptions,
                                                      const RGXMatchBlock* matchBlock,
                                                      const RGXReplaceBlock* replaceBlock);

}  // namespace kavro
