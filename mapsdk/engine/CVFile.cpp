#include "mapsdk/engine/CVFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <climits>

namespace gmengine {

int CVFile::Open(const CVString& path, unsigned flags) {
  Close();
  const char* mode = nullptr;
  if (flags & modeCreate) {
    if (flags & (modeWrite | modeReadWrite)) mode = "w+b";
  } else if (flags & modeReadWrite) {
    mode = "r+b";
  } else if (flags & modeRead) {
    mode = "rb";
  }
  if (!mode || path.IsEmpty()) return 0;
  file_ = std::fopen(path.ToUtf8().c_str(), mode);
  return file_ ? 1 : 0;
}

void CVFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  lastOp_ = LastOp::None;
}

int CVFile::Read(void* buffer, int count) {
  if (!file_ || !buffer || count <= 0) return 0;
  if (lastOp_ == LastOp::Write) std::fflush(file_);
  lastOp_ = LastOp::Read;
  return static_cast<int>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_));
}

int CVFile::Write(const void* buffer, int count) {
  if (!file_ || !buffer || count <= 0) return 0;
  if (lastOp_ == LastOp::Read) std::fseek(file_, 0, SEEK_CUR);
  lastOp_ = LastOp::Write;
  return static_cast<int>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_));
}

int CVFile::Seek(int offset, int from) {
  if (!file_) return -1;
  int whence = from == current ? SEEK_CUR : (from == end ? SEEK_END : SEEK_SET);
  lastOp_ = LastOp::None;
  if (std::fseek(file_, offset, whence) != 0) return -1;
  return GetPosition();
}

int CVFile::GetPosition() const {
  if (!file_) return -1;
  long at = std::ftell(file_);
  return at < 0 || at > INT_MAX ? -1 : static_cast<int>(at);
}

int CVFile::GetLength() const {
  if (!file_) return -1;
  long at = std::ftell(file_);
  if (at < 0 || std::fseek(file_, 0, SEEK_END) != 0) return -1;
  long length = std::ftell(file_);
  std::fseek(file_, at, SEEK_SET);
  return length < 0 || length > INT_MAX ? -1 : static_cast<int>(length);
}

int CVFile::SetLength(int length) {
  if (!file_ || length < 0) return 0;
  std::fflush(file_);
  lastOp_ = LastOp::None;
  return ftruncate(fileno(file_), length) == 0 ? 1 : 0;
}

int CVFile::Flush() {
  lastOp_ = LastOp::None;
  return file_ && std::fflush(file_) == 0 ? 1 : 0;
}

bool CVFileLock::TryLock(const CVString& path) {
  if (fd_ >= 0) return true;
  if (path.IsEmpty()) return false;
  const int fd = ::open(path.ToUtf8().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void CVFileLock::Unlock() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing lets the lock go
  fd_ = -1;
}

}  // namespace gmengine
