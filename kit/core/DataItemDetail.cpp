#include "kit/core/DataItemDetail.h"

#include <limits>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kit/core/StringMisc.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Text.h"

namespace kavro {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::int64_t leadingInteger(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Accumulate towards the sign so that INT64_MIN reads exactly.
  std::int64_t n = 0;
  constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    int d = s[i] - '0';
    if (negative) {
      if (n < (lowest + d) / 10) return lowest;
      n = n * 10 - d;
    } else {
      if (n > (highest - d) / 10) return highest;
      n = n * 10 + d;
    }
  }
  return n;
}

std::string attributeKey(std::string_view attributeName, std::string_view nodeName) {
  std::string key;
  key.reserve(nodeName.size() + 1 + attributeName.size());
  key.append(nodeName).append(".").append(attributeName);
  return key;
}

bool validAttribute(std::string_view attributeName, std::string_view nodeName) {
  return !attributeName.empty() && !nodeName.empty();
}

}  // namespace

std::int64_t integerValueOf(const platform::Value& value) {
  if (value.isString()) return leadingInteger(value.stringValue());
  if (value.isNumber() || value.isBool()) return value.intValue();
  return 0;
}

bool boolValueOf(const platform::Value& value) {
  if (value.isNumber() || value.isBool()) return value.boolValue();
  if (!value.isString()) return false;
  std::string lower = platform::lowercase(value.stringValue());
  if (lower == "y" || lower == "on" || lower == "yes" || lower == "true") return true;
  return leadingInteger(lower) != 0;
}

DataItemDetail::DataItemDetail() : dictData_(platform::MutableDictionary::create()) {}

std::shared_ptr<DataItemDetail> DataItemDetail::dataItemDetailCopy() const {
  auto copy = newDetail();
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    copy->dictData_->setObject(platform::Value(value.stringValue()), key);
    return true;
  });
  return copy;
}

bool DataItemDetail::isEqualToDataItemDetail(const DataItemDetail* other) const {
  if (!other || other->count() != count()) return false;
  bool equal = true;
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    const platform::Value* theirs = other->dictData_->objectForKey(key);
    equal = theirs && theirs->stringValue() == value.stringValue();
    return equal;
  });
  return equal;
}

void DataItemDetail::append(const DataItemDetail* other) {
  if (other) appendDict(other->dictData_.get());
}

void DataItemDetail::appendDict(const platform::Dictionary* dict) {
  if (!dict) return;
  // Snapshot first: the source may be this record's own map.
  std::vector<std::pair<std::string, platform::Value>> pairs;
  pairs.reserve(dict->count());
  dict->enumerate([&](const std::string& key, const platform::Value& value) {
    if (!value.isNull()) pairs.emplace_back(key, value);
    return true;
  });
  for (auto& [key, value] : pairs) dictData_->setObject(std::move(value), key);
}

void DataItemDetail::clear() { dictData_->removeAllObjects(); }

std::string DataItemDetail::getString(std::string_view key) const {
  if (key.empty()) return "";
  const platform::Value* v = dictData_->objectForKey(key);
  return v ? v->stringValue() : std::string();
}

std::int64_t DataItemDetail::getInt(std::string_view key) const {
  if (key.empty()) return 0;
  const platform::Value* v = dictData_->objectForKey(key);
  return v ? integerValueOf(*v) : 0;
}

bool DataItemDetail::getBool(std::string_view key) const {
  if (key.empty()) return false;
  const platform::Value* v = dictData_->objectForKey(key);
  return v && boolValueOf(*v);
}

platform::Value DataItemDetail::getObject(std::string_view key) const {
  if (key.empty()) return {};
  const platform::Value* v = dictData_->objectForKey(key);
  return v ? *v : platform::Value();
}

bool DataItemDetail::hasKey(std::string_view key) const {
  return !key.empty() && dictData_->objectForKey(key) != nullptr;
}

bool DataItemDetail::hasKey(std::string_view key, std::string_view value) const {
  if (key.empty()) return false;
  const platform::Value* v = dictData_->objectForKey(key);
  return v && v->isString() && v->stringValue() == value;
}

bool DataItemDetail::setString(std::string_view value, std::string_view key) {
  if (key.empty()) return false;
  dictData_->setObject(platform::Value(value), key);
  return true;
}

