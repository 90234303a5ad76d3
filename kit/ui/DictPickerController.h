#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "kit/core/LocationUtil.h"
#include "kit/ui/DictType.h"
#include "kit/ui/ListView.h"
#include "kit/ui/ListViewDelegate.h"
#include "kit/ui/UIBasicController.h"

namespace kavro {

class DictPickerController;

// Hears the entry a dictionary picker closed with; the picker has begun to close by then.
class DictPickerControllerDelegate {
 public:
  virtual ~DictPickerControllerDelegate() = default;
  virtual void dictPicker(DictPickerController& picker, const std::shared_ptr<DataItemDetail>& data) = 0;
};

// Picks one entry of a server data dictionary, one level per picker: an entry with a lower level
// opens that level in a new picker on the same navigation stack. Every level is fetched once per
// resume language and kept in the dictionary store until the server announces a new version of
// the dictionary. The job-area root also shows the GPS city and the hot cities. The delegate is a
// screen that adopts DictPickerControllerDelegate; the picker closes back to it. Main thread only.
class DictPickerController : public UIBasicController, public ListViewDelegate, public LocationUtilDelegate {
 public:
  // The server call that loads a level.
  enum class ServerCall { JobArea, SpecialDataDict, DataDict };
  // The kit does not know the server's request builders: the application hands them in.
  using DictLoader = std::function<std::shared_ptr<DataLoadAndParser>(
      ServerCall call, std::string_view ddtype, std::string_view code,
      std::weak_ptr<DataLoadAndParserDelegate> delegate)>;
  static void setDictLoader(DictLoader loader);

  static constexpr std::string_view RootCode = "$root$";
  static constexpr std::string_view VersionKey = "dictpickerCurrentDictVersion";
  static constexpr double CacheFillDelay = 0.1;
  static constexpr double LocationStartDelay = 0.3;
  static constexpr double LocationRetryDelay = 1.0;

  template <class T = DictPickerController>
  static std::shared_ptr<T> initWithData(std::shared_ptr<DataItemDetail> parent, DictType dictType,
                                         const std::shared_ptr<platform::ViewController>& delegate) {
    auto picker = UIBasicController::create<T>();
    picker->parentData_ = std::move(parent);
    picker->dictType_ = dictType;
    picker->delegate_ = delegate;
    return picker;
  }
  // Root level pushed on the delegate's navigation controller.
  static std::shared_ptr<DictPickerController> pickerWidthType(
      DictType dictType, const std::shared_ptr<platform::ViewController>& delegate);
  static std::shared_ptr<DictPickerController> pickerWidthType(
      DictType dictType, std::shared_ptr<DataItemDetail> parentData,
      const std::shared_ptr<platform::ViewController>& delegate);
  // Root level in a new navigation controller presented by the delegate, with a Cancel item.
  static std::shared_ptr<DictPickerController> pickerPresentWidthType(
      DictType dictType, const std::shared_ptr<platform::ViewController>& delegate);
  void closeDictPicker();

  // Dictionaries.
  static std::string dictTypeToDictName(DictType dictType);
  // "" when the name is no cached dictionary.
  static std::string dictNameToCacheName(std::string_view dictName);
  static std::string getTitleByType(DictType dictType);
  static std::string cachedVersionForDictName(std::string_view dictName);
  static bool setVersionForDictName(std::string_view dictName, std::optional<std::string_view> dictVersion);
  static bool removeAllForDictName(std::string_view dictName);
  // A version announced by the server: an unknown or changed version drops every stored level.
  static void checkDictVersion(std::string_view dictName, std::string_view dictVersion);

  std::shared_ptr<DataItemDetail> parentData() const { return parentData_; }
  void setParentData(std::shared_ptr<DataItemDetail> d) { parentData_ = std::move(d); }
  std::shared_ptr<platform::ViewController> delegateController() const { return delegate_.lock(); }
  DictType dictType() const { return dictType_; }
  const std::shared_ptr<ListView>& dictView() const { return dictView_; }
  bool ignoreEmptyCodes() const { return ignoreEmptyCodes_; }
  void setIgnoreEmptyCodes(bool b) { ignoreEmptyCodes_ = b; }

  std::string getCacheType() const;
  std::string getCacheKey(const DataItemDetail* parent) const;

  void customView() override;
  virtual void initDictView();
  virtual void loadDictView();
  void loadDictFromCache(const std::shared_ptr<ListViewData>& section);
  virtual void fillListData(ListViewData& section, const DataItemResult& result);
  void startGetLocation();

  std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) override;
  bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) override;
  bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) override;
  bool listViewLoadData(ListView& list, const platform::IndexPath& ip) override;
  void locationUtil(LocationUtil& util, bool isSucceed) override;

  ~DictPickerController() override;

 protected:
  bool isAreaRoot() const { return dictType_ == DictType::JobArea && !parentData_; }
  std::shared_ptr<DataLoadAndParser> startLoader(ServerCall call, ListViewData& section);
  static ServerCall serverCallForType(DictType dictType);
  void deliver(const std::shared_ptr<DataItemDetail>& entry);

  std::shared_ptr<ListView> dictView_;

 private:
  std::shared_ptr<DataItemDetail> parentData_;
  std::weak_ptr<platform::ViewController> delegate_;
  DictType dictType_ = DictType::JobArea;
  bool ignoreEmptyCodes_ = false;
  bool locating_ = false;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  DictPickerController() = default;
};

KAVRO_CLASS(DictPickerController, UIBasicController);

}  // namespace kavro
