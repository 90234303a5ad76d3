#include "platform/system/Pasteboard.h"

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"

namespace platform {

namespace {

// Letters, digits, "-", "_" and "." stay; every other byte becomes "%XX". A leading "." is
// escaped too, so no name can be "." or ".." or hide as a dot file.
std::string fileNameFor(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                 c == '_' || (c == '.' && i > 0);
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string folderFor(std::string_view name) {
  return Environment::libraryPath() + "/Pasteboards/" + fileNameFor(name);
}

}  // namespace

std::shared_ptr<Pasteboard> Pasteboard::pasteboardWithName(std::string_view name, bool create) {
  if (name.empty()) return nullptr;
  std::string folder = folderFor(name);
  bool isDirectory = false;
  if (!FileManager::fileExistsAtPath(folder, &isDirectory) || !isDirectory) {
    if (!create || !FileManager::createDirectoryAtPath(folder, true)) return nullptr;
  }
  return std::make_shared<Pasteboard>(Token(), std::string(name), std::move(folder));
}

void Pasteboard::removePasteboardWithName(std::string_view name) {
  if (name.empty()) return;
  std::string folder = folderFor(name);
  if (FileManager::fileExistsAtPath(folder)) FileManager::removeItemAtPath(folder);
}

bool Pasteboard::setData(const Data& data, std::string_view pasteboardType) {
  if (pasteboardType.empty()) return false;
  // The pasteboard may have been removed behind this object's back.
  if (!FileManager::createDirectoryAtPath(folder_, true)) return false;
  return FileManager::createFileAtPath(folder_ + "/" + fileNameFor(pasteboardType), data);
}

std::optional<Data> Pasteboard::dataForPasteboardType(std::string_view pasteboardType) const {
  if (pasteboardType.empty()) return std::nullopt;
  std::string path = folder_ + "/" + fileNameFor(pasteboardType);
  if (!FileManager::fileExistsAtPath(path)) return std::nullopt;
  return FileManager::contentsAtPath(path);
}

}  // namespace platform
