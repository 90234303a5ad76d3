#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The other applications of the device, as far as opening URLs goes. canOpenURL answers from the
// URL schemes installed (settable by tests and the runner; by default "http", "https", "mailto",
// "tel" and "sms", plus the application's own schemes from Environment). openURL launches nothing:
// it records the URL and whether it could have been opened. Schemes compare without regard to
// case. Safe from any thread.
class OutsideApplications {
 public:
  // False for text that does not start with a scheme and ":".
  static bool canOpenURL(std::string_view url);
  // Records the URL; true when canOpenURL accepts it.
  static bool openURL(std::string_view url);

  static std::vector<std::string> installedSchemes();
  static void setInstalledSchemes(std::vector<std::string> schemes);
  static void addInstalledScheme(std::string_view scheme);
  static void removeInstalledScheme(std::string_view scheme);

  struct OpenedURL {
    std::string url;
    bool opened = false;
    bool operator==(const OpenedURL&) const = default;
  };
  // Every openURL, oldest first.
  static std::vector<OpenedURL> openedURLs();
  // The default schemes again and no records (tests).
  static void reset();
};

}  // namespace platform
