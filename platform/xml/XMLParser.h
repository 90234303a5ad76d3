#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
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

// The attributes of one start tag, read only when wanted: a tag without any costs nothing. The
// views live until the callback returns.
class XMLAttributeList {
 public:
  // Name, value, name, value, ... then null, each NUL-terminated (or null for none at all).
  explicit XMLAttributeList(const char* const* pairs) : pairs_(pairs) {}

  class iterator {
   public:
    explicit iterator(const char* const* at) : at_(at) {}
    XMLAttribute operator*() const { return {at_[0], at_[1]}; }
    iterator& operator++() {
      at_ += 2;
      return *this;
    }
    // The list ends at its null: iterators are only compared with end().
    bool operator!=(const iterator&) const { return *at_ != nullptr; }

   private:
    const char* const* at_;
  };

  bool empty() const { return !pairs_ || !pairs_[0]; }
  iterator begin() const { return iterator(empty() ? &kNone : pairs_); }
  iterator end() const { return iterator(nullptr); }

 private:
  static constexpr const char* kNone = nullptr;
  const char* const* pairs_;
};

// A short way to hear a document's elements, for readers of many small ones such as server
// answers: one call per tag, the attributes read only when wanted, and an element's text given
// with its end. Set on a parser (setElementReader), it hears the elements in place of the
// delegate, which still hears the document's start, end and error.
class XMLElementReader {
 public:
  virtual ~XMLElementReader() = default;
  virtual void startElement(XMLParser& parser, std::string_view name, XMLAttributeList attributes) = 0;
  // text: everything since the tag before this one, text and CDATA merged: an element's whole text
  // when it holds no elements, else what follows its last child. The view lives until the call
  // returns.
  virtual void endElement(XMLParser& parser, std::string_view name, std::string_view text) = 0;
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
  // Hears the elements in place of the delegate from the next piece on (nullptr: the delegate
  // again). Not owned: it must outlive the parse.
  void setElementReader(XMLElementReader* reader) { setReader<XMLElementReader>(reader); }
  // The same for a reader of a type known here: its calls are made straight from the parser's
  // handlers, with no virtual call between (a server answer has tens of thousands of elements).
  template <class Reader>
  void setElementReader(Reader* reader) {
    static_assert(std::is_base_of_v<XMLElementReader, Reader>);
    setReader<Reader>(reader);
  }
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

  // What a reader's element handlers work with (the rest of a parse's state is the source file's):
  // the handlers are made for each reader type here, where that type is known.
  struct ElementState {
    explicit ElementState(XMLParser& parser) : owner(&parser) {}
    XMLParser* owner;
    void* reader = nullptr;  // the one the handlers are set for
    // The run of text since the last tag: a view into expat's buffer while it comes in one piece,
    // otherwise gathered by the source file.
    std::string_view run;
    std::vector<std::size_t> nameLengths;  // of the open elements, by depth
    int depth = 0;
    int maximumDepth = DefaultMaximumDepth;
    bool stopped = false;  // an error, an abort or the end: no more callbacks

    // False (and stopped) past the depth limit.
    bool enter() {
      if (++depth <= maximumDepth) [[likely]]
        return true;
      stopTooDeep();
      return false;
    }
    // The end tag's name is the start tag's: its length is kept rather than counted again.
    void keepLength(std::size_t length) {
      const auto at = static_cast<std::size_t>(depth - 1);
      if (at >= nameLengths.size()) [[unlikely]]
        growLengths();
      nameLengths[at] = length;
    }
    std::string_view leave(const char* name) {
      if (depth <= 0) return name;
      return {name, nameLengths[static_cast<std::size_t>(--depth)]};
    }
    void stopTooDeep();
    void growLengths();
  };
  using StartHandler = void (*)(void*, const char*, const char**);
  using EndHandler = void (*)(void*, const char*);

  template <class Reader>
  static void startReading(void* data, const char* name, const char** attributes) {
    auto& state = *static_cast<ElementState*>(data);
    if (state.stopped || !state.enter()) return;
    const std::string_view element(name);
    state.keepLength(element.size());
    static_cast<Reader*>(state.reader)->startElement(*state.owner, element, XMLAttributeList(attributes));
    state.run = {};
  }
  template <class Reader>
  static void endReading(void* data, const char* name) {
    auto& state = *static_cast<ElementState*>(data);
    if (state.stopped) return;
    const std::string_view element = state.leave(name);
    static_cast<Reader*>(state.reader)->endElement(*state.owner, element, state.run);
    state.run = {};
  }
  template <class Reader>
  void setReader(Reader* reader) {
    reader_ = reader;
    readStart_ = reader ? &startReading<Reader> : nullptr;
    readEnd_ = reader ? &endReading<Reader> : nullptr;
  }

  std::weak_ptr<XMLParserDelegate> delegate_;
  void* reader_ = nullptr;
  StartHandler readStart_ = nullptr;
  EndHandler readEnd_ = nullptr;
  int maximumDepth_ = DefaultMaximumDepth;
  std::size_t maximumInputSize_ = DefaultMaximumInputSize;
  std::unique_ptr<Impl> impl_;
  std::optional<Error> error_;
};

}  // namespace platform
