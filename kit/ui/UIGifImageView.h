#pragma once
#include <memory>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"

namespace kavro {

// Plays an animated GIF from a file or from memory: one frame every 0.12 s whatever the file's
// delays, looping; the first frame shown is frame 1 (frame 0 for a single frame). The timer
// runs while the view is in a superview's care and stops at removeFromSuperview. Main thread.
class UIGifImageView : public platform::View {
 public:
  static std::shared_ptr<UIGifImageView> create(platform::Rect frame, const std::string& filePath);
  static std::shared_ptr<UIGifImageView> create(platform::Rect frame, const platform::Data& data);
  ~UIGifImageView() override;

  void play();
  void stop();
  // The frame on show ("the layer's contents"); null before the first or without frames.
  const std::shared_ptr<platform::Image>& contents() const { return contents_; }
  std::size_t index() const { return index_; }
  std::size_t count() const { return count_; }

 protected:
  void didMoveToSuperview() override;

 private:
  void start(std::shared_ptr<platform::Image> gif);

  std::shared_ptr<platform::Image> gif_;
  std::size_t index_ = 0;
  std::size_t count_ = 0;
  std::shared_ptr<platform::Timer> timer_;
  std::shared_ptr<platform::Image> contents_;

 protected:
  explicit UIGifImageView(platform::Rect frame);
};

}  // namespace kavro
