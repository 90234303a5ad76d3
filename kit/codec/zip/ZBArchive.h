#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kit/codec/zip/ZBAdditions.h"
#include "kit/codec/zip/ZBArchiveDelegate.h"
#include "kit/codec/zip/ZBCDHeader.h"
#include "kit/codec/zip/ZBCDTrailer.h"
#include "kit/codec/zip/ZBInvoker.h"
#include "platform/foundation/Mutex.h"

namespace kavro {

// The base of both archive kinds: the central directory and end record, the archive's path, the
// progress delegate and the cancel source. Operations that return a result code answer 1 for
// success, 0 for cancelled and -1 for failure.
//
// One run at a time per archive, on any thread. Delegate calls are delivered on the main thread
// (platform::RunLoop::main()): directly when the work runs there, otherwise posted; the delegate is
// held weakly and checked when the call arrives. The invoker is polled from the working thread.
class ZBArchive : public std::enable_shared_from_this<ZBArchive> {
 public:
  virtual ~ZBArchive();
  ZBArchive(const ZBArchive&) = delete;
  ZBArchive& operator=(const ZBArchive&) = delete;

  // The file (or block) begins with a local file header signature.
  static bool validArchiveAtPath(const std::string& path);
  static bool validArchiveForData(zb::Bytes data);
  // path when nothing is there, else "<stem> 2.<ext>", "<stem> 3.<ext>", ... in the same folder.
  static std::string uniquify(const std::string& path);
  // "<folder>/.ZipBox", or ".ZipBox 1", ".ZipBox 2", ... when taken.
  static std::string uniqueExpansionDirectoryIn(const std::string& enclosingDirectory);
  // Moves the folder's top-level items (except "__MACOSX") into the folder that encloses it,
  // renaming on clashes, then removes it.
  static void cleanUpExpansionDirectory(const std::string& expansionDirectory);
  // Sums the totals of the paths and reports them to the delegate (posted to the main thread).
  void calculateSizeAndItemCount(const std::vector<std::string>& paths, bool usingResourceFork);

  const std::string& comment() const { return cdTrailer_.comment(); }
  void setComment(std::string comment);
  std::weak_ptr<ZBArchiveDelegate> delegate() const;
  void setDelegate(std::weak_ptr<ZBArchiveDelegate> delegate);
  std::weak_ptr<const ZBInvoker> invoker() const;
  void setInvoker(std::weak_ptr<const ZBInvoker> invoker);
  double throttleThreadSleepTime() const { return throttleThreadSleepTime_.load(); }
  void setThrottleThreadSleepTime(double seconds) { throttleThreadSleepTime_.store(seconds); }

  // What an expansion may write in all, by the entries' declared sizes (each entry is held to its
  // own). An archive past it, or past the free space where it would go, is refused before anything
  // is written.
  static constexpr std::uint64_t DefaultMaxExpandedSize = 1ull << 30;
  std::uint64_t maxExpandedSize() const { return maxExpandedSize_.load(); }
  void setMaxExpandedSize(std::uint64_t bytes) { maxExpandedSize_.store(bytes); }
  // The declared sizes of the entries together.
  std::uint64_t expandedSize() const;
  // expandedSize() is within maxExpandedSize() and, for a folder given, within the free space of
  // the file system that holds it (or would, for a folder still to be made).
  bool expansionFits(const std::string& folder) const;

  const std::string& archivePath() const { return archivePath_; }
  const std::vector<ZBCDHeader>& centralDirectory() const { return centralDirectory_; }
  const ZBCDTrailer& cdTrailer() const { return cdTrailer_; }
  std::string description() const;

  // Delegate forwarders (each a no-op without a delegate).
  bool delegateWantsSizes() const { return wantsSizes_.load(); }
  void didBeginZip();
  void didBeginUnzip();
  void willZipPath(const std::string& path);
  void willUnzipPath(const std::string& path);
  void didEndZip();
  void didEndUnzip();
  void didCancel();
  void didFail();
  void didUpdateTotalSize(std::uint64_t size);
  void didUpdateTotalCount(std::uint64_t count);
  void didUpdateBytesWritten(std::uint64_t bytes);

 protected:
  explicit ZBArchive(std::string archivePath);

  using DelegateCall = std::function<void(ZBArchiveDelegate&, ZBArchive&)>;
  // Runs the call on the main thread; alwaysPost posts it even from the main thread.
  void deliver(DelegateCall call, bool alwaysPost = false);

  // Reads the end records and the central directory from a block or an open file; false (and
  // an empty directory) when they are missing, do not fit or a header lacks its signature.
  bool readDirectory(zb::Bytes data);
  bool readDirectory(int fd);
  // The central directory, the Zip64 end record and locator (when needed or forced) and the end
  // record, for a directory starting at cdOffset. Updates the end record's numbers.
  platform::Data directoryBytes(std::uint64_t cdOffset, bool forceZip64);
  // The name of path in the archive relative to base (a prefix), without leading "/".
  static std::string entryName(const std::string& path, const std::string& base);

  // Adding paths through deflateFile (which adds one entry, a result code): a folder adds itself,
  // then its contents in name order, depth first; symbolic links are not followed. The first
  // result other than 1 ends the run.
  using DeflateFile = std::function<int(const std::string& path)>;
  static int deflateFilesWith(const std::vector<std::string>& paths, const DeflateFile& deflateFile);
  static int deflateDirectoryWith(const std::string& path, const DeflateFile& deflateFile);

  // calculateSizeAndItemCount on a thread of its own; the archive joins it before it goes.
  void startSizeCalculation(std::vector<std::string> paths, bool usingResourceFork);

  bool isCancelled() const;
  void throttle() const;
  // Counts processed bytes and reports them every 100 blocks (flush reports the remainder).
  class Progress {
   public:
    explicit Progress(ZBArchive& archive) : archive_(archive), wants_(archive.delegateWantsSizes()) {}
    void block(std::uint64_t bytes);
    void flush();

   private:
    ZBArchive& archive_;
    bool wants_;
    std::uint64_t pending_ = 0;
    unsigned blocks_ = 0;
  };

  std::string archivePath_;
  std::vector<ZBCDHeader> centralDirectory_;
  ZBCDTrailer cdTrailer_;

 private:
  template <class Source>
  bool readDirectoryFrom(const Source& source);
  static int deflateTree(const std::string& path, const DeflateFile& deflateFile);

  mutable platform::Mutex mutex_;
  std::weak_ptr<ZBArchiveDelegate> delegate_ GUARDED_BY(mutex_);
  std::weak_ptr<const ZBInvoker> invoker_ GUARDED_BY(mutex_);
  std::atomic<bool> wantsSizes_{false};
  std::atomic<double> throttleThreadSleepTime_{0};
  std::atomic<std::uint64_t> maxExpandedSize_{DefaultMaxExpandedSize};
  std::thread sizeThread_;
};

}  // namespace kavro
