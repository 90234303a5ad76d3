#include "kit/core/StringError.h"

namespace kavro::str {

namespace {
std::string& unknownText() {
  static std::string text = "Unkown error!";
  return text;
}
}  // namespace

void setUnkownErrorDescription(std::string_view text) { unknownText() = std::string(text); }

const std::string& getUnkownErrorDescription() { return unknownText(); }

std::string fromError(const platform::Error* error) {
  if (!error) return unknownText();
  if (!error->localizedDescription.empty()) return error->localizedDescription;
  std::string plain = error->description();
  return plain.empty() ? unknownText() : plain;
}

}  // namespace kavro::str
