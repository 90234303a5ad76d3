#include "kit/core/DataLoadAndParser.h"

#include <algorithm>
#include <array>
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

// The bytes text may start or end with when it starts or ends with white space or a line break as
// trim() sees them: ASCII blanks and controls 0x09-0x0D, and U+0085, U+00A0, U+1680,
// U+2000-U+200A, U+2028, U+2029, U+202F, U+205F, U+3000, which start with the bytes C2, E1, E2 or
// E3 and end with one of 80-8A, 9F, A0, A8, A9, AF.
constexpr std::uint8_t MayStartBlank = 1, MayEndBlank = 2;
constexpr auto EdgeBytes = [] {
  std::array<std::uint8_t, 256> edge{};
  for (unsigned c : {0x20u, 0x09u, 0x0Au, 0x0Bu, 0x0Cu, 0x0Du}) edge[c] = MayStartBlank | MayEndBlank;
  for (unsigned c : {0xC2u, 0xE1u, 0xE2u, 0xE3u}) edge[c] |= MayStartBlank;
  for (unsigned c = 0x80; c <= 0x8A; ++c) edge[c] |= MayEndBlank;
  for (unsigned c : {0x9Fu, 0xA0u, 0xA8u, 0xA9u, 0xAFu}) edge[c] |= MayEndBlank;
  return edge;
}();

