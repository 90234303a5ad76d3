#include "platform/ui/PickerView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Label.h"
#include "platform/ui/ViewDescription.h"

namespace platform {

PickerView::PickerView(Rect frame)
    : View(Rect(frame.origin, Size{frame.size.width > 0 ? frame.size.width : 320, Height})) {
  setBackgroundColor(Color::grey(0.85));
}

void PickerView::setDataSource(std::weak_ptr<PickerViewDataSource> ds) {
  dataSource_ = std::move(ds);
  loaded_ = false;
  setNeedsLayout();
}

void PickerView::setDelegate(std::weak_ptr<PickerViewDelegate> d) {
  delegate_ = std::move(d);
  setNeedsLayout();
}

void PickerView::load() {
  auto ds = dataSource_.lock();
  int n = ds ? std::max(0, ds->numberOfComponentsInPickerView(*this)) : 0;
  rows_.assign(std::size_t(n), 0);
  selected_.resize(std::size_t(n), 0);
  for (int c = 0; c < n; ++c) {
    rows_[std::size_t(c)] = std::max(0, ds->numberOfRowsInComponent(*this, c));
    int& sel = selected_[std::size_t(c)];
    sel = rows_[std::size_t(c)] == 0 ? -1 : std::clamp(sel, 0, rows_[std::size_t(c)] - 1);
  }
  loaded_ = true;
  setNeedsLayout();
}

int PickerView::numberOfComponents() {
  if (!loaded_) load();
  return int(rows_.size());
}

int PickerView::numberOfRowsInComponent(int component) {
  if (!loaded_) load();
  return component >= 0 && component < int(rows_.size()) ? rows_[std::size_t(component)] : 0;
}

int PickerView::selectedRowInComponent(int component) {
  if (!loaded_) load();
  return component >= 0 && component < int(selected_.size()) ? selected_[std::size_t(component)] : -1;
}

void PickerView::selectRow(int row, int component, bool) {
  if (!loaded_) load();
  if (component < 0 || component >= int(rows_.size())) return;
  int n = rows_[std::size_t(component)];
  selected_[std::size_t(component)] = n == 0 ? -1 : std::clamp(row, 0, n - 1);
  setNeedsLayout();
}

void PickerView::reloadAllComponents() { load(); }

void PickerView::reloadComponent(int component) {
  if (!loaded_) return load();
  auto ds = dataSource_.lock();
  if (!ds || component < 0 || component >= int(rows_.size())) return;
  int n = std::max(0, ds->numberOfRowsInComponent(*this, component));
  rows_[std::size_t(component)] = n;
  int& sel = selected_[std::size_t(component)];
  sel = n == 0 ? -1 : std::clamp(sel, 0, n - 1);
  setNeedsLayout();
}

Size PickerView::rowSizeForComponent(int component) {
  int n = numberOfComponents();
  if (component < 0 || component >= n) return Size{};
  auto d = delegate_.lock();
  double w = (bounds().size.width - 20) / n;
  if (d)
    if (auto dw = d->widthForComponent(*this, component)) w = *dw;
  double h = 32;
  if (d)
    if (auto dh = d->rowHeightForComponent(*this, component)) h = *dh;
  return Size{w, h};
}

std::string PickerView::titleForRow(int row, int component) {
  auto d = delegate_.lock();
  if (!d) return "";
  return d->titleForRow(*this, row, component).value_or("");
}

bool PickerView::pickRow(int row, int component) {
  if (!loaded_) load();
  if (component < 0 || component >= int(rows_.size()) || row < 0 || row >= rows_[std::size_t(component)])
    return false;
  auto self = weak_from_this().lock();
  selected_[std::size_t(component)] = row;
  setNeedsLayout();
  if (auto d = delegate_.lock()) d->didSelectRow(*this, row, component);
  return true;
}

void PickerView::layoutSubviews() {
  if (!loaded_) load();
  auto d = delegate_.lock();
  std::vector<std::shared_ptr<View>> shown;
  double x = 10;
  for (int c = 0; c < int(rows_.size()); ++c) {
    Size s = rowSizeForComponent(c);
    int row = selected_[std::size_t(c)];
    if (row >= 0) {
      std::shared_ptr<View> reuse = std::size_t(c) < shown_.size() ? shown_[std::size_t(c)] : nullptr;
      std::shared_ptr<View> v = d ? d->viewForRow(*this, row, c, reuse) : nullptr;
      if (!v) {
        auto label = std::make_shared<Label>();
        label->setText(titleForRow(row, c));
        label->setFont(Font::boldSystemFontOfSize(20));
        label->setBackgroundColor(std::nullopt);
        label->setTextAlignment(TextAlignment::Center);
        v = label;
      }
      v->setFrame(Rect(x, std::floor((bounds().size.height - s.height) / 2), s.width, s.height));
      shown.push_back(v);
    }
    x += s.width;
  }
  for (auto sub : std::vector<std::shared_ptr<View>>(subviews()))
    if (std::find(shown.begin(), shown.end(), sub) == shown.end()) sub->removeFromSuperview();
  for (auto& v : shown)
    if (v->superviewPointer() != this) addSubview(v);
  shown_ = std::move(shown);
}

void PickerView::describeProperties(std::vector<std::string>& out) const {
  std::string sel;
  for (std::size_t i = 0; i < selected_.size(); ++i) sel += (i ? "," : "") + std::to_string(selected_[i]);
  out.push_back("selected=[" + sel + "]");
  View::describeProperties(out);
}

}  // namespace platform
