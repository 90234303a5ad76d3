#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/core/DataHttpConnection.h"
#include "kit/core/DataItemResult.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/RunLoop.h"
#include "platform/xml/XMLParser.h"

namespace kavro {

class JBArena;

class DataLoadAndParser;

// Told once when a loader's answer has been parsed. Main thread only.
class DataLoadAndParserDelegate {
 public:
  virtual ~DataLoadAndParserDelegate() = default;
  virtual void dataLoader(DataLoadAndParser& loader, const DataItemResult& result) = 0;
};

// Fetches one server answer and parses it into a DataItemResult: the header elements (result,
// status, message) fill the result's flags and message, each `item` in the body becomes a row, the
// body's other leaf elements fill the detail record, attributes land under "element.attribute".
// A network failure, an HTTP error status and an answer that is not sound XML (or nests deeper than
// MaximumDepth, or is larger than MaximumAnswerSize) each end as a local error with a message. The
// delegate hears exactly once, unless stopLoading() came first; it is held weakly. A started loader
// keeps itself alive until it has reported or is stopped. Main thread only.
class DataLoadAndParser : public std::enable_shared_from_this<DataLoadAndParser>,
                          private DataHttpConnectionDelegate,
                          private platform::XMLParserDelegate {
 public:
  static constexpr int MaximumDepth = 64;
  static constexpr std::size_t MaximumAnswerSize = 16u * 1024 * 1024;

  // An idle loader; start() sends its request.
  static std::shared_ptr<DataLoadAndParser> create(std::weak_ptr<DataLoadAndParserDelegate> delegate);
  // Started loaders for a relative path (or an absolute URL), see DataHttpConnection. A POST without
  // a body goes out as a GET.
  static std::shared_ptr<DataLoadAndParser> GetUrl(std::string_view url,
                                                   std::weak_ptr<DataLoadAndParserDelegate> delegate);
  static std::shared_ptr<DataLoadAndParser> PostUrl(std::string_view url,
                                                    std::optional<platform::Data> postData,
                                                    std::weak_ptr<DataLoadAndParserDelegate> delegate);
  // A loader that reports a local error with message on a later run-loop turn, as a started loader
  // would, for calls refused before anything is sent.
  static std::shared_ptr<DataLoadAndParser> failWithMessage(
      std::string_view message, std::weak_ptr<DataLoadAndParserDelegate> delegate);
  // Parses XML held in memory, at once; the loader is finished when it returns and tells nobody.
  static std::shared_ptr<DataLoadAndParser> initWithData(const platform::Data& data);
  static std::shared_ptr<DataLoadAndParser> initWithData(std::string_view data);

  ~DataLoadAndParser() override;
  DataLoadAndParser(const DataLoadAndParser&) = delete;
  DataLoadAndParser& operator=(const DataLoadAndParser&) = delete;

  // Once per loader; a later call does nothing.
  void start(std::string_view relativePath, std::optional<platform::Data> postBody = std::nullopt);
  // Forgets the delegate, stops the connection and finishes without a report.
  void stopLoading();
  void stop() { stopLoading(); }
  bool isLoading() const { return loading_; }
  bool isFinished() const { return finished_; }

  // The result once finished; nullptr before.
  std::shared_ptr<DataItemResult> getResult() const { return finished_ ? result_ : nullptr; }

  std::int32_t tag() const { return tag_; }
  void setTag(std::int32_t tag) { tag_ = tag; }
  const std::weak_ptr<DataLoadAndParserDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<DataLoadAndParserDelegate> delegate) { delegate_ = std::move(delegate); }

 private:
  explicit DataLoadAndParser(std::weak_ptr<DataLoadAndParserDelegate> delegate);

  // DataHttpConnectionDelegate
  void connectionOnError(DataHttpConnection& connection, const platform::Error& error) override;
  void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) override;
  void connectionOnDownloadedSize(DataHttpConnection& connection, std::int64_t size) override;
  // XMLParserDelegate
  void didStartElement(platform::XMLParser& parser, std::string_view name,
                       const std::vector<platform::XMLAttribute>& attributes) override;
  void didEndElement(platform::XMLParser& parser, std::string_view name) override;
  void foundCharacters(platform::XMLParser& parser, std::string_view characters) override;

  void parse(std::string_view document);
  // A leaf (attribute empty) or an attribute of the item being read; its text trimmed first.
  void addToItem(std::string_view text, std::string_view name, std::string_view attribute);
  void addTrimmedToItem(std::string_view text, std::string_view name, std::string_view attribute);
  void addPair(std::string_view text, std::string_view name, std::string_view attribute);
  // The place in keys_ of the answer's one copy of a pair's key; MaximumKeys once the answer has
  // used that many different keys.
  std::size_t internKey(std::string_view name, std::string_view attribute);
  // A leaf's key is its element's name, an attribute's "element.attribute".
  std::string_view joinedKey(std::string_view name, std::string_view attribute);
  void failWith(std::string_view message);
  void onFinished();

  std::weak_ptr<DataLoadAndParserDelegate> delegate_;
  std::int32_t tag_ = 0;
  std::shared_ptr<DataItemResult> result_;
  std::shared_ptr<DataHttpConnection> connection_;
  std::shared_ptr<DataLoadAndParser> selfRetain_;  // while loading
  std::shared_ptr<platform::Timer> pendingFailure_;
  bool started_ = false;
  bool loading_ = false;
  bool finished_ = false;

  // Parse state.
  bool bodyStarted_ = false;
  std::int32_t itemDepth_ = 0;
  bool hasBuffer_ = false;
  std::string_view text_;  // the XML parser's, until the next element callback returns
  // An item's pairs gather here and become its record at its end; an item with many of them, or
  // with keys beyond those interned, is a record at once (row_) that takes the rest one by one.
  static constexpr std::size_t MaximumPendingPairs = 16;
  static constexpr std::size_t MaximumKeys = 64;
  std::vector<DataItemDetail::ArenaText> pending_;
  struct InternedKey {
    const char* bytes;
    std::size_t size;
    const std::string* key;  // in the arena
  };
  static bool isKey(const InternedKey& key, std::string_view name, std::string_view attribute);
  std::vector<InternedKey> keys_;
  std::size_t nextKey_ = 0;                      // the key expected next: items repeat their elements' order
  std::uint64_t pendingKeys_ = 0;                // a bit for each of keys_ in pending_
  std::uint8_t pendingPlace_[MaximumKeys] = {};  // where in pending_
  std::shared_ptr<DataItemDetail> row_;
  std::string attributeKey_;
  JBArena* arena_ = nullptr;  // the answer's text while it is parsed
};

}  // namespace kavro
