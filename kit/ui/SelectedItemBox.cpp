#include "kit/ui/SelectedItemBox.h"

#include <algorithm>

#include "kit/skin/AppSkin.h"
#include "kit/ui/MultiDictPickController.h"

namespace kavro {

std::shared_ptr<SelectedItemBox> SelectedItemBox::initWithValue(
    const std::string& value, const std::shared_ptr<MultiDictPickController>& parent) {
  auto box = std::shared_ptr<SelectedItemBox>(new SelectedItemBox());
  box->parent_ = parent;
  box->setFrame(platform::Rect(10, 0, 0, 34));
  AppSkin::apply(box.get(), "picked_item", "dictpicker");
  std::weak_ptr<SelectedItemBox> weakBox = box;
  box->addTarget(box.get(), platform::ControlEvent::TouchUpInside, [weakBox](platform::Control&) {
    auto b = weakBox.lock();
    if (!b) return;
    if (auto p = b->parentController()) p->deleteItem(*b);
  });
  auto label = std::make_shared<platform::Label>(platform::Rect(10, 0, 0, 34));
  label->setText(value);
  AppSkin::apply(label.get(), "picked_label", "dictpicker");
  label->setLineBreakMode(platform::LineBreakMode::WordWrap);
  label->setNumberOfLines(1);
  label->sizeToFit();
  double limit =
      parent && parent->isViewLoaded() ? parent->view()->bounds().width() * 0.85 : label->frame().width();
  platform::Rect lf = label->frame();
  lf.size.width = std::min(lf.size.width, limit);
  label->setFrame(lf);
  platform::Rect bf = box->frame();
  bf.size.width = lf.size.width + 40;
  box->setFrame(bf);
  label->setCenter(platform::Point{label->center().x, bf.size.height / 2});
  box->addSubview(label);
  box->label_ = label;
  return box;
}

}  // namespace kavro
