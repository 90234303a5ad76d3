#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"
#include "platform/foundation/URL.h"

namespace platform {
class Window;
}

namespace kavro {

// What the application's delegate tells of its main window (the application delegate base has
// one); getWindow() asks the delegate through it.
class AppWindowSource {
 public:
  virtual ~AppWindowSource() = default;
  virtual std::shared_ptr<platform::Window> mainWindow() const = 0;
};

// The client's identity as the server sees it (user agent, partner id, version, GUID) and the
// network-activity count. Class functions only; the application word and the version name are
// process-wide values the application sets at launch. Main thread.
class AppUtil {
 public:
  // "kavro" unless set.
  static std::string applicationWord();
  static void setApplicationWord(std::string_view word);

  // "<word>-iphone-client".
  static std::string getUserAgent();
  // The text of the bundle resource "Config/client.sign" without surrounding white space; "" when
  // it is missing or unreadable.
  static std::string getPartnerInfo();
  // The bundle's build version.
  static std::string getVersionNameFromBundle();
  // Takes the version from a build path holding exactly one "/<word>-N.N.N/" segment; false (and
  // nothing changes) otherwise.
  static bool fetchVersionFromFilePath(std::string_view path);
  // The version taken from the build path when there is one (longer than 2 characters), else the
  // bundle's.
  static std::string getVersionName();
  // The version name without its dots, as an integer: 2.4.2 gives 242.
  static std::int64_t getVersionCode();
  // "<word>-iphone-<version name>".
  static std::string getClientName();

  // Counted: the indicator shows while any activity is running.
  static void showNetworkIndicator();
  static void hiddenNetworkIndicator();
  static bool isNetworkIndicatorVisible();

  // The client GUID the server gave, from the core store ("" when none).
  static std::string getGUID();
  // Stored only when exactly 32 characters long.
  static void setGUID(std::string_view guid);

  // A bundle resource by its path inside the bundle ("Config/client.sign"): its file URL, dates
  // and size; none or 0 for an empty name or a missing resource.
  static std::optional<platform::URL> getResourceFullPath(std::string_view name);
  static std::optional<platform::Date> getResourceModifyDate(std::string_view name);
  static std::optional<platform::Date> getResourceCreateDate(std::string_view name);
  static std::int64_t getResourceFileSize(std::string_view name);

  // The application delegate's main window, else the key window; nullptr when there is neither.
  static std::shared_ptr<platform::Window> getWindow();
};

}  // namespace kavro
