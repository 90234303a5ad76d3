#pragma once
#include <memory>
#include <optional>

#include "kit/core/DataItemDetail.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

class PickerController;

// Hears which record a pick-one screen closed with.
class pickerControllerDelegate {
 public:
  virtual ~pickerControllerDelegate() = default;
  // Optional: false means "not implemented".
  virtual bool finishPicker(PickerController& picker, const std::shared_ptr<DataItemDetail>& data) {
    return false;
  }
};

// The base of the modal pick-one-record screens: a return item and one plain list of server
// records. A subclass hands out the list's loader (listViewData) and calls loadListView with its
// cell class; tapping a record closes the screen and tells the delegate. Main thread only.
class PickerController : public UIBasicController, public ListViewDelegate {
 public:
  std::shared_ptr<pickerControllerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<pickerControllerDelegate> d) { delegate_ = std::move(d); }
  const std::shared_ptr<ListView>& listForPicker() const { return listForPicker_; }

  void customView() override;
  virtual void initNavigationBar();
  virtual void initListView();
  // A section drawing its records with cellClass, added to the list and loading.
  std::shared_ptr<ListViewData> loadListView(platform::ClassPtr cellClass);
  void backToParent();

  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;

  void init() override;

 private:
  std::weak_ptr<pickerControllerDelegate> delegate_;
  std::shared_ptr<ListView> listForPicker_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  PickerController() = default;
};

KAVRO_CLASS(PickerController, UIBasicController);

}  // namespace kavro
