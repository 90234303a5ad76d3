#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace platform {

// Domain of the errors the file operations report; the code is the errno value.

enum class FileType { Regular, Directory, SymbolicLink, Other };

// What the file system says about one item (links are not followed).
struct FileAttributes {
  FileType type = FileType::Other;
  std::int64_t size = 0;
  // Seconds since 1970-01-01 00:00:00 UTC.
  double modificationDate = 0;
  // The birth time where the file system keeps one, else the last status change.
  double creationDate = 0;
  // The permission bits (07777).
  std::uint32_t posixPermissions = 0;
};

// The file operations of the platform, on UTF-8 paths. Stateless and safe from any thread.
// Failures are values: false or an empty optional, with the reason in *error when one is given.
// What the client's files and folders are created with: its data is its owner's alone.
inline constexpr unsigned PrivateFileMode = 0600;
inline constexpr unsigned PrivateFolderMode = 0700;

class FileManager {
 public:
  // Anything at the path (links followed: a dangling link answers false). *isDirectory tells
  // whether it is a folder.
  static bool fileExistsAtPath(std::string_view path, bool* isDirectory = nullptr);
  static std::optional<FileAttributes> attributesOfItemAtPath(std::string_view path, Error* error = nullptr);
  static bool isReadableFileAtPath(std::string_view path);
  static bool isWritableFileAtPath(std::string_view path);
  // The item exists and its folder lets it be removed.
  static bool isDeletableFileAtPath(std::string_view path);

  // A folder that already exists is success only with intermediate folders allowed. Folders made
  // here are private to their owner (PrivateFolderMode), those made on the way too.
  static bool createDirectoryAtPath(std::string_view path, bool withIntermediateDirectories,
                                    Error* error = nullptr);
  // Removes a file, a link (not its target) or a whole folder tree. Nothing there is a failure.
  static bool removeItemAtPath(std::string_view path, Error* error = nullptr);
  // Both refuse to replace an existing destination. A move across file systems copies, then
  // removes the source.
  static bool moveItemAtPath(std::string_view path, std::string_view toPath, Error* error = nullptr);
  static bool copyItemAtPath(std::string_view path, std::string_view toPath, Error* error = nullptr);

  // Names of the entries directly inside a folder, sorted by byte order.
  static std::optional<std::vector<std::string>> contentsOfDirectoryAtPath(std::string_view path,
                                                                           Error* error = nullptr);
  // Paths relative to the folder of everything below it, depth first, each folder's entries sorted;
  // a folder comes before its contents. Links are listed but not followed.
  static std::optional<std::vector<std::string>> subpathsOfDirectoryAtPath(std::string_view path,
                                                                           Error* error = nullptr);

  // The whole content of a regular file (links followed).
  static std::optional<Data> contentsAtPath(std::string_view path, Error* error = nullptr);
  // Replaces the file at path atomically: the bytes go to a temporary file in the same folder,
  // are flushed to disk and renamed over the target, so the target holds either its old content
  // or the new one, never a part. A new file is private to its owner (PrivateFileMode); an existing
  // one keeps its owner's permissions and loses any others. Only a regular file is replaced: a
  // folder, device, pipe or socket at path (or a link to one) is refused.
  // The folder must exist.
  static bool createFileAtPath(std::string_view path, const Data& contents, Error* error = nullptr);
};

}  // namespace platform
