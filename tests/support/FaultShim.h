#pragma once
#include <cerrno>
#include <string>
#include <utility>

namespace kavro::test {

// A failing disk from outside the process: libkavro_fault_shim.so (tests/support/FaultShim.c), a
// preloaded library that stands in front of the C library's read, pread, pread64, write, pwrite,
// pwrite64, ftruncate, ftruncate64, fsync, fdatasync, rename, renameat and renameat2. Calls on a
// file whose path matches a pattern are counted; the chosen ones fail with an errno (EIO, ENOSPC,
// ...) and do nothing, or kill the process (SIGKILL) where they would have run. Memory-mapped
// files (SQLite's -shm) are not seen. A call's file is found by its descriptor
// (/proc/self/fd), so files opened in any way are covered.
//
// Use in a test program (a program of its own: the library is in front of every file call):
//
//   // the shim's path, from CMake: $<TARGET_FILE:kavro_fault_shim>
//   static const bool shim = kavro::test::FaultShim::rerunWithShim(KAVRO_FAULT_SHIM);
//   ...
//   FaultShim::arm({.path = "KavroCacheData.db-wal", .calls = FaultShim::Writes, .skip = 2, .times = 1});
//   ... use the store: the third write of the log fails with EIO ...
//   FaultShim::disarm();   // or let `times` run out: later calls pass again
//   EXPECT_EQ(FaultShim::failed(), 1);
//
// rerunWithShim runs the program again (exec, same arguments) with LD_PRELOAD set, unless the shim
// is already in. Under AddressSanitizer the sanitizer's runtime must come first in the preload list
// (it checks, and aborts otherwise), so when the program has libasan.so mapped, that path goes
// first and the shim second: the runtime's own interceptors of read and write then call the shim's,
// which call the C library's. A runtime linked statically (clang's default) intercepts in the
// program itself and needs nothing in front. The shim is built without sanitizers.
//
// From a shell, the environment arms the shim when it loads, for any program:
//   LD_PRELOAD=[libasan.so:]libkavro_fault_shim.so KAVRO_FAULT_PATH=KavroCacheData.db
//     KAVRO_FAULT_CALLS=read KAVRO_FAULT_SKIP=10 KAVRO_FAULT_TIMES=1 KAVRO_FAULT_ERRNO=EIO program
// KAVRO_FAULT_CALLS lists any of read, write, sync, rename (all but rename when unset);
// KAVRO_FAULT_TIMES=0 fails every matching call from the first chosen one on; KAVRO_FAULT_ERRNO is
// EIO, ENOSPC, EROFS, EDQUOT or a number; KAVRO_FAULT_ACTION=kill kills instead of failing.
class FaultShim {
 public:
  enum Calls : unsigned { Reads = 1, Writes = 2, Syncs = 4, Renames = 8 };
  struct Fault {
    // A part of the file's path; a trailing '$' anchors it at the end ("KavroCoreData.db$" is the
    // store alone, not its -wal). A rename matches by either of its paths.
    std::string path;
    unsigned calls = Reads | Writes | Syncs;
    long skip = 0;   // matching calls let through first
    long times = 1;  // then this many fail in a row; 0: every one from there on
    int error = EIO;
    bool kill = false;  // SIGKILL at the chosen call instead of failing it
  };

  // True once the shim is loaded; otherwise runs this program again with it (see above) and
  // returns false only when that could not be done.
  static bool rerunWithShim(const std::string& shimPath);
  static bool loaded();
  // Counting starts anew at every arm.
  static void arm(const Fault& fault);
  static void disarm();
  // Calls that matched since the last arm, and how many of them were made to fail.
  static long matched();
  static long failed();
};

// The faults of a differential run of a store whose file is read late against one whose file
// always reads: reads fail on the late side alone, writes on both sides alike (so that the plain
// side's file is never read late meanwhile), and never both at once.
class FaultTurns {
 public:
  FaultTurns(FaultShim::Fault lateReads, FaultShim::Fault bothWrites)
      : lateReads_(std::move(lateReads)), bothWrites_(std::move(bothWrites)) {}
  enum Turn { FailReads, ReadsWork, FailWrites, WritesWork, AllWork };
  // Arms the shim for the turn.
  void take(Turn turn) {
    if (turn == FailReads) readsFail_ = true;
    if (turn == ReadsWork || turn == AllWork) readsFail_ = false;
    if (turn == FailWrites) writesFail_ = !readsFail_;
    if (turn == WritesWork || turn == AllWork) writesFail_ = false;
    FaultShim::disarm();
    if (readsFail_)
      FaultShim::arm(lateReads_);
    else if (writesFail_)
      FaultShim::arm(bothWrites_);
  }
  bool readsFail() const { return readsFail_; }

 private:
  FaultShim::Fault lateReads_, bothWrites_;
  bool readsFail_ = false, writesFail_ = false;
};

}  // namespace kavro::test
