#include "kit/core/JsonLoadAndParser.h"

#include "kit/core/StringError.h"

namespace kavro {

JsonLoadAndParser::JsonLoadAndParser(Token, std::weak_ptr<JsonLoadAndParserDelegate> delegate)
    : delegate_(std::move(delegate)), result_(DataJsonResult::dataWithString({})) {}

JsonLoadAndParser::~JsonLoadAndParser() { stopLoading(); }

std::shared_ptr<JsonLoadAndParser> JsonLoadAndParser::create(
    std::weak_ptr<JsonLoadAndParserDelegate> delegate) {
  return std::make_shared<JsonLoadAndParser>(Token{}, std::move(delegate));
}

std::shared_ptr<JsonLoadAndParser> JsonLoadAndParser::GetUrl(
    std::string_view url, std::weak_ptr<JsonLoadAndParserDelegate> delegate) {
  auto loader = create(std::move(delegate));
  loader->start(url);
  return loader;
}

std::shared_ptr<JsonLoadAndParser> JsonLoadAndParser::PostUrl(
    std::string_view url, std::optional<platform::Data> postData,
    std::weak_ptr<JsonLoadAndParserDelegate> delegate) {
  auto loader = create(std::move(delegate));
  loader->start(url, std::move(postData));
  return loader;
}

std::shared_ptr<JsonLoadAndParser> JsonLoadAndParser::initWithData(const platform::Data& data) {
  auto loader = create({});
  loader->started_ = true;
  loader->result_ = DataJsonResult::dataWithData(data);
  loader->finished_ = true;
  return loader;
}

void JsonLoadAndParser::start(std::string_view url, std::optional<platform::Data> postData) {
  if (started_ || finished_) return;
  started_ = true;
  selfRetain_ = shared_from_this();
  std::weak_ptr<DataHttpConnectionDelegate> self = std::shared_ptr<DataHttpConnectionDelegate>(
      selfRetain_, static_cast<DataHttpConnectionDelegate*>(this));
  connection_ = DataHttpConnection::create(url, std::move(postData), self);
}

void JsonLoadAndParser::stopLoading() {
  auto keep = weak_from_this().lock();
  delegate_.reset();
  if (connection_) connection_->stopLoading();
  connection_.reset();
  finished_ = true;
  selfRetain_.reset();
}

void JsonLoadAndParser::connectionOnError(DataHttpConnection&, const platform::Error& error) {
  if (finished_) return;
  result_->setHasError(true);
  result_->setLocalError(true);
  result_->setMessage(str::fromError(&error));
  onFinished();
}

void JsonLoadAndParser::connectionOnReceived(DataHttpConnection&, const platform::Data& data) {
  if (finished_) return;
  if (!result_->appendJsonData(data)) result_->setLocalError(true);
  onFinished();
}

void JsonLoadAndParser::onFinished() {
  if (finished_) return;
  finished_ = true;
  // The loader may be held only by itself, and the connection is the one calling.
  auto keep = std::move(selfRetain_);
  auto connection = std::move(connection_);
  auto delegate = delegate_.lock();
  if (!delegate) return;
  if (delegate->dataLoader(*this, *result_)) return;
  delegate->dataLoader(*this, *result_->toDataItemResult());
}

}  // namespace kavro
