#include "kit/codec/zip/ZBExpansion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

namespace kavro {

namespace {

std::vector<std::string> split(const std::string& relative) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    parts.push_back(relative.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// The process's umask, read without changing it (umask() both sets and reads, racing with files
// other threads create meanwhile).
mode_t processUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status))
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask & 0777);
  }
  mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

struct timespec toTimespec(platform::Date date) {
  double seconds = date.timeIntervalSince1970();
  double whole = std::floor(seconds);
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(whole);
  ts.tv_nsec = static_cast<long>((seconds - whole) * 1e9);
  return ts;
}

}  // namespace

std::optional<ZBExpansion> ZBExpansion::open(const std::string& folder) {
  zb::FileDescriptor root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root.valid()) return std::nullopt;
  return ZBExpansion(folder, std::move(root));
}

std::optional<std::string> ZBExpansion::safeRelativePath(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) return std::nullopt;
  std::string out;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t slash = name.find('/', start);
    if (slash == std::string_view::npos) slash = name.size();
    std::string_view part = name.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return std::nullopt;
    if (!out.empty()) out += '/';
    out += part;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

bool ZBExpansion::claim(const std::string& relative) { return claimed_.insert(relative).second; }

zb::FileDescriptor ZBExpansion::openFolder(const std::vector<std::string>& components, std::size_t count,
                                           bool create) const {
  zb::FileDescriptor current(::openat(root_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  for (std::size_t i = 0; i < count && current.valid(); ++i) {
    const char* name = components[i].c_str();
    int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = ::openat(current.get(), name, flags);
    if (next < 0 && errno == ENOENT && create) {
      if (::mkdirat(current.get(), name, 0777) != 0 && errno != EEXIST) return {};
      next = ::openat(current.get(), name, flags);
    }
    current.reset(next);
  }
  return current;
}

zb::FileDescriptor ZBExpansion::openParent(const std::vector<std::string>& components, bool create) const {
  return openFolder(components, components.size() - 1, create);
}

zb::FileDescriptor ZBExpansion::createFile(const std::string& relative) {
  std::vector<std::string> parts = split(relative);
  zb::FileDescriptor parent = openParent(parts, true);
  if (!parent.valid()) return {};
  return zb::FileDescriptor(::openat(parent.get(), parts.back().c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
}

bool ZBExpansion::createDirectory(const std::string& relative) {
  std::vector<std::string> parts = split(relative);
  return openFolder(parts, parts.size(), true).valid();
}

bool ZBExpansion::createLink(const std::string& relative, const std::string& destination) {
  std::vector<std::string> parts = split(relative);
  zb::FileDescriptor parent = openParent(parts, true);
  return parent.valid() && ::symlinkat(destination.c_str(), parent.get(), parts.back().c_str()) == 0;
}

bool ZBExpansion::setAttributes(const std::string& relative, std::uint32_t permissions,
                                platform::Date modificationDate) {
  std::vector<std::string> parts = split(relative);
  zb::FileDescriptor parent = openParent(parts, false);
  if (!parent.valid()) return false;
  const char* name = parts.back().c_str();
  struct stat st;
  if (::fstatat(parent.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  bool ok = true;
  // Links have no permissions of their own here; changing them would change their target's. As
  // extraction tools do, an entry never brings setuid, setgid or sticky bits, and the umask takes
  // away what the process does not hand out (the client's home stays private through its own).
  if (!S_ISLNK(st.st_mode)) ok = ::fchmodat(parent.get(), name, permissions & 0777 & ~processUmask(), 0) == 0;
  struct timespec times[2] = {toTimespec(modificationDate), toTimespec(modificationDate)};
  return ::utimensat(parent.get(), name, times, AT_SYMLINK_NOFOLLOW) == 0 && ok;
}

}  // namespace kavro
