#pragma once
#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Window.h"

namespace kavro {

// A guide picture (a skin image named by a skin key) shown over the whole application window:
// once forever until tapped away, or at most once in any 86400 s fading by itself. Whether a tip
// was shown is kept in the core database under "STORE_CORE_TIP_MESSAGE". The window keeps a tip
// while it shows. Main thread only.
class UITipsImageView : public platform::ImageView {
 public:
  // A tip that stays until a tap anywhere, aligned to the top of the window.
  static std::shared_ptr<UITipsImageView> showImageSkinName(const std::string& skinKey);
  // A centred tip that removes itself the given seconds after it faded in; taps go through.
  static std::shared_ptr<UITipsImageView> showImageSkinName(const std::string& skinKey,
                                                            unsigned hiddenAfterSeconds);
  // Null (nothing shown) when the key was shown before.
  static std::shared_ptr<UITipsImageView> showImageOnceForever(const std::string& skinKey);
  static void showImageOnceForeverBottomAlign(const std::string& skinKey);
  static void showImageOnceADay(const std::string& skinKey, const std::string& key);
  // The window tips go into (the key window); tests and the runner may replace it.
  static void setWindowProvider(std::function<std::shared_ptr<platform::Window>()> provider);

  void show(bool centered);
  void remove();
  void hiddenImage(platform::Button& button);
  double hiddenAfterSeconds() const { return hiddenAfterSeconds_; }
  void setHiddenAfterSeconds(double s) { hiddenAfterSeconds_ = s; }

 private:
  static std::shared_ptr<platform::Window> window();
  double hiddenAfterSeconds_ = 0;

 protected:
  UITipsImageView();

 private:
  static std::shared_ptr<UITipsImageView> makeTip(const std::string& skinKey);
};

// The same tips under a second name; it shares the memory of shown tips.
class TipsImageView : public UITipsImageView {
 public:
  using UITipsImageView::UITipsImageView;
};

}  // namespace kavro
