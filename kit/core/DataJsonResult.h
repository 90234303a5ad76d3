#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "kit/core/DataItemResult.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"

namespace kavro {

// One JSON answer as a map, read with the record's forgiving rules. The envelope's flags live in
// the map itself ("result", "localError", "status", "message"). Main thread only.
class DataJsonResult : public platform::Object {
  // Only the class names it, so its factories are the only way to an answer.
  struct Token {
    explicit Token() = default;
  };

 public:
  explicit DataJsonResult(Token);
  // Parses json (no text: an empty map without error); an answer that is not an object leaves the map empty
  // and marks a local error.
  static std::shared_ptr<DataJsonResult> dataWithString(std::string_view json);
  static std::shared_ptr<DataJsonResult> dataWithData(const platform::Data& json);
  static std::shared_ptr<DataJsonResult> fromUTF8JSON(std::string_view json);

  // Merges the members of a JSON object into the map; false (with error()) for anything else.
  bool appendJsonString(std::string_view json);
  bool appendJsonData(const platform::Data& json);

  void setHasError(bool value);
  bool getHasError() const;
  void setLocalError(bool value);
  bool getLocalError() const;
  void setStatusCode(std::int32_t value);
  std::int32_t getStatusCode() const;
  void setMessage(std::string_view value);
  // The server's message; on an error without one, the parse or network error's text.
  std::string getMessage() const;

  // A string member as it is, a number as its decimal text, "" otherwise.
  std::string getString(std::string_view key) const;
  std::int64_t getInt(std::string_view key) const;
  bool getBool(std::string_view key) const;
  bool hasKey(std::string_view key) const;
  std::shared_ptr<platform::Array> getArrayForKey(std::string_view key) const;
  const std::shared_ptr<platform::MutableDictionary>& getDictData() const { return map_; }

  const std::optional<platform::Error>& error() const { return error_; }
  void setError(std::optional<platform::Error> error) { error_ = std::move(error); }

  std::shared_ptr<DataItemDetail> toDataItemDetail() const;
  // The envelope as a result: "result", "message", "status", "totalcount" and "items" become the
  // header and rows, every other member a detail field. A local failure keeps its flag and text.
  std::shared_ptr<DataItemResult> toDataItemResult() const;

  std::string description() const override;

 private:
  bool merge(const platform::Value& root, const platform::Error& parseError);

  std::shared_ptr<platform::MutableDictionary> map_;
  std::optional<platform::Error> error_;
};

// Records and results from maps, lists and answer texts.
std::shared_ptr<DataItemDetail> detailFromDictionary(const platform::Dictionary* dict);
std::shared_ptr<DataItemDetail> detailFromJsonResult(const DataJsonResult* json);
std::shared_ptr<DataItemDetail> detailFromUTF8JSON(std::string_view json);
// One row per map, record or JSON result in the list; other elements are skipped.
std::shared_ptr<DataItemResult> resultFromArray(const platform::Array* list);
std::shared_ptr<DataItemResult> resultFromUTF8JSON(std::string_view json);

}  // namespace kavro
