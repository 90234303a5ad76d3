#pragma once
#include <memory>
#include <optional>
#include <string>

#include "kit/ui/UIPlaceHolderTextView.h"
#include "platform/ui/Label.h"

namespace kavro {

// A multi-line text box with a placeholder, a shadowed background and a counter label that turns
// red while the count (UTF-16 units) is above the limit. Not a view: the host places bgView and
// lblCount in its own view. The text is never cut. Main thread only.
class UIKavroTextView : public platform::TextViewDelegate,
                        public std::enable_shared_from_this<UIKavroTextView> {
 public:
  // A null format counts as "%d".
  static std::shared_ptr<UIKavroTextView> create(std::optional<std::string> format = std::nullopt);

  void setTextCount(int count);
  int textCount() const { return textCount_; }
  void adjustTextViewHeight(double height);
  int limit() const { return limit_; }
  void setLimit(int limit) { limit_ = limit; }
  const std::string& format() const { return format_; }
  void setFormat(std::string f) { format_ = std::move(f); }
  const std::optional<platform::Color>& normalColor() const { return normalColor_; }

  const std::shared_ptr<platform::View>& bgView() const { return bgView_; }
  const std::shared_ptr<UIPlaceHolderTextView>& contentView() const { return contentView_; }
  const std::shared_ptr<platform::Label>& lblCount() const { return lblCount_; }
  // Kept for the host; this object does not call it.
  const std::weak_ptr<platform::TextViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<platform::TextViewDelegate> d) { delegate_ = std::move(d); }

  void textViewDidChange(platform::TextView& tv) override;

 private:
  std::shared_ptr<platform::View> bgView_;
  std::shared_ptr<UIPlaceHolderTextView> contentView_;
  std::shared_ptr<platform::Label> lblCount_;
  std::string format_ = "%d";
  int textCount_ = 0;
  int limit_ = 0;
  std::optional<platform::Color> normalColor_;
  std::weak_ptr<platform::TextViewDelegate> delegate_;

 protected:
  UIKavroTextView() = default;
};

}  // namespace kavro
