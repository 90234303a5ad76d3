#pragma once
#include <memory>
#include <string>

#include "app/jobmap/JobMapSearchResultDelegate.h"
#include "app/jobmap/MapQueryParam.h"
#include "app/jobmap/MapViewData.h"
#include "app/jobsearch/JobSearchResultController.h"

namespace kavro {

// The map search's jobs as a list: the same jobs as the map, opened at the page the map shows;
// further pages are fetched for the list and kept in the map's pager, and going back tells the map
// which page the list was showing. Main thread only.
class JobMapSearchResultController : public JobSearchResultController {
 public:
  static constexpr double HeaderHeight = 25;
  static constexpr double FillDelay = 0.1;

  // The map's query and its accumulated result (may be null: the list then loads from the server).
  static std::shared_ptr<JobMapSearchResultController> initWithParam(std::shared_ptr<MapQueryParam> param,
                                                                     std::shared_ptr<DataItemResult> result);
  ~JobMapSearchResultController() override;

  void initNavBar() override;
  void loadListView() override;
  void loadListFromResult();
  void mapClicked();
  // The header: the current title over a dark band.
  static std::shared_ptr<platform::View> viewForHeaderInSection(ListView& list, int section);

  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;

  const std::shared_ptr<MapQueryParam>& mapQueryParam() const { return mapQueryParam_; }
  const std::shared_ptr<DataItemResult>& result() const { return result_; }
  const std::shared_ptr<MapViewData>& mapViewDataForList() const { return mapViewDataForList_; }
  void setMapViewDataForList(std::shared_ptr<MapViewData> d) { mapViewDataForList_ = std::move(d); }
  const std::string& currentTitle() const { return currentTitle_; }
  void setCurrentTitle(std::string t) { currentTitle_ = std::move(t); }
  std::shared_ptr<JobMapSearchResultDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<JobMapSearchResultDelegate> d) { delegate_ = std::move(d); }

 private:
  void showCount();

  std::shared_ptr<MapQueryParam> mapQueryParam_;
  std::shared_ptr<DataItemResult> result_;
  std::shared_ptr<MapViewData> mapViewDataForList_;
  std::string currentTitle_;
  std::weak_ptr<JobMapSearchResultDelegate> delegate_;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobMapSearchResultController() = default;
};

KAVRO_CLASS(JobMapSearchResultController, JobSearchResultController)
    .classFunction(&SectionViewClassFunctions::viewForHeaderInSection,
                   &JobMapSearchResultController::viewForHeaderInSection);

}  // namespace kavro
