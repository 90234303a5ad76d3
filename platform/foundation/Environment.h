#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/ResourceCache.h"

namespace platform {

// Where the program keeps its files, where its bundle resources are, and who it says it is.
// Process-wide; every function is safe from any thread. Values set here win over the environment
// variables, which win over the defaults.
class Environment {
 public:
  // The home root: setHomeRoot(), else $KAVRO_HOME, else ~/.kavro. Created on demand.
  static std::string homeRoot();
  // "" goes back to the environment and default. Returns the value it replaces ("" for none).
  static std::string setHomeRoot(std::string path);

  // Folders under the home root, each created (with the root) when missing.
  static std::string documentsPath();  // "Documents"
  static std::string libraryPath();    // "Library"
  static std::string cachesPath();     // "Library/Caches"
  static std::string tmpPath();        // "tmp"

  // The resource root: setResourceRoot(), else $KAVRO_RESOURCES, else "resources" beside the
  // running program.
  static std::string resourceRoot();
  // The same, appended to out: a caller that keeps its buffer asks without an allocation.
  static void appendResourceRoot(std::string& out);
  // "" goes back to the environment and default. Returns the value it replaces ("" for none).
  static std::string setResourceRoot(std::string path);
  // The full path of a bundle resource named by its path inside the bundle ("Config/client.sign");
  // none for an empty name, a name that leaves the bundle (absolute, or with ".."), or when
  // nothing is there.
  static std::optional<std::string> resourcePath(std::string_view name);
  // The same for a regular file, with the stamp of the file found (one look at the file system).
  struct ResourceFile {
    std::string path;
    FileStamp stamp;
  };
  static std::optional<ResourceFile> resourceFile(std::string_view name);

  // The bundle's name ("Kavro"), its version text (the short version) and its build number.
  static std::string bundleName();
  static void setBundleName(std::string name);
  static std::string versionString();
  static void setVersionString(std::string version);
  static std::string buildNumber();
  static void setBuildNumber(std::string build);
  // The URL schemes the application answers to, its own first ("kavroapp").
  static std::vector<std::string> urlSchemes();
  static void setUrlSchemes(std::vector<std::string> schemes);

  // The service hosts as URL prefixes: set here, else $KAVRO_API_URL / $KAVRO_MAP_URL, else
  // "http://127.0.0.1".
  static std::string apiHostUrl();
  static void setApiHostUrl(std::string url);
  static std::string mapHostUrl();
  static void setMapHostUrl(std::string url);

  // Forgets everything set here (tests).
  static void reset();
};

}  // namespace platform
