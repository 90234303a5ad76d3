#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "kit/core/DataHttpConnection.h"
#include "kit/core/DataJsonResult.h"
#include "platform/foundation/Data.h"

namespace kavro {

class JsonLoadAndParser;

// Told once when a JSON answer has been parsed. Both calls are optional: the JSON form is offered
// first and answers true when taken; otherwise the answer is offered as a DataItemResult.
class JsonLoadAndParserDelegate {
 public:
  virtual ~JsonLoadAndParserDelegate() = default;
  virtual bool dataLoader(JsonLoadAndParser& loader, const DataJsonResult& result) { return false; }
  virtual bool dataLoader(JsonLoadAndParser& loader, const DataItemResult& result) { return false; }
};

// The JSON twin of DataLoadAndParser: one connection, one parse, one report. A network or HTTP
// failure and an answer that is no JSON object end as a local error. The delegate is held weakly
// and hears nothing after stopLoading(); a started loader keeps itself alive until it has
// reported. Main thread only.
class JsonLoadAndParser : public std::enable_shared_from_this<JsonLoadAndParser>,
                          private DataHttpConnectionDelegate {
 public:
  static std::shared_ptr<JsonLoadAndParser> create(std::weak_ptr<JsonLoadAndParserDelegate> delegate);
  static std::shared_ptr<JsonLoadAndParser> GetUrl(std::string_view url,
                                                   std::weak_ptr<JsonLoadAndParserDelegate> delegate);
  static std::shared_ptr<JsonLoadAndParser> PostUrl(std::string_view url,
                                                    std::optional<platform::Data> postData,
                                                    std::weak_ptr<JsonLoadAndParserDelegate> delegate);
  // Parses JSON held in memory at once; finished on return, tells nobody.
  static std::shared_ptr<JsonLoadAndParser> initWithData(const platform::Data& data);

  ~JsonLoadAndParser() override;
  JsonLoadAndParser(const JsonLoadAndParser&) = delete;
  JsonLoadAndParser& operator=(const JsonLoadAndParser&) = delete;

  // Once per loader; a later call does nothing.
  void start(std::string_view url, std::optional<platform::Data> postData = std::nullopt);
  void stopLoading();
  bool isFinished() const { return finished_; }
  // The result once finished; nullptr before.
  std::shared_ptr<DataJsonResult> getResult() const { return finished_ ? result_ : nullptr; }
  std::int32_t tag() const { return tag_; }
  void setTag(std::int32_t tag) { tag_ = tag; }
  const std::weak_ptr<JsonLoadAndParserDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<JsonLoadAndParserDelegate> delegate) { delegate_ = std::move(delegate); }

 private:
  struct Token {};

 public:
  JsonLoadAndParser(Token, std::weak_ptr<JsonLoadAndParserDelegate> delegate);

 private:
  void connectionOnError(DataHttpConnection& connection, const platform::Error& error) override;
  void connectionOnReceived(DataHttpConnection& connection, const platform::Data& data) override;
  void onFinished();

  std::weak_ptr<JsonLoadAndParserDelegate> delegate_;
  std::int32_t tag_ = 0;
  std::shared_ptr<DataJsonResult> result_;
  std::shared_ptr<DataHttpConnection> connection_;
  std::shared_ptr<JsonLoadAndParser> selfRetain_;  // while loading
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace kavro
