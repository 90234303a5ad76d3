#pragma once
#include <memory>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/View.h"

namespace platform {

// Shows a picture, fitted by the content mode (the snapshot renderer draws it). No user
// interaction by default. Animation frames are kept and reported; nothing cycles through them.
class ImageView : public View {
 public:
  explicit ImageView(Rect frame = {});
  // Sized to the picture at the origin.
  explicit ImageView(std::shared_ptr<Image> image);

  const std::shared_ptr<Image>& image() const { return image_; }
  void setImage(std::shared_ptr<Image> image) { image_ = std::move(image); }
  const std::shared_ptr<Image>& highlightedImage() const { return highlightedImage_; }
  void setHighlightedImage(std::shared_ptr<Image> image) { highlightedImage_ = std::move(image); }
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool h) { highlighted_ = h; }
  // The picture shown now (the highlighted one while highlighted, when there is one).
  std::shared_ptr<Image> currentImage() const;

  const std::vector<std::shared_ptr<Image>>& animationImages() const { return animationImages_; }
  void setAnimationImages(std::vector<std::shared_ptr<Image>> images) {
    animationImages_ = std::move(images);
  }
  double animationDuration() const { return animationDuration_; }
  void setAnimationDuration(double d) { animationDuration_ = d; }
  void startAnimating() { animating_ = !animationImages_.empty(); }
  void stopAnimating() { animating_ = false; }
  bool isAnimating() const { return animating_; }

  // The picture's size in points; zero without one.
  Size sizeThatFits(Size size) const override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  std::shared_ptr<Image> image_;
  std::shared_ptr<Image> highlightedImage_;
  bool highlighted_ = false;
  std::vector<std::shared_ptr<Image>> animationImages_;
  double animationDuration_ = 0;
  bool animating_ = false;
};

}  // namespace platform
