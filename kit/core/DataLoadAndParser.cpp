#include "kit/core/DataLoadAndParser.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "kit/codec/json/JBArena.h"
#include "kit/core/AppCoreInfo.h"
#include "kit/core/StringError.h"
#include "kit/core/StringMisc.h"
#include "platform/foundation/Value.h"

namespace kavro {

namespace {

std::int64_t integerOf(std::string_view text) { return integerValueOf(platform::Value(text)); }

// True when text surely neither starts nor ends with white space or a line break as trim() sees
// them: ASCII blanks and controls 0x09-0x0D, and U+0085, U+00A0, U+1680, U+2000-U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000, which start with the bytes C2, E1, E2 or E3 and end with one
// of 80-8A, 9F, A0, A8, A9, AF.
[[gnu::always_inline]] inline bool hasNoEdgeSpace(std::string_view text) {
  auto first = static_cast<unsigned char>(text.front());
  auto last = static_cast<unsigned char>(text.back());
  auto asciiSpace = [](unsigned char c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D); };
  if (first < 0x80 ? asciiSpace(first) : (first == 0xC2 || (first >= 0xE1 && first <= 0xE3))) return false;
  if (last < 0x80) return !asciiSpace(last);
  return !((last >= 0x80 && last <= 0x8A) || last == 0x9F || last == 0xA0 || last == 0xA8 || last == 0xA9 ||
           last == 0xAF);
}

// Leaf text goes in trimmed; most of it has nothing to trim and is used as it stands.
[[gnu::always_inline]] inline bool needsTrimming(std::string_view text) {
  return !text.empty() && !hasNoEdgeSpace(text);
}

// Equal bytes, for the short names of an answer: up to 16 of them without a call.
[[gnu::always_inline]] inline bool sameBytes(const char* a, const char* b, std::size_t n) {
  auto same = [&](auto word) {
    constexpr std::size_t w = sizeof(word);
    decltype(word) x, y, u, v;
    std::memcpy(&x, a, w);
    std::memcpy(&y, b, w);
    std::memcpy(&u, a + n - w, w);
    std::memcpy(&v, b + n - w, w);
    return x == y && u == v;
  };
  if (n >= 8) return n <= 16 ? same(std::uint64_t{}) : std::memcmp(a, b, n) == 0;
  if (n >= 4) return same(std::uint32_t{});
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// A failed call is told in the screen's language: the transport's own words (English, with host
// and port) mean nothing to the user. Without a string table the error's text stands.
std::string failureText(const platform::Error& error) {
  bool server = error.domain == DataHttpConnection::ErrorDomain && error.code >= 1;
  std::string text =
      AppCoreInfo::getLocalizedString(server ? "common_text_server_failed" : "common_text_network_failed");
  return text.empty() ? str::fromError(&error) : text;
}

}  // namespace

DataLoadAndParser::DataLoadAndParser(std::weak_ptr<DataLoadAndParserDelegate> delegate)
    : delegate_(std::move(delegate)), result_(DataItemResult::create()) {}

DataLoadAndParser::~DataLoadAndParser() { stopLoading(); }

std::shared_ptr<DataLoadAndParser> DataLoadAndParser::create(
    std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  return std::shared_ptr<DataLoadAndParser>(new DataLoadAndParser(std::move(delegate)));
}

std::shared_ptr<DataLoadAndParser> DataLoadAndParser::GetUrl(
    std::string_view url, std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  auto loader = create(std::move(delegate));
  loader->start(url);
  return loader;
}

std::shared_ptr<DataLoadAndParser> DataLoadAndParser::PostUrl(
    std::string_view url, std::optional<platform::Data> postData,
    std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  auto loader = create(std::move(delegate));
  loader->start(url, std::move(postData));
  return loader;
}

std::shared_ptr<DataLoadAndParser> DataLoadAndParser::initWithData(const platform::Data& data) {
  return initWithData(platform::viewOfData(data));
}

std::shared_ptr<DataLoadAndParser> DataLoadAndParser::initWithData(std::string_view data) {
  auto loader = create({});
  loader->started_ = true;
  loader->parse(data);
  loader->onFinished();
  return loader;
}

std::shared_ptr<DataLoadAndParser> DataLoadAndParser::failWithMessage(
    std::string_view message, std::weak_ptr<DataLoadAndParserDelegate> delegate) {
  auto loader = create(std::move(delegate));
  loader->started_ = true;
  loader->loading_ = true;
  loader->selfRetain_ = loader;
  loader->failWith(message);
  std::weak_ptr<DataLoadAndParser> weak = loader;
  loader->pendingFailure_ = platform::RunLoop::main().scheduleTimer(
      0, false,
      [weak](platform::Timer&) {
        if (auto self = weak.lock()) self->onFinished();
      },
      platform::DefaultRunLoopMode);
  return loader;
}

void DataLoadAndParser::start(std::string_view relativePath, std::optional<platform::Data> postBody) {
  if (started_ || finished_) return;
  started_ = true;
  loading_ = true;
  selfRetain_ = shared_from_this();
  std::weak_ptr<DataHttpConnectionDelegate> self = std::shared_ptr<DataHttpConnectionDelegate>(
      selfRetain_, static_cast<DataHttpConnectionDelegate*>(this));
  connection_ = DataHttpConnection::create(relativePath, std::move(postBody), self);
}

void DataLoadAndParser::stopLoading() {
  // Whoever calls may hold this loader only through its self-retention.
  auto keep = weak_from_this().lock();
  delegate_.reset();
  if (connection_) connection_->stopLoading();
  connection_.reset();
  if (pendingFailure_) pendingFailure_->invalidate();
  pendingFailure_.reset();
  loading_ = false;
  finished_ = true;
  selfRetain_.reset();
}

void DataLoadAndParser::connectionOnError(DataHttpConnection&, const platform::Error& error) {
  if (finished_) return;
  failWith(failureText(error));
  onFinished();
}

void DataLoadAndParser::connectionOnReceived(DataHttpConnection&, const platform::Data& data) {
  if (finished_) return;
  parse(platform::viewOfData(data));
  onFinished();
}

void DataLoadAndParser::connectionOnDownloadedSize(DataHttpConnection& connection, std::int64_t size) {
  if (finished_ || size <= static_cast<std::int64_t>(MaximumAnswerSize)) return;
  connection.stopLoading();
  std::string text = AppCoreInfo::getLocalizedString("common_text_data_is_error");
  failWith(text.empty() ? "The answer is larger than " + std::to_string(MaximumAnswerSize) + " bytes" : text);
  onFinished();
}

void DataLoadAndParser::parse(std::string_view document) {
  // The records' text lives side by side in one arena for the answer, not in a heap block each.
  arena_ = JBArena::create();
  struct ReleaseArena {
    JBArena*& arena;
    ~ReleaseArena() {
      arena->release();
      arena = nullptr;
    }
  } releaseArena{arena_};
  platform::XMLParser parser(std::shared_ptr<platform::XMLParserDelegate>(
      shared_from_this(), static_cast<platform::XMLParserDelegate*>(this)));
  parser.setMaximumDepth(MaximumDepth);
  parser.setMaximumInputSize(MaximumAnswerSize);
  bool ok = parser.parse(document);
  if (!ok) {
    const auto& error = parser.parserError();
    failWith(str::fromError(error ? &*error : nullptr));
  }
  hasBuffer_ = false;
  text_ = {};
  row_.reset();
  pending_.clear();
  keys_.clear();
}

[[gnu::always_inline]] inline bool DataLoadAndParser::isKey(const InternedKey& key, std::string_view name,
                                                            std::string_view attribute) {
  if (attribute.empty()) return key.size == name.size() && sameBytes(key.bytes, name.data(), name.size());
  return key.size == name.size() + 1 + attribute.size() && sameBytes(key.bytes, name.data(), name.size()) &&
         key.bytes[name.size()] == '.' &&
         sameBytes(key.bytes + name.size() + 1, attribute.data(), attribute.size());
}

std::size_t DataLoadAndParser::internKey(std::string_view name, std::string_view attribute) {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (isKey(keys_[i], name, attribute)) {
      nextKey_ = i + 1;
      return i;
    }
  }
  if (keys_.size() == MaximumKeys) return MaximumKeys;
  const std::string* key = arena_->key(joinedKey(name, attribute));
  keys_.push_back({key->data(), key->size(), key});
  nextKey_ = keys_.size();
  return keys_.size() - 1;
}

