#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

class PickerView;

// Where a picker's rows come from (both required).
class PickerViewDataSource {
 public:
  virtual ~PickerViewDataSource() = default;
  virtual int numberOfComponentsInPickerView(PickerView& pv) = 0;
  virtual int numberOfRowsInComponent(PickerView& pv, int component) = 0;
};

// What the rows show and what the person picks; every method optional (empty: not implemented).
class PickerViewDelegate {
 public:
  virtual ~PickerViewDelegate() = default;
  virtual std::optional<std::string> titleForRow(PickerView& pv, int row, int component) {
    return std::nullopt;
  }
  virtual std::shared_ptr<View> viewForRow(PickerView& pv, int row, int component,
                                           std::shared_ptr<View> reusing) {
    return nullptr;
  }
  virtual void didSelectRow(PickerView& pv, int row, int component) {}
  virtual std::optional<double> widthForComponent(PickerView& pv, int component) { return std::nullopt; }
  virtual std::optional<double> rowHeightForComponent(PickerView& pv, int component) { return std::nullopt; }
};

// Spinning wheels, one per component, 216 points high. Each wheel shows its selected row in the
// middle (the delegate's view, else a label with its title); the components share the width
// equally unless the delegate gives widths; rows are 32 points high unless it gives heights.
// Selections start at row 0 and stay within the rows (reloads clamp them; -1 for a wheel without
// rows). selectRow does not tell the delegate; pickRow (a person spinning the wheel) does.
class PickerView : public View {
 public:
  static constexpr double Height = 216;

  explicit PickerView(Rect frame = {});

  const std::weak_ptr<PickerViewDataSource>& dataSource() const { return dataSource_; }
  void setDataSource(std::weak_ptr<PickerViewDataSource> ds);
  const std::weak_ptr<PickerViewDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<PickerViewDelegate> d);
  bool showsSelectionIndicator() const { return showsIndicator_; }
  void setShowsSelectionIndicator(bool s) { showsIndicator_ = s; }

  int numberOfComponents();
  int numberOfRowsInComponent(int component);
  int selectedRowInComponent(int component);
  void selectRow(int row, int component, bool animated = false);
  void reloadAllComponents();
  void reloadComponent(int component);
  Size rowSizeForComponent(int component);
  // The title shown for a row ("" when the delegate gives none).
  std::string titleForRow(int row, int component);

  // A person spins the wheel to the row; false for a row that does not exist.
  bool pickRow(int row, int component);

  void layoutSubviews() override;
  void describeProperties(std::vector<std::string>& out) const override;

 private:
  void load();

  std::weak_ptr<PickerViewDataSource> dataSource_;
  std::weak_ptr<PickerViewDelegate> delegate_;
  bool showsIndicator_ = false;
  bool loaded_ = false;
  std::vector<int> rows_;
  std::vector<int> selected_;
  std::vector<std::shared_ptr<View>> shown_;
};

}  // namespace platform