// Leaf text goes in trimmed; most of it has nothing to trim and is used as it stands.
[[gnu::always_inline]] inline bool needsTrimming(std::string_view text) {
  return !text.empty() && ((EdgeBytes[static_cast<unsigned char>(text.front())] & MayStartBlank) |
                           (EdgeBytes[static_cast<unsigned char>(text.back())] & MayEndBlank));
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

template <std::size_t N>
[[gnu::always_inline]] inline bool is(std::string_view name, const char (&literal)[N]) {
  return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// One answer read into its result: the header elements fill the flags and message, each item of
// the body becomes a record, the body's other leaves fill the detail record.
class AnswerReader final : public platform::XMLElementReader {
 public:
  AnswerReader(DataItemResult& result, JBArena& arena) : result_(result), arena_(arena) {}

  // Kept short, for the many elements of items: the rest is out of line.
  void startElement(platform::XMLParser&, std::string_view name,
                    platform::XMLAttributeList attributes) override {
    // An element's text is only kept when nothing but text comes before its end.
    leaf_ = true;
    if (!bodyStarted_) [[unlikely]] {
      if (is(name, "resultbody")) {
        bodyStarted_ = true;
        leaf_ = false;
      }
      return;
    }
    if (is(name, "item") && ++itemDepth_ == 1) startItem();
    if (itemDepth_ != 0 && !attributes.empty()) addAttributes(name, attributes);
  }

  void endElement(platform::XMLParser&, std::string_view name, std::string_view text) override {
    if (leaf_ && itemDepth_ >= 1 && !is(name, "item")) [[likely]] {
      leaf_ = false;
      return addLeaf(text, name);
    }
    endOther(name, text);
  }

 private:
  [[gnu::noinline]] void startItem() {
    row_.reset();
    pendingCount_ = 0;
    pendingKeys_ = 0;
    // Items repeat their names in one order: the next one is expected to start as this one did.
    nextKey_ = firstKey_;
  }

  [[gnu::noinline]] void addAttributes(std::string_view name, platform::XMLAttributeList attributes) {
    for (const platform::XMLAttribute attribute : attributes)
      if (!attribute.name.empty()) addToItem(attribute.value, name, attribute.name);
  }

  // In line: the parser's end handler calls the reader directly, so a leaf costs no call of its own.
  [[gnu::always_inline]] void addLeaf(std::string_view text, std::string_view name) {
    addToItem(text, name, {});
  }

  [[gnu::noinline]] void endOther(std::string_view name, std::string_view text) {
    if (leaf_) {
      leaf_ = false;
      if (!bodyStarted_) {
        if (is(name, "status")) {
          result_.setStatusCode(
              static_cast<std::int32_t>(std::clamp<std::int64_t>(integerOf(text), INT32_MIN, INT32_MAX)));
        } else if (is(name, "result")) {
          result_.setHasError(!(text == "1" || text == "true"));
        } else if (is(name, "message")) {
          result_.setMessage(text);
        }
        return;
      }
      if (itemDepth_ >= 1) {
        addToItem(text, itemDepth_ == 1 && is(name, "item") ? std::string_view("text") : name, {});
      } else if (is(name, "jobcount") || is(name, "totalcount")) {
        result_.setMaxCount(
            static_cast<std::uint32_t>(std::clamp<std::int64_t>(integerOf(text), 0, UINT32_MAX)));
      } else {
        result_.detailInfo()->setStringInArena(needsTrimming(text) ? str::trim(text) : text, name, arena_);
      }
    }
    if (bodyStarted_ && is(name, "item")) {
      if (itemDepth_ == 1) {
        if (!row_) row_ = DataItemDetail::newDetailInArena(arena_, pending_, pendingCount_);
        pendingCount_ = 0;
        pendingKeys_ = 0;
        result_.addItem(std::move(row_));
        row_.reset();
      }
      if (itemDepth_ > 0) --itemDepth_;
    }
  }

  // A leaf (attribute empty) or an attribute of the item being read; its text trimmed first.
  [[gnu::always_inline]] void addToItem(std::string_view text, std::string_view name,
                                        std::string_view attribute) {
    if (needsTrimming(text)) [[unlikely]]
      return addTrimmedToItem(text, name, attribute);
    addPair(text, name, attribute);
  }
  [[gnu::noinline]] void addTrimmedToItem(std::string_view text, std::string_view name,
                                          std::string_view attribute) {
    addPair(str::trim(text), name, attribute);
  }

  void addPair(std::string_view text, std::string_view name, std::string_view attribute) {
    if (row_) [[unlikely]]
      return addToRow(text, name, attribute);
    std::size_t key = nextKey_;
    if (key < keyCount_ && isKey(keys_[key], name, attribute)) [[likely]]
      nextKey_ = key + 1;
    else
      key = internKey(name, attribute);
    if (key >= MaximumKeys || pendingCount_ == MaximumPendingPairs) [[unlikely]]
      return addToRow(text, name, attribute);
    const auto* block = arena_.text(text.empty() ? "" : text.data(), text.size());
    const std::uint64_t bit = std::uint64_t{1} << key;
    // A key seen again in the item replaces its text in its first place.
    if (pendingKeys_ & bit) [[unlikely]] {
      pending_[pendingPlace_[key]].text = block;
      return;
    }
    if (!pendingKeys_) firstKey_ = key;
    pendingKeys_ |= bit;
    pendingPlace_[key] = static_cast<std::uint8_t>(pendingCount_);
    pending_[pendingCount_++] = {keys_[key].key, block};
  }
  // An item with many pairs, or with keys beyond those interned, is a record at once that takes
  // the rest one by one.
  [[gnu::noinline]] void addToRow(std::string_view text, std::string_view name, std::string_view attribute) {
    if (!row_) {
      row_ = DataItemDetail::newDetailInArena(arena_, pending_, pendingCount_);
      pendingCount_ = 0;
      pendingKeys_ = 0;
    }
    row_->setStringInArena(text, joinedKey(name, attribute), arena_);
  }

  struct InternedKey {
    const char* bytes;
    std::size_t size;
    const std::string* key;  // in the arena
  };
  [[gnu::always_inline]] static bool isKey(const InternedKey& key, std::string_view name,
                                           std::string_view attribute) {
    if (attribute.empty()) return key.size == name.size() && sameBytes(key.bytes, name.data(), name.size());
    return key.size == name.size() + 1 + attribute.size() && sameBytes(key.bytes, name.data(), name.size()) &&
           key.bytes[name.size()] == '.' &&
           sameBytes(key.bytes + name.size() + 1, attribute.data(), attribute.size());
  }
  // The place in keys_ of the answer's one copy of a pair's key; MaximumKeys once the answer has
  // used that many different keys.
  [[gnu::noinline]] std::size_t internKey(std::string_view name, std::string_view attribute) {
    for (std::size_t i = 0; i < keyCount_; ++i) {
      if (isKey(keys_[i], name, attribute)) {
        nextKey_ = i + 1;
        return i;
      }
    }
    if (keyCount_ == MaximumKeys) return MaximumKeys;
    const std::string* key = arena_.key(joinedKey(name, attribute));
    keys_[keyCount_++] = {key->data(), key->size(), key};
    nextKey_ = keyCount_;
    return keyCount_ - 1;
  }
  // A leaf's key is its element's name, an attribute's "element.attribute".
  std::string_view joinedKey(std::string_view name, std::string_view attribute) {
    if (attribute.empty()) return name;
    // Built in one reused buffer.
    attributeKey_.assign(name).push_back('.');
    attributeKey_.append(attribute);
    return attributeKey_;
  }

  DataItemResult& result_;
  JBArena& arena_;
  bool bodyStarted_ = false;
  bool leaf_ = false;  // no element has started since the open one did
  std::int32_t itemDepth_ = 0;
  // An item's pairs gather here and become its record at its end; an item with many of them, or
  // with keys beyond those interned, is a record at once (row_) that takes the rest one by one.
  static constexpr std::size_t MaximumPendingPairs = 16;
  static constexpr std::size_t MaximumKeys = 64;
  DataItemDetail::ArenaText pending_[MaximumPendingPairs];
  std::size_t pendingCount_ = 0;
  InternedKey keys_[MaximumKeys];
  std::size_t keyCount_ = 0;
  std::size_t nextKey_ = 0;                      // the key expected next
  std::size_t firstKey_ = 0;                     // the first of the last item
  std::uint64_t pendingKeys_ = 0;                // a bit for each of keys_ in pending_
  std::uint8_t pendingPlace_[MaximumKeys] = {};  // where in pending_
  std::shared_ptr<DataItemDetail> row_;
  std::string attributeKey_;
};

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
  failWith(str::fromError(&error));
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
  JBArena* arena = JBArena::create();
  struct ReleaseArena {
    JBArena* arena;
    ~ReleaseArena() { arena->release(); }
  } releaseArena{arena};
  AnswerReader reader(*result_, *arena);
  platform::XMLParser parser;
  parser.setElementReader(&reader);
  parser.setMaximumDepth(MaximumDepth);
  parser.setMaximumInputSize(MaximumAnswerSize);
  if (!parser.parse(document)) {
    const auto& error = parser.parserError();
    const std::string message = str::fromError(error ? &*error : nullptr);
    // Nothing of an answer that breaks off is shown: the rows read before the break may be any part.
    result_->clear();
    failWith(message);
  }
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

}  // namespace kavro