bool DataItemDetail::setInt(std::int64_t value, std::string_view key) {
  if (key.empty()) return false;
  dictData_->setObject(platform::Value(std::to_string(value)), key);
  return true;
}

bool DataItemDetail::setBool(bool value, std::string_view key) {
  if (key.empty()) return false;
  dictData_->setObject(platform::Value(value ? "1" : "0"), key);
  return true;
}

void DataItemDetail::setObject(platform::Value value, std::string_view key) {
  if (key.empty() || value.isNull()) return;
  dictData_->setObject(std::move(value), key);
}

std::string DataItemDetail::getAttribute(std::string_view attributeName, std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) ? getString(attributeKey(attributeName, nodeName)) : "";
}

std::int64_t DataItemDetail::getIntAttribute(std::string_view attributeName,
                                             std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) ? getInt(attributeKey(attributeName, nodeName)) : 0;
}

bool DataItemDetail::getBoolAttribute(std::string_view attributeName, std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) && getBool(attributeKey(attributeName, nodeName));
}

bool DataItemDetail::setAttribute(std::string_view attributeName, std::string_view attributeValue,
                                  std::string_view nodeName) {
  return validAttribute(attributeName, nodeName) &&
         setString(attributeValue, attributeKey(attributeName, nodeName));
}

bool DataItemDetail::setIntAttribute(std::string_view attributeName, std::int64_t attributeValue,
                                     std::string_view nodeName) {
  return validAttribute(attributeName, nodeName) &&
         setInt(attributeValue, attributeKey(attributeName, nodeName));
}

bool DataItemDetail::setBoolAttribute(std::string_view attributeName, bool attributeValue,
                                      std::string_view nodeName) {
  return validAttribute(attributeName, nodeName) &&
         setBool(attributeValue, attributeKey(attributeName, nodeName));
}

bool DataItemDetail::hasAttribute(std::string_view attributeName, std::string_view nodeName) const {
  return validAttribute(attributeName, nodeName) && hasKey(attributeKey(attributeName, nodeName));
}

bool DataItemDetail::hasAttribute(std::string_view attributeName, std::string_view nodeName,
                                  std::string_view value) const {
  return validAttribute(attributeName, nodeName) && hasKey(attributeKey(attributeName, nodeName), value);
}

std::string DataItemDetail::getParamString() const {
  std::string out;
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    if (!value.isString()) return true;
    if (!out.empty()) out += '&';
    out += str::urlEncoding(key);
    out += '=';
    out += str::urlEncoding(value.stringValue());
    return true;
  });
  return out;
}

void DataItemDetail::encodeWithCoder(platform::KeyedArchiver& coder) const {
  auto strings = platform::MutableDictionary::create();
  dictData_->enumerate([&](const std::string& key, const platform::Value& value) {
    if (value.isString()) strings->setObject(value, key);
    return true;
  });
  coder.encodeObject(platform::Value(strings));
}

std::shared_ptr<DataItemDetail> DataItemDetail::initWithCoder(platform::KeyedUnarchiver& coder) {
  auto detail = newDetail();
  if (auto dict = coder.decodeObject().dictionaryValue()) detail->appendDict(dict.get());
  return detail;
}

void DataItemDetail::registerCoding() {
  static std::once_flag once;
  std::call_once(once, [] {
    platform::KeyedUnarchiver::setClass(
        [](platform::KeyedUnarchiver& coder) -> platform::ObjectPtr { return initWithCoder(coder); },
        "DataItemDetail");
  });
}

platform::Data DataItemDetail::toData() const {
  // The archiver takes a shared object; a stand-in sharing this map serves records held any way.
  auto self = newDetail();
  self->dictData_ = dictData_;
  return platform::KeyedArchiver::archivedDataWithRootObject(platform::Value(self));
}

std::shared_ptr<DataItemDetail> DataItemDetail::FromData(const platform::Data& data) {
  if (data.empty()) return nullptr;
  registerCoding();
  auto root = platform::KeyedUnarchiver::unarchiveObjectWithData(data);
  if (!root) return nullptr;
  return root->as<DataItemDetail>();
}

std::string DataItemDetail::description() const {
  return "<DataItemDetail " + dictData_->description() + ">";
}

}  // namespace kavro
