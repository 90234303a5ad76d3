#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/codec/zip/ZBArchive.h"

namespace kavro {

// One entry of an archive expanded in memory: plain files and links carry their bytes (a link's
// bytes are its destination), folders none.
struct ZBInflatedFile {
  std::string path;
  zb::ZBFileAttributes fileAttributes;
  std::optional<platform::Data> fileData;
};

// The archive the skin packages use: either the whole archive's bytes in memory (opened from a
// block, or built by adding entries), or, opened by path, only the central directory, each entry's
// bytes being read from the file when asked. Lookups are by exact name; the first entry of a name
// wins. Reading an entry checks its length and CRC-32 against the central directory. Sends no
// delegate calls and does not poll the invoker.
class ZBDataArchive : public ZBArchive {
 public:
  // A new, empty in-memory archive.
  static std::shared_ptr<ZBDataArchive> create();
  // Nothing when the file is missing or has no readable central directory.
  static std::shared_ptr<ZBDataArchive> archiveWithArchivePath(const std::string& path);
  // Nothing when the block has no readable central directory.
  static std::shared_ptr<ZBDataArchive> archiveWithArchiveData(platform::Data data);

  bool file_exists(std::string_view name) const;
  bool is_dir(std::string_view name) const;
  bool is_link(std::string_view name) const;
  bool is_file(std::string_view name) const;
  // The bytes of a plain-file entry; nothing for a folder, a link, a missing name or an entry that
  // does not read back whole and intact.
  std::optional<platform::Data> file_get_contents(std::string_view name) const;
  // Entry names in directory order (entries without a readable name are left out).
  std::vector<std::string> files_name_list() const;

  // One entry's bytes (a folder's are its name) and, when there are bytes, its attributes.
  std::optional<platform::Data> inflateFile(const ZBCDHeader& header, zb::ZBFileAttributes* attributes) const;
  // Fills inflatedFiles() with every entry: 1, or -1 at the first entry that does not read.
  int inflateAll();
  const std::vector<ZBInflatedFile>& inflatedFiles() const { return inflatedFiles_; }
  // Expands every entry into folder (which must exist), through a temporary expansion folder whose
  // items are then moved into it: 1 or -1. Unsafe or duplicate names fail the run.
  int inflateInFolder(const std::string& folder, const std::string& folderName = {},
                      bool usingResourceFork = false);

  // Adding entries (result codes). Names are the paths relative to relativeToPath when that is a
  // prefix of them, else the whole paths, without a leading "/".
  int deflateFiles(const std::vector<std::string>& paths, const std::string& relativeToPath,
                   bool usingResourceFork = false);
  int deflateDirectory(const std::string& path, const std::string& relativeToPath,
                       bool usingResourceFork = false);
  int deflateFile(const std::string& path, const std::string& relativeToPath, bool usingResourceFork = false);
  int deflateData(const platform::Data& data, const std::string& filename,
                  const std::optional<zb::ZBFileAttributes>& attributes = std::nullopt);

  // The archive's bytes; empty for an archive opened by path that nothing was added to.
  const platform::Data& data() const { return data_; }

 private:
  explicit ZBDataArchive(std::string archivePath) : ZBArchive(std::move(archivePath)) {}
  const ZBCDHeader* headerNamed(std::string_view name) const;
  // The entry's stored bytes (still compressed).
  std::optional<platform::Data> storedBytes(const ZBCDHeader& header) const;
  // The entry's content, checked against the central directory.
  std::optional<platform::Data> entryBytes(const ZBCDHeader& header) const;
  // An archive opened by path takes its file into memory before it changes.
  bool loadForWriting();
  int appendEntry(const platform::Data& localHeader, const platform::Data& payload, ZBCDHeader header);

  platform::Data data_;
  std::vector<ZBInflatedFile> inflatedFiles_;
};

}  // namespace kavro
