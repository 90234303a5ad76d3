#include "kit/ui/ApiOperateHandle.h"

#include "kit/core/AppCoreInfo.h"
#include "kit/ui/AlertViewExt.h"

namespace kavro {

std::shared_ptr<ApiOperateHandle> ApiOperateHandle::processForDataLoader(
    std::shared_ptr<DataLoadAndParser> loader) {
  if (!loader) return nullptr;
  auto handle = std::shared_ptr<ApiOperateHandle>(new ApiOperateHandle());
  handle->initWithLoader(std::move(loader));
  return handle;
}

void ApiOperateHandle::initWithLoader(std::shared_ptr<DataLoadAndParser> loader) {
  dataLoader_ = std::move(loader);
  dataLoader_->setDelegate(weak_from_this());
  selfRetain_ = shared_from_this();
  alert::showTips(AppCoreInfo::getLocalizedString("common_text_submit_data_now"));
  // A finished loader reports nothing more.
  if (dataLoader_->isFinished()) {
    auto result = dataLoader_->getResult();
    if (result) {
      dataLoader(*dataLoader_, *result);
    } else {
      alert::hiddenTips();
      selfRetain_.reset();
    }
  }
}

void ApiOperateHandle::dataLoader(DataLoadAndParser& /*loader*/, const DataItemResult& result) {
  // Keeps this object alive to the end of the call.
  auto keep = std::move(selfRetain_);
  alert::hiddenTips();
  if (result.hasError())
    alert::showAlert(result.message());
  else
    alert::showTipsAutoHidden(result.message());
}

}  // namespace kavro
