#include "app/account/MyResumeListController.h"

#include "app/account/UserLoginController.h"
#include "app/api/ApiUser.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/ViewControllerExt.h"

namespace kavro {

void MyResumeListCell::initCellView() {
  setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
}

void MyResumeListCell::bindCellData(bool) {
  auto record = detail();
  if (!record) return;
  textLabel()->setText(record->getString("cvname"));
  detailTextLabel()->setText(record->getString("lastupdate"));
}

void MyResumeListController::init() {
  UIBasicController::init();
  resumeList_ = ListView::create(false);
}

MyResumeListController::~MyResumeListController() {
  if (resumeList_) resumeList_->stopLoading();
}

void MyResumeListController::customView() {
  UIBasicController::customView();
  setTitle(AppCoreInfo::getLocalizedString("myresume_title"));
  resumeList_->setCtrl(weakAs<MyResumeListController>());
  vc::addFullSubview(*this, resumeList_);
  auto section = ListViewData::newDataOnListView(*resumeList_, platform::classFor<MyResumeListCell>());
  section->listData()->setItemUniqueKeyName("userid");
  if (UserCoreInfo::hasLogined()) section->loadData();
}

void MyResumeListController::viewDidAppear(bool animated) {
  UIBasicController::viewDidAppear(animated);
  if (UserCoreInfo::hasLogined() || askedForLogin_) return;
  askedForLogin_ = true;
  UserLoginController::loginWithParent(sharedAs<platform::ViewController>(), "loadResumes");
}

void MyResumeListController::userStatusChanged() {
  // Another account's resumes must not stay on screen.
  if (!UserCoreInfo::hasLogined()) {
    if (auto section = resumes()) section->clearData();
  }
}

void MyResumeListController::loadResumes() {
  view();
  if (auto section = resumes()) section->refreshData();
}

std::optional<std::shared_ptr<DataLoadAndParser>> MyResumeListController::listViewData(
    ListViewData& section) {
  return ApiUser::get_resume_list(section.loaderDelegate());
}

}  // namespace kavro
