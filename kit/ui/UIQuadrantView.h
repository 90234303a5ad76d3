#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "kit/ui/QuadView.h"

namespace kavro {

class UIQuadrantView;

// Decides a quadrant grid's size and cells and hears its touches. The two counts are required;
// the rest are optional: cellView's empty answer means "not implemented", and a view answered
// from it is used as the cell unchanged (the delegate frames it).
class UIQuadrantViewDelegate {
 public:
  virtual ~UIQuadrantViewDelegate() = default;
  virtual int numberOfLevelInQuadrantView(UIQuadrantView& view) = 0;
  virtual int numberOfVercitalInQuadrantView(UIQuadrantView& view) = 0;
  virtual void didSelectAtIndexLocation(UIQuadrantView& view, platform::IndexPath location) {}
  virtual void didHighlightQuadViewAtIndexLocation(UIQuadrantView& view, platform::IndexPath location) {}
  virtual void didUnhighlightAreaQuadViewAtIndexLocation(UIQuadrantView& view, platform::IndexPath location) {
  }
  virtual std::optional<std::shared_ptr<QuadView>> viewInIndexLocation(UIQuadrantView& view,
                                                                       platform::IndexPath location,
                                                                       platform::Rect rectOfQuadView) {
    return std::nullopt;
  }
  virtual std::optional<bool> needDrawLineForQuadrantView(UIQuadrantView& view) { return std::nullopt; }
};

// A grid of equal cells (rows by columns, as the delegate says) with optional thin lines between
// them; a touch that lifts without moving selects the cell under it. Building again replaces the
// cells, so the grid is always one set at the current size. Main thread only.
class UIQuadrantView : public platform::View {
 public:
  explicit UIQuadrantView(platform::Rect frame = {});

  void setDelegate(std::weak_ptr<UIQuadrantViewDelegate> d) { delegate_ = std::move(d); }
  void initSubviews();
  void reloadSubviews() { initSubviews(); }
  // Builds when the size changed since the last build (or none was made yet).
  void layoutSubviews() override;

  struct Line {
    platform::Point from;
    platform::Point to;
  };
  // The grid lines drawRect strokes (0.5 wide, light grey) for the bounds; none unless the
  // delegate asks for them.
  std::vector<Line> gridLines();

  int levelNum() const { return levelNum_; }
  int verticalNum() const { return verticalNum_; }
  const std::vector<std::shared_ptr<QuadView>>& cells() const { return cells_; }

  void touchesBegan(const platform::Touch& t) override;
  void touchesMoved(const platform::Touch& t) override;
  void touchesEnded(const platform::Touch& t) override;
  void touchesCancelled(const platform::Touch& t) override;

 private:
  QuadView* cellOf(const platform::Touch& t) const;

  int levelNum_ = 0;
  int verticalNum_ = 0;
  std::weak_ptr<UIQuadrantViewDelegate> delegate_;
  bool isCancelSelector_ = false;
  std::vector<std::shared_ptr<QuadView>> cells_;
  std::optional<platform::Size> builtSize_;
};

}  // namespace kavro
