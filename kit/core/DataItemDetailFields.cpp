#include <charconv>
#include <string>
#include <string_view>

#include "kit/core/DataItemDetail.h"
#include "kit/core/UserCoreInfo.h"
#include "platform/foundation/Value.h"

namespace kavro {

// ---- The plain fields, from the table ----

#define KAVRO_FIELD_ARG_STRING std::string_view
#define KAVRO_FIELD_ARG_INT std::int64_t
#define KAVRO_FIELD_ARG_BOOL bool
#define KAVRO_FIELD_RESULT_STRING std::string
#define KAVRO_FIELD_RESULT_INT std::int64_t
#define KAVRO_FIELD_RESULT_BOOL bool
#define KAVRO_FIELD_SET_STRING setString
#define KAVRO_FIELD_SET_INT setInt
#define KAVRO_FIELD_SET_BOOL setBool
#define KAVRO_FIELD_GET_STRING getString
#define KAVRO_FIELD_GET_INT getInt
#define KAVRO_FIELD_GET_BOOL getBool
#define KAVRO_FIELD_DEFINE(Type, setter, getter, keyMethod, presence, key)                          \
  void DataItemDetail::setter(KAVRO_FIELD_ARG_##Type value) { KAVRO_FIELD_SET_##Type(value, key); } \
  KAVRO_FIELD_RESULT_##Type DataItemDetail::getter() const { return KAVRO_FIELD_GET_##Type(key); }  \
  std::string_view DataItemDetail::keyMethod() { return key; }                                      \
  bool DataItemDetail::presence() const { return hasKey(key); }

#define KAVRO_FIELD(Category, Type, name) \
  KAVRO_FIELD_DEFINE(Type, set_##name, get_##name, key_##name, has_##name, #name)
#define KAVRO_NAMED_FIELD(Category, Type, Name, keyText) \
  KAVRO_FIELD_DEFINE(Type, set##Name, get##Name, key##Name, has##Name, keyText)
#include "kit/core/DataItemDetailFields.def"

#undef KAVRO_FIELD_DEFINE
#undef KAVRO_FIELD_ARG_STRING
#undef KAVRO_FIELD_ARG_INT
#undef KAVRO_FIELD_ARG_BOOL
#undef KAVRO_FIELD_RESULT_STRING
#undef KAVRO_FIELD_RESULT_INT
#undef KAVRO_FIELD_RESULT_BOOL
#undef KAVRO_FIELD_SET_STRING
#undef KAVRO_FIELD_SET_INT
#undef KAVRO_FIELD_SET_BOOL
#undef KAVRO_FIELD_GET_STRING
#undef KAVRO_FIELD_GET_INT
#undef KAVRO_FIELD_GET_BOOL

// ---- The computed fields, by hand ----

namespace {

// The first text when it is not empty; else the two others, once when they agree, joined by a
// line break when they differ.
std::string firstOrJoined(const DataItemDetail& d, std::string_view key, std::string_view key1,
                          std::string_view key2) {
  std::string text = d.getString(key);
  if (!text.empty()) return text;
  std::string first = d.getString(key1);
  std::string second = d.getString(key2);
  if (first.empty()) return second;
  if (second.empty() || first == second) return first;
  return first + "\r\n" + second;
}

std::string sizeText(DataItemDetail::PicSize size) {
  return "{" + platform::Value(size.width).description() + ", " + platform::Value(size.height).description() +
         "}";
}

// Reads "{w, h}"; anything else gives a zero size.
DataItemDetail::PicSize sizeFromText(std::string_view text) {
  auto skipBlanks = [&](std::size_t i) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    return i;
  };
  auto number = [&](std::size_t& i, double& out) {
    i = skipBlanks(i);
    if (i < text.size() && text[i] == '+') ++i;
    auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), out);
    if (ec != std::errc()) return false;
    i = skipBlanks(static_cast<std::size_t>(end - text.data()));
    return true;
  };
  std::size_t i = skipBlanks(0);
  double width = 0;
  double height = 0;
  if (i >= text.size() || text[i++] != '{' || !number(i, width) || i >= text.size() || text[i++] != ',' ||
      !number(i, height) || i >= text.size() || text[i] != '}') {
    return {};
  }
  return {width, height};
}

}  // namespace

void DataItemDetail::set_author_is_company(bool value) { setInt(value ? 1 : 0, "author_type"); }
bool DataItemDetail::get_author_is_company() const { return getInt("author_type") == 1; }
std::string_view DataItemDetail::key_author_is_company() { return "author_is_company"; }
bool DataItemDetail::has_author_is_company() const { return hasKey("author_type"); }

void DataItemDetail::set_notice_author_is_company(bool value) { setInt(value ? 1 : 0, "notice_author_type"); }
bool DataItemDetail::get_notice_author_is_company() const { return getInt("notice_author_type") == 1; }
std::string_view DataItemDetail::key_notice_author_is_company() { return "notice_author_is_company"; }
bool DataItemDetail::has_notice_author_is_company() const { return hasKey("notice_author_type"); }

// Some answers carry the position as "lat" and "lon" only.
void DataItemDetail::set_latitude(std::string_view value) { setString(value, "latitude"); }
std::string DataItemDetail::get_latitude() const {
  std::string text = getString("latitude");
  return text.empty() ? getString("lat") : text;
}
std::string_view DataItemDetail::key_latitude() { return "latitude"; }
bool DataItemDetail::has_latitude() const { return hasKey("latitude") || hasKey("lat"); }

void DataItemDetail::set_longitude(std::string_view value) { setString(value, "longitude"); }
std::string DataItemDetail::get_longitude() const {
  std::string text = getString("longitude");
  return text.empty() ? getString("lon") : text;
}
std::string_view DataItemDetail::key_longitude() { return "longitude"; }
bool DataItemDetail::has_longitude() const { return hasKey("longitude"); }

// A job may ask for two languages (and belong to two industries), sent as two fields.
void DataItemDetail::set_language(std::string_view value) { setString(value, "language"); }
std::string DataItemDetail::get_language() const {
  return firstOrJoined(*this, "language", "language1", "language2");
}
std::string_view DataItemDetail::key_language() { return "language"; }
bool DataItemDetail::has_language() const { return hasKey("language"); }

void DataItemDetail::set_indtype(std::string_view value) { setString(value, "indtype"); }
std::string DataItemDetail::get_indtype() const {
  return firstOrJoined(*this, "indtype", "indtype1", "indtype2");
}
std::string_view DataItemDetail::key_indtype() { return "indtype"; }
bool DataItemDetail::has_indtype() const {
  return hasKey("indtype") || hasKey("indtype1") || hasKey("indtype2");
}

bool DataItemDetail::author_has_pic() const { return !get_author_pic().empty(); }

bool DataItemDetail::author_is_current_user() const {
  if (get_author_is_company()) return false;
  std::string account = UserCoreInfo::getAccountID();
  std::string author = get_author_id();
  return !account.empty() && !author.empty() && account == author;
}

DataItemDetail::PicSize DataItemDetail::small_topic_pic_size() const {
  return sizeFromText(getString("small_topic_pic_size"));
}
void DataItemDetail::set_small_topic_pic_size(PicSize size) {
  setString(sizeText(size), "small_topic_pic_size");
}

DataItemDetail::PicSize DataItemDetail::small_notice_pic_size() const {
  return sizeFromText(getString("small_notice_pic_size"));
}
void DataItemDetail::set_small_notice_pic_size(PicSize size) {
  setString(sizeText(size), "small_notice_pic_size");
}

}  // namespace kavro
