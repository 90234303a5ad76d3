#pragma once
#include <memory>
#include <string>

#include "kit/ui/DataTableCell.h"
#include "kit/ui/UILoadingView.h"
namespace kavro {

// The state row while a section loads.
class LoadingTableCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
  const std::shared_ptr<UILoadingView>& loadingView() const { return loadingView_; }
  const std::string& loadingText() const { return loadingText_; }
  void setLoadingText(std::string text) { loadingText_ = std::move(text); }

 protected:
  std::shared_ptr<UILoadingView> loadingView_;
  std::string loadingText_;
};

}  // namespace kavro

namespace kavro {
KAVRO_CELL_CLASS(LoadingTableCell, DataTableCell);
}
