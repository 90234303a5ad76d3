#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/api/ApiCampus.h"
#include "kit/ui/DataTableCell.h"
#include "kit/ui/PickerController.h"

namespace kavro {

// One job area of a company group: its name ("value").
class GroupAreaCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void bindCellData(bool reused) override;
};

KAVRO_CELL_CLASS(GroupAreaCell, DataTableCell);

// The modal picker of a company group's job areas, from the server. The chosen area record goes to
// the delegate's finishPicker. Main thread only.
class GroupAreaPickerController : public PickerController {
 public:
  // Presents the picker, in a navigation controller of its own, from the delegate when it is a
  // screen, else from the most recent screen.
  static std::shared_ptr<GroupAreaPickerController> groupAreaPickerController(
      std::string_view groupId, CampusGroupType grouptype,
      const std::shared_ptr<pickerControllerDelegate>& delegate);

  const std::string& groupId() const { return groupId_; }
  CampusGroupType groupType() const { return groupType_; }

  void customView() override;
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;

 private:
  std::string groupId_;
  CampusGroupType groupType_ = CampusGroupType::Job;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  GroupAreaPickerController() = default;
};

KAVRO_CLASS(GroupAreaPickerController, PickerController);

}  // namespace kavro
