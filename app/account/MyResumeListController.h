#pragma once
#include <memory>
#include <optional>

#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

// One resume of the list: its name, and when it was last changed.
class MyResumeListCell : public DataTableCell {
 public:
  using DataTableCell::DataTableCell;
  void initCellView() override;
  void bindCellData(bool reused) override;
};

KAVRO_CELL_CLASS(MyResumeListCell, DataTableCell);

// The user's resumes, from the server. Opened with OpenUIBasicController. A user who is not logged
// in is first asked to log in; the list loads after the login. Main thread only.
class MyResumeListController : public UIBasicController, public ListViewDelegate {
 public:
  void init() override;
  ~MyResumeListController() override;

  void customView() override;
  void viewDidAppear(bool animated) override;
  void userStatusChanged() override;

  // Loads the list from its first page (again).
  void loadResumes();

  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;

  const std::shared_ptr<ListView>& resumeList() const { return resumeList_; }
  std::shared_ptr<ListViewData> resumes() const {
    return resumeList_ ? resumeList_->dataOfSection(0) : nullptr;
  }

 private:
  std::shared_ptr<ListView> resumeList_;
  bool askedForLogin_ = false;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  MyResumeListController() = default;
};

KAVRO_CLASS(MyResumeListController, UIBasicController)
    .action("loadResumes", 0, [](MyResumeListController& screen, const platform::Arguments&) {
      screen.loadResumes();
      return platform::Value();
    });

}  // namespace kavro
