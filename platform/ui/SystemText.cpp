#include "platform/ui/SystemText.h"

#include "platform/foundation/StringTable.h"

namespace platform {

std::string systemText(std::string_view english) {
  return StringTable::localizedString(english, english, "System");
}

}  // namespace platform
