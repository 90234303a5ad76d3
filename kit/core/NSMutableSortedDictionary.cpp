#include "kit/core/NSMutableSortedDictionary.h"

#include <algorithm>
#include <utility>

namespace kavro {

namespace {
std::string_view separatorOr(std::string_view separator) { return separator.empty() ? "," : separator; }
}  // namespace

NSMutableSortedDictionary::NSMutableSortedDictionary(Token) : map_(platform::MutableDictionary::create()) {}

void NSMutableSortedDictionary::forgetKey(std::string_view key) {
  auto it = std::find(keys_.begin(), keys_.end(), key);
  if (it != keys_.end()) keys_.erase(it);
}

void NSMutableSortedDictionary::setObject(platform::Value value, std::string_view key) {
  if (value.isNull()) return;
  forgetKey(key);
  keys_.emplace_back(key);
  // The plain map follows the same order, so its enumeration agrees with allKeys().
  map_->removeObjectForKey(key);
  map_->setObject(std::move(value), key);
}

platform::Value NSMutableSortedDictionary::objectForKey(std::string_view key) const {
  const platform::Value* v = map_->objectForKey(key);
  return v ? *v : platform::Value();
}

void NSMutableSortedDictionary::removeObjectForKey(std::string_view key) {
  forgetKey(key);
  map_->removeObjectForKey(key);
}

void NSMutableSortedDictionary::removeObjectsForKeys(const std::vector<std::string>& keys) {
  for (const auto& key : keys) removeObjectForKey(key);
}

void NSMutableSortedDictionary::removeAllObjects() {
  keys_.clear();
  map_->removeAllObjects();
}

void NSMutableSortedDictionary::addEntriesFromDictionary(const platform::Dictionary& dict) {
  std::vector<std::pair<std::string, platform::Value>> pairs;
  dict.enumerate([&](const std::string& key, const platform::Value& value) {
    pairs.emplace_back(key, value);
    return true;
  });
  for (auto& [key, value] : pairs) setObject(std::move(value), key);
}

void NSMutableSortedDictionary::setDictionary(const platform::Dictionary& dict) {
  if (&dict == map_.get()) return;
  removeAllObjects();
  addEntriesFromDictionary(dict);
}

std::vector<platform::Value> NSMutableSortedDictionary::allValues() const {
  std::vector<platform::Value> values;
  values.reserve(keys_.size());
  for (const auto& key : keys_) {
    if (const platform::Value* v = map_->objectForKey(key)) values.push_back(*v);
  }
  return values;
}

std::string NSMutableSortedDictionary::joinAllKeysBySeparator(std::string_view separator) const {
  std::string out;
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (i) out += separatorOr(separator);
    out += keys_[i];
  }
  return out;
}

std::string NSMutableSortedDictionary::joinAllValuesBySeparator(std::string_view separator) const {
  std::string out;
  bool first = true;
  for (const auto& key : keys_) {
    const platform::Value* v = map_->objectForKey(key);
    if (!v) continue;
    if (!first) out += separatorOr(separator);
    first = false;
    if (v->isString()) out += v->stringValue();
  }
  return out;
}

}  // namespace kavro
