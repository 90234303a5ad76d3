#include "platform/ui/TableViewCell.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/TableView.h"
#include "platform/ui/TextMetrics.h"

namespace platform {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(Rect(0, 0, 320, 44)), style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
  setBackgroundColor(Color::white());
  contentView_ = std::make_shared<View>(bounds());
  contentView_->setBackgroundColor(Color::white());
  addSubview(contentView_);
}

const std::shared_ptr<Label>& TableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = std::make_shared<Label>();
    double size = style_ == TableViewCellStyle::Default    ? 20
                  : style_ == TableViewCellStyle::Value2   ? 12
                  : style_ == TableViewCellStyle::Subtitle ? 18
                                                           : 17;
    textLabel_->setFont(Font::boldSystemFontOfSize(size));
    if (style_ == TableViewCellStyle::Value2) {
      textLabel_->setTextAlignment(TextAlignment::Right);
      textLabel_->setTextColor(Color::rgba(0.32, 0.4, 0.57));
    }
    if (labelsBackground_) textLabel_->setBackgroundColor(*labelsBackground_);
    contentView_->insertSubview(textLabel_, labelsIndex());
    setNeedsLayout();
  }
  return textLabel_;
}

const std::shared_ptr<Label>& TableViewCell::detailTextLabel() {
  if (!detailTextLabel_ && style_ != TableViewCellStyle::Default) {
    detailTextLabel_ = std::make_shared<Label>();
    switch (style_) {
      case TableViewCellStyle::Value1:
        detailTextLabel_->setFont(Font::systemFontOfSize(17));
        detailTextLabel_->setTextColor(Color::rgba(0.22, 0.33, 0.53));
        detailTextLabel_->setTextAlignment(TextAlignment::Right);
        break;
      case TableViewCellStyle::Value2:
        detailTextLabel_->setFont(Font::boldSystemFontOfSize(15));
        break;
      default:
        detailTextLabel_->setFont(Font::systemFontOfSize(14));
        detailTextLabel_->setTextColor(Color::gray());
        break;
    }
    if (labelsBackground_) detailTextLabel_->setBackgroundColor(*labelsBackground_);
    // Above the text label, as if both had been made with the cell.
    std::size_t at = labelsIndex();
    if (textLabel_ && textLabel_->superviewPointer() == contentView_.get()) ++at;
    contentView_->insertSubview(detailTextLabel_, at);
    setNeedsLayout();
  }
  return detailTextLabel_;
}

std::size_t TableViewCell::labelsIndex() const {
  // The labels are made on first use but lie where they would had they come with the cell: above
  // the image, below whatever else the content holds.
  return imageView_ && imageView_->superviewPointer() == contentView_.get() ? 1 : 0;
}

void TableViewCell::setLabelsBackgroundColor(std::optional<Color> color) {
  labelsBackground_ = color;
  if (textLabel_) textLabel_->setBackgroundColor(color);
  if (detailTextLabel_) detailTextLabel_->setBackgroundColor(color);
}

const std::shared_ptr<ImageView>& TableViewCell::imageView() {
  if (!imageView_) {
    imageView_ = std::make_shared<ImageView>();
    contentView_->insertSubview(imageView_, 0);
    setNeedsLayout();
  }
  return imageView_;
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType t) {
  // Rows set it on every bind: the accessory already shown for the type stays.
  if (t == accessoryType_ && (!shownAccessory_ || shownAccessory_->superviewPointer() == this)) return;
  accessoryType_ = t;
  rebuildAccessory();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> v) {
  accessoryView_ = std::move(v);
  rebuildAccessory();
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> v) {
  if (backgroundView_) backgroundView_->removeFromSuperview();
  backgroundView_ = std::move(v);
  if (backgroundView_) {
    backgroundView_->setFrame(bounds());
    insertSubview(backgroundView_, 0);
  }
}

void TableViewCell::rebuildAccessory() {
  if (shownAccessory_) shownAccessory_->removeFromSuperview();
  shownAccessory_.reset();
  if (accessoryView_) {
    shownAccessory_ = accessoryView_;
  } else if (accessoryType_ == TableViewCellAccessoryType::DisclosureIndicator ||
             accessoryType_ == TableViewCellAccessoryType::Checkmark) {
    auto mark = std::make_shared<Label>(Rect(0, 0, 20, 20));
    mark->setText(accessoryType_ == TableViewCellAccessoryType::Checkmark ? "\u2713" : "\u203A");
    mark->setBackgroundColor(std::nullopt);
    mark->setTextColor(Color::gray());
    // At the right of its box, 10 points from the row's edge, the mark keeps a clear gap from a
    // text that ends beside it (job rows end theirs 25 points from the edge).
    mark->setTextAlignment(TextAlignment::Right);
    shownAccessory_ = mark;
  } else if (accessoryType_ == TableViewCellAccessoryType::DetailDisclosureButton) {
    auto button = Button::buttonWithType(ButtonType::DetailDisclosure);
    std::weak_ptr<TableViewCell> weak = std::static_pointer_cast<TableViewCell>(weak_from_this().lock());
    button->addTarget(this, ControlEvent::TouchUpInside, [weak](Control&) {
      auto cell = weak.lock();
      auto table = cell ? cell->tableView() : nullptr;
      if (table) table->accessoryButtonTapped(*cell);
    });
    shownAccessory_ = button;
  }
  if (shownAccessory_) addSubview(shownAccessory_);
  setNeedsLayout();
}

