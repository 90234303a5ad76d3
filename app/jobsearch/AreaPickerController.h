#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/ui/PickerController.h"

namespace kavro {

// The areas in which a company has jobs, as a modal pick-one list; the picked area record (its
// dictionary code and value) goes to the delegate. Main thread only.
class AreaPickerController : public PickerController {
 public:
  // Made for the company, wrapped in a navigation controller of its own and presented from the
  // delegate screen.
  static std::shared_ptr<AreaPickerController> areaPickerController(
      std::string_view coid, std::weak_ptr<pickerControllerDelegate> delegate);

  void customView() override;
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;

  const std::string& coid() const { return coid_; }
  void setCoid(std::string_view coid) { coid_ = coid; }

 private:
  std::string coid_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  AreaPickerController() = default;
};

KAVRO_CLASS(AreaPickerController, PickerController);

}  // namespace kavro
