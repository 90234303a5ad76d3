#include "app/services/KitServices.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/api/ApiDataDict.h"
#include "app/shell/AppCoreInfoApp.h"
#include "app/shell/AppTracking.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/ui/DictPickerController.h"
#include "kit/ui/UIKavroEmailTextField.h"
#include "kit/ui/WidgetTracking.h"

namespace kavro::appcore {

namespace {

// Hands one dictionary answer to a callback. Loaders hold their delegate weakly, so each fetch
// stays in the pending list until its answer came.
class DictionaryFetch : public DataLoadAndParserDelegate {
 public:
  using Done = std::function<void(const DataItemResult&)>;

  static void start(const std::string& dictName, Done done) {
    auto fetch = std::make_shared<DictionaryFetch>(std::move(done));
    pending().push_back(fetch);
    ApiDataDict::get_datadict(dictName, "", fetch);
  }

  explicit DictionaryFetch(Done done) : done_(std::move(done)) {}

  void dataLoader(DataLoadAndParser&, const DataItemResult& result) override {
    // Leave the list before the callback, which may start another fetch; keep this one alive
    // while its callback runs.
    std::shared_ptr<DictionaryFetch> self;
    auto& list = pending();
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->get() == this) {
        self = std::move(*it);
        list.erase(it);
        break;
      }
    }
    if (done_) done_(result);
  }

 private:
  static std::vector<std::shared_ptr<DictionaryFetch>>& pending() {
    static std::vector<std::shared_ptr<DictionaryFetch>> list;
    return list;
  }

  Done done_;
};

std::shared_ptr<DataLoadAndParser> loadDictLevel(DictPickerController::ServerCall call,
                                                 std::string_view ddtype, std::string_view code,
                                                 std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  switch (call) {
    case DictPickerController::ServerCall::JobArea:
      return ApiDataDict::get_jobarea(ddtype, code, std::move(delegate));
    case DictPickerController::ServerCall::SpecialDataDict:
      return ApiDataDict::get_special_datadict(ddtype, code, std::move(delegate));
    case DictPickerController::ServerCall::DataDict:
      break;
  }
  return ApiDataDict::get_datadict(ddtype, code, std::move(delegate));
}

}  // namespace

void installKitServices() {
  install();
  DictPickerController::setDictLoader(loadDictLevel);
  UIKavroEmailTextField::setDictionaryFetcher(DictionaryFetch::start);
  widgettracking::setRecorder(AppTracking::record);
}

}  // namespace kavro::appcore
