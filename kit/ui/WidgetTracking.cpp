#include "kit/ui/WidgetTracking.h"

namespace kavro::widgettracking {
namespace {
std::function<void(std::string_view)>& recorder() {
  static std::function<void(std::string_view)> r;
  return r;
}
}  // namespace

void setRecorder(std::function<void(std::string_view point)> r) { recorder() = std::move(r); }

void record(std::string_view point) {
  if (recorder()) recorder()(point);
}

}  // namespace kavro::widgettracking
