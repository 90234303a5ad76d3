#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/jobquery/JobSearchParam.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/ListView.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

class JobSearchFilterController;

// Told when the user confirmed the filters.
class JobSearchFilterDelegate {
 public:
  virtual ~JobSearchFilterDelegate() = default;
  virtual void jobSearchFilterDone(JobSearchFilterController& filter) = 0;
};

// Narrows a search that already ran: landmark, work experience, publication date, education,
// salary, company size and type, job term. It edits the result list's own query in place (each
// pick is also written to the stored form); only the confirmation turns the filters on, marks the
// result list's filter button and makes the list start again. The job map's filter derives from
// it with its own rows (loadListView). Main thread only.
class JobSearchFilterController : public UIBasicController,
                                  public ListViewDelegate,
                                  public DictPickerControllerDelegate {
 public:
  static constexpr int RowCount = 8;

  static std::shared_ptr<JobSearchFilterController> initWithParam(std::shared_ptr<JobSearchParam> param);
  template <class T>
  static std::shared_ptr<T> initWithParam(std::shared_ptr<JobSearchParam> param) {
    auto screen = UIBasicController::create<T>();
    screen->curParam_ = std::move(param);
    return screen;
  }

  void customView() override;
  virtual void initNavBar();
  virtual void initListView();
  virtual void loadListView();
  virtual void refreshList();
  virtual void filterDone();
  static std::shared_ptr<DataItemDetail> rowDataWithTitle(std::string_view title, std::string_view value,
                                                          std::int64_t cellTag);

  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  void dictPicker(DictPickerController& picker, const std::shared_ptr<DataItemDetail>& data) override;

  const std::shared_ptr<JobSearchParam>& curParam() const { return curParam_; }
  void setCurParam(std::shared_ptr<JobSearchParam> p) { curParam_ = std::move(p); }
  std::shared_ptr<JobSearchFilterDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<JobSearchFilterDelegate> d) { delegate_ = std::move(d); }
  bool enablelandmarks() const { return enablelandmarks_; }
  void setEnablelandmarks(bool on) { enablelandmarks_ = on; }
  const std::shared_ptr<ListView>& listView() const { return listView_; }
  // The filter rows' section; the list's loader hook keeps its name beside it.
  const std::shared_ptr<ListViewData>& listViewData() const { return listViewData_; }
  using ListViewDelegate::listViewData;

 protected:
  std::shared_ptr<JobSearchParam> curParam_;
  std::weak_ptr<JobSearchFilterDelegate> delegate_;
  std::shared_ptr<ListView> listView_;
  std::shared_ptr<ListViewData> listViewData_;
  bool enablelandmarks_ = false;

 private:
  // The values of rows 0 to 7, in row order.
  std::vector<std::string> rowValues() const;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  JobSearchFilterController() = default;
};

KAVRO_CLASS(JobSearchFilterController, UIBasicController);

}  // namespace kavro
