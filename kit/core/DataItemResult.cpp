#include "kit/core/DataItemResult.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <utility>

#include "platform/foundation/Array.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

namespace kavro {

// What the rows tell, passed to the result while it watches them.
class DataItemResult::Watch final : public RecordWatcher {
 public:
  explicit Watch(DataItemResult* result) : result_(result) {}
  void letGo() { result_ = nullptr; }
  bool watching() const override { return result_ != nullptr; }
  bool watchesKey(std::string_view key) const override {
    return result_ && ((result_->uniqueCounted_ && key == result_->uniqueKey_) ||
                       (result_->flagCounted_ && key == result_->flagKey_));
  }
  void recordChanged(std::string_view key, const platform::Value& from, const platform::Value& to) override {
    if (result_) result_->recordChanged(key, from, to);
  }

 private:
  DataItemResult* result_;
};

DataItemResult::DataItemResult() : detailInfo_(DataItemDetail::newDetail()) {}

DataItemResult::DataItemResult(const DataItemResult& other)
    : platform::Object(other),
      platform::Coding(other),
      maxCount_(other.maxCount_),
      statusCode_(other.statusCode_),
      hasError_(other.hasError_),
      localError_(other.localError_),
      message_(other.message_),
      itemUniqueKeyName_(other.itemUniqueKeyName_),
      detailInfo_(other.detailInfo_),
      dataList_(other.dataList_),
      edits_(other.edits_) {}

DataItemResult& DataItemResult::operator=(const DataItemResult& other) {
  if (this == &other) return *this;
  stopWatching();
  maxCount_ = other.maxCount_;
  statusCode_ = other.statusCode_;
  hasError_ = other.hasError_;
  localError_ = other.localError_;
  message_ = other.message_;
  itemUniqueKeyName_ = other.itemUniqueKeyName_;
  detailInfo_ = other.detailInfo_;
  dataList_ = other.dataList_;
  ++edits_;
  return *this;
}

DataItemResult::~DataItemResult() {
  stopWatching();
  // An answer's thousands of rows are freed in one go, each from memory gone cold since it was
  // made: the rows a few places on, and their maps, are fetched while one is freed.
  constexpr std::size_t ahead = 16;
  Row* rows = dataList_.data();
  const std::size_t n = dataList_.size();
  for (std::size_t i = 0; i + ahead < n; ++i) {
    __builtin_prefetch(rows[i + ahead].get());
    if (const Row& near = rows[i + ahead / 2]) {
      // As an integer: a hint needs no pointer into the map, and may reach past a small one's end.
      const auto map = reinterpret_cast<std::uintptr_t>(near->dictData().get());
      __builtin_prefetch(reinterpret_cast<const void*>(map));
      __builtin_prefetch(reinterpret_cast<const void*>(map + 64));
    }
    rows[i].reset();
  }
}

void DataItemResult::raiseMaxCountToRows() {
  if (maxCount_ < dataList_.size()) {
    maxCount_ = static_cast<std::uint32_t>(std::min<std::size_t>(dataList_.size(), UINT32_MAX));
  }
}

void DataItemResult::lowerMaxCount(std::size_t by) {
  maxCount_ = by >= maxCount_ ? 0 : maxCount_ - static_cast<std::uint32_t>(by);
}

void DataItemResult::startWatching() const {
  if (watch_) return;
  watch_ = std::make_shared<Watch>(const_cast<DataItemResult*>(this));
  for (const auto& row : dataList_)
    if (!row->watch(watch_)) unheard_.push_back(row);
}

void DataItemResult::stopWatching() const {
  if (!watch_) return;
  // The rows keep the watch until they are next watched, and it no longer hears anything: a large
  // list is let go of at once.
  watch_->letGo();
  watch_.reset();
  unheard_.clear();
  auto* self = const_cast<DataItemResult*>(this);
  self->uniqueCounts_.clear();
  self->uniqueCounted_ = false;
  flagCounted_ = false;
}

void DataItemResult::countUniqueValues() {
  if (uniqueCounted_ && uniqueKey_ == itemUniqueKeyName_) return;
  startWatching();
  uniqueCounts_.clear();
  uniqueKey_ = itemUniqueKeyName_;
  for (const auto& row : dataList_)
    if (row->tellsChanges()) uniqueCounts_.add(row->getString(uniqueKey_));
  uniqueCounted_ = true;
}

void DataItemResult::countFlags(std::string_view key) const {
  if (flagCounted_ && flagKey_ == key) return;
  startWatching();
  flagKey_ = key;
  flagsTrue_ = 0;
  for (const auto& row : dataList_)
    if (row->tellsChanges() && row->getBool(key)) ++flagsTrue_;
  flagCounted_ = true;
}

bool DataItemResult::heldByUnheard(std::string_view value) const {
  return std::any_of(unheard_.begin(), unheard_.end(),
                     [&](const Row& row) { return row->getString(uniqueKey_) == value; });
}

void DataItemResult::rowCame(const Row& row, bool uniqueCounted) {
  if (!watch_) return;
  if (!row->watch(watch_)) {
    unheard_.push_back(row);
    return;
  }
  if (uniqueCounted_ && !uniqueCounted) uniqueCounts_.add(row->getString(uniqueKey_));
  if (flagCounted_ && row->getBool(flagKey_)) ++flagsTrue_;
}

void DataItemResult::rowLeft(const Row& row) {
  if (!watch_) return;
  if (!row->tellsChanges()) {
    auto it = std::find(unheard_.begin(), unheard_.end(), row);
    if (it != unheard_.end()) unheard_.erase(it);
    return;
  }
  row->unwatch(watch_.get());
  if (uniqueCounted_ && !uniqueCounts_.remove(row->getString(uniqueKey_))) {
    // Never so while every change is heard; counted afresh when next asked if it were.
    uniqueCounts_.clear();
    uniqueCounted_ = false;
  }
  if (flagCounted_ && row->getBool(flagKey_)) --flagsTrue_;
}

void DataItemResult::recordChanged(std::string_view key, const platform::Value& from,
                                   const platform::Value& to) {
  if (uniqueCounted_ && key == uniqueKey_ && from.stringView() != to.stringView()) {
    if (uniqueCounts_.remove(from.stringView())) {
      uniqueCounts_.add(std::string(to.stringView()));
    } else {
      uniqueCounts_.clear();
      uniqueCounted_ = false;
    }
  }
  if (flagCounted_ && key == flagKey_) {
    const bool was = boolValueOf(from), is = boolValueOf(to);
    if (is && !was) ++flagsTrue_;
    if (was && !is) --flagsTrue_;
  }
}

template <typename Pred>
std::size_t DataItemResult::eraseRowsIf(Pred pred) {
  const std::size_t before = dataList_.size();
  std::erase_if(dataList_, [&](const Row& row) {
    if (!pred(row)) return false;
    rowLeft(row);
    return true;
  });
  const std::size_t removed = before - dataList_.size();
  if (removed > 0) ++edits_;
  return removed;
}

bool DataItemResult::addItem(Row item) {
  if (!item) return false;
  bool counted = false;
  if (!itemUniqueKeyName_.empty()) {
    countUniqueValues();
    std::string value = item->getString(itemUniqueKeyName_);
    if (!unheard_.empty() && heldByUnheard(value)) return false;
    if (item->tellsChanges()) {
      if (!uniqueCounts_.addNew(std::move(value))) return false;
      counted = true;
    } else if (uniqueCounts_.contains(value)) {
      return false;
    }
  }
  dataList_.push_back(std::move(item));
  rowCame(dataList_.back(), counted);
  raiseMaxCountToRows();
  return true;
}

bool DataItemResult::appendItems(const DataItemResult* other) {
  if (!other || other->hasError_) return false;
  maxCount_ = other->maxCount_;
  statusCode_ = other->statusCode_;
  if (other != this) detailInfo_->append(other->detailInfo_.get());
  // A snapshot only when the other is this very result, which the loop grows: copying a large
  // answer's rows costs a reference count each and crowds the caches the check works in.
  std::vector<Row> self;
  if (other == this) self = dataList_;
  const std::vector<Row>& rows = other == this ? self : other->dataList_;
  // Room made once for a whole answer: growing step by step moves every row and counted value
  // held again, which on a large answer costs more than taking its rows. At least doubled, so that
  // pages taken one after another still grow the room geometrically.
  const std::size_t need = dataList_.size() + rows.size();
  if (need > dataList_.capacity()) dataList_.reserve(std::max(need, 2 * dataList_.size()));
  if (!itemUniqueKeyName_.empty()) {
    countUniqueValues();
    uniqueCounts_.reserve(uniqueCounts_.size() + rows.size());
  }
  bool all = true;
  for (const auto& row : rows) all = addItem(row) && all;
  raiseMaxCountToRows();
  return all;
}

DataItemResult::Row DataItemResult::getItem(std::size_t index) const {
  return index < dataList_.size() ? dataList_[index] : nullptr;
}

bool DataItemResult::removeByIndex(std::size_t index) {
  if (index >= dataList_.size()) return false;
  rowLeft(dataList_[index]);
  dataList_.erase(dataList_.begin() + static_cast<std::ptrdiff_t>(index));
  ++edits_;
  lowerMaxCount(1);
  return true;
}

std::size_t DataItemResult::removeItem(const DataItemDetail* item) {
  if (!item) return 0;
  const std::size_t removed = eraseRowsIf([item](const Row& row) { return row.get() == item; });
  lowerMaxCount(removed);
  return removed;
}

bool DataItemResult::removeItemsWithKey(std::string_view key, std::string_view value) {
  if (dataList_.empty()) return false;
  eraseRowsIf([&](const Row& row) { return row->hasKey(key, value); });
  return true;
}

bool DataItemResult::removeItemsWithTrueValue(std::string_view key) {
  eraseRowsIf([&](const Row& row) { return row->getBool(key); });
  return true;
}

bool DataItemResult::setAllItemsKeyWithString(std::string_view key, std::string_view value) {
  if (dataList_.empty()) return true;
  ++edits_;
  for (const auto& row : dataList_) row->setString(value, key);
  return true;
}

bool DataItemResult::setAllItemsKeyWithBool(std::string_view key, bool value) {
  if (dataList_.empty()) return true;
  ++edits_;
  for (const auto& row : dataList_) row->setBool(value, key);
  return true;
}

void DataItemResult::syncSourceKey(std::string_view sourceKey, std::string_view targetKey) {
  if (sourceKey.empty() || targetKey.empty() || dataList_.empty()) return;
  ++edits_;
  for (const auto& row : dataList_) row->setString(row->getString(sourceKey), targetKey);
}

std::size_t DataItemResult::countItemsWithBoolKey(std::string_view key, bool value) const {
  // No row reads true under no key.
  if (key.empty()) return value ? 0 : dataList_.size();
  countFlags(key);
  const std::size_t trues =
      flagsTrue_ + static_cast<std::size_t>(std::count_if(unheard_.begin(), unheard_.end(),
                                                          [&](const Row& row) { return row->getBool(key); }));
  return value ? trues : dataList_.size() - trues;
}

std::string DataItemResult::getItemsIDWithBoolKey(std::string_view key, bool value) const {
  std::string out;
  if (dataList_.empty() || itemUniqueKeyName_.empty()) return out;
  for (const auto& row : dataList_) {
    if (row->getBool(key) != value) continue;
    std::string id = row->getString(itemUniqueKeyName_);
    if (id.empty()) continue;
    if (!out.empty()) out += ',';
    out += id;
  }
  return out;
}

std::vector<std::shared_ptr<platform::MutableDictionary>> DataItemResult::getItemsDictArray() const {
  std::vector<std::shared_ptr<platform::MutableDictionary>> maps;
  maps.reserve(dataList_.size());
  for (const auto& row : dataList_) maps.push_back(row->dictData());
  return maps;
}

std::string DataItemResult::getServerErrorMessage() const {
  return hasError_ && !localError_ ? message_ : std::string();
}

std::uint32_t DataItemResult::getTotalPage(std::uint32_t pageSize) const {
  if (pageSize == 0 || maxCount_ == 0) return 0;
  return maxCount_ / pageSize + (maxCount_ % pageSize ? 1 : 0);
}

void DataItemResult::clear() {
  detailInfo_->clear();
  if (!dataList_.empty()) ++edits_;
  stopWatching();
  dataList_.clear();
  statusCode_ = 0;
  maxCount_ = 0;
  hasError_ = false;
  localError_ = false;
  message_.clear();
}

void DataItemResult::encodeWithCoder(platform::KeyedArchiver& coder) const {
  coder.encodeInt(maxCount_, "maxCount");
  coder.encodeInt(statusCode_, "statusCode");
  coder.encodeBool(hasError_, "hasError");
  coder.encodeBool(localError_, "parserError");
  coder.encodeString(itemUniqueKeyName_, "itemUniqueKeyName");
  coder.encodeString(message_, "errorMessage");
  coder.encodeBytes(detailInfo_->toData(), "detailInfo");
  auto rows = platform::MutableArray::create();
  for (const auto& row : dataList_) rows->addObject(platform::Value(row->toData()));
  coder.encodeObject(platform::Value(rows), "dataList");
}

std::shared_ptr<DataItemResult> DataItemResult::initWithCoder(platform::KeyedUnarchiver& coder) {
  auto result = create();
  std::int64_t maxCount = coder.decodeIntForKey("maxCount");
  result->maxCount_ = static_cast<std::uint32_t>(std::clamp<std::int64_t>(maxCount, 0, UINT32_MAX));
  result->statusCode_ = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(coder.decodeIntForKey("statusCode"), INT32_MIN, INT32_MAX));
  result->hasError_ = coder.decodeBoolForKey("hasError");
  result->localError_ = coder.decodeBoolForKey("parserError");
  result->itemUniqueKeyName_ = coder.decodeStringForKey("itemUniqueKeyName");
  result->message_ = coder.decodeStringForKey("errorMessage");
  // A part that is there but does not decode means a damaged archive: the whole result is lost.
  if (coder.containsValueForKey("detailInfo")) {
    auto detail = DataItemDetail::FromData(coder.decodeBytesForKey("detailInfo"));
    if (!detail) return nullptr;
    result->detailInfo_ = std::move(detail);
  }
  if (coder.containsValueForKey("dataList")) {
    auto rows = coder.decodeObjectForKey("dataList").arrayValue();
    if (!rows) return nullptr;
    for (std::size_t i = 0; i < rows->count(); ++i) {
      const platform::Value& bytes = rows->objectAtIndex(i);
      auto row = bytes.isBytes() ? DataItemDetail::FromData(bytes.bytesValue()) : nullptr;
      if (!row) return nullptr;
      result->dataList_.push_back(std::move(row));
    }
  }
  return result;
}

void DataItemResult::registerCoding() {
  static std::once_flag once;
  std::call_once(once, [] {
    DataItemDetail::registerCoding();
    platform::KeyedUnarchiver::setClass(
        [](platform::KeyedUnarchiver& coder) -> platform::ObjectPtr { return initWithCoder(coder); },
        "DataItemResult");
  });
}

platform::Data DataItemResult::toData() const {
  // The archiver takes a shared object: this result, under a pointer that owns nothing (the
  // caller's hold lasts the call), so results held any way are written as they are.
  return platform::KeyedArchiver::archivedDataWithRootObject(
      platform::Value(platform::ObjectPtr(platform::ObjectPtr(), const_cast<DataItemResult*>(this))));
}

std::shared_ptr<DataItemResult> DataItemResult::FromData(const platform::Data& data) {
  if (data.empty()) return nullptr;
  registerCoding();
  auto root = platform::KeyedUnarchiver::unarchiveObjectWithData(data);
  if (!root) return nullptr;
  return root->as<DataItemResult>();
}

}  // namespace kavro
