#pragma once
#include <cjson/cJSON.h>

#include <memory>
#include <string>

#include "mapsdk/engine/VCodePage.h"
#include "mapsdk/engine/VMemory.h"

namespace searchtest {

// A map service answer as the engine parses it: the UTF-8 text in the double-byte code page.
struct Tree {
  explicit Tree(const std::string& utf8) {
    int length = 0;
    char* gbk = gmengine::Utf8ToGbk(utf8.c_str(), static_cast<int>(utf8.size()), &length);
    if (gbk) {
      root = cJSON_ParseWithLength(gbk, static_cast<std::size_t>(length));
      gmengine::VFree(gbk);
    }
  }
  ~Tree() { cJSON_Delete(root); }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  cJSON* root = nullptr;
};

// A point geometry text ("." then the point, ";" at index 14).
inline std::string PointGeo(int x, int y) {
  std::string text = "." + std::to_string(x) + "," + std::to_string(y);
  text.resize(14, ' ');
  return text + ";";
}

// A line geometry text: a 33-character header ending in "-", then the parts.
inline std::string LineGeo(const std::string& parts) { return std::string(32, 'L') + "-" + parts; }

inline std::string Utf8(const char* gbk) {
  return gmengine::MultiByteToCVString(gmengine::CP_ACP, gbk).ToUtf8();
}

}  // namespace searchtest
