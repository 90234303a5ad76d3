#include "platform/foundation/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string str(std::string_view s) { return std::string(s); }

bool fail(Error* error, int code, std::string_view what, std::string_view path) {
  if (error) {
    *error = Error{};
    error->domain = POSIXErrorDomain;
    error->code = code;
    error->localizedDescription =
        std::string(what) + " \"" + std::string(path) + "\": " + std::strerror(code);
  }
  return false;
}

bool fail(Error* error, const std::error_code& ec, std::string_view what, std::string_view path) {
  return fail(error, ec.value() ? ec.value() : EIO, what, path);
}

double seconds(const struct statx_timestamp& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool lstatExists(const std::string& path, struct stat* st = nullptr) {
  struct stat local;
  return ::lstat(path.c_str(), st ? st : &local) == 0;
}

std::string parentOf(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

bool writeAll(int fd, const Data& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Entry names of one folder, sorted; nullopt with errno set when it cannot be read.
std::optional<std::vector<std::string>> listFolder(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  errno = 0;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
    errno = 0;
  }
  int readError = errno;
  ::closedir(dir);
  if (readError) {
    errno = readError;
    return std::nullopt;
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

bool FileManager::fileExistsAtPath(std::string_view path, bool* isDirectory) {
  struct stat st;
  bool exists = !path.empty() && ::stat(str(path).c_str(), &st) == 0;
  if (isDirectory) *isDirectory = exists && S_ISDIR(st.st_mode);
  return exists;
}

std::optional<FileAttributes> FileManager::attributesOfItemAtPath(std::string_view path, Error* error) {
  if (path.empty()) {
    fail(error, ENOENT, "Could not read the attributes of", path);
    return std::nullopt;
  }
  struct statx stx;
  if (::statx(AT_FDCWD, str(path).c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
    fail(error, errno, "Could not read the attributes of", path);
    return std::nullopt;
  }
  FileAttributes a;
  if (S_ISREG(stx.stx_mode))
    a.type = FileType::Regular;
  else if (S_ISDIR(stx.stx_mode))
    a.type = FileType::Directory;
  else if (S_ISLNK(stx.stx_mode))
    a.type = FileType::SymbolicLink;
  a.size = static_cast<std::int64_t>(stx.stx_size);
  a.modificationDate = seconds(stx.stx_mtime);
  a.creationDate = (stx.stx_mask & STATX_BTIME) ? seconds(stx.stx_btime) : seconds(stx.stx_ctime);
  a.posixPermissions = stx.stx_mode & 07777;
  return a;
}

bool FileManager::isReadableFileAtPath(std::string_view path) {
  return !path.empty() && ::access(str(path).c_str(), R_OK) == 0;
}

bool FileManager::isWritableFileAtPath(std::string_view path) {
  return !path.empty() && ::access(str(path).c_str(), W_OK) == 0;
}

bool FileManager::isDeletableFileAtPath(std::string_view path) {
  std::string p = str(path);
  struct stat item, folder;
  if (p.empty() || !lstatExists(p, &item)) return false;
  std::string parent = parentOf(p);
  if (::access(parent.c_str(), W_OK | X_OK) != 0 || ::stat(parent.c_str(), &folder) != 0) return false;
  // In a sticky folder only the owners (or the superuser) may remove an entry.
  if (folder.st_mode & S_ISVTX) {
    uid_t me = ::geteuid();
    return me == 0 || me == item.st_uid || me == folder.st_uid;
  }
  return true;
}

bool FileManager::createDirectoryAtPath(std::string_view path, bool withIntermediateDirectories,
                                        Error* error) {
  const char* what = "Could not create the folder";
  if (path.empty()) return fail(error, ENOENT, what, path);
  std::string p = str(path);
  if (!withIntermediateDirectories) {
    if (::mkdir(p.c_str(), PrivateFolderMode) != 0) return fail(error, errno, what, path);
    return true;
  }
  // Every folder made on the way is private too: component by component, not create_directories
  // (which makes them 0777 less the umask).
  fs::path whole = fs::path(p).lexically_normal();
  fs::path made;
  for (const auto& part : whole) {
    made /= part;
    if (part.empty() || part == "/" || part == "." || part == "..") continue;
    if (::mkdir(made.c_str(), PrivateFolderMode) != 0 && errno != EEXIST)
      return fail(error, errno, what, path);
  }
  bool isDir = false;
  if (!fileExistsAtPath(p, &isDir) || !isDir) return fail(error, ENOTDIR, what, path);
  return true;
}

bool FileManager::removeItemAtPath(std::string_view path, Error* error) {
  const char* what = "Could not remove";
  std::string p = str(path);
  if (p.empty() || !lstatExists(p)) return fail(error, ENOENT, what, path);
  std::error_code ec;
  fs::remove_all(p, ec);
  if (ec) return fail(error, ec, what, path);
  return true;
}

bool FileManager::moveItemAtPath(std::string_view path, std::string_view toPath, Error* error) {
  const char* what = "Could not move";
  std::string from = str(path), to = str(toPath);
  if (from.empty() || !lstatExists(from)) return fail(error, ENOENT, what, path);
  if (to.empty()) return fail(error, ENOENT, what, toPath);
  if (lstatExists(to)) return fail(error, EEXIST, what, toPath);
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return fail(error, errno, what, path);
  if (!copyItemAtPath(from, to, error)) return false;
  return removeItemAtPath(from, error);
}

bool FileManager::copyItemAtPath(std::string_view path, std::string_view toPath, Error* error) {
  const char* what = "Could not copy";
  std::string from = str(path), to = str(toPath);
  if (from.empty() || !lstatExists(from)) return fail(error, ENOENT, what, path);
  if (to.empty()) return fail(error, ENOENT, what, toPath);
  if (lstatExists(to)) return fail(error, EEXIST, what, toPath);
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) {
    // No half copy left behind.
    std::error_code ignored;
    fs::remove_all(to, ignored);
    return fail(error, ec, what, path);
  }
  return true;
}

std::optional<std::vector<std::string>> FileManager::contentsOfDirectoryAtPath(std::string_view path,
                                                                               Error* error) {
  auto names = listFolder(str(path));
  if (!names) fail(error, errno, "Could not list the folder", path);
  return names;
}

std::optional<std::vector<std::string>> FileManager::subpathsOfDirectoryAtPath(std::string_view path,
                                                                               Error* error) {
  const char* what = "Could not list the folder";
  std::string root = str(path);
  auto top = listFolder(root);
  if (!top) {
    fail(error, errno, what, path);
    return std::nullopt;
  }
  std::vector<std::string> out;
  // Pending relative paths, last to visit first.
  std::vector<std::string> pending(top->rbegin(), top->rend());
  while (!pending.empty()) {
    std::string rel = std::move(pending.back());
    pending.pop_back();
    struct stat st;
    std::string full = root + "/" + rel;
    bool isFolder = ::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    out.push_back(rel);
    if (!isFolder) continue;
    auto names = listFolder(full);
    if (!names) {
      fail(error, errno, what, full);
      return std::nullopt;
    }
    for (auto it = names->rbegin(); it != names->rend(); ++it) pending.push_back(rel + "/" + *it);
  }
  return out;
}

std::optional<Data> FileManager::contentsAtPath(std::string_view path, Error* error) {
  const char* what = "Could not read";
  if (path.empty()) {
    fail(error, ENOENT, what, path);
    return std::nullopt;
  }
  int fd = ::open(str(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    fail(error, errno, what, path);
    return std::nullopt;
  }
  struct stat st;
  int statCode = ::fstat(fd, &st) != 0 ? errno : 0;
  if (statCode || !S_ISREG(st.st_mode)) {
    int code = statCode ? statCode : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    fail(error, code, what, path);
    return std::nullopt;
  }
  Data data;
  data.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int code = errno;
      ::close(fd);
      fail(error, code, what, path);
      return std::nullopt;
    }
    if (n == 0) break;
    data.insert(data.end(), buffer, buffer + n);
  }
  ::close(fd);
  return data;
}

bool FileManager::createFileAtPath(std::string_view path, const Data& contents, Error* error) {
  const char* what = "Could not write";
  std::string target = str(path);
  if (target.empty()) return fail(error, ENOENT, what, path);
  mode_t mode = PrivateFileMode;
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(error, EISDIR, what, path);
    // The rename would put a file in the place of a device, a pipe or a socket ("/dev/full").
    if (!S_ISREG(st.st_mode)) {
      fail(error, EINVAL, what, path);
      if (error) error->localizedDescription = std::string(what) + " \"" + target + "\": not a regular file";
      return false;
    }
    // A file written again keeps what its owner may do, and is private from then on.
    mode = st.st_mode & 0700;
  }
  std::string folder = parentOf(target);
  // Named after the target (shortened to stay within the name limit) so a leftover is recognisable.
  std::string tmp = folder + "/." + fs::path(target).filename().string().substr(0, 200) + ".XXXXXX";
  int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return fail(error, errno, what, path);
  bool ok = writeAll(fd, contents) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  int code = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    return fail(error, code ? code : EIO, what, path);
  }
  // Make the rename itself durable.
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace platform
