#pragma once
#include <memory>
#include <vector>

#include "kit/ui/EditToolbarEntryPoints.h"
#include "kit/ui/EditToolbarForm.h"
#include "kit/ui/ObjectExtKavro.h"
#include "platform/ui/IndexPath.h"
#include "platform/ui/Label.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Toolbar.h"

namespace kavro {

class ListView;

// The keyboard companion bar of form screens: previous/next over the editable rows of the form
// list (rows whose record has an input box), a "%d/%d" counter of the field being edited (red past
// the row's limit; the text is never cut) and done, which submits. The form's inputs reach it
// through the edit-toolbar binding; it announces its creation 0.1 s after it was made so that
// inputs that exist already bind to it. The list is not retained. Main thread only.
class UIKavroEditToolbar : public platform::Toolbar,
                           public EditToolbarEntryPoints,
                           public KeyboardNotificationsDelegate {
 public:
  // Over a form list of the list framework; its ctrl receives submitData on done.
  static std::shared_ptr<UIKavroEditToolbar> initWithListView(const std::shared_ptr<ListView>& listView);
  // Over any form list.
  static std::shared_ptr<UIKavroEditToolbar> initWithListView(
      const std::shared_ptr<EditToolbarForm>& listView);
  ~UIKavroEditToolbar() override;

  void focusOnIndex(int n);
  void initEditIndexArray();

  bool implementsEntry(Entry) const override { return true; }
  void toolbarEditBegin(platform::View* sender) override;
  void toolbarEditEnd(platform::View* sender) override;
  void toolbarEditChanged(platform::View* sender) override;
  void keyboardWasShown(const platform::Notification& n) override;
  void keyboardWasHidden(const platform::Notification& n) override;

  void doneButtonClicked();
  void changeItem();
  void checkSegmentControlStatus();
  void checkTextChanged(platform::View* view);
  int indexForIndexPath(platform::IndexPath ip) const;
  void scrollToRowAtCurrentIndex();
  void textFiledBecomeFirstResponder();

  int scrollPosition() const { return scrollPosition_; }
  void setScrollPosition(int p) { scrollPosition_ = p; }
  const std::vector<platform::IndexPath>& arrayEditCellIndex() const { return arrayEditCellIndex_; }
  const std::optional<platform::IndexPath>& currentIndexPath() const { return currentIndexPath_; }
  unsigned currentFocusIndex() const { return currentFocusIndex_; }
  const std::shared_ptr<platform::SegmentedControl>& segCtrl() const { return segCtrl_; }
  const std::shared_ptr<platform::Label>& textCountLabel() const { return textCountLabel_; }

 private:
  void build();
  void afterFocusChange();

  std::weak_ptr<EditToolbarForm> listView_;
  std::shared_ptr<EditToolbarForm> adapter_;  // over a ListView, which it does not retain
  int scrollPosition_ = 1;
  std::vector<platform::IndexPath> arrayEditCellIndex_;
  std::optional<platform::IndexPath> currentIndexPath_;
  unsigned currentFocusIndex_ = 0;
  std::shared_ptr<platform::SegmentedControl> segCtrl_;
  std::shared_ptr<platform::Label> textCountLabel_;

 protected:
  UIKavroEditToolbar();
};

}  // namespace kavro
