#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/Responder.h"

namespace platform {

class GestureRecognizer;
class ViewController;
class Window;
class Image;

// The platform's values.
enum class ContentMode {
  ScaleToFill = 0,
  ScaleAspectFit = 1,
  ScaleAspectFill = 2,
  Redraw = 3,
  Center = 4,
  Top = 5,
  Bottom = 6,
  Left = 7,
  Right = 8,
  TopLeft = 9,
  TopRight = 10,
  BottomLeft = 11,
  BottomRight = 12
};

// A rectangle on screen that keeps state and takes touches: the headless view. It holds its
// geometry the way the platform does (bounds, centre and transform; the frame derives from them),
// its subviews (owned, back to front), a link to its superview (not owning), the look (background, alpha,
// border, corner radius, shadow; drawn only by the snapshot renderer), an accessibility label,
// gesture recognizers and the layout hooks.
//
// Autoresizing: when a view's bounds size changes and autoresizesSubviews is on, every subview's
// frame follows the mask. Along each axis the change of the superview's size is shared among the
// flexible parts (left margin, width, right margin; top margin, height, bottom margin) in
// proportion to their current sizes, or equally when they are all 0; with no flexible part the
// view keeps its distance from the left (top) edge.
//
// Layout: setNeedsLayout() marks the view; the marks are worked off, top down, by layoutIfNeeded()
// or by the next pass of the main run loop (UIDriver, describeTree and snapshots lay windows out
// before they look at them). A controller's root view runs its controller's
// viewWillLayoutSubviews/viewDidLayoutSubviews around layoutSubviews().
//
// Animations (animate()) apply their end state at once and deliver the completion after delay +
// duration through the main run loop; the completion hears finished == false when a later
// animation changed the same property of the same view first.
//
// Views are made with std::make_shared; a constructor may already add subviews. Main thread only.
class View : public Responder {
 public:
  // Autoresizing mask bits.
  static constexpr unsigned FlexibleNone = 0;
  static constexpr unsigned FlexibleLeftMargin = 1;
  static constexpr unsigned FlexibleWidth = 2;
  static constexpr unsigned FlexibleRightMargin = 4;
  static constexpr unsigned FlexibleTopMargin = 8;
  static constexpr unsigned FlexibleHeight = 16;
  static constexpr unsigned FlexibleBottomMargin = 32;

