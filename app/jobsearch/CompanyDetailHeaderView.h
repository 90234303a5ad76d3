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

// A screen of a feature built on job search that hosts the header names the tracking point of
// the button to the community page.
class CompanyDetailHeaderHost {
 public:
  virtual ~CompanyDetailHeaderHost() = default;
  virtual std::string_view fansPageTrackingPoint() const = 0;
};

// The company name over a company's table, with a button to the company's community page
// (behind the login gate); without a company id the name takes the whole width. The target is
// the owning screen and is not retained. Main thread only.
class CompanyDetailHeaderView : public platform::View {
 public:
  static constexpr double ButtonWidth = 77;
  static constexpr double ButtonHeight = 31;

  static std::shared_ptr<CompanyDetailHeaderView> viewForCoid(std::string_view coid, std::string_view title,
                                                              std::weak_ptr<platform::ViewController> target);

  // The button's action; also the login gate's callback.
  void openFansCoHomePage();

  std::shared_ptr<platform::ViewController> target() const { return target_.lock(); }
  void setTarget(std::weak_ptr<platform::ViewController> t) { target_ = std::move(t); }
  const std::string& coid() const { return coid_; }
  const std::string& title() const { return title_; }
  const std::shared_ptr<platform::Label>& label() const { return label_; }
  const std::shared_ptr<platform::Button>& button() const { return button_; }

 private:
  void initWithCoid();

  std::shared_ptr<platform::Label> label_;
  std::shared_ptr<platform::Button> button_;
  std::weak_ptr<platform::ViewController> target_;
  std::string coid_;
  std::string title_;

 protected:
  CompanyDetailHeaderView() = default;
};

KAVRO_CLASS(CompanyDetailHeaderView, platform::View)
    .action("openFansCoHomePage", 0, [](CompanyDetailHeaderView& v, const platform::Arguments&) {
      v.openFansCoHomePage();
      return platform::Value();
    });

}  // namespace kavro
