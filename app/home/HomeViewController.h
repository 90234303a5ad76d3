#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "kit/ui/UIBasicController.h"

namespace kavro {

// The home screen, root of the main navigation. It shows one entry per feature screen: a button
// named after the screen's class (its accessibility label); tapping it opens a new screen of the
// class from here (so modally, with a way back home). Main thread only.
class HomeViewController : public UIBasicController {
 public:
  struct Entry {
    platform::ClassPtr screenClass;  // a screen class (a UIBasicController)
    std::string_view titleKey;       // localisation key of the entry's text
  };
  // Every entry, in the order shown.
  static const std::vector<Entry>& entries();

  void customView() override;
  void languageChanged() override;

  // Opens a new screen of the entry's class from the home screen.
  std::shared_ptr<UIBasicController> openScreen(const Entry& entry);

 private:
  void layoutEntries();
  std::vector<std::shared_ptr<platform::Button>> buttons_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  HomeViewController() = default;
};

KAVRO_CLASS(HomeViewController, UIBasicController);

}  // namespace kavro
