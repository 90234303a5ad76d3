#include "platform/net/StoreFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
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

bool write(const std::string& path, const std::string& text, bool ownerOnly) {
  std::string folder = path.substr(0, path.rfind('/'));
  FileManager::createDirectoryAtPath(folder, true);
  // Created owner-only first: the atomic replacement keeps an existing file's permissions.
  if (ownerOnly && !FileManager::fileExistsAtPath(path)) {
    FileManager::createFileAtPath(path, {});
    ::chmod(path.c_str(), 0600);
  }
  return FileManager::createFileAtPath(path, dataFromString(text));
}

}  // namespace platform::storefile
