#include <gtest/gtest.h>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppDictDB.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/DictPickerDataCell.h"
#include "kit/ui/DictPickerGpsErrorCell.h"
#include "kit/ui/DictPickerSectionCell.h"
#include "platform/ui/NavigationController.h"
#include "tests/kit/ui/DictPickerTestSupport.h"

namespace kavro {
namespace {

using test::DictEntry;
using test::dictXml;

class DictPickerControllerTest : public test::DictPickerTest {};

TEST_F(DictPickerControllerTest, ALevelComesFromTheServerOnceThenFromTheStorePerLanguage) {
  auto picker = DictPickerController::pickerWidthType(DictType::Education, screen);
  picker->view();
  ASSERT_EQ(server.requests.size(), 1u);
  EXPECT_EQ(server.requests[0].call, DictPickerController::ServerCall::DataDict);
  EXPECT_EQ(server.requests[0].ddtype, AppCoreInfo::getLocalizedString("store_dict_job_degree"));
  EXPECT_EQ(server.requests[0].code, "");
  server.answer(0, dictXml({{"01", "college"}, {"02", "bachelor"}}));
  auto section = picker->dictView()->dataOfSection(0);
  ASSERT_EQ(section->count(), 2u);
  EXPECT_EQ(section->listData()->dataList()[0]->getCellClass(), platform::classFor<DictPickerDataCell>());
  auto db = AppCoreInfo::getDictDB();
  EXPECT_TRUE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.$root$.c"));

  auto again = DictPickerController::pickerWidthType(DictType::Education, screen);
  again->view();
  EXPECT_EQ(server.requests.size(), 1u);
  EXPECT_EQ(again->dictView()->dataOfSection(0)->listViewDataStatus(), ListViewDataStatus::Loading);
  runFor(0.1);
  EXPECT_EQ(again->dictView()->dataOfSection(0)->count(), 2u);
  EXPECT_EQ(again->dictView()->dataOfSection(0)->listViewDataStatus(), ListViewDataStatus::Loaded);

  UserCoreInfo::sharedUserCoreInfo().setIsEnglishResume(true);
  auto english = DictPickerController::pickerWidthType(DictType::Education, screen);
  english->view();
  ASSERT_EQ(server.requests.size(), 2u);
  server.answer(1, dictXml({{"01", "College"}}));
  EXPECT_TRUE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.$root$.e"));
  EXPECT_TRUE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.$root$.c"));
}

TEST_F(DictPickerControllerTest, FailuresAndEmptyAnswersAreNotStoredAndTheErrorRowRetries) {
  auto picker = DictPickerController::pickerWidthType(DictType::PublicationDate, screen);
  picker->view();
  server.answer(0, dictXml({}, false, "busy"));
  auto section = picker->dictView()->dataOfSection(0);
  EXPECT_TRUE(section->listData()->hasError());
  EXPECT_EQ(section->listData()->message(), "busy");
  picker->listViewLoadData(*picker->dictView(), platform::IndexPath::forRow(0, 0));
  ASSERT_EQ(server.requests.size(), 2u);
  server.answer(1, dictXml({}));
  EXPECT_EQ(section->count(), 0u);
  EXPECT_FALSE(AppCoreInfo::getDictDB()->hasBinItem("STORE_DICT_JOB_PUBDATE"));
}

TEST_F(DictPickerControllerTest, ALeafGoesToTheDelegateAndAWholeGroupEntryReturnsItsParent) {
  auto picker = DictPickerController::pickerWidthType(DictType::JobFunction, screen);
  picker->view();
  EXPECT_EQ(server.requests[0].call, DictPickerController::ServerCall::SpecialDataDict);
  server.answer(0, dictXml({{"0100", "IT", true}, {"0200", "Sales", true}}));
  platform::ViewController::finishPendingTransitions();

  picker->listViewSelectedIndexPath(*picker->dictView(), platform::IndexPath::forRow(0, 0));
  platform::ViewController::finishPendingTransitions();
  auto child = std::dynamic_pointer_cast<DictPickerController>(nav->topViewController());
  ASSERT_TRUE(child && child != picker);
  child->view();
  ASSERT_EQ(server.requests.size(), 2u);
  EXPECT_EQ(server.requests[1].code, "0100");
  EXPECT_EQ(child->title(), "IT");
  server.answer(1, dictXml({{"0100", "all of IT"}, {"0101", "software"}}));

  child->listViewSelectedIndexPath(*child->dictView(), platform::IndexPath::forRow(0, 0));
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(screen->picked.size(), 1u);
  EXPECT_EQ(screen->picked[0]->getDictValue(), "IT");
  EXPECT_EQ(nav->topViewController(), screen);
}

TEST_F(DictPickerControllerTest, ThePresentedPickerDismissesItsWholeStack) {
  auto picker = DictPickerController::pickerPresentWidthType(DictType::WorkExperience, screen);
  platform::ViewController::finishPendingTransitions();
  picker->view();
  server.answer(0, dictXml({{"1", "one year"}}));
  picker->listViewSelectedIndexPath(*picker->dictView(), platform::IndexPath::forRow(0, 0));
  platform::ViewController::finishPendingTransitions();
  ASSERT_EQ(screen->picked.size(), 1u);
  EXPECT_EQ(screen->picked[0]->getDictCode(), "1");
  EXPECT_EQ(nav->presentedViewController(), nullptr);
}

TEST_F(DictPickerControllerTest, IgnoringEmptyCodesKeepsSectionHeadings) {
  auto picker = DictPickerController::pickerWidthType(DictType::SalaryRange, screen);
  picker->setIgnoreEmptyCodes(true);
  picker->view();
  server.answer(0, dictXml({{"", "heading", false, true}, {"", "any"}, {"3", "3000"}}));
  auto rows = picker->dictView()->dataOfSection(0)->listData()->dataList();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]->getCellClass(), platform::classFor<DictPickerSectionCell>());
  EXPECT_EQ(rows[1]->getDictValue(), "3000");
}

