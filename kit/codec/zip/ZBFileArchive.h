#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "kit/codec/zip/ZBArchive.h"

namespace kavro {

class ZBExpansion;

// The streaming archive: expands an archive file to disk and writes files, folders and links into
// an archive file block by block (two 256 KiB buffers per entry whatever its size), with Zip64 for
// large sizes and offsets. Reports progress to the delegate on the main thread, polls the invoker
// after every block and sleeps throttleThreadSleepTime() after each one.
//
// Expansion goes through a temporary folder beside the archive whose items are then moved out.
// Entry names that would leave it, duplicate names and writes through links fail the run, as does
// an entry whose length or CRC-32 differs from its central header.
class ZBFileArchive : public ZBArchive {
 public:
  static constexpr std::size_t BlockSize = 262144;

  // Expands path when it is an archive, else compresses it into "<path without extension>.zip"
  // (made unique) beside it. Nothing when the archive cannot be opened or created.
  static std::shared_ptr<ZBFileArchive> process(const std::string& path, bool usingResourceFork,
                                                std::weak_ptr<const ZBInvoker> invoker,
                                                std::weak_ptr<ZBArchiveDelegate> delegate);
  // One path stands for itself; several are compressed into "Archive.zip" (made unique) in the
  // first one's folder. Nothing for an empty list.
  static std::shared_ptr<ZBFileArchive> process(const std::vector<std::string>& paths, bool usingResourceFork,
                                                std::weak_ptr<const ZBInvoker> invoker,
                                                std::weak_ptr<ZBArchiveDelegate> delegate);
  // Opens an existing archive, or prepares a new one when nothing is at path. Nothing when the file
  // is there but is no readable archive.
  static std::shared_ptr<ZBFileArchive> archiveWithArchivePath(const std::string& path);

  // Expands beside the archive file (result code).
  int inflateToDiskUsingResourceFork(bool usingResourceFork);
  // Expands into the given expansion folder, then moves its items into the folder enclosing it.
  int inflateToDirectory(const std::string& expansionDirectory, bool usingResourceFork);
  // Expands one entry below directory.
  int inflateFile(const ZBCDHeader& header, const std::string& toDirectory);

  // Adding to the archive file (result codes). Each addition rewrites the central directory after
  // the new entry; a failed or cancelled addition puts the previous directory back.
  int deflateFiles(const std::vector<std::string>& paths, const std::string& relativeToPath,
                   bool usingResourceFork = false);
  int deflateDirectory(const std::string& path, const std::string& relativeToPath,
                       bool usingResourceFork = false);
  int deflateFile(const std::string& path, const std::string& relativeToPath, bool usingResourceFork = false);

  bool useZip64Extensions() const { return useZip64Extensions_; }
  void setUseZip64Extensions(bool use) { useZip64Extensions_ = use; }

 private:
  explicit ZBFileArchive(std::string archivePath) : ZBArchive(std::move(archivePath)) {}
  static std::shared_ptr<ZBFileArchive> expand(const std::string& path,
                                               std::weak_ptr<const ZBInvoker> invoker,
                                               std::weak_ptr<ZBArchiveDelegate> delegate);
  static std::shared_ptr<ZBFileArchive> compress(const std::vector<std::string>& paths,
                                                 const std::string& archivePath, bool usingResourceFork,
                                                 std::weak_ptr<const ZBInvoker> invoker,
                                                 std::weak_ptr<ZBArchiveDelegate> delegate);
  int inflateEntry(const ZBCDHeader& header, ZBExpansion& expansion, const std::string& relative);
  // Writes the directory for the current entries at offset and cuts the file there.
  bool writeDirectory(int fd, std::uint64_t offset);
  // A cancelled entry: its output is closed, the cancel posted.
  int cancelled();

  bool useZip64Extensions_ = false;
};

}  // namespace kavro
