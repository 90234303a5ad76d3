// Skin files come in downloaded packages: any bytes must load as a group (or an empty one) whose
// attributes apply to controls without harm.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "kit/core/DataLoadAndParser.h"
#include "kit/skin/AppSkin.h"
#include "platform/foundation/Environment.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/View.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  auto home = std::filesystem::temp_directory_path() / ("kavro_fuzz_skin_" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  platform::Environment::setHomeRoot(home.string());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  auto& skin = kavro::AppSkin::sharedAppSkin();
  auto loader =
      kavro::DataLoadAndParser::initWithData(std::string_view(reinterpret_cast<const char*>(bytes), size));
  auto result = loader->getResult();
  if (!result) std::abort();
  skin.loadSkinGroup("fuzz", result);
  for (const auto& row : result->dataList()) {
    if (!row) continue;
    std::string target = row->getItemAttribute("skinTarget");
    std::string type = row->getItemAttribute("skinType");
    if (auto m = skin.getSkin(target, type, "fuzz")) {
      for (auto key : {"image", "backgroundImage", "separatorImage"}) skin.imageData(m->item(key).get(), key);
    }
    auto label = std::make_shared<platform::Label>();
    auto button = platform::Button::buttonWithType();
    auto table = std::make_shared<platform::TableView>();
    auto imageView = std::make_shared<platform::ImageView>();
    auto view = std::make_shared<platform::View>();
    for (platform::Object* c :
         {static_cast<platform::Object*>(label.get()), static_cast<platform::Object*>(button.get()),
          static_cast<platform::Object*>(table.get()), static_cast<platform::Object*>(imageView.get()),
          static_cast<platform::Object*>(view.get())}) {
      skin.applyControl(c, type, "fuzz");
    }
    skin.skinSizeForText("skin text", type, "fuzz", 80);
  }
  return 0;
}
