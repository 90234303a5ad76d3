#pragma once
#include <functional>
#include <string_view>

// The widgets count their tracking points through this call; the application shell installs its
// tracking service's record function once at start. Without one nothing is counted.
namespace kavro::widgettracking {

void setRecorder(std::function<void(std::string_view point)> recorder);
void record(std::string_view point);

}  // namespace kavro::widgettracking
