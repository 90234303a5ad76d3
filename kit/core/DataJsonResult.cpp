#include "kit/core/DataJsonResult.h"

#include "kit/codec/json/DataJSONBoxDeserializing.h"
#include "kit/codec/json/StringJSONBoxDeserializing.h"
#include "kit/core/StringError.h"

namespace kavro {

namespace {
constexpr std::string_view kResult = "result";
constexpr std::string_view kLocalError = "localError";
constexpr std::string_view kStatus = "status";
constexpr std::string_view kMessage = "message";
constexpr std::string_view kTotalCount = "totalcount";
constexpr std::string_view kItems = "items";
}  // namespace

DataJsonResult::DataJsonResult(Token) : map_(platform::MutableDictionary::create()) {}

std::shared_ptr<DataJsonResult> DataJsonResult::dataWithString(std::string_view json) {
  auto r = std::make_shared<DataJsonResult>(Token());
  if (!json.empty() && !r->appendJsonString(json)) r->setLocalError(true);
  return r;
}

std::shared_ptr<DataJsonResult> DataJsonResult::dataWithData(const platform::Data& json) {
  auto r = std::make_shared<DataJsonResult>(Token());
  if (!json.empty() && !r->appendJsonData(json)) r->setLocalError(true);
  return r;
}

std::shared_ptr<DataJsonResult> DataJsonResult::fromUTF8JSON(std::string_view json) {
  return dataWithString(json);
}

bool DataJsonResult::merge(const platform::Value& root, const platform::Error& parseError) {
  auto dict = root.dictionaryValue();
  if (!dict) {
    // Text that parsed but is no object leaves no parse error behind.
    error_ = root.isNull() ? std::optional<platform::Error>(parseError) : std::nullopt;
    return false;
  }
  dict->enumerate([&](const std::string& key, const platform::Value& value) {
    map_->setObject(value, key);
    return true;
  });
  return true;
}

bool DataJsonResult::appendJsonString(std::string_view json) {
  platform::Error err;
  platform::Value root = json::objectFromJSONString(json, JBParseOptionNone, &err);
  return merge(root, err);
}

bool DataJsonResult::appendJsonData(const platform::Data& json) {
  platform::Error err;
  platform::Value root = json::objectFromJSONData(json, JBParseOptionNone, &err);
  return merge(root, err);
}

void DataJsonResult::setHasError(bool value) { map_->setObject(value ? "0" : "1", kResult); }

bool DataJsonResult::getHasError() const { return hasKey(kResult) && !getBool(kResult); }

void DataJsonResult::setLocalError(bool value) {
  map_->setObject(value ? "1" : "0", kLocalError);
  if (value) setHasError(true);
}

bool DataJsonResult::getLocalError() const { return getBool(kLocalError); }

void DataJsonResult::setStatusCode(std::int32_t value) { map_->setObject(std::to_string(value), kStatus); }

std::int32_t DataJsonResult::getStatusCode() const { return static_cast<std::int32_t>(getInt(kStatus)); }

void DataJsonResult::setMessage(std::string_view value) { map_->setObject(std::string(value), kMessage); }

std::string DataJsonResult::getMessage() const {
  std::string message = getString(kMessage);
  if (message.empty() && getHasError() && error_) return str::fromError(&*error_);
  return message;
}

std::string DataJsonResult::getString(std::string_view key) const {
  const platform::Value* v = map_->objectForKey(key);
  if (!v) return "";
  if (v->isString()) return v->stringValue();
  if (v->isNumber()) return v->description();
  return "";
}

std::int64_t DataJsonResult::getInt(std::string_view key) const {
  const platform::Value* v = map_->objectForKey(key);
  return v ? integerValueOf(*v) : 0;
}

bool DataJsonResult::getBool(std::string_view key) const {
  const platform::Value* v = map_->objectForKey(key);
  return v && boolValueOf(*v);
}

bool DataJsonResult::hasKey(std::string_view key) const { return map_->objectForKey(key) != nullptr; }

std::shared_ptr<platform::Array> DataJsonResult::getArrayForKey(std::string_view key) const {
  const platform::Value* v = map_->objectForKey(key);
  return v ? v->arrayValue() : nullptr;
}

std::shared_ptr<DataItemDetail> DataJsonResult::toDataItemDetail() const {
  return detailFromDictionary(map_.get());
}

std::shared_ptr<DataItemResult> DataJsonResult::toDataItemResult() const {
  auto r = DataItemResult::create();
  auto d = toDataItemDetail();
  if (d->hasKey(kResult)) {
    r->setHasError(!d->getBool(kResult));
    d->dictData()->removeObjectForKey(kResult);
  } else if (error_) {
    r->setHasError(true);
    r->setLocalError(true);
    r->setMessage(str::fromError(&*error_));
  }
  // A network or parse failure stays a local failure, not a server answer.
  if (getLocalError()) r->setLocalError(true);
  if (d->hasKey(kMessage)) {
    r->setMessage(d->getString(kMessage));
    d->dictData()->removeObjectForKey(kMessage);
  }
  if (r->localError() && r->message().empty()) r->setMessage(getMessage());
  if (d->hasKey(kStatus)) {
    r->setStatusCode(static_cast<std::int32_t>(d->getInt(kStatus)));
    d->dictData()->removeObjectForKey(kStatus);
  }
  if (d->hasKey(kTotalCount)) {
    std::int64_t total = d->getInt(kTotalCount);
    r->setMaxCount(total < 0 ? 0u : static_cast<std::uint32_t>(std::min<std::int64_t>(total, UINT32_MAX)));
    d->dictData()->removeObjectForKey(kTotalCount);
  }
  if (d->hasKey(kItems)) {
    if (auto items = d->getObject(kItems).arrayValue()) {
      for (std::size_t i = 0; i < items->count(); ++i) {
        auto row = DataItemDetail::newDetail();
        if (auto obj = items->objectAtIndex(i).dictionaryValue()) row->appendDict(obj.get());
        r->addItem(row);
      }
    }
    d->dictData()->removeObjectForKey(kItems);
  }
  r->detailInfo()->append(d.get());
  return r;
}

std::string DataJsonResult::description() const { return "<DataJsonResult " + map_->description() + ">"; }

std::shared_ptr<DataItemDetail> detailFromDictionary(const platform::Dictionary* dict) {
  if (!dict) return nullptr;
  auto d = DataItemDetail::newDetail();
  d->appendDict(dict);
  return d;
}

std::shared_ptr<DataItemDetail> detailFromJsonResult(const DataJsonResult* json) {
  return json ? detailFromDictionary(json->getDictData().get()) : nullptr;
}

std::shared_ptr<DataItemDetail> detailFromUTF8JSON(std::string_view json) {
  auto r = DataJsonResult::fromUTF8JSON(json);
  return detailFromJsonResult(r.get());
}

std::shared_ptr<DataItemResult> resultFromArray(const platform::Array* list) {
  if (!list) return nullptr;
  auto r = DataItemResult::create();
  for (std::size_t i = 0; i < list->count(); ++i) {
    const platform::Value& v = list->objectAtIndex(i);
    if (auto detail = v.as<DataItemDetail>()) {
      r->addItem(detail);
    } else if (auto json = v.as<DataJsonResult>()) {
      r->addItem(detailFromJsonResult(json.get()));
    } else if (auto dict = v.dictionaryValue()) {
      r->addItem(detailFromDictionary(dict.get()));
    }
  }
  return r;
}

std::shared_ptr<DataItemResult> resultFromUTF8JSON(std::string_view json) {
  return DataJsonResult::fromUTF8JSON(json)->toDataItemResult();
}

}  // namespace kavro
