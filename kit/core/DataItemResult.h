#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kit/core/DataItemDetail.h"
#include "kit/core/ValueCounts.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"

namespace platform {
class KeyedUnarchiver;
}

namespace kavro {

// What a server call or a store query produces: a header (status, server total, error flags,
// message), one detail record and the rows in arrival order. With a unique-key name set, a second
// row with the same value under that key is refused: the values held are counted by a hash, so
// the check costs the same however many rows there are. A row's value is counted as it was when
// the row came; one changed in place since (other than through this result) is not seen. Main
// thread only.
class DataItemResult : public platform::Object, public platform::Coding {
 public:
  using Row = std::shared_ptr<DataItemDetail>;

  static std::shared_ptr<DataItemResult> create() {
    return std::shared_ptr<DataItemResult>(new DataItemResult());
  }
  ~DataItemResult() override;

  // Appends the row unless the unique key refuses it; raises maxCount to the row count.
  bool addItem(Row item);
  bool dataListAddItem(Row item) { return addItem(std::move(item)); }
  // Takes the other's total, status, detail pairs and rows (through addItem()). Nothing changes
  // for a result that has an error. True when every row was taken.
  bool appendItems(const DataItemResult* other);
  // nullptr past the end.
  Row getItem(std::size_t index) const;
  std::size_t count() const { return dataList_.size(); }
  // Each removal lowers maxCount, never below 0.
  bool removeByIndex(std::size_t index);
  // Removes every row that is this very record; how many went.
  std::size_t removeItem(const DataItemDetail* item);
  // Rows whose text under key equals value; maxCount stays. False for an empty list.
  bool removeItemsWithKey(std::string_view key, std::string_view value);
  // Rows whose key reads true; maxCount stays.
  bool removeItemsWithTrueValue(std::string_view key);
  bool setAllItemsKeyWithString(std::string_view key, std::string_view value);
  bool setAllItemsKeyWithBool(std::string_view key, bool value);
  // Every row gets getString(sourceKey) under targetKey.
  void syncSourceKey(std::string_view sourceKey, std::string_view targetKey);
  std::size_t countItemsWithBoolKey(std::string_view key, bool value) const;
  // The non-empty unique-key values of the rows whose key reads as value, joined by ",".
  std::string getItemsIDWithBoolKey(std::string_view key, bool value) const;
  // The rows' own maps, not copies.
  std::vector<std::shared_ptr<platform::MutableDictionary>> getItemsDictArray() const;

  std::uint32_t maxCount() const { return maxCount_; }
  void setMaxCount(std::uint32_t value) { maxCount_ = value; }
  std::int32_t statusCode() const { return statusCode_; }
  void setStatusCode(std::int32_t value) { statusCode_ = value; }
  bool hasError() const { return hasError_; }
  void setHasError(bool value) { hasError_ = value; }
  // The failure was local: network, HTTP status or parsing.
  bool localError() const { return localError_; }
  void setLocalError(bool value) { localError_ = value; }
  const std::string& message() const { return message_; }
  void setMessage(std::string_view value) { message_ = value; }
  const std::string& itemUniqueKeyName() const { return itemUniqueKeyName_; }
  void setItemUniqueKeyName(std::string_view value) { itemUniqueKeyName_ = value; }
  const std::shared_ptr<DataItemDetail>& detailInfo() const { return detailInfo_; }
  const std::vector<Row>& dataList() const { return dataList_; }
  // The rows to change in place: the unique values are counted again before the next check, and
  // the change counts as an edit.
  std::vector<Row>& dataList() {
    ++edits_;
    uniqueCounted_ = false;
    return dataList_;
  }
  // Grows with every change of the rows other than appending to them (removals, clearing, values
  // set in every row, the rows handed out to be changed): equal readings around some work mean
  // the rows held before it are still there, in their places.
  std::uint64_t edits() const { return edits_; }

  // The message when the server reported the error, else "".
  std::string getServerErrorMessage() const;
  // ceil(maxCount / pageSize); 0 when either is 0.
  std::uint32_t getTotalPage(std::uint32_t pageSize) const;
  bool isValidDetailData() const { return !hasError_ && detailInfo_->count() > 0; }
  bool isValidListData() const { return !hasError_ && !dataList_.empty(); }
  // Back to the state after construction, keeping the unique-key name.
  void clear();

  // A keyed archive of the whole result; FromData() reads one back (nothing for data that is not
  // a whole archive of a result).
  platform::Data toData() const;
  static std::shared_ptr<DataItemResult> FromData(const platform::Data& data);

  std::string classForCoder() const override { return "DataItemResult"; }
  void encodeWithCoder(platform::KeyedArchiver& coder) const override;
  static std::shared_ptr<DataItemResult> initWithCoder(platform::KeyedUnarchiver& coder);
  static void registerCoding();

 private:
  void raiseMaxCountToRows();
  void lowerMaxCount(std::size_t by);
  // The unique-key values of the rows, counted afresh unless the count is in step with the rows.
  void countUniqueValues();
  // A row leaves the list: its value is no longer held (once fewer).
  void uncount(const Row& row);
  template <typename Pred>
  std::size_t eraseRowsIf(Pred pred);

  std::uint32_t maxCount_ = 0;
  std::int32_t statusCode_ = 0;
  bool hasError_ = false;
  bool localError_ = false;
  std::string message_;
  std::string itemUniqueKeyName_;
  std::shared_ptr<DataItemDetail> detailInfo_;
  std::vector<Row> dataList_;
  std::uint64_t edits_ = 0;
  // How many rows hold each value under uniqueKeyCounted_; in step while uniqueCounted_ and the
  // row count and last row are those it was kept with (rows pushed through dataList() are seen).
  ValueCounts uniqueCounts_;
  std::string uniqueKeyCounted_;
  bool uniqueCounted_ = false;
  std::size_t countedRows_ = 0;
  const DataItemDetail* countedLast_ = nullptr;

 protected:
  DataItemResult();
};

}  // namespace kavro
