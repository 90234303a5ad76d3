#pragma once
#include <string>
#include <string_view>

// The identifier the client makes for the device once and keeps across launches and, through a
// named persistent pasteboard, across reinstallations. A record holds the identifier and its check
// value (MD5 of the identifier and a salt); a record whose check fails is ignored. Main thread only.
namespace kavro::device {

inline constexpr std::string_view DeviceUDIDDefaultsKey = "kavroDeviceUDIDDict";
inline constexpr std::string_view DeviceUDIDPasteboardName = "kavroDeviceUDIDPBName";
inline constexpr std::string_view DeviceUDIDPasteboardType = "kavroDeviceUDIDDict";
inline constexpr std::string_view DeviceUDIDKey = "kavrodeviceUDID";
inline constexpr std::string_view DeviceUDIDCheckKey = "kavroCheckDeviceUDID";

// The device identifier, 40 lower-case hexadecimal digits: from the user defaults when a valid
// record is there; else from the pasteboard (copied back into the defaults); else a new one, saved
// to both. Reads the stores on every call; a record already found valid is not checked again.
std::string getUDID();
// MD5 of getUDID(): the "uuid" of every request.
std::string getUUID();
// A new identifier, stored nowhere: MD5 of a new UUID's text, then 8 hexadecimal digits of a
// random number.
std::string createNewUDID();
// The check value of an identifier.
std::string checkValueOf(std::string_view udid);

// The system's advertising identifier as text on systems from 6.0 on, when the system offers one;
// "" otherwise.
std::string getADID();
// Whether the user allows ad tracking.
bool isAdTrackingEnabled();

}  // namespace kavro::device
