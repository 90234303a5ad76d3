#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Object.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/ImageCodec.h"

namespace platform {

// How the stored pixels are turned to be seen upright (the platform's numbering).
enum class ImageOrientation {
  Up = 0,            // as stored
  Down = 1,          // turned half a turn
  Left = 2,          // stored pixels turned a quarter turn anticlockwise to be seen
  Right = 3,         // stored pixels turned a quarter turn clockwise (a camera held upright)
  UpMirrored = 4,    // mirrored left to right
  DownMirrored = 5,  // mirrored top to bottom
  LeftMirrored = 6,  // mirrored, then as Left
  RightMirrored = 7  // mirrored, then as Right
};

// One frame of an animated picture.
struct ImageFrame {
  std::shared_ptr<const Bitmap> bitmap;
  double delay = 0;  // seconds, as the file says
};

// A picture: immutable pixels with a scale (pixels per point) and an orientation, the frames of an
// animated GIF, and, for a stretchable picture, the cap insets with which it is drawn (the caps keep
// their size, the middle stretches). Images are shared and never change; the operations that
// "change" one return a new image over the same pixels. Safe to read from any thread.
class Image : public Object {
  struct Private {};

 public:
  // PNG, JPEG or GIF (all frames) from memory; nullptr for anything else or damaged, truncated or
  // oversized data. scale: pixels per point (2 for a "@2x" picture); values of 0 or less count as 1.
  static std::shared_ptr<Image> imageWithData(const Data& data, double scale = 1.0,
                                              const DecodeLimits& limits = {});
  // A file; its scale from the name: "@2x" or "@3x" just before the extension (or at the end of a
  // name without one) makes 2 or 3, else 1.
  static std::shared_ptr<Image> imageWithContentsOfFile(std::string_view path);
  // A picture of the bundle's resources (Environment::resourcePath). With a screen scale of 2 the
  // "@2x" file is taken when there is one, else the plain file; a name without an extension is
  // looked up as ".png". nullptr when neither is there or decodes.
  static std::shared_ptr<Image> imageNamed(std::string_view name, double screenScale = 2.0);
  // Over existing pixels (nullptr for a null or empty bitmap).
  static std::shared_ptr<Image> imageWithBitmap(std::shared_ptr<const Bitmap> bitmap, double scale = 1.0,
                                                ImageOrientation orientation = ImageOrientation::Up);
  static std::shared_ptr<Image> imageWithBitmap(Bitmap bitmap, double scale = 1.0,
                                                ImageOrientation orientation = ImageOrientation::Up);
  // The same pixels (and frames) with another scale and orientation; caps are not carried over.
  static std::shared_ptr<Image> imageWithImage(const Image& image, double scale,
                                               ImageOrientation orientation);
  // An animated picture from frames of one pixel size; nullptr when there are none or sizes differ.
  static std::shared_ptr<Image> animatedImageWithFrames(std::vector<ImageFrame> frames, double scale = 1.0);

  // "name@2x.ext" for "name.ext" (the "@2x" goes before the last "." of the file name, or at the
  // end when it has none), as the platform names its high-resolution pictures.
  static std::string highResolutionName(std::string_view name);
  // 2 or 3 for a name that ends (before its extension) in "@2x" or "@3x"; else 1.
  static double scaleOfFileName(std::string_view path);

  // In points: the pixel size divided by the scale, width and height swapped when the orientation
  // turns the picture a quarter turn.
  Size size() const;
  double scale() const { return scale_; }
  ImageOrientation imageOrientation() const { return orientation_; }
  // The pixels as stored (orientation not applied); for an animated picture the first frame's.
  const std::shared_ptr<const Bitmap>& bitmap() const { return frames_.front().bitmap; }
  // The pixels as seen: the orientation applied.
  Bitmap uprightBitmap() const;

  // A still picture has one frame with delay 0.
  const std::vector<ImageFrame>& frames() const { return frames_; }
  std::size_t frameCount() const { return frames_.size(); }
  bool isAnimated() const { return frames_.size() > 1; }
  // The sum of the delays.
  double duration() const;

  // Stretchable forms. resizableImageWithCapInsets: caps in points as given (negative ones count
  // as 0). stretchableImageWithLeftCapWidth: the right cap is width − left − 1 and the bottom cap
  // height − top − 1, so one point in the middle stretches; a left (top) cap of 0 stretches the
  // whole width (height).
  std::shared_ptr<Image> resizableImageWithCapInsets(const EdgeInsets& capInsets) const;
  std::shared_ptr<Image> stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const;
  bool isResizable() const { return resizable_; }
  const EdgeInsets& capInsets() const { return capInsets_; }
  // As given to stretchableImageWithLeftCapWidth (0 otherwise).
  int leftCapWidth() const { return leftCapWidth_; }
  int topCapHeight() const { return topCapHeight_; }

  // The picture as seen (orientation applied) as a baseline JPEG at quality 0...1 (transparent
  // parts black) or as a PNG. Empty on failure.
  Data JPEGRepresentation(double quality) const;
  Data PNGRepresentation() const;

  // "<Image 120x80 @2x>" with the orientation and frame count where they are not the defaults.
  std::string description() const override;

  Image(Private, std::vector<ImageFrame> frames, double scale, ImageOrientation orientation);

 private:
  std::vector<ImageFrame> frames_;
  double scale_ = 1.0;
  ImageOrientation orientation_ = ImageOrientation::Up;
  bool resizable_ = false;
  EdgeInsets capInsets_;
  int leftCapWidth_ = 0;
  int topCapHeight_ = 0;
};

using ImagePtr = std::shared_ptr<Image>;

}  // namespace platform
