#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Value.h"

namespace platform {
class KeyedUnarchiver;
}

// A form-cell field: four operations named after it over the key "<&Name&>" (see below).
#define KAVRO_FORM_CELL_INT_FIELD(Name)                                     \
  static std::string_view key##Name() { return "<&" #Name "&>"; }           \
  bool set##Name(std::int64_t value) { return setInt(value, key##Name()); } \
  std::int64_t get##Name() const { return getInt(key##Name()); }            \
  bool has##Name() const { return hasKey(key##Name()); }
#define KAVRO_FORM_CELL_BOOL_FIELD(Name)                             \
  static std::string_view key##Name() { return "<&" #Name "&>"; }    \
  bool set##Name(bool value) { return setBool(value, key##Name()); } \
  bool get##Name() const { return getBool(key##Name()); }            \
  bool has##Name() const { return hasKey(key##Name()); }
#define KAVRO_FORM_CELL_STRING_FIELD(Name)                                         \
  static std::string_view key##Name() { return "<&" #Name "&>"; }                  \
  bool set##Name(std::string_view value) { return setString(value, key##Name()); } \
  std::string get##Name() const { return getString(key##Name()); }                 \
  bool has##Name() const { return hasKey(key##Name()); }

namespace kavro {

class JBArena;

// Hears of the changes made in place to the records it watches, through the record or its map.
class RecordWatcher {
 public:
  // False once it wants no more news: records let it go as others come.
  virtual bool watching() const = 0;
  // Whether it wants to hear of changes under key (asked before each change).
  virtual bool watchesKey(std::string_view key) const = 0;
  // The value under key went from `from` to `to` (a null value: none). It must not change the
  // record, nor watch or unwatch it, while told.
  virtual void recordChanged(std::string_view key, const platform::Value& from,
                             const platform::Value& to) = 0;

 protected:
  ~RecordWatcher() = default;
};

// The record of the whole system: one server row, form row, cached object or set of screen
// parameters. A map from text keys to values (almost always text) whose reads never fail: a missing
// or unsuitable value reads as "", 0 or false. An empty key counts as no key: reads give the empty
// value and writes are refused. Keys between "<&" and "&>" are client-only fields that never come
// from the server. Main thread only.
class DataItemDetail : public platform::Object, public platform::Coding {
 private:
  // Only the class names these, so its factories are the only way to a record.
  struct Token {
    explicit Token() = default;
  };
  struct InArena {
    explicit InArena() = default;
  };

 public:
  static std::shared_ptr<DataItemDetail> newDetail() { return std::make_shared<DataItemDetail>(Token()); }
  // A new record for a loader making many from one answer: the record, its map and the text
  // given to setStringInArena() live in the answer's arena, which the record holds. Only while
  // the loader builds. The record and its map are each held as a member of a block of the arena
  // rather than made shared themselves, so weak_from_this() of either is empty (keep the shared
  // pointer instead).
  static std::shared_ptr<DataItemDetail> newDetailInArena(JBArena& arena);
  // One text pair of such a record, both carved from the arena: the key by JBArena::key(), the
  // text by JBArena::text().
  struct ArenaText {
    const std::string* key;
    const platform::TextStore::Block* text;
  };
  // The same record made with its pairs at once, in their order: the keys are not empty and
  // distinct.
  static std::shared_ptr<DataItemDetail> newDetailInArena(JBArena& arena, const ArenaText* pairs,
                                                          std::size_t count);

  explicit DataItemDetail(Token);
  // Over a map of its own (a record read back from an archive).
  DataItemDetail(Token, std::shared_ptr<platform::MutableDictionary> map);
  DataItemDetail(InArena, JBArena& arena);

  // The map itself; callers read and enumerate it, in the order keys were first set.
  const std::shared_ptr<platform::MutableDictionary>& dictData() const { return dictData_; }

  // A new record with getString() of every key: values that are not text become "".
  std::shared_ptr<DataItemDetail> dataItemDetailCopy() const;
  // Same keys, and equal getString() under each.
  bool isEqualToDataItemDetail(const DataItemDetail* other) const;
  // Copies every pair of other (values as they are), replacing what was there.
  void append(const DataItemDetail* other);
  void appendDict(const platform::Dictionary* dict);
  void clear();
  std::size_t count() const { return dictData_->count(); }

  // Whether the record tells its watchers of its changes: one read back over an archive's own map
  // does not.
  bool tellsChanges() const;
  // The watcher hears of each change once for each time it was added; false (nothing kept) for a
  // record that does not tell.
  bool watch(std::shared_ptr<RecordWatcher> watcher);
  // Once fewer (nothing when it was not added).
  void unwatch(const RecordWatcher* watcher);

  // Text values only; "" for anything else.
  std::string getString(std::string_view key) const;
  // Numbers, and the leading integer of text ("12ab" reads 12); 0 otherwise.
  std::int64_t getInt(std::string_view key) const;
  // Numbers by value; text "y", "on", "yes", "true" (any case) or a non-zero integer.
  bool getBool(std::string_view key) const;
  // The stored value; null when absent.
  platform::Value getObject(std::string_view key) const;
  bool hasKey(std::string_view key) const;
  // The stored value is text equal to value.
  bool hasKey(std::string_view key, std::string_view value) const;

  bool setString(std::string_view value, std::string_view key);
  // setString() for a loader making many records from one answer: the text is kept in the
  // answer's memory, which the record holds from then on.
  bool setStringInArena(std::string_view value, std::string_view key, JBArena& arena);
  // Stored as decimal text.
  bool setInt(std::int64_t value, std::string_view key);
  // Stored as "1" or "0".
  bool setBool(bool value, std::string_view key);
  // Any value as it is (cell classes and other objects); a null value stores nothing.
  void setObject(platform::Value value, std::string_view key);

