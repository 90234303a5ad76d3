#pragma once
#include <cstdint>
#include <cstdio>

#include "mapsdk/engine/CVString.h"

namespace gmengine {

// One engine file (stdio underneath), addressed by a UTF-16 path. One thread at a time; offsets
// and lengths are ints, as the engine's files stay small.
class CVFile {
 public:
  // Open flags: read ("rb"), update an existing file ("r+b"), and create/truncate for writing
  // (modeCreate | modeWrite or modeCreate | modeReadWrite: "w+b").
  static constexpr unsigned modeRead = 0x0001;
  static constexpr unsigned modeWrite = 0x0002;
  static constexpr unsigned modeReadWrite = 0x0004;
  static constexpr unsigned modeCreate = 0x1000;
  enum SeekPosition { begin = 0, current = 1, end = 2 };

  CVFile() = default;
  ~CVFile() { Close(); }
  CVFile(const CVFile&) = delete;
  CVFile& operator=(const CVFile&) = delete;

  // 1 when open; a file already open is closed first. 0 for flags the engine does not use.
  int Open(const CVString& path, unsigned flags);
  bool IsOpened() const { return file_ != nullptr; }
  void Close();

  // Bytes read or written (0 when nothing could be, or no file is open).
  int Read(void* buffer, int count);
  int Write(const void* buffer, int count);
  // Moves to offset from the given position; the new offset, -1 on failure.
  int Seek(int offset, int from = begin);
  void SeekToBegin() { Seek(0, begin); }
  // The end offset (the length), -1 on failure.
  int SeekToEnd() { return Seek(0, end); }
  int GetPosition() const;
  int GetLength() const;
  int Flush();
  // Cuts (or extends) the file to length bytes; 1 on success.
  int SetLength(int length);

 private:
  // stdio wants a seek or flush between reading and writing; the engine's callers do not.
  enum class LastOp { None, Read, Write };
  std::FILE* file_ = nullptr;
  LastOp lastOp_ = LastOp::None;
};

// An advisory lock on a file (made when missing) that other processes take too: one holder at a
// time, from TryLock until Unlock or the object goes. A process that ends lets it go.
class CVFileLock {
 public:
  CVFileLock() = default;
  ~CVFileLock() { Unlock(); }
  CVFileLock(const CVFileLock&) = delete;
  CVFileLock& operator=(const CVFileLock&) = delete;

  // True when this object holds the lock now; false when another holder has it or the file cannot
  // be opened. Never waits.
  bool TryLock(const CVString& path);
  void Unlock();

 private:
  int fd_ = -1;
};

}  // namespace gmengine
