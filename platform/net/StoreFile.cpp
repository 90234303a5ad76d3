#include "platform/net/StoreFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileManager.h"

namespace platform::storefile {

std::string escapeField(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

ReadResult forEachLine(const std::string& path, const std::function<void(const std::string&)>& line) {
  Error error;
  auto contents = FileManager::contentsAtPath(path, &error);
  if (!contents) return error.code == ENOENT ? ReadResult::Absent : ReadResult::Failed;
  std::istringstream in(stringFromData(*contents));
  std::string text;
  while (std::getline(in, text)) line(text);
  return ReadResult::Read;
}

bool write(const std::string& path, const std::string& text, bool ownerOnly, int* error) {
  std::string folder = path.substr(0, path.rfind('/'));
  FileManager::createDirectoryAtPath(folder, true);
  // Created owner-only first: the atomic replacement keeps an existing file's permissions.
  if (ownerOnly && !FileManager::fileExistsAtPath(path)) {
    FileManager::createFileAtPath(path, {});
    ::chmod(path.c_str(), 0600);
  }
  Error failure;
  if (FileManager::createFileAtPath(path, dataFromString(text), &failure)) return true;
  if (error)
    *error = failure.domain == POSIXErrorDomain && failure.code ? static_cast<int>(failure.code) : EIO;
  return false;
}

void sayFailedSave(std::string_view what, int error, std::string& said) {
  std::string cause;
  if (error == ENOSPC || error == EDQUOT)
    cause = "the disk is full";
  else if (error == EROFS || error == EACCES || error == EPERM)
    cause = "the file is read-only";
  else if (error == EIO)
    cause = "an I/O error";
  else
    cause = std::strerror(error);
  if (cause == said) return;
  said = cause;
  std::fprintf(stderr,
               "kavro: %.*s could not be saved: %s; the file keeps what it held, and the change is kept for "
               "this session and saved with the next one\n",
               static_cast<int>(what.size()), what.data(), cause.c_str());
}

}  // namespace platform::storefile
