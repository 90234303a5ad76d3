#include "platform/system/PhotoAlbum.h"

#include <algorithm>
#include <cstdio>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"

namespace platform {

namespace {

std::string albumFolder() { return Environment::homeRoot() + "/Media/DCIM"; }

// The number of a name "IMG_<digits>.PNG"; 0 for any other name.
int numberOf(const std::string& name) {
  if (name.size() < 9 || name.rfind("IMG_", 0) != 0 || !name.ends_with(".PNG")) return 0;
  std::string digits = name.substr(4, name.size() - 8);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::stoi(digits);
}

}  // namespace

bool PhotoAlbum::saveImage(const Image& image) {
  Data png = image.PNGRepresentation();
  if (png.empty() || !FileManager::createDirectoryAtPath(albumFolder(), true)) return false;
  int next = 1;
  if (auto names = FileManager::contentsOfDirectoryAtPath(albumFolder()))
    for (const std::string& n : *names) next = std::max(next, numberOf(n) + 1);
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%04d.PNG", next);
  return FileManager::createFileAtPath(albumFolder() + "/" + name, png);
}

std::vector<std::string> PhotoAlbum::savedImagePaths() {
  std::vector<std::pair<int, std::string>> found;
  if (auto names = FileManager::contentsOfDirectoryAtPath(albumFolder()))
    for (const std::string& n : *names)
      if (int k = numberOf(n)) found.emplace_back(k, albumFolder() + "/" + n);
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

}  // namespace platform
