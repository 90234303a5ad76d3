// Archives read from a file and expanded into a folder: whatever the archive holds (names with
// "..", links pointing out, lying sizes), nothing lands outside the folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/FuzzFolders.h"
#include "kit/codec/zip/ZBDataArchive.h"
#include "kit/codec/zip/ZBFileArchive.h"
#include "platform/foundation/FileManager.h"

namespace fs = std::filesystem;

using fuzzfolders::countOutside;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static const fs::path root = fs::temp_directory_path() / ("kavro-fuzz-zip-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(root / "box" / "inside");
  const std::string archivePath = (root / "box" / "in.zip").string();
  platform::FileManager::createFileAtPath(archivePath, platform::Data(bytes, bytes + size));
  const fs::path inside = root / "box" / "inside";
  std::size_t before = countOutside(root, inside);

  if (auto archive = kavro::ZBFileArchive::archiveWithArchivePath(archivePath)) {
    archive->setMaxExpandedSize(4 << 20);
    archive->inflateToDirectory((root / "box" / "inside" / "file").string(), false);
  }
  if (auto archive = kavro::ZBDataArchive::archiveWithArchivePath(archivePath)) {
    archive->setMaxExpandedSize(4 << 20);
    archive->inflateInFolder((root / "box" / "inside").string());
  }
  // Only the folder the expansions were given may have grown.
  if (countOutside(root, inside) != before) std::abort();
  fs::remove_all(root, ec);
  return 0;
}
