#pragma once
#include <memory>
#include <optional>

#include "kit/core/DataItemResult.h"
#include "kit/core/DataLoadAndParser.h"
#include "platform/ui/IndexPath.h"

namespace platform {
class TextField;
}

namespace kavro {

class ListView;
class ListViewData;
class DataTableCell;

// What a list asks of the screen that owns it. Every method is optional: a "handled" false or an
// empty optional (the defaults) means "not implemented", and the list then does what it does
// without a controller's word.
class ListViewDelegate {
 public:
  virtual ~ListViewDelegate() = default;

  virtual bool listViewOnReloaded(ListView& list) { return false; }
  // A record row was tapped.
  virtual bool listViewSelectedIndexPath(ListView& list, const platform::IndexPath& ip) { return false; }
  // The "more" row was tapped (the section then loads its next page).
  virtual bool listViewOnTurnPage(ListView& list, const platform::IndexPath& ip) { return false; }
  // The error row was tapped; when handled the section does nothing more.
  virtual bool listViewLoadData(ListView& list, const platform::IndexPath& ip) { return false; }
  virtual std::optional<bool> listViewCanEditRowAtIndexPath(ListView& list, const platform::IndexPath& ip) {
    return std::nullopt;
  }
  // false: keep the row.
  virtual std::optional<bool> listViewRemoveCell(ListView& list, DataTableCell& cell) { return std::nullopt; }
  virtual bool listViewAccessoryButtonTappedForRowWithIndexPath(ListView& list,
                                                                const platform::IndexPath& ip) {
    return false;
  }
  // A started loader for the section's pageAt() and pageSize(), reporting to
  // section.loaderDelegate(); or nullptr.
  virtual std::optional<std::shared_ptr<DataLoadAndParser>> listViewData(ListViewData& section) {
    return std::nullopt;
  }
  // Takes the rows of an answer instead of the section's default.
  virtual bool listViewDataOnReceived(ListViewData& section, const DataItemResult& result) { return false; }
  // Asked before listViewData(); the same answer.
  virtual std::optional<std::shared_ptr<DataLoadAndParser>> dataLoaderForSection(ListViewData& section) {
    return std::nullopt;
  }
  // A cached answer (taken at once, no loader is started), or nullptr.
  virtual std::optional<std::shared_ptr<DataItemResult>> dataCacheForSection(ListViewData& section) {
    return std::nullopt;
  }
  // Takes the rows of an answer; asked before listViewDataOnReceived().
  virtual bool dataLoadedForSection(ListViewData& section, const DataItemResult& result, bool isCachedData) {
    return false;
  }

  // Form screens: an input row's text changed, and the last input row's return asks to submit.
  virtual bool onEditingChanged(platform::TextField& field) { return false; }
  virtual bool submitData(ListView& list) { return false; }
};

}  // namespace kavro
