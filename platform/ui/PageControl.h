#pragma once
#include "platform/ui/Control.h"

namespace platform {

// The dots of a pager: one image view per page (7 x 7 points, 16 points apart, centred), the
// current one white, the others grey. A tap on the right half moves to the next page, on the
// left half to the previous one, and sends ValueChanged; with defersCurrentPageDisplay the dots
// change only on updateCurrentPageDisplay. Hidden for a single page when hidesForSinglePage.
class PageControl : public Control {
 public:
  explicit PageControl(Rect frame = {});

  int numberOfPages() const { return pages_; }
  void setNumberOfPages(int n);
  int currentPage() const { return current_; }
  void setCurrentPage(int page);
  bool hidesForSinglePage() const { return hidesForSinglePage_; }
  void setHidesForSinglePage(bool h);
  bool defersCurrentPageDisplay() const { return defers_; }
  void setDefersCurrentPageDisplay(bool d) { defers_ = d; }
  void updateCurrentPageDisplay();
  Size sizeForNumberOfPages(int pages) const { return Size{pages > 0 ? 16.0 * pages : 0.0, 36}; }

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 protected:
  void touchUpInside(const Touch& t) override;

 private:
  void rebuild();

  int pages_ = 0;
  int current_ = 0;
  int shown_ = 0;
  bool hidesForSinglePage_ = false;
  bool defers_ = false;
};

}  // namespace platform