std::string_view DataLoadAndParser::joinedKey(std::string_view name, std::string_view attribute) {
  if (attribute.empty()) return name;
  // "element.attribute", built in one reused buffer.
  attributeKey_.assign(name).push_back('.');
  attributeKey_.append(attribute);
  return attributeKey_;
}

void DataLoadAndParser::addToItem(std::string_view text, std::string_view name, std::string_view attribute) {
  if (needsTrimming(text)) return addTrimmedToItem(text, name, attribute);
  addPair(text, name, attribute);
}

void DataLoadAndParser::addTrimmedToItem(std::string_view text, std::string_view name,
                                         std::string_view attribute) {
  addPair(str::trim(text), name, attribute);
}

void DataLoadAndParser::addPair(std::string_view text, std::string_view name, std::string_view attribute) {
  if (!row_) {
    // Items repeat their names in one order: the key after the last one is tried first.
    std::size_t key = nextKey_;
    if (key < keys_.size() && isKey(keys_[key], name, attribute))
      ++nextKey_;
    else
      key = internKey(name, attribute);
    if (key < MaximumKeys && pending_.size() < MaximumPendingPairs) {
      const auto* block = arena_->text(text.empty() ? "" : text.data(), text.size());
      const std::uint64_t bit = std::uint64_t{1} << key;
      // A key seen again in the item replaces its text in its first place.
      if (pendingKeys_ & bit) {
        pending_[pendingPlace_[key]].text = block;
        return;
      }
      pendingKeys_ |= bit;
      pendingPlace_[key] = static_cast<std::uint8_t>(pending_.size());
      pending_.push_back({keys_[key].key, block});
      return;
    }
    row_ = DataItemDetail::newDetailInArena(*arena_, pending_.data(), pending_.size());
    pending_.clear();
    pendingKeys_ = 0;
  }
  row_->setStringInArena(text, joinedKey(name, attribute), *arena_);
}

