#pragma once
#include <memory>

#include "kit/core/DataLoadAndParser.h"

namespace kavro {

// Runs a server call that changes something for code with no screen to take the answer (the
// application's URI actions): shows a "submitting" tip, waits for the loader's answer, shows its
// message (an alert for a failure, a self-hiding tip otherwise) and then lets itself and the loader
// go. The caller keeps no reference. Main thread only.
class ApiOperateHandle : public DataLoadAndParserDelegate,
                         public std::enable_shared_from_this<ApiOperateHandle> {
 public:
  // Hand over a loader started with no delegate. Null for no loader (nothing is shown). A loader
  // that has already finished is answered at once, so the tip never stays up waiting for nothing.
  static std::shared_ptr<ApiOperateHandle> processForDataLoader(std::shared_ptr<DataLoadAndParser> loader);

  void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) override;
  void showTips() {}

  const std::shared_ptr<DataLoadAndParser>& dataLoader() const { return dataLoader_; }
  void setDataLoader(std::shared_ptr<DataLoadAndParser> loader) { dataLoader_ = std::move(loader); }

 private:
  void initWithLoader(std::shared_ptr<DataLoadAndParser> loader);

  std::shared_ptr<DataLoadAndParser> dataLoader_;
  std::shared_ptr<ApiOperateHandle> selfRetain_;  // until the answer has been shown

 protected:
  ApiOperateHandle() = default;
};

}  // namespace kavro
