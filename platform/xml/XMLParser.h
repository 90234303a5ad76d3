#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace platform {

class XMLParser;

inline constexpr std::string_view XMLParserErrorDomain = "NSXMLParserErrorDomain";

// Codes of XMLParserErrorDomain.
enum XMLParserErrorCode : std::int64_t {
  XMLParserMalformedError = 1,          // not well-formed XML (or in an encoding the parser lacks)
  XMLParserDocTypeNotAllowedError = 2,  // a DOCTYPE or an entity declaration
  XMLParserDepthLimitError = 3,         // elements nested deeper than maximumDepth
  XMLParserSizeLimitError = 4,          // more input than maximumInputSize
  XMLParserPrematureEndError = 5,       // the document ended inside an element, or was empty
  XMLParserDelegateAbortedParseError = 512,
};

// One attribute as written in the start tag. The views live until the callback returns.
struct XMLAttribute {
  std::string_view name;
  std::string_view value;
};

// Told of a document's parts in document order. Every method is optional.
class XMLParserDelegate {
 public:
  virtual ~XMLParserDelegate() = default;
  virtual void parserDidStartDocument(XMLParser& parser) {}
  virtual void parserDidEndDocument(XMLParser& parser) {}
  // Attributes in the order of the start tag.
  virtual void didStartElement(XMLParser& parser, std::string_view name,
                               const std::vector<XMLAttribute>& attributes) {}
  virtual void didEndElement(XMLParser& parser, std::string_view name) {}
  // Text and CDATA sections, merged: one call per run of text between two tags. The view lives
  // until the element callback that follows it has returned, so a delegate may keep it until then.
  virtual void foundCharacters(XMLParser& parser, std::string_view characters) {}
  // Once, for the first error; nothing follows it. Not called after abortParsing().
  virtual void parseErrorOccurred(XMLParser& parser, const Error& error) {}
};

// The event-driven XML parser. It processes no DTD and resolves no entity beyond the five
// predefined ones and character references: a document with a DOCTYPE is refused, so entity
// expansion cannot blow up. Nesting depth and input size are bounded. Names are not split into
// namespace parts. Used on one thread at a time; the delegate is held weakly.
class XMLParser {
 public:
  static constexpr int DefaultMaximumDepth = 256;
  static constexpr std::size_t DefaultMaximumInputSize = 64u * 1024 * 1024;

  explicit XMLParser(std::weak_ptr<XMLParserDelegate> delegate = {});
  ~XMLParser();
  XMLParser(const XMLParser&) = delete;
  XMLParser& operator=(const XMLParser&) = delete;

  void setDelegate(std::weak_ptr<XMLParserDelegate> delegate) { delegate_ = std::move(delegate); }
  void setMaximumDepth(int depth) { maximumDepth_ = depth; }
  int maximumDepth() const { return maximumDepth_; }
  void setMaximumInputSize(std::size_t bytes) { maximumInputSize_ = bytes; }
  std::size_t maximumInputSize() const { return maximumInputSize_; }

  // A whole document. True when it was well-formed to its end and nothing stopped it.
  bool parse(const Data& document);
  bool parse(std::string_view document);

  // A document in pieces: each piece is parsed as it comes; finish() ends the document. Each
  // answers false once the parse has failed or was aborted.
  bool parseChunk(std::string_view piece);
  bool finish();

  // From a delegate callback (or between chunks): stops at once; no callback follows.
  void abortParsing();

  // The first error, if any.
  const std::optional<Error>& parserError() const { return error_; }
  // Where the parser is (1-based), or where the error was found.
  std::int64_t lineNumber() const;
  std::int64_t columnNumber() const;

 private:
  struct Impl;
  friend struct Impl;
  bool feed(const char* bytes, std::size_t length, bool isFinal);

  std::weak_ptr<XMLParserDelegate> delegate_;
  int maximumDepth_ = DefaultMaximumDepth;
  std::size_t maximumInputSize_ = DefaultMaximumInputSize;
  std::unique_ptr<Impl> impl_;
  std::optional<Error> error_;
};

}  // namespace platform