  // Attributes live under "<nodeName>.<attributeName>"; both names are required.
  std::string getAttribute(std::string_view attributeName, std::string_view nodeName) const;
  std::int64_t getIntAttribute(std::string_view attributeName, std::string_view nodeName) const;
  bool getBoolAttribute(std::string_view attributeName, std::string_view nodeName) const;
  bool setAttribute(std::string_view attributeName, std::string_view attributeValue,
                    std::string_view nodeName);
  bool setIntAttribute(std::string_view attributeName, std::int64_t attributeValue,
                       std::string_view nodeName);
  bool setBoolAttribute(std::string_view attributeName, bool attributeValue, std::string_view nodeName);
  bool hasAttribute(std::string_view attributeName, std::string_view nodeName) const;
  bool hasAttribute(std::string_view attributeName, std::string_view nodeName, std::string_view value) const;

  // The element's own text, under "text".
  std::string getItemText() const { return getString("text"); }
  std::int64_t getItemInt() const { return getInt("text"); }
  bool getItemBool() const { return getBool("text"); }
  bool setItemText(std::string_view value) { return setString(value, "text"); }
  bool setItemInt(std::int64_t value) { return setInt(value, "text"); }
  bool setItemBool(bool value) { return setBool(value, "text"); }

  // Attributes of the node "item".
  std::string getItemAttribute(std::string_view name) const { return getAttribute(name, "item"); }
  std::int64_t getItemIntAttribute(std::string_view name) const { return getIntAttribute(name, "item"); }
  bool getItemBoolAttribute(std::string_view name) const { return getBoolAttribute(name, "item"); }
  bool setItemAttribute(std::string_view name, std::string_view value) {
    return setAttribute(name, value, "item");
  }
  bool setItemIntAttribute(std::string_view name, std::int64_t value) {
    return setIntAttribute(name, value, "item");
  }
  bool setItemBoolAttribute(std::string_view name, bool value) {
    return setBoolAttribute(name, value, "item");
  }

  // "key=value" for every text value, both URL-encoded, in the map's order, joined by "&".
  std::string getParamString() const;
  platform::Data getParamData() const { return platform::dataFromString(getParamString()); }

  // A keyed archive of the text values; FromData() reads one back (nothing for data that is not a
  // whole archive of a record).
  platform::Data toData() const;
  static std::shared_ptr<DataItemDetail> FromData(const platform::Data& data);

  std::string classForCoder() const override { return "DataItemDetail"; }
  void encodeWithCoder(platform::KeyedArchiver& coder) const override;
  static std::shared_ptr<DataItemDetail> initWithCoder(platform::KeyedUnarchiver& coder);
  // Lets the unarchiver rebuild records; FromData() does it on first use.
  static void registerCoding();

  std::string description() const override;

  // Form-cell fields: how table cells and pickers show and edit the record.
  KAVRO_FORM_CELL_INT_FIELD(TableCellTag)
  KAVRO_FORM_CELL_BOOL_FIELD(TableCellIsEmpty)
  KAVRO_FORM_CELL_BOOL_FIELD(TableCellIsSelected)
  KAVRO_FORM_CELL_STRING_FIELD(DictKeyName)
  KAVRO_FORM_CELL_STRING_FIELD(ItemValue)
  KAVRO_FORM_CELL_STRING_FIELD(ItemValue2)
  KAVRO_FORM_CELL_STRING_FIELD(ValueSkin)
  KAVRO_FORM_CELL_STRING_FIELD(ValueSkin2)
  KAVRO_FORM_CELL_STRING_FIELD(ItemTitle)
  KAVRO_FORM_CELL_STRING_FIELD(ItemTitle2)
  KAVRO_FORM_CELL_STRING_FIELD(TitleSkin)
  KAVRO_FORM_CELL_STRING_FIELD(TitleSkin2)
  KAVRO_FORM_CELL_STRING_FIELD(CellSkin)
  KAVRO_FORM_CELL_INT_FIELD(CellAccessoryType)
  KAVRO_FORM_CELL_BOOL_FIELD(HasInputBox)
  KAVRO_FORM_CELL_STRING_FIELD(InputValue)
  KAVRO_FORM_CELL_STRING_FIELD(InputPlaceHold)
  KAVRO_FORM_CELL_BOOL_FIELD(InputIsPassword)
  KAVRO_FORM_CELL_BOOL_FIELD(InputIsNumberic)
  KAVRO_FORM_CELL_BOOL_FIELD(InputIsChinese)
  KAVRO_FORM_CELL_INT_FIELD(InputMaxWordsCount)
  KAVRO_FORM_CELL_INT_FIELD(InputMaxChineseWordsCount)

  // The table-cell class of the row, an object: never archived, and lost by dataItemDetailCopy().
  static std::string_view keyCellClass() { return "<&CellClass&>"; }
  void setCellClass(platform::ObjectPtr cellClass) {
    setObject(platform::Value(std::move(cellClass)), keyCellClass());
  }
  platform::ObjectPtr getCellClass() const { return getObject(keyCellClass()).objectValue(); }
  bool hasCellClass() const { return hasKey(keyCellClass()); }

#include "kit/core/DataItemDetailFields.inc"  // the named fields' accessors

 private:
  std::shared_ptr<platform::MutableDictionary> dictData_;
};

// The integer an object-typed slot held, as the record reads it: numbers by value, text by its
// leading integer (after leading blanks, an optional sign), 0 for anything else. Saturates.
std::int64_t integerValueOf(const platform::Value& value);
// The record's reading of a value as a boolean.
bool boolValueOf(const platform::Value& value);

}  // namespace kavro