void DataLoadAndParser::failWith(std::string_view message) {
  result_->setHasError(true);
  result_->setLocalError(true);
  result_->setMessage(message);
}

void DataLoadAndParser::onFinished() {
  if (finished_) return;
  finished_ = true;
  loading_ = false;
  // Both stay until the report is over: the loader may be held only by itself, and the
  // connection is the one calling.
  auto keep = std::move(selfRetain_);
  auto connection = std::move(connection_);
  pendingFailure_.reset();
  if (auto delegate = delegate_.lock()) delegate->dataLoader(*this, *result_);
}

void DataLoadAndParser::didStartElement(platform::XMLParser&, std::string_view name,
                                        const std::vector<platform::XMLAttribute>& attributes) {
  if (!bodyStarted_) {
    if (name == "resultbody") {
      bodyStarted_ = true;
      hasBuffer_ = false;
    } else {
      hasBuffer_ = true;
      text_ = {};
    }
    return;
  }
  hasBuffer_ = true;
  text_ = {};
  if (name == "item" && ++itemDepth_ == 1) {
    row_.reset();
    pending_.clear();
    pendingKeys_ = 0;
  }
  if (itemDepth_ == 0) return;
  for (const auto& attribute : attributes)
    if (!attribute.name.empty()) addToItem(attribute.value, name, attribute.name);
}

void DataLoadAndParser::foundCharacters(platform::XMLParser&, std::string_view characters) {
  // One run of text at most comes before the end of a leaf, and it lives until that end.
  if (hasBuffer_) text_ = characters;
}

void DataLoadAndParser::didEndElement(platform::XMLParser&, std::string_view name) {
  if (hasBuffer_) {
    if (!bodyStarted_) {
      if (name == "status") {
        result_->setStatusCode(
            static_cast<std::int32_t>(std::clamp<std::int64_t>(integerOf(text_), INT32_MIN, INT32_MAX)));
      } else if (name == "result") {
        result_->setHasError(!(text_ == "1" || text_ == "true"));
      } else if (name == "message") {
        result_->setMessage(text_);
      }
    } else if (itemDepth_ >= 1) {
      addToItem(text_, name == "item" && itemDepth_ == 1 ? std::string_view("text") : name, {});
    } else if (name == "jobcount" || name == "totalcount") {
      result_->setMaxCount(
          static_cast<std::uint32_t>(std::clamp<std::int64_t>(integerOf(text_), 0, UINT32_MAX)));
    } else {
      if (needsTrimming(text_))
        result_->detailInfo()->setStringInArena(str::trim(text_), name, *arena_);
      else
        result_->detailInfo()->setStringInArena(text_, name, *arena_);
    }
  }
  if (name == "item" && bodyStarted_) {
    if (itemDepth_ == 1) {
      if (!row_) row_ = DataItemDetail::newDetailInArena(*arena_, pending_.data(), pending_.size());
      pending_.clear();
      pendingKeys_ = 0;
      result_->addItem(std::move(row_));
      row_.reset();
    }
    if (itemDepth_ > 0) --itemDepth_;
  }
  hasBuffer_ = false;
  text_ = {};
}

}  // namespace kavro
