#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kit/core/DataItemDetail.h"
#include "kit/ui/UIQuadrantView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace kavro {

// The map screen as the job bubble sees it.
class CustomMapMultiBubbleDelegate {
 public:
  virtual ~CustomMapMultiBubbleDelegate() = default;
  // The bubble moved to another job; the map focuses its pin.
  virtual void focusCurrentAnnotation() = 0;
  // The card was tapped.
  virtual void showJobDetail() = 0;
};

// The bubble over the map that shows one job of the current page, with buttons to step through
// the page's jobs; with a single job the stepping controls take no room. Main thread only.
class CustomMapMultiBubbleView : public platform::View, public UIQuadrantViewDelegate {
 public:
  static constexpr platform::Size DefaultSize{320, 135};
  static std::shared_ptr<CustomMapMultiBubbleView> create(platform::Rect frame);

  void loadJobInfoes(std::vector<std::shared_ptr<DataItemDetail>> jobs) { arrJobDetails_ = std::move(jobs); }
  void showJobInfo(std::uint32_t index);
  void preJobInfo();
  void nextJobInfo();
  void focusCurrentAnnotation();

  // UIQuadrantViewDelegate
  int numberOfLevelInQuadrantView(UIQuadrantView&) override { return 1; }
  int numberOfVercitalInQuadrantView(UIQuadrantView&) override { return 1; }
  void didSelectAtIndexLocation(UIQuadrantView& view, platform::IndexPath location) override;
  void didHighlightQuadViewAtIndexLocation(UIQuadrantView& view, platform::IndexPath location) override;
  void didUnhighlightAreaQuadViewAtIndexLocation(UIQuadrantView& view, platform::IndexPath location) override;
  // The card's one cell reads as the company of the job shown, so a finger (or the runner) finds it.
  std::optional<std::shared_ptr<QuadView>> viewInIndexLocation(UIQuadrantView& view,
                                                               platform::IndexPath location,
                                                               platform::Rect rectOfQuadView) override;

  std::shared_ptr<CustomMapMultiBubbleDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<CustomMapMultiBubbleDelegate> d) { delegate_ = std::move(d); }
  const std::vector<std::shared_ptr<DataItemDetail>>& arrJobDetails() const { return arrJobDetails_; }
  std::uint32_t currentJobIndex() const { return currentJobIndex_; }
  void setCurrentJobIndex(std::uint32_t i) { currentJobIndex_ = i; }

  const std::shared_ptr<platform::Label>& jobname() const { return jobname_; }
  const std::shared_ptr<platform::Label>& coname() const { return coname_; }
  const std::shared_ptr<platform::Label>& jobarea() const { return jobarea_; }
  const std::shared_ptr<platform::Label>& issuedate() const { return issuedate_; }
  const std::shared_ptr<platform::Label>& jobsummary() const { return jobsummary_; }
  const std::shared_ptr<platform::Label>& jobinfo() const { return jobinfo_; }
  const std::shared_ptr<platform::Label>& jobIndex() const { return jobIndex_; }
  const std::shared_ptr<UIQuadrantView>& whiteBg() const { return whiteBg_; }
  const std::shared_ptr<platform::ImageView>& grayBg() const { return grayBg_; }
  const std::shared_ptr<platform::Button>& preJobInfoButton() const { return preJobInfoButton_; }
  const std::shared_ptr<platform::Button>& nextJobInfoButton() const { return nextJobInfoButton_; }

  // The non-empty parts joined by "  |  ".
  static std::string appendJobSummaryInfo(const std::vector<std::string>& parts);

 private:
  void build();
  void loadBtnStatus(std::uint32_t index);
  void changeControlsFrame(bool multi);

  std::shared_ptr<platform::Label> jobname_, coname_, jobarea_, issuedate_, jobsummary_, jobinfo_, jobIndex_;
  std::shared_ptr<platform::ImageView> arrow_;
  std::shared_ptr<platform::ImageView> grayBg_;
  std::shared_ptr<UIQuadrantView> whiteBg_;
  std::shared_ptr<platform::Button> preJobInfoButton_, nextJobInfoButton_;
  std::weak_ptr<CustomMapMultiBubbleDelegate> delegate_;
  std::vector<std::shared_ptr<DataItemDetail>> arrJobDetails_;
  std::uint32_t currentJobIndex_ = 0;

 protected:
  explicit CustomMapMultiBubbleView(platform::Rect frame);
};

}  // namespace kavro
