#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "platform/location/MapGeometry.h"

// Coordinates as the server and the records write them: decimal degrees in text.
namespace kavro::coordtext {

// A decimal number at the start of the text (after blanks); none when there is none.
std::optional<double> scanDouble(std::string_view text);
// The same, 0 when there is none (the record's "as it stands" reading).
inline double doubleValue(std::string_view text) { return scanDouble(text).value_or(0); }
// The record's latitude and longitude (read as they stand).
platform::Coordinate ofRecord(const DataItemDetail& record);
// "%f" of a number: six decimals, "." as the point.
std::string sixDecimals(double value);

}  // namespace kavro::coordtext
