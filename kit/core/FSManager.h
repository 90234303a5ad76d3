#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Dictionary.h"

namespace kavro {

// Where the client keeps its files (all under the documents folder) and the small file operations
// the data core and the skins need. Stateless; main thread.
class FSManager {
 public:
  static constexpr std::string_view DataFolderName = "kavro_client_data";
  static constexpr std::string_view SkinFolderName = "kavro_client_skin";

  // Documents/name.
  static std::optional<std::string> getCacheFullPath(std::string_view name);
  // Documents/kavro_client_data/name, the folder made on demand; nothing when it cannot be.
  static std::optional<std::string> getDbFullPath(std::string_view name);
  // Documents/kavro_client_skin/name, the folder made on demand; nothing when it cannot be.
  static std::optional<std::string> getSkinFullPath(std::string_view name);
  // Documents/kavro_client_data/name as a folder, made on demand.
  static std::optional<std::string> getDataFolder(std::string_view name);

  // True when nothing is left at path.
  static bool deleteFile(std::string_view path);
  static bool isResourceFile(std::string_view name);
  static bool isFile(std::string_view path);
  static bool isDir(std::string_view path);
  static bool isWriteable(std::string_view path);
  static std::int64_t getFileSize(std::string_view path);
  static std::int64_t getDirSize(std::string_view path);

  static std::optional<std::string> stringFromResource(std::string_view name);
  static std::optional<platform::Data> dataFromResource(std::string_view name);
  // A map stored as an archived dictionary (the platform's property-list stand-in).
  static std::shared_ptr<platform::MutableDictionary> dictFromPath(std::string_view path);
  // Removes every entry directly inside folder, ignoring failures.
  static void deleteAllFilesFromPath(std::string_view folder);

  static std::optional<platform::Date> fileModifyDate(std::string_view path);
  static std::optional<platform::Date> fileCreateDate(std::string_view path);
};

}  // namespace kavro
