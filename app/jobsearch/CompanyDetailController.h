#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/community/FansUgcForGroupController.h"
#include "kit/core/DataItemDetail.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

// The company page: type, size, industry, address and introduction, a header with the name and
// the way to the company's community page, a row to all the company's jobs and a bar button that
// writes a community post about the company. An answer stays in the cache store for 30 days, so a
// company seen lately opens without a server call; an older one is asked for again. Main thread
// only.
class CompanyDetailController : public UIBasicController, public ListViewDelegate, public FansUgcDelegate {
 public:
  void init() override;
  static constexpr std::int64_t CacheLifetimeSeconds = 2'592'000;
  enum Tag : std::int64_t {
    TagAllJobs = 0,
    TagTypeAndSize = 1,
    TagIndustry = 3,
    TagAddress = 4,
    TagInfo = 5
  };

  // Creates the screen for the company and shows it from the parent.
  static std::shared_ptr<CompanyDetailController> companyWithParent(
      const std::shared_ptr<platform::ViewController>& parent, std::string_view coid);

  void customView() override;
  void loadListView();
  // Shows a valid answer: rows, header, cache.
  void listData(ListViewData& section, const DataItemResult& result);
  void createNews(platform::Object& sender);
  void createNews();
  void backToParent();

  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  void onSubmitSuccessForUgcController(FansUgcForGroupController& ctrl) override;

  const std::string& coid() const { return coid_; }
  void setCoid(std::string_view coid) { coid_ = coid; }
  const std::shared_ptr<DataItemDetail>& companyDetail() const { return companyDetail_; }
  const std::shared_ptr<ListView>& listViewCoDetail() const { return listViewCoDetail_; }

 private:
  void setBarButtonEnabled(bool enabled);

  std::string coid_;
  std::shared_ptr<DataItemDetail> companyDetail_;
  std::shared_ptr<ListView> listViewCoDetail_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  CompanyDetailController() = default;
};

KAVRO_CLASS(CompanyDetailController, UIBasicController);

}  // namespace kavro
