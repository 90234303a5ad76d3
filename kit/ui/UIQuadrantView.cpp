#include "kit/ui/UIQuadrantView.h"

namespace kavro {

using platform::Rect;

UIQuadrantView::UIQuadrantView(Rect frame) : platform::View(frame) {
  setOpaque(false);
  setBackgroundColor(platform::Color::clear());
  setClipsToBounds(true);
}

void UIQuadrantView::initSubviews() {
  // The cells of an earlier pass go first, so the grid is one set at the current size.
  for (auto& cell : cells_) cell->removeFromSuperview();
  cells_.clear();
  builtSize_ = bounds().size;
  auto d = delegate_.lock();
  if (!d) return;
  levelNum_ = d->numberOfLevelInQuadrantView(*this);
  verticalNum_ = d->numberOfVercitalInQuadrantView(*this);
  if (verticalNum_ <= 0 || levelNum_ <= 0) return;
  double w = bounds().size.width / verticalNum_, h = bounds().size.height / levelNum_;
  for (int i = 0; i < verticalNum_; ++i) {
    for (int j = 0; j < levelNum_; ++j) {
      Rect rect(i * w, j * h, w, h);
      auto location = platform::IndexPath::forRow(i, j);
      std::shared_ptr<QuadView> cell;
      if (auto given = d->viewInIndexLocation(*this, location, rect)) cell = *given;
      if (!cell) cell = std::make_shared<QuadView>(rect);
      cell->setIndexLocation(location);
      cell->setBackgroundColor(platform::Color::clear());
      addSubview(cell);
      cells_.push_back(cell);
    }
  }
}

void UIQuadrantView::layoutSubviews() {
  if (!builtSize_ || *builtSize_ != bounds().size) initSubviews();
}

std::vector<UIQuadrantView::Line> UIQuadrantView::gridLines() {
  std::vector<Line> lines;
  auto d = delegate_.lock();
  if (!d || !d->needDrawLineForQuadrantView(*this).value_or(false)) return lines;
  int rows = d->numberOfLevelInQuadrantView(*this), columns = d->numberOfVercitalInQuadrantView(*this);
  double w = bounds().size.width, h = bounds().size.height;
  for (int k = 1; k < columns; ++k) {
    double x = k * (w / columns) + 0.5;
    lines.push_back({{x, 0}, {x, h}});
  }
  for (int k = 1; k < rows; ++k) {
    double y = k * (h / rows) + 0.5;
    lines.push_back({{0, y}, {w, y}});
  }
  return lines;
}

QuadView* UIQuadrantView::cellOf(const platform::Touch& t) const {
  return dynamic_cast<QuadView*>(t.view().get());
}

void UIQuadrantView::touchesBegan(const platform::Touch& t) {
  auto* cell = cellOf(t);
  auto d = delegate_.lock();
  if (!cell || !d) return;
  isCancelSelector_ = false;
  d->didHighlightQuadViewAtIndexLocation(*this, cell->indexLocation());
}

void UIQuadrantView::touchesMoved(const platform::Touch& t) {
  auto* cell = cellOf(t);
  auto d = delegate_.lock();
  if (!cell || !d) return;
  isCancelSelector_ = true;
  d->didUnhighlightAreaQuadViewAtIndexLocation(*this, cell->indexLocation());
}

void UIQuadrantView::touchesEnded(const platform::Touch& t) {
  auto* cell = cellOf(t);
  auto d = delegate_.lock();
  if (!cell || !d) return;
  if (!isCancelSelector_) d->didSelectAtIndexLocation(*this, cell->indexLocation());
  d->didUnhighlightAreaQuadViewAtIndexLocation(*this, cell->indexLocation());
}

void UIQuadrantView::touchesCancelled(const platform::Touch& t) {
  auto* cell = cellOf(t);
  auto d = delegate_.lock();
  if (!cell || !d) return;
  isCancelSelector_ = true;
  d->didUnhighlightAreaQuadViewAtIndexLocation(*this, cell->indexLocation());
}

}  // namespace kavro
