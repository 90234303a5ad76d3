#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/community/FansUgcForGroupController.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/DataTableCell.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

// One post of a community page: who wrote it, when, and its text.
class FansTopicCell : public DataTableCell {
 public:
  FansTopicCell(Token token, std::string cellId)
      : DataTableCell(token, std::move(cellId), platform::TableViewCellStyle::Subtitle) {}
  void initCellView() override;
  void bindCellData(bool reused) override;
};

KAVRO_CELL_CLASS(FansTopicCell, DataTableCell);

// A company's community page, opened from the most recent screen: the company's name in the
// title and its posts, page by page, with an item to write a new one. Main thread only.
class FansCompanyHomeController : public UIBasicController,
                                  public ListViewDelegate,
                                  public DataLoadAndParserDelegate,
                                  public FansUgcDelegate {
 public:
  static std::shared_ptr<FansCompanyHomeController> openWithCoID(std::string_view coID);
  void init() override;
  ~FansCompanyHomeController() override;

  const std::string& coID() const { return coID_; }
  void setCoID(std::string_view coID) { coID_ = coID; }

  void customView() override;
  void createNews();

  // The company's facts.
  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  // The posts.
  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool dataLoadedForSection(ListViewData& section, const DataItemResult& result, bool isCachedData) override;
  // A post went out: the page shows it.
  void onSubmitSuccessForUgcController(FansUgcForGroupController& ctrl) override;

  const std::shared_ptr<ListView>& topicList() const { return topicList_; }
  std::shared_ptr<ListViewData> topics() const { return topicList_ ? topicList_->dataOfSection(0) : nullptr; }
  const std::shared_ptr<DataItemDetail>& companyInfo() const { return companyInfo_; }

 private:
  std::string coID_;
  std::shared_ptr<ListView> topicList_;
  std::shared_ptr<DataLoadAndParser> infoLoader_;
  std::shared_ptr<DataItemDetail> companyInfo_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  FansCompanyHomeController() = default;
};

KAVRO_CLASS(FansCompanyHomeController, UIBasicController);

}  // namespace kavro