  explicit View(Rect frame = {});
  ~View() override;
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // --- Geometry -------------------------------------------------------------------------------
  // The frame in the superview's coordinates: the transformed bounds around the centre.
  Rect frame() const;
  // Sets centre and bounds size (with a transform other than the identity the size is taken as
  // the untransformed size).
  virtual void setFrame(Rect frame);
  const Rect& bounds() const { return bounds_; }
  virtual void setBounds(Rect bounds);
  Point center() const { return center_; }
  void setCenter(Point center);
  const AffineTransform& transform() const { return transform_; }
  void setTransform(const AffineTransform& t);

  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }
  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode m) { contentMode_ = m; }

  // --- Look -----------------------------------------------------------------------------------
  bool isHidden() const { return hidden_; }
  virtual void setHidden(bool hidden);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  // Nothing (clear) by default.
  const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
  virtual void setBackgroundColor(std::optional<Color> color);
  // A pattern background, tiled by the snapshot renderer (a colour made from an image).
  const std::shared_ptr<Image>& backgroundPatternImage() const { return backgroundPattern_; }
  void setBackgroundPatternImage(std::shared_ptr<Image> image) { backgroundPattern_ = std::move(image); }
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }
  // The layer's look.
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double r) { cornerRadius_ = r; }
  double borderWidth() const { return borderWidth_; }
  void setBorderWidth(double w) { borderWidth_ = w; }
  const Color& borderColor() const { return borderColor_; }
  void setBorderColor(const Color& c) { borderColor_ = c; }
  const std::optional<Color>& shadowColor() const { return shadowColor_; }
  void setShadowColor(std::optional<Color> c) { shadowColor_ = std::move(c); }
  double shadowOpacity() const { return shadowOpacity_; }
  void setShadowOpacity(double o) { shadowOpacity_ = o; }
  Size shadowOffset() const { return shadowOffset_; }
  void setShadowOffset(Size s) { shadowOffset_ = s; }
  double shadowRadius() const { return shadowRadius_; }
  void setShadowRadius(double r) { shadowRadius_ = r; }
  // Counts setNeedsDisplay() calls; nothing is drawn until a snapshot is taken.
  void setNeedsDisplay() { ++displayRequests_; }
  int displayRequests() const { return displayRequests_; }

  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool on) { userInteractionEnabled_ = on; }
  bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
  void setMultipleTouchEnabled(bool on) { multipleTouchEnabled_ = on; }
  bool isExclusiveTouch() const { return exclusiveTouch_; }
  void setExclusiveTouch(bool on) { exclusiveTouch_ = on; }

  const std::string& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }
  // The text a person reads on the view itself (a label's text, a button's title, a field's
  // text or placeholder); "" for plain views. UIDriver finds views by it.
  virtual std::string displayedText() const { return ""; }

  // --- Hierarchy ------------------------------------------------------------------------------
  // Null also while the superview is still being constructed.
  std::shared_ptr<View> superview() const;
  View* superviewPointer() const { return superview_; }
  const std::vector<std::shared_ptr<View>>& subviews() const {
    closeHoles();
    return subviews_;
  }
  // The window the view is in (through its superviews), or null.
  std::shared_ptr<Window> window() const;
  // Adding a view that is somewhere else moves it; adding an ancestor or the view itself throws
  // InvalidArgumentException.
  void addSubview(const std::shared_ptr<View>& view);
  void insertSubview(const std::shared_ptr<View>& view, std::size_t index);
  void insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling);
  void insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling);
  void removeFromSuperview();
  void bringSubviewToFront(const View* view);
  void sendSubviewToBack(const View* view);
  void exchangeSubview(std::size_t index1, std::size_t index2);
  bool isDescendantOfView(const View* view) const;
  // This view or the first descendant (depth first, in subview order) with the tag.
  std::shared_ptr<View> viewWithTag(int tag);
  // The controller whose root view this is (not owning).
  std::shared_ptr<ViewController> viewController() const { return controller_.lock(); }

  // Hooks around hierarchy changes; the base does nothing.
  virtual void willMoveToSuperview(View* newSuperview) {}
  virtual void didMoveToSuperview() {}
  virtual void willMoveToWindow(Window* newWindow) {}
  virtual void didMoveToWindow() {}
  virtual void didAddSubview(View* subview) {}
  virtual void willRemoveSubview(View* subview) {}

  // --- Layout ---------------------------------------------------------------------------------
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  // Lays out this view when marked, then its subviews, top down (only the marked ones and the
  // branches that lead to them are visited).
  void layoutIfNeeded();
  virtual void layoutSubviews() {}
  // The size the view would like within size; the base answers its current bounds size.
  virtual Size sizeThatFits(Size size) const { return bounds_.size; }
  // Keeps the origin and takes sizeThatFits(current size).
  void sizeToFit();

  // --- Coordinates and touches ----------------------------------------------------------------
  // Between this view and another in the same window (null: the window's coordinates).
  Point convertPointToView(Point p, const View* view) const;
  Point convertPointFromView(Point p, const View* view) const;
  Rect convertRectToView(const Rect& r, const View* view) const;
  Rect convertRectFromView(const Rect& r, const View* view) const;
  // Within the bounds.
  virtual bool pointInside(Point p) const;
  // The deepest visible, interaction-enabled descendant (or this view) under the point, front
  // first; null when none. Hidden views, views with alpha below 0.01 and views with user
  // interaction off take no touches, nor do their subviews.
  virtual std::shared_ptr<View> hitTest(Point p);

  void addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer);
  void removeGestureRecognizer(const GestureRecognizer* recognizer);
  const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return gestures_; }

  // --- First responder ------------------------------------------------------------------------
  Responder* nextResponder() const override;
  // In a window, able to, and the current first responder agreed to resign.
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool isFirstResponder() const override;
  // Makes the first responder inside this view (or the view itself) resign; with force it
  // resigns even when it would refuse. True when nothing inside is first responder afterwards.
  bool endEditing(bool force);
  // True while endEditing(true) (or a view leaving its window) makes the first responder resign:
  // text inputs then skip asking their delegates whether they may end editing.
  static bool isForcingResign();

  // --- Animations -----------------------------------------------------------------------------
  static void animate(double duration, const std::function<void()>& animations,
                      std::function<void(bool finished)> completion = {});
  static void animate(double duration, double delay, const std::function<void()>& animations,
                      std::function<void(bool finished)> completion = {});
  // Inside an animations block.
  static bool isAnimating();

  // --- Description ----------------------------------------------------------------------------
  // Extra facts for describeTree ("text=...", "selected", ...); subclasses add theirs.
  virtual void describeProperties(std::vector<std::string>& out) const;

 protected:
  // After the bounds changed (size, or origin as when a scroll view scrolls); the base
  // autoresizes the subviews when the size changed and asks for layout.
  virtual void boundsDidChange(const Rect& oldBounds);
  // Animated properties report themselves so that a running animation on the same property is
  // interrupted.
  enum class AnimatedProperty { Geometry, Alpha, Transform, Background };
  void noteAnimatedChange(AnimatedProperty p);
  // For constructors, which cannot reach the window yet.
  void initHidden(bool hidden) { hidden_ = hidden; }

 private:
  friend class ViewController;
  friend class Window;
  void resizeWithOldSuperviewSize(Size oldSize);
  void moveToWindow(Window* oldWindow, Window* newWindow);
  void resignFirstResponderLeaving(Window* oldWindow);
  void detachFromSuperview();
  // Takes the child at slot off the list (its place a hole), in constant time.
  void leaveHole(std::size_t slot);
  // subviews_ without holes, each child's slot_ its place again.
  void closeHoles() const;
  void renumberFrom(std::size_t first) const;
  // The window at the root of v's tree, if the root is one.
  static Window* windowOf(const View* v);

  Rect bounds_;
  Point center_;
  AffineTransform transform_;
  bool hidden_ = false;
  double alpha_ = 1.0;
  std::optional<Color> backgroundColor_;
  bool opaque_ = true;
  bool clipsToBounds_ = false;
  double cornerRadius_ = 0;
  double borderWidth_ = 0;
  Color borderColor_ = Color::black();
  std::optional<Color> shadowColor_;
  double shadowOpacity_ = 0;
  Size shadowOffset_{0, -3};
  double shadowRadius_ = 3;
  int displayRequests_ = 0;
  int tag_ = 0;
  bool userInteractionEnabled_ = true;
  bool multipleTouchEnabled_ = false;
  bool exclusiveTouch_ = false;
  unsigned autoresizingMask_ = FlexibleNone;
  bool autoresizesSubviews_ = true;
  ContentMode contentMode_ = ContentMode::ScaleToFill;
  bool needsLayout_ = true;  // every view is laid out once before it is first looked at
  // This view or one below it may be marked: a pass skips the subtrees that are not, which are
  // most of a settled window. Whenever a view is, so are its ancestors.
  bool layoutBelow_ = true;
  void markLayoutBelow();

  // What a view's going reads sits together, last, where a subclass's own state begins: taking
  // thousands of views off touches few lines each.
  View* superview_ = nullptr;   // owns this view; clears the link when it goes
  Window* asWindow_ = nullptr;  // this view, when it is a window (set by Window; no type lookup)
  // The children, back to front. A child taken off leaves a hole (null) in its place until the list
  // is next read or holds three holes for each child, so that taking children off one at a time
  // costs the same with thousands of them as with a few.
  mutable std::vector<std::shared_ptr<View>> subviews_;
  mutable std::size_t holes_ = 0;
  std::size_t slot_ = 0;               // this view's place in its superview's subviews_
  std::uint32_t subviewsChanges_ = 0;  // counts changes to subviews_ (adds, removals, order)
  std::weak_ptr<ViewController> controller_;
  std::vector<std::shared_ptr<GestureRecognizer>> gestures_;
  std::shared_ptr<Image> backgroundPattern_;
  std::string accessibilityLabel_;
  // An animation has recorded a property of this view: only then is there anything to look up
  // when a property changes, or to drop when the view goes.
  bool everAnimated_ = false;
};

}  // namespace platform
