#pragma once
#include <memory>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace kavro {

class CommonHud;
struct CommonHudQueueItem;

// The caption's layer: the caption in the bold system font of 14 points, word-wrapped, centred,
// white over a one-point black shadow (drawn by the snapshot renderer from these facts).
struct CommonTextLayer {
  platform::Rect frame;
  std::string caption;
};

// The progress bar's layer: an outline inset by the border width and a fill inset further by the
// bar inset, its width times the progress. Nothing is drawn while the progress is 0.
struct CommonProgressLayer {
  platform::Rect frame;
  double theProgress = 0;
  double progressBorderWidth = 0;
  double progressBorderRadius = 0;
  double progressBarRadius = 0;
  double progressBarInset = 0;
  int displayCount = 0;
  // In the layer's own coordinates; empty when nothing is drawn.
  platform::Rect outlineRect() const;
  platform::Rect fillRect() const;
};

// The image layer and the box background (black at the HUD's alpha, drawn over the box's opaque
// backing).
struct CommonHudImageLayer {
  platform::Rect frame;
  std::shared_ptr<platform::Image> contents;
};
struct CommonHudBackgroundLayer {
  platform::Rect bounds;
  platform::Point position;
  double cornerRadius = 10;
  platform::Color color = platform::Color::black();
};

// The HUD's box: computes its size and the places of caption, indicator, image and progress bar
// from the HUD's settings and runs the show, update and hide transitions with the HUD delegate's
// events. Made and owned by a CommonHud, whose settings it reads through a back reference. Main
// thread only.
class CommonHudView : public platform::View {
 public:
  CommonHudView(platform::Rect frame, CommonHud* controller);

  void show();
  void update();
  void hide();
  // Back to idle: the HUD's fields at their defaults, the layers emptied.
  void reset();
  void calculate();
  platform::Size calculateSizeForQueueItem(const CommonHudQueueItem& item) const;
  static platform::Size sizeForActivityStyle(int style);
  static platform::Rect sharpRect(platform::Rect r);
  static platform::Point sharpPoint(platform::Point p);
  // The HUD is going: no more reads of its settings, no more events.
  void detach() { p_ = nullptr; }

  const std::string& caption() const { return caption_; }
  void setCaption(std::string c) { caption_ = std::move(c); }
  const std::shared_ptr<platform::Image>& image() const { return image_; }
  void setImage(std::shared_ptr<platform::Image> i) { image_ = std::move(i); }
  const std::shared_ptr<platform::ActivityIndicatorView>& activity() const { return activity_; }
  int activityStyle() const { return activityStyle_; }
  void setActivityStyle(int s) { activityStyle_ = s; }
  bool showActivity() const { return showActivity_; }
  void setShowActivity(bool s) { showActivity_ = s; }
  double progress() const { return progress_; }
  // Clamped to 0...1; a value above 0 and below 0.08 becomes 0.08.
  void setProgress(double p);
  platform::Size fixedSize() const { return fixedSize_; }
  void setFixedSize(platform::Size s) { fixedSize_ = s; }
  platform::Size activitySize() const { return activitySize_; }
  void setActivitySize(platform::Size s) { activitySize_ = s; }

  const platform::Rect& targetBounds() const { return targetBounds_; }
  const platform::Rect& captionRect() const { return captionRect_; }
  const platform::Rect& progressRect() const { return progressRect_; }
  const platform::Rect& activityRect() const { return activityRect_; }
  const platform::Rect& imageRect() const { return imageRect_; }

  CommonHudBackgroundLayer& backgroundLayer() { return backgroundLayer_; }
  const CommonTextLayer& captionLayer() const { return captionLayer_; }
  const CommonHudImageLayer& imageLayer() const { return imageLayer_; }
  CommonProgressLayer& progressLayer() { return progressLayer_; }
  // The views that draw the caption and the image while the box is shown.
  const std::shared_ptr<platform::Label>& captionLabel() const { return captionLabel_; }
  const std::shared_ptr<platform::ImageView>& imageView() const { return imageView_; }

 private:
  platform::Size measureCaption(double widthLimit) const;
  double accessoryExtent(bool horizontal) const;
  void placeBox();
  void applyWithMode(int mode);
  void copyBarMeasures();
  void placeIndicator();
  // The layers' contents into the views a picture shows.
  void showLayers();

  std::string caption_;
  std::shared_ptr<platform::Image> image_;
  std::shared_ptr<platform::ActivityIndicatorView> activity_;
  int activityStyle_ = 1;
  CommonHud* p_;  // owns this view
  bool showActivity_ = false;
  double progress_ = 0;
  platform::Rect targetBounds_;
  platform::Rect captionRect_;
  platform::Rect progressRect_{0, 0, 210, 20};
  platform::Rect activityRect_;
  platform::Rect imageRect_;
  platform::Size fixedSize_;
  platform::Size activitySize_{20, 20};
  platform::Size captionSize_;
  CommonHudBackgroundLayer backgroundLayer_;
  CommonHudImageLayer imageLayer_;
  CommonTextLayer captionLayer_;
  CommonProgressLayer progressLayer_;
  std::shared_ptr<platform::Label> captionLabel_;
  std::shared_ptr<platform::ImageView> imageView_;
  // Draws the background layer, over the box's opaque backing.
  std::shared_ptr<platform::View> backgroundView_;
};

}  // namespace kavro
