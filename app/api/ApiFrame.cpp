#include "app/api/ApiFrame.h"

#include <utility>

#include "kit/base64/Base64.h"
#include "kit/core/StringMisc.h"
#include "kit/core/UserCoreInfo.h"
#include "platform/foundation/RunLoop.h"

namespace kavro {

namespace {

ApiFrame::Recorder& recorder() {
  static ApiFrame::Recorder* r = new ApiFrame::Recorder();
  return *r;
}

std::function<ApiFrame::Screen()>& screenProvider() {
  static auto* p = new std::function<ApiFrame::Screen()>();
  return *p;
}

}  // namespace

std::string ApiFrame::value(std::string_view text) { return str::urlEncoding(text); }

std::string ApiFrame::valueOrZero(std::string_view text) { return text.empty() ? "0" : value(text); }

std::string ApiFrame::accountID() { return value(UserCoreInfo::getAccountID()); }

std::string ApiFrame::key() { return value(UserCoreInfo::getMd5hash()); }

std::string ApiFrame::language() { return value(UserCoreInfo::getResumeLanguage()); }

std::string ApiFrame::upload(const std::optional<platform::Data>& data) {
  if (!hasData(data)) return "";
  return value(base64EncodeData(*data).value_or(""));
}

ApiLoader ApiFrame::get(const std::string& path, ApiDelegate delegate) {
  if (auto& r = recorder()) {
    r(ApiRequest{"GET", path, std::nullopt, std::nullopt});
    return DataLoadAndParser::create(std::move(delegate));
  }
  return DataLoadAndParser::GetUrl(path, std::move(delegate));
}

ApiLoader ApiFrame::post(const std::string& path, std::string_view body, ApiDelegate delegate) {
  return post(path, platform::dataFromString(body), std::move(delegate));
}

ApiLoader ApiFrame::post(const std::string& path, platform::Data body, ApiDelegate delegate) {
  if (auto& r = recorder()) {
    r(ApiRequest{"POST", path, std::move(body), std::nullopt});
    return DataLoadAndParser::create(std::move(delegate));
  }
  return DataLoadAndParser::PostUrl(path, std::move(body), std::move(delegate));
}

ApiLoader ApiFrame::fail(std::string_view message, ApiDelegate delegate) {
  return DataLoadAndParser::failWithMessage(message, std::move(delegate));
}

std::optional<platform::URL> ApiFrame::url(const std::string& path) {
  return DataHttpConnection::buildFullURL(path);
}

std::shared_ptr<DataHttpConnection> ApiFrame::connect(const std::string& path, platform::Data body,
                                                      std::weak_ptr<DataHttpConnectionDelegate> delegate,
                                                      std::string_view userAgent) {
  if (auto& r = recorder()) {
    r(ApiRequest{"POST", path, std::move(body), std::string(userAgent)});
    return nullptr;
  }
  return DataHttpConnection::PostUrl(path, std::move(body), std::move(delegate), std::string(userAgent));
}

ApiFrame::Screen ApiFrame::mainScreen() {
  auto& p = screenProvider();
  return p ? p() : Screen{};
}

void ApiFrame::setMainScreenProvider(std::function<Screen()> provider) {
  screenProvider() = std::move(provider);
}

void ApiFrame::setRequestRecorder(Recorder r) { recorder() = std::move(r); }

}  // namespace kavro
