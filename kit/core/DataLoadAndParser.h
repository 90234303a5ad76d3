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
                          private DataHttpConnectionDelegate {
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

  void parse(std::string_view document);
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
};

}  // namespace kavro