TEST_F(DictPickerControllerTest, TheJobAreaRootSplitsHotCitiesFromProvinces) {
  auto picker = DictPickerController::pickerWidthType(DictType::JobArea, screen);
  picker->setIgnoreEmptyCodes(true);
  picker->view();
  EXPECT_TRUE(picker->dictView()->isGroupedTable());
  EXPECT_EQ(server.requests[0].call, DictPickerController::ServerCall::JobArea);
  server.answer(
      0,
      dictXml({{"010000", "Beijing", false, false, true}, {"", "no code"}, {"030000", "Guangdong", true}}));
  ASSERT_EQ(picker->dictView()->sections().size(), 3u);
  EXPECT_EQ(picker->dictView()->dataOfSection(0)->title(),
            AppCoreInfo::getLocalizedString("common_text_gps_city"));
  EXPECT_EQ(picker->dictView()->dataOfSection(1)->count(), 1u);
  EXPECT_EQ(picker->dictView()->dataOfSection(2)->count(), 2u);
  EXPECT_EQ(picker->dictView()->dataOfSection(2)->title(),
            AppCoreInfo::getLocalizedString("common_text_city_by_province"));
}

TEST_F(DictPickerControllerTest, TheGpsRowAsksForTheLocationLateAndRetriesAfterAFailure) {
  auto picker = DictPickerController::pickerWidthType(DictType::JobArea, screen);
  picker->view();
  auto gps = picker->dictView()->dataOfSection(0);
  EXPECT_EQ(gps->listViewDataStatus(), ListViewDataStatus::Loading);
  EXPECT_EQ(LocationUtil::sharedLocationUtil().delegate().lock(), nullptr);
  runFor(0.3);
  EXPECT_EQ(LocationUtil::sharedLocationUtil().delegate().lock(), picker);

  picker->locationUtil(LocationUtil::sharedLocationUtil(), false);
  EXPECT_EQ(gps->listViewDataStatus(), ListViewDataStatus::Loaded);
  EXPECT_FALSE(gps->isLoadDataOK());
  EXPECT_EQ(gps->count(), 0u);
  // The row says why and what to do, in the skin's error text, from the left.
  picker->dictView()->layoutIfNeeded();
  auto row = std::dynamic_pointer_cast<DictPickerGpsErrorCell>(
      picker->dictView()->cellForRowAtIndexPath(platform::IndexPath::forRow(0, 0)));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->label()->text(), AppCoreInfo::getLocalizedString("gps_failed_retry_tips"));
  EXPECT_EQ(row->label()->textAlignment(), platform::TextAlignment::Left);
  EXPECT_EQ(row->selectionStyle(), platform::TableViewCellSelectionStyle::None);
  LocationUtil::stopLocation();
  picker->listViewLoadData(*picker->dictView(), platform::IndexPath::forRow(0, 0));
  EXPECT_EQ(gps->listViewDataStatus(), ListViewDataStatus::Loading);
  EXPECT_EQ(server.requests.size(), 1u);  // the dictionary is not asked again
  runFor(1.0);
  EXPECT_EQ(LocationUtil::sharedLocationUtil().delegate().lock(), picker);
}

