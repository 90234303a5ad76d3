#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Facts about the device for the activity and crash reports; computed on every call.
namespace kavro::device {

// The hardware model identifier (the machine field of uname).
std::string getDeviceType();
// System name, a space, system version.
std::string getOS();
// The hardware address of the interface (by default the phone's Wi-Fi "en0") as
// "0A:1B:2C:3D:4E:5F"; empty when the interface has none (after a diagnostic on standard output).
std::optional<std::string> getMacAddress(std::string_view interfaceName = "en0");
std::string formatMacAddress(const std::array<std::uint8_t, 6>& bytes);
// The mobile operator's name: "" without a cellular provider (this device has no telephony).
std::optional<std::string> getNetworkOperators();
// From a provider's description text: what stands in "Carrier name: [...]"; empty when it does
// not match; "" without a provider.
std::optional<std::string> getNetworkOperators(const std::optional<std::string>& providerDescription);

}  // namespace kavro::device
