#pragma once
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

// The shape the campus detail screens share: one server answer shown as a grouped list of
// title-value rows, with the list's loading, error (tap to retry) and empty rows. A subclass
// names the call and which fields of the answer become rows. Main thread only.
class CampusFactsController : public UIBasicController, public ListViewDelegate {
 public:
  // One row: the answer's field and the string key of its title.
  struct Fact {
    std::string_view field;
    std::string_view titleKey;
  };

  void init() override;
  ~CampusFactsController() override;

  void customView() override;
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;

  const std::shared_ptr<ListView>& factList() const { return factList_; }
  std::shared_ptr<ListViewData> facts() const { return factList_ ? factList_->dataOfSection(0) : nullptr; }
  // The answer's record once it came.
  const std::shared_ptr<DataItemDetail>& detailInfo() const { return detailInfo_; }

 protected:
  // The started call, reporting to the delegate.
  virtual std::shared_ptr<DataLoadAndParser> startCall(std::weak_ptr<DataLoadAndParserDelegate> delegate) = 0;
  virtual const std::vector<Fact>& factRows() const = 0;
  // The string key of the title before the answer, and the answer's field that replaces it.
  virtual std::string_view titleKey() const = 0;
  virtual std::string_view titleField() const = 0;

 private:
  std::shared_ptr<ListView> factList_;
  std::shared_ptr<DataItemDetail> detailInfo_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  CampusFactsController() = default;
};

KAVRO_CLASS(CampusFactsController, UIBasicController);

}  // namespace kavro