TEST_F(DictPickerControllerTest, NamesVersionsAndTitles) {
  // Numbers outside the list, on either side, serve as the last row.
  EXPECT_EQ(DictPickerController::dictTypeToDictName(static_cast<DictType>(40)),
            AppCoreInfo::getLocalizedString("store_dict_resume_entrytime"));
  EXPECT_EQ(DictPickerController::dictTypeToDictName(static_cast<DictType>(-1)),
            AppCoreInfo::getLocalizedString("store_dict_resume_entrytime"));
  EXPECT_EQ(DictPickerController::getTitleByType(static_cast<DictType>(40)),
            AppCoreInfo::getLocalizedString("dictpicker_title_default"));
  EXPECT_EQ(DictPickerController::getTitleByType(DictType::ShowResume),
            AppCoreInfo::getLocalizedString("dictpicker_title_default"));
  std::string degree = DictPickerController::dictTypeToDictName(DictType::Education);
  EXPECT_EQ(DictPickerController::dictNameToCacheName(degree), "STORE_DICT_JOB_DEGREE");
  std::string credentials = DictPickerController::dictTypeToDictName(DictType::JobCredentials);
  EXPECT_EQ(DictPickerController::dictNameToCacheName(credentials), "");
  EXPECT_FALSE(DictPickerController::setVersionForDictName(credentials, "3"));
  EXPECT_FALSE(DictPickerController::setVersionForDictName(degree, std::nullopt));

  auto db = AppCoreInfo::getDictDB();
  auto level = DataItemResult::create();
  auto row = DataItemDetail::newDetail();
  row->setDictCode("1");
  level->addItem(row);
  db->saveItemsCache("STORE_DICT_JOB_DEGREE", "$root$.c", *level);
  db->saveItemsCache("STORE_DICT_JOB_DEGREE", "01.e", *level);
  DictPickerController::checkDictVersion(degree, "7");
  EXPECT_FALSE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.$root$.c"));
  EXPECT_FALSE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.01.e"));
  EXPECT_EQ(DictPickerController::cachedVersionForDictName(degree), "7");
  db->saveItemsCache("STORE_DICT_JOB_DEGREE", "$root$.c", *level);
  DictPickerController::checkDictVersion(degree, "7");
  EXPECT_TRUE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.$root$.c"));
  DictPickerController::checkDictVersion(degree, "8");
  EXPECT_FALSE(db->hasBinItem("STORE_DICT_JOB_DEGREE", "items.$root$.c"));
}

}  // namespace
}  // namespace kavro
