#include "kit/ui/DictPickerController.h"

#include <array>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/DataAppDictDB.h"
#include "kit/core/UserCoreInfo.h"
#include "kit/ui/BarButtonItemExt.h"
#include "kit/ui/DictPickerDataCell.h"
#include "kit/ui/DictPickerGpsErrorCell.h"
#include "kit/ui/DictPickerGpsLoadingCell.h"
#include "kit/ui/DictPickerSectionCell.h"
#include "kit/ui/ResumeListEmptyCell.h"
#include "kit/ui/ScreenSize.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/NavigationController.h"

namespace kavro {

namespace {

// The words after "store_dict_" of types 0 to 31.
constexpr std::array<std::string_view, 32> TypeWords = {"job_area",
                                                        "job_funtype",
                                                        "job_indtype",
                                                        "job_pubdate",
                                                        "job_salary_range",
                                                        "job_degree",
                                                        "job_term",
                                                        "job_workyear",
                                                        "job_cotype",
                                                        "job_landmark",
                                                        "salary_area",
                                                        "salary_funtype",
                                                        "salary_indtype",
                                                        "resume_hukou",
                                                        "resume_location",
                                                        "resume_gender",
                                                        "resume_situation",
                                                        "job_credentials",
                                                        "resume_yearsalary",
                                                        "resume_mobilearea",
                                                        "resume_major",
                                                        "resume_resume_degree",
                                                        "resume_cosize",
                                                        "resume_overseas",
                                                        "resume_forlang",
                                                        "resume_enlevel",
                                                        "resume_jplevel",
                                                        "resume_ability",
                                                        "resume_entrytime",
                                                        "resume_showresume",
                                                        "campus_famouscoindtype",
                                                        "campus_majortype"};

// The word of a listed type; the fallback row's for any other number.
std::string_view typeWord(DictType type) {
  const std::int32_t n = ToInt(type);
  return n >= 0 && n < static_cast<std::int32_t>(TypeWords.size()) ? TypeWords[static_cast<std::size_t>(n)]
                                                                   : std::string_view("resume_entrytime");
}

// Title words where they differ from the type's word.
std::string titleWord(DictType type) {
  const std::int32_t n = ToInt(type);
  if (type == DictType::ShowResume || n < 0 || n >= static_cast<std::int32_t>(TypeWords.size()))
    return "default";
  if (type == DictType::CampusFamousCompanyIndustry) return "campus_famousco_indtype";
  return std::string(typeWord(type));
}

// The order in which a dictionary name is matched to its cache.
constexpr std::array<std::string_view, 31> CachedWords = {"job_funtype",          "job_indtype",
                                                          "job_pubdate",          "job_salary_range",
                                                          "job_degree",           "job_term",
                                                          "job_workyear",         "job_cotype",
                                                          "salary_area",          "salary_funtype",
                                                          "salary_indtype",       "resume_hukou",
                                                          "resume_location",      "resume_gender",
                                                          "resume_situation",     "resume_yearsalary",
                                                          "resume_mobilearea",    "resume_major",
                                                          "resume_resume_degree", "resume_overseas",
                                                          "resume_cosize",        "job_area",
                                                          "job_landmark",         "resume_forlang",
                                                          "resume_enlevel",       "resume_jplevel",
                                                          "resume_ability",       "resume_entrytime",
                                                          "resume_showresume",    "campus_famouscoindtype",
                                                          "campus_majortype"};

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

DictPickerController::DictLoader& dictLoader() {
  static DictPickerController::DictLoader loader;
  return loader;
}

}  // namespace

void DictPickerController::setDictLoader(DictLoader loader) { dictLoader() = std::move(loader); }

// ---- Dictionaries ----------------------------------------------------------------------------

std::string DictPickerController::dictTypeToDictName(DictType dictType) {
  return AppCoreInfo::getLocalizedString("store_dict_" + std::string(typeWord(dictType)));
}

std::string DictPickerController::dictNameToCacheName(std::string_view dictName) {
  if (dictName.empty()) return {};
  for (std::string_view word : CachedWords) {
    std::string key = "store_dict_" + std::string(word);
    if (AppCoreInfo::getLocalizedString(key) == dictName) return upper(key);
  }
  return {};
}

std::string DictPickerController::getTitleByType(DictType dictType) {
  return AppCoreInfo::getLocalizedString("dictpicker_title_" + titleWord(dictType));
}

std::string DictPickerController::cachedVersionForDictName(std::string_view dictName) {
  std::string cache = dictNameToCacheName(dictName);
  if (cache.empty()) return {};
  auto db = AppCoreInfo::getDictDB();
  return db ? db->getStrValue(cache, VersionKey) : std::string();
}

bool DictPickerController::setVersionForDictName(std::string_view dictName,
                                                 std::optional<std::string_view> dictVersion) {
  std::string cache = dictNameToCacheName(dictName);
  auto db = AppCoreInfo::getDictDB();
  if (cache.empty() || !dictVersion || !db) return false;
  return db->setStrValue(cache, VersionKey, *dictVersion) > 0;
}

bool DictPickerController::removeAllForDictName(std::string_view dictName) {
  std::string cache = dictNameToCacheName(dictName);
  auto db = AppCoreInfo::getDictDB();
  if (cache.empty() || !db) return false;
  return db->clearItemsDataType(cache, {}, 0);
}

void DictPickerController::checkDictVersion(std::string_view dictName, std::string_view dictVersion) {
  std::string cached = cachedVersionForDictName(dictName);
  if (!cached.empty() && cached == dictVersion) return;
  removeAllForDictName(dictName);
  setVersionForDictName(dictName, dictVersion);
}

// ---- Opening and closing ---------------------------------------------------------------------

std::shared_ptr<DictPickerController> DictPickerController::pickerWidthType(
    DictType dictType, const std::shared_ptr<platform::ViewController>& delegate) {
  return pickerWidthType(dictType, nullptr, delegate);
}

std::shared_ptr<DictPickerController> DictPickerController::pickerWidthType(
    DictType dictType, std::shared_ptr<DataItemDetail> parentData,
    const std::shared_ptr<platform::ViewController>& delegate) {
  auto picker = initWithData(std::move(parentData), dictType, delegate);
  if (auto nav = delegate ? delegate->navigationController() : nullptr) nav->pushViewController(picker, true);
  return picker;
}

std::shared_ptr<DictPickerController> DictPickerController::pickerPresentWidthType(
    DictType dictType, const std::shared_ptr<platform::ViewController>& delegate) {
  auto picker = initWithData(nullptr, dictType, delegate);
  auto nav = platform::NavigationController::create(picker);
  std::weak_ptr<DictPickerController> weak = picker;
  barbutton::setCancelItem(*picker, [weak](platform::BarButtonItem&) {
    if (auto p = weak.lock()) p->closeDictPicker();
  });
  if (delegate) delegate->presentViewController(nav, true);
  return picker;
}

void DictPickerController::closeDictPicker() {
  auto nav = navigationController();
  if (!nav) return;
  const auto& stack = nav->viewControllers();
  if (!stack.empty() && std::dynamic_pointer_cast<DictPickerController>(stack.front())) {
    nav->dismissViewControllerAnimated(true);
  } else if (auto d = delegate_.lock()) {
    nav->popToViewController(d.get(), true);
  }
}

DictPickerController::~DictPickerController() {
  platform::RunLoop::main().cancelPerforms(this);
  if (locating_) LocationUtil::stopLocation();
  if (dictView_) {
    for (const auto& s : dictView_->sections()) s->stopLoading();
  }
}

// ---- Store -----------------------------------------------------------------------------------

std::string DictPickerController::getCacheType() const {
  return dictNameToCacheName(dictTypeToDictName(dictType_));
}

std::string DictPickerController::getCacheKey(const DataItemDetail* parent) const {
  std::string code = parent ? parent->getDictCode() : std::string(RootCode);
  return code + "." + UserCoreInfo::getResumeLanguage();
}

// ---- Screen ----------------------------------------------------------------------------------

void DictPickerController::customView() {
  UIBasicController::customView();
  setTitle(parentData_ ? parentData_->getDictValue() : getTitleByType(dictType_));
  initDictView();
  loadDictView();
}

void DictPickerController::initDictView() {
  dictView_ = ListView::create(isAreaRoot());
  dictView_->setFrame(platform::Rect(0, 44, screen::screenWidth(), view()->bounds().height() - 44));
  dictView_->setCtrl(weakAs<DictPickerController>());
  view()->addSubview(dictView_);
}

void DictPickerController::loadDictView() {
  std::shared_ptr<ListViewData> loading;
  if (isAreaRoot()) {
    auto gps = ListViewData::newData();
    gps->setMDataCellClass(platform::classFor<DictPickerDataCell>());
    gps->setShowHeader(true);
    gps->setTitle(AppCoreInfo::getLocalizedString("common_text_gps_city"));
    gps->setMLoadingCellClass(platform::classFor<DictPickerGpsLoadingCell>());
    gps->setMErrorCellClass(platform::classFor<DictPickerGpsErrorCell>());
    gps->setListViewDataStatus(ListViewDataStatus::Loading);
    dictView_->addSectionWithData(gps);
    std::weak_ptr<DictPickerController> weak = sharedAs<DictPickerController>();
    platform::RunLoop::main().performAfter(LocationStartDelay, this, [weak] {
      if (auto p = weak.lock()) p->startGetLocation();
    });
    loading = ListViewData::newData();
    loading->setMDataCellClass(platform::classFor<ResumeListEmptyCell>());
    loading->setShowHeader(true);
    loading->setTitle(AppCoreInfo::getLocalizedString("common_text_hot_city"));
  } else {
    loading = ListViewData::newData();
    loading->setMDataCellClass(platform::classFor<ResumeListEmptyCell>());
  }
  dictView_->addSectionWithData(loading);

  std::string cache = getCacheType();
  auto db = AppCoreInfo::getDictDB();
  if (!cache.empty() && db && db->hasBinItem(cache, "items." + getCacheKey(parentData_.get()))) {
    loading->setListViewDataStatus(ListViewDataStatus::Loading);
    dictView_->reloadData();
    std::weak_ptr<DictPickerController> weak = sharedAs<DictPickerController>();
    std::weak_ptr<ListViewData> section = loading;
    platform::RunLoop::main().performAfter(CacheFillDelay, this, [weak, section] {
      auto p = weak.lock();
      auto s = section.lock();
      if (p && s) p->loadDictFromCache(s);
    });
  } else {
    loading->loadData();
  }
}

void DictPickerController::loadDictFromCache(const std::shared_ptr<ListViewData>& section) {
  auto db = AppCoreInfo::getDictDB();
  auto result = db ? db->getItemsCache(getCacheType(), getCacheKey(parentData_.get())) : nullptr;
  section->setListViewDataStatus(ListViewDataStatus::Loaded);
  if (result) fillListData(*section, *result);
  dictView_->reloadData();
}

void DictPickerController::fillListData(ListViewData& section, const DataItemResult& result) {
  if (!result.isValidListData()) return;
  for (const auto& row : result.dataList()) {
    row->setCellClass(row->getDictIsSection() ? platform::classFor<DictPickerSectionCell>()
                                              : platform::classFor<DictPickerDataCell>());
  }
  auto& rows = *section.listData();
  if (isAreaRoot()) {
    auto provinces = ListViewData::newData();
    provinces->setMDataCellClass(platform::classFor<ResumeListEmptyCell>());
    provinces->setShowHeader(true);
    provinces->setTitle(AppCoreInfo::getLocalizedString("common_text_city_by_province"));
    for (const auto& row : result.dataList()) {
      if (row->getDictIsHot())
        rows.addItem(row);
      else
        provinces->listData()->addItem(row);
    }
    provinces->listData()->setMaxCount(static_cast<std::uint32_t>(provinces->count()));
    provinces->setListViewDataStatus(ListViewDataStatus::Loaded);
    dictView_->addSectionWithData(provinces);
  } else if (ignoreEmptyCodes_) {
    for (const auto& row : result.dataList()) {
      if (!row->getDictCode().empty() || row->getDictIsSection()) rows.addItem(row);
    }
  } else {
    rows.appendItems(&result);
  }
  rows.setMaxCount(static_cast<std::uint32_t>(rows.count()));
}

void DictPickerController::startGetLocation() {
  locating_ = true;
  LocationUtil::getLocationForType(LocationUtil::TypeJob, weakAs<DictPickerController>());
}

void DictPickerController::locationUtil(LocationUtil& util, bool isSucceed) {
  locating_ = false;
  if (!dictView_ || dictView_->sections().empty()) return;
  auto gps = dictView_->dataOfSection(0);
  gps->setListViewDataStatus(ListViewDataStatus::Loaded);
  gps->setIsLoadDataOK(isSucceed);
  gps->listData()->clear();
  gps->listData()->setMessage(util.getErrorMessage());
  gps->listData()->setHasError(!isSucceed);
  if (isSucceed) {
    if (auto entry = util.lastLocationForType(LocationUtil::TypeJob)) {
      entry->setCellClass(platform::classFor<DictPickerDataCell>());
      gps->listData()->addItem(entry);
    }
    gps->listData()->setMaxCount(static_cast<std::uint32_t>(gps->count()));
  }
  dictView_->reloadData();
}

// ---- List ------------------------------------------------------------------------------------

DictPickerController::ServerCall DictPickerController::serverCallForType(DictType dictType) {
  if (IsAreaDict(dictType)) return ServerCall::JobArea;
  if (dictType == DictType::JobFunction || dictType == DictType::Industry ||
      dictType == DictType::ResumeMajor)
    return ServerCall::SpecialDataDict;
  return ServerCall::DataDict;
}

std::shared_ptr<DataLoadAndParser> DictPickerController::startLoader(ServerCall call, ListViewData& section) {
  std::string code = parentData_ ? parentData_->getDictCode() : std::string();
  auto delegate = section.loaderDelegate();
  if (!dictLoader()) return DataLoadAndParser::failWithMessage("no dictionary service", delegate);
  return dictLoader()(call, dictTypeToDictName(dictType_), code, delegate);
}

std::optional<std::shared_ptr<DataLoadAndParser>> DictPickerController::listViewData(ListViewData& section) {
  return startLoader(serverCallForType(dictType_), section);
}

bool DictPickerController::listViewDataOnReceived(ListViewData& section, const DataItemResult& result) {
  auto& rows = *section.listData();
  if (result.hasError()) {
    rows.setHasError(true);
    rows.setLocalError(result.localError());
    rows.setMessage(result.message());
    return true;
  }
  if (result.isValidListData()) {
    std::string cache = getCacheType();
    if (auto db = AppCoreInfo::getDictDB(); db && !cache.empty())
      db->saveItemsCache(cache, getCacheKey(parentData_.get()), result);
  }
  fillListData(section, result);
  return true;
}

void DictPickerController::deliver(const std::shared_ptr<DataItemDetail>& entry) {
  auto keep = sharedAs<DictPickerController>();
  auto delegate = delegate_.lock();
  closeDictPicker();
  auto target = std::dynamic_pointer_cast<DictPickerControllerDelegate>(delegate);
  if (!target) return;
  if (parentData_ && parentData_->getDictCode() == entry->getDictCode())
    target->dictPicker(*this, parentData_);
  else
    target->dictPicker(*this, entry);
}

bool DictPickerController::listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) {
  auto entry = list.dataOfIndexPath(ip);
  if (!entry) return true;
  if (entry->getDictHasSubItem()) {
    auto next = initWithData(entry, dictType_, delegate_.lock());
    if (auto nav = navigationController()) nav->pushViewController(next, true);
    return true;
  }
  deliver(entry);
  return true;
}

bool DictPickerController::listViewLoadData(ListView& list, const platform::IndexPath& ip) {
  if (isAreaRoot() && ip.section == 0) {
    auto gps = list.dataOfSection(0);
    gps->setListViewDataStatus(ListViewDataStatus::Loading);
    list.reloadData();
    std::weak_ptr<DictPickerController> weak = sharedAs<DictPickerController>();
    platform::RunLoop::main().performAfter(LocationRetryDelay, this, [weak] {
      if (auto p = weak.lock()) p->startGetLocation();
    });
    return true;
  }
  if (auto section = list.dataOfSection(ip.section)) section->loadData();
  return true;
}

}  // namespace kavro
