#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "kit/ui/UIBasicController.h"

namespace kavro {

// The home screen, root of the main navigation. It shows one entry per feature screen that is
// built into the program: an entry names its screen class, and shows only when that class is
// registered; tapping it opens a new screen of the class from here (so modally, with a way back
// home). Main thread only.
class HomeViewController : public UIBasicController {
 public:
  struct Entry {
    std::string_view className;  // the screen's registered class
    std::string_view titleKey;   // localisation key of the entry's text
  };
  // Every entry, in the order shown.
  static const std::vector<Entry>& entries();

  void customView() override;
  void languageChanged() override;

  // Opens a new screen of the class from the home screen; nullptr when the class is not
  // registered or makes no screen.
  std::shared_ptr<UIBasicController> openScreen(std::string_view className);

 private:
  void layoutEntries();
  std::vector<std::shared_ptr<platform::Button>> buttons_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  HomeViewController() = default;
};

KAVRO_CLASS(HomeViewController, UIBasicController);

}  // namespace kavro
