#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "kit/core/NSMutableSortedDictionary.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/SelectedItemBox.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

// Picks up to five entries of one dictionary across its levels. Every level of one run of picking
// shares one ordered set of picks (code → value); a board under the navigation bar counts them
// and unfolds into the list of picks, each deletable. Picks come in and go back as
// comma-separated "code" and "value" texts. Main thread only.
class MultiDictPickController : public DictPickerController, public platform::GestureRecognizerDelegate {
 public:
  static constexpr std::size_t MaxPicks = 5;
  static constexpr int FoldLabelTag = 1000;

  // The root level, opened from the delegate screen with the caller's earlier picks.
  static std::shared_ptr<MultiDictPickController> pickerWidthType(
      DictType dictType, std::shared_ptr<DataItemDetail> pickedDetail,
      const std::shared_ptr<platform::ViewController>& delegate);

  const std::shared_ptr<NSMutableSortedDictionary>& pickedDictionary() const { return picked_; }
  void setPickedDictionary(std::shared_ptr<NSMutableSortedDictionary> d) { picked_ = std::move(d); }
  const std::shared_ptr<DataItemDetail>& sourceData() const { return sourceData_; }
  void setSourceData(std::shared_ptr<DataItemDetail> d) { sourceData_ = std::move(d); }

  std::shared_ptr<NSMutableSortedDictionary> convertDetailToDictionary() const;
  std::shared_ptr<DataItemDetail> convertDictionaryToDetail() const;
  // The Sure item: reports every pick and closes the stack.
  void finishPick();

  // Board.
  const std::shared_ptr<platform::View>& itemsBoard() const { return itemsBoard_; }
  const std::shared_ptr<platform::Label>& countLabel() const { return countLabel_; }
  const std::shared_ptr<platform::Button>& closeBoardButton() const { return closeBoardButton_; }
  bool isAnimating() const { return isAnimating_; }
  bool isBoardOpen() const { return closeBoardButton_ && closeBoardButton_->frame().height() != 0; }
  void tapItemsBoard();
  void closeItemsBoard();
  void openSelectedView(bool open);
  void deleteItem(SelectedItemBox& box);
  void refreshDictView();

  void customView() override;
  void initDictView() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void fillListData(ListViewData& section, const DataItemResult& result) override;
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  std::optional<bool> gestureRecognizerShouldReceiveTouch(platform::GestureRecognizer& gr,
                                                          const platform::Touch& touch) override;

  // A code's hierarchy prefix: trailing "00" pairs dropped; a code of zeros only means "no limit"
  // and gives "".
  static std::string strippedCode(std::string_view code);

 private:
  void initItemsBoard();
  std::string boardTitle() const;
  std::string pickerOverFive() const;
  void countSelectedItems();
  void loadSelectedView();
  void sortSelectedItems();
  void fitBoard();
  void checkSubItemSelectedStatus(DataItemDetail& row) const;
  void markAllRows();
  void removeAllSubItems(const std::string& prefix);
  void removeAllParentItems(const std::string& prefix);
  std::vector<std::shared_ptr<SelectedItemBox>> boxes() const;

  std::shared_ptr<platform::View> itemsBoard_;
  std::shared_ptr<platform::Label> countLabel_;
  std::shared_ptr<platform::ImageView> indicateImage_;
  std::shared_ptr<platform::Button> closeBoardButton_;
  bool isAnimating_ = false;
  std::shared_ptr<NSMutableSortedDictionary> picked_ = NSMutableSortedDictionary::dictionary();
  std::shared_ptr<DataItemDetail> sourceData_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  MultiDictPickController() = default;
};

KAVRO_CLASS(MultiDictPickController, DictPickerController);

}  // namespace kavro
