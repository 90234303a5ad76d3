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
// row with the same value under that key is refused, the value each row holds now: the rows tell
// the result of their changes in place (through the row, its map or another result holding it),
// so the values are counted by a hash and the check costs the same however many rows there are.
// Rows that cannot tell (read back over an archive's own map) are read afresh at each check. The
// count of rows whose flag reads true is kept the same way. Main thread only.
class DataItemResult : public platform::Object, public platform::Coding {
 public:
  using Row = std::shared_ptr<DataItemDetail>;

  static std::shared_ptr<DataItemResult> create() {
    return std::shared_ptr<DataItemResult>(new DataItemResult());
  }
  ~DataItemResult() override;
  // A copy holds the same rows (and detail record) and counts them afresh when asked.
  DataItemResult(const DataItemResult& other);
  DataItemResult& operator=(const DataItemResult& other);

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
  // Kept as rows come, go and change for the last key asked, so asking again costs nothing.
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
  // The rows to change in place: the values are counted again when next asked, and the change
  // counts as an edit.
  std::vector<Row>& dataList() {
    ++edits_;
    stopWatching();
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
  class Watch;
  friend class Watch;

  void raiseMaxCountToRows();
  void lowerMaxCount(std::size_t by);
  // Every row held is watched from then on (each row that tells once per place it holds), those
  // that do not tell listed apart.
  void startWatching() const;
  // No row is watched and nothing is counted.
  void stopWatching() const;
  // The unique-key values of the rows that tell, counted unless they are.
  void countUniqueValues();
  // The rows that tell whose flag under key reads true, counted unless they are.
  void countFlags(std::string_view key) const;
  // Whether a row that does not tell holds the value under the unique key now.
  bool heldByUnheard(std::string_view value) const;
  // A row came into the list, or leaves it: watched and counted, or no longer.
  void rowCame(const Row& row, bool uniqueCounted);
  void rowLeft(const Row& row);
  void recordChanged(std::string_view key, const platform::Value& from, const platform::Value& to);
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
  // Set while the rows are watched: what the rows tell it, it tells this result. Let go (it then
  // hears nothing) when the watching stops; rows drop it as they are watched again.
  mutable std::shared_ptr<Watch> watch_;
  // The rows held that do not tell their changes, once each per place, while watched.
  mutable std::vector<Row> unheard_;
  // How many rows that tell hold each value under uniqueKey_, while uniqueCounted_.
  ValueCounts uniqueCounts_;
  std::string uniqueKey_;
  bool uniqueCounted_ = false;
  // How many rows that tell read true under flagKey_, while flagCounted_.
  mutable std::string flagKey_;
  mutable std::size_t flagsTrue_ = 0;
  mutable bool flagCounted_ = false;

 protected:
  DataItemResult();
};

}  // namespace kavro
