#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/runtime/ClassRef.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"

namespace kavro {

// The job detail table's header: the job title and a button that asks how well the user's resume
// matches the job (behind the login gate). The target is the screen that parents what it opens;
// it is not retained. Main thread only.
class JobDetailHeaderView : public platform::View {
 public:
  static constexpr double ButtonWidth = 44;
  static constexpr double ButtonHeight = 40;

  static std::shared_ptr<JobDetailHeaderView> viewForJobID(std::string_view jobid, std::string_view title,
                                                           std::weak_ptr<platform::ViewController> target);

  // The button's action; also the login gate's callback.
  void watchResumeMatchPercent();

  // The layout of the detail headers: the title (skin "skinTableTitle") at x 10, the button (of
  // its own size) 5 points right of it, the header screen-wide and as high as its content plus 10,
  // title and button then placed at 7 with the rest of that height. Adds both; answers the label.
  static std::shared_ptr<platform::Label> addTitleWithButton(platform::View& header, std::string_view title,
                                                             const std::shared_ptr<platform::Button>& button);

  const std::string& jobid() const { return jobid_; }
  const std::string& title() const { return title_; }
  std::shared_ptr<platform::ViewController> target() const { return target_.lock(); }
  const std::shared_ptr<platform::Button>& button() const { return button_; }
  const std::shared_ptr<platform::Label>& label() const { return label_; }

 private:
  void build();

  std::string jobid_;
  std::string title_;
  std::weak_ptr<platform::ViewController> target_;
  std::shared_ptr<platform::Button> button_;
  std::shared_ptr<platform::Label> label_;

 protected:
  JobDetailHeaderView() = default;
};

KAVRO_CLASS(JobDetailHeaderView, platform::View)
    .action("watchResumeMatchPercent", 0, [](JobDetailHeaderView& v, const platform::Arguments&) {
      v.watchResumeMatchPercent();
      return platform::Value();
    });

}  // namespace kavro
