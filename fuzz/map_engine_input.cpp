// The map engine's readers of outside input: the tile file cache's index, base64 text and text in
// the engine's code pages. The first byte picks the reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mapsdk/engine/CGridDataFileCache.h"
#include "mapsdk/engine/VBase64.h"
#include "mapsdk/engine/VCodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t* body = data + 1;
  std::size_t length = size - 1;
  switch (data[0] % 3) {
    case 0: {
      std::uint32_t stamp = 0, next = 0;
      std::vector<gmengine::CGridDataFileCache::Entry> entries;
      gmengine::CGridDataFileCache::ParseIndex(body, length, 1u << 20, stamp, next, entries);
      break;
    }
    case 1: {
      std::string text(reinterpret_cast<const char*>(body), length);
      std::vector<unsigned char> out(length + 1);
      gmengine::Base64Decode(out.data(), static_cast<int>(out.size()), text.c_str());
      break;
    }
    default: {
      const char* text = reinterpret_cast<const char*>(body);
      int n = static_cast<int>(length);
      for (unsigned codePage : {gmengine::CP_ACP, gmengine::CP_UTF8}) {
        int needed = gmengine::MultiByteToWideChar(codePage, text, n, nullptr, 0);
        std::u16string units(static_cast<std::size_t>(needed) + 1, u'\0');
        int got = gmengine::MultiByteToWideChar(codePage, text, n, units.data(), needed / 2 + 1);
        std::string back(static_cast<std::size_t>(got) * 4 + 1, '\0');
        gmengine::WideCharToMultiByte(codePage, units.data(), got, back.data(),
                                      static_cast<int>(back.size()));
      }
      break;
    }
  }
  return 0;
}