double TableViewCell::accessoryWidth() const {
  if (accessoryView_) return accessoryView_->frame().size.width + 20;
  switch (accessoryType_) {
    case TableViewCellAccessoryType::DisclosureIndicator:
    case TableViewCellAccessoryType::Checkmark:
      return 30;
    case TableViewCellAccessoryType::DetailDisclosureButton:
      return 43;
    default:
      return 0;
  }
}

void TableViewCell::setSelected(bool selected, bool) {
  selected_ = selected;
  if (textLabel_)
    textLabel_->setHighlighted(selected && selectionStyle_ != TableViewCellSelectionStyle::None);
  if (detailTextLabel_)
    detailTextLabel_->setHighlighted(selected && selectionStyle_ != TableViewCellSelectionStyle::None);
}

void TableViewCell::setHighlighted(bool highlighted, bool) { highlighted_ = highlighted; }

void TableViewCell::setEditing(bool editing, bool) {
  if (editing_ == editing) return;
  editing_ = editing;
  setNeedsLayout();
}

void TableViewCell::layoutSubviews() {
  Rect b = bounds();
  double inset = grouped_ ? 10 : 0;
  if (backgroundView_) backgroundView_->setFrame(b);
  double left = inset + (editing_ ? 32 : 0) + indentationLevel_ * indentationWidth_;
  double right = inset + accessoryWidth() + (deleteButton_ ? 74 : 0);
  if (editControl_) editControl_->setFrame(Rect(inset + 2, std::floor((b.size.height - 28) / 2), 28, 28));
  Rect cf(left, 0, std::max(0.0, b.size.width - left - right), b.size.height);
  contentView_->setFrame(cf);
  if (shownAccessory_) {
    Rect af = shownAccessory_->frame();
    double ax = b.size.width - inset - (deleteButton_ ? 74 : 0) - 10 - af.size.width;
    shownAccessory_->setFrame(
        Rect(ax, std::floor((b.size.height - af.size.height) / 2), af.size.width, af.size.height));
  }
  if (deleteButton_)
    deleteButton_->setFrame(Rect(b.size.width - inset - 74, std::floor((b.size.height - 30) / 2), 64, 30));

  double w = cf.size.width, h = cf.size.height;
  double x = 10;
  if (imageView_) {
    Size is = imageView_->image() ? imageView_->image()->size() : Size{};
    imageView_->setFrame(Rect(10, std::floor((h - is.height) / 2), is.width, is.height));
    if (is.width > 0) x = 10 + is.width + 10;
  }
  auto oneLine = [](const std::shared_ptr<Label>& l) {
    return l ? TextMetrics::sizeWithFont(l->text(), l->font()) : Size{};
  };
  switch (style_) {
    case TableViewCellStyle::Default:
      if (textLabel_) textLabel_->setFrame(Rect(x, 0, std::max(0.0, w - x - 10), h));
      break;
    case TableViewCellStyle::Value1: {
      Size ds = oneLine(detailTextLabel_);
      double dw = std::min(ds.width, std::max(0.0, w - x - 10));
      if (detailTextLabel_)
        detailTextLabel_->setFrame(Rect(w - 10 - dw, std::floor((h - ds.height) / 2), dw, ds.height));
      Size ts = oneLine(textLabel_);
      double tw = std::min(ts.width, std::max(0.0, w - x - 10 - dw - (dw > 0 ? 10 : 0)));
      if (textLabel_) textLabel_->setFrame(Rect(x, std::floor((h - ts.height) / 2), tw, ts.height));
      break;
    }
    case TableViewCellStyle::Value2:
      if (textLabel_) textLabel_->setFrame(Rect(10, 0, 67, h));
      if (detailTextLabel_) detailTextLabel_->setFrame(Rect(83, 0, std::max(0.0, w - 93), h));
      break;
    case TableViewCellStyle::Subtitle: {
      Size ts = oneLine(textLabel_), ds = oneLine(detailTextLabel_);
      double top = std::floor((h - ts.height - ds.height) / 2);
      if (textLabel_) textLabel_->setFrame(Rect(x, top, std::max(0.0, w - x - 10), ts.height));
      if (detailTextLabel_)
        detailTextLabel_->setFrame(Rect(x, top + ts.height, std::max(0.0, w - x - 10), ds.height));
      break;
    }
  }
}

void TableViewCell::describeProperties(std::vector<std::string>& out) const {
  if (selected_) out.push_back("selected");
  if (editing_) out.push_back("editing");
  if (deleteButton_) out.push_back("delete-confirmation");
  View::describeProperties(out);
}

}  // namespace platform
