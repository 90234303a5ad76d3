#include "platform/xml/XMLParser.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace platform {

struct XMLParser::Impl {
  explicit Impl(XMLParser& owner) : owner(owner), parser(XML_ParserCreate(nullptr)) {
    if (!parser) throw MallocException("cannot create the XML parser");
    XML_SetUserData(parser, this);
    XML_SetCharacterDataHandler(parser, &Impl::onCharacters);
    XML_SetStartDoctypeDeclHandler(parser, &Impl::onDoctype);
    XML_SetEntityDeclHandler(parser, &Impl::onEntityDecl);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  }
  ~Impl() { XML_ParserFree(parser); }

  XMLParser& owner;
  XML_Parser parser;
  std::shared_ptr<XMLParserDelegate> delegate;  // held while a piece is parsed
  XMLElementReader* reader = nullptr;           // the one the element handlers are set for
  // The run of text since the last tag: a view into expat's buffer while it comes in one piece,
  // otherwise gathered in text.
  std::string_view run;
  std::string text;
  // Expat's buffer while it parses a piece (its text handed out there stays put until then).
  const char* bufferBegin = nullptr;
  const char* bufferEnd = nullptr;
  std::vector<XMLAttribute> attributes;
  std::vector<std::size_t> nameLengths;  // of the open elements, by depth
  std::size_t inputSize = 0;
  int depth = 0;
  bool started = false;
  bool stopped = false;  // an error, an abort or the end: no more callbacks
  bool aborted = false;
  bool finished = false;
  std::optional<Error> pendingError;  // a limit hit inside a handler

  // The text stays until the element callback that follows it has returned.
  void deliverText() {
    if (!run.empty() && delegate) delegate->foundCharacters(owner, run);
  }
  // text is only read through run: it need not be emptied.
  void clearText() { run = {}; }
  // Before the buffer moves: a run still open keeps its own copy.
  void keepText() {
    if (!run.empty() && run.data() != text.data()) {
      text.assign(run);
      run = text;
    }
  }
  // Text that does not lie in the buffer in one piece with what came before it.
  [[gnu::noinline]] void gatherText(const char* s, std::size_t n) {
    if (stopped) return;
    if (run.empty()) {
      // A line break comes from outside the buffer, and mostly alone between two tags.
      if (n == 1 && *s == '\n') {
        run = "\n";
        return;
      }
      text.assign(s, n);
    } else {
      keepText();
      text.append(s, n);
    }
    run = text;
  }

  void stopWith(XMLParserErrorCode code, std::string message) {
    pendingError = Error{std::string(XMLParserErrorDomain), code, std::move(message), nullptr, nullptr};
    stopped = true;
    XML_StopParser(parser, XML_FALSE);
  }

  // The delegate's handlers or the reader's, whichever is set now.
  void setHandlers() {
    reader = owner.reader_;
    if (reader)
      XML_SetElementHandler(parser, &Impl::onStartRead, &Impl::onEndRead);
    else
      XML_SetElementHandler(parser, &Impl::onStart, &Impl::onEnd);
  }

  [[gnu::noinline]] void stopTooDeep() {
    stopWith(XMLParserDepthLimitError,
             "Elements are nested deeper than " + std::to_string(owner.maximumDepth_) + " levels");
  }
  // False (and stopped) past the depth limit.
  bool enter() {
    if (++depth <= owner.maximumDepth_) [[likely]]
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
  [[gnu::noinline]] void growLengths() {
    nameLengths.resize(std::max<std::size_t>(16, 2 * nameLengths.size()));
  }
  std::string_view leave(const XML_Char* name) {
    if (depth <= 0) return name;
    return {name, nameLengths[static_cast<std::size_t>(--depth)]};
  }

  static void onStartRead(void* data, const XML_Char* name, const XML_Char** atts) {
    auto* self = static_cast<Impl*>(data);
    if (self->stopped || !self->enter()) return;
    const std::string_view element(name);
    self->keepLength(element.size());
    self->reader->startElement(self->owner, element, XMLAttributeList(atts));
    self->clearText();
  }

  static void onEndRead(void* data, const XML_Char* name) {
    auto* self = static_cast<Impl*>(data);
    if (self->stopped) return;
    const std::string_view element = self->leave(name);
    self->reader->endElement(self->owner, element, self->run);
    self->clearText();
  }

  static void onStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto* self = static_cast<Impl*>(data);
    if (self->stopped || !self->enter()) return;
    const std::string_view element(name);
    self->keepLength(element.size());
    self->deliverText();
    if (!self->stopped && self->delegate) {
      self->attributes.clear();
      for (const XML_Char** a = atts; a && a[0]; a += 2) self->attributes.push_back({a[0], a[1]});
      self->delegate->didStartElement(self->owner, element, self->attributes);
    }
    self->clearText();
  }

  static void onEnd(void* data, const XML_Char* name) {
    auto* self = static_cast<Impl*>(data);
    if (self->stopped) return;
    const std::string_view element = self->leave(name);
    self->deliverText();
    if (!self->stopped && self->delegate) self->delegate->didEndElement(self->owner, element);
    self->clearText();
  }

  static void onCharacters(void* data, const XML_Char* s, int len) {
    auto* self = static_cast<Impl*>(data);
    const auto n = static_cast<std::size_t>(len);
    // Most runs are one piece in the buffer. (A run begun after a stop is never handed out.)
    if (self->run.empty() && s >= self->bufferBegin && s + n <= self->bufferEnd) [[likely]] {
      self->run = std::string_view(s, n);
      return;
    }
    self->gatherText(s, n);
  }

  static void onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<Impl*>(data)->stopWith(XMLParserDocTypeNotAllowedError,
                                       "Document type declarations are not allowed");
  }

  static void onEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                           const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<Impl*>(data)->stopWith(XMLParserDocTypeNotAllowedError,
                                       "Entity declarations are not allowed");
  }
};

XMLParser::XMLParser(std::weak_ptr<XMLParserDelegate> delegate) : delegate_(std::move(delegate)) {}

XMLParser::~XMLParser() = default;

bool XMLParser::parse(const Data& document) { return parse(viewOfData(document)); }

bool XMLParser::parse(std::string_view document) {
  impl_.reset();
  error_.reset();
  // One final piece: expat reads it straight through.
  return feed(document.data(), document.size(), true);
}

bool XMLParser::parseChunk(std::string_view piece) { return feed(piece.data(), piece.size(), false); }

bool XMLParser::finish() { return feed("", 0, true); }

void XMLParser::abortParsing() {
  if (!impl_) impl_ = std::make_unique<Impl>(*this);
  if (impl_->stopped) return;
  impl_->stopped = true;
  impl_->aborted = true;
  error_ = Error{std::string(XMLParserErrorDomain), XMLParserDelegateAbortedParseError,
                 "The parse was aborted", nullptr, nullptr};
  XML_StopParser(impl_->parser, XML_FALSE);
}

std::int64_t XMLParser::lineNumber() const {
  return impl_ ? static_cast<std::int64_t>(XML_GetCurrentLineNumber(impl_->parser)) : 0;
}

std::int64_t XMLParser::columnNumber() const {
  return impl_ ? static_cast<std::int64_t>(XML_GetCurrentColumnNumber(impl_->parser)) + 1 : 0;
}

bool XMLParser::feed(const char* bytes, std::size_t length, bool isFinal) {
  if (!impl_) impl_ = std::make_unique<Impl>(*this);
  Impl& impl = *impl_;
  if (impl.stopped) return false;
  if (!impl.started || impl.reader != reader_) impl.setHandlers();

  impl.delegate = delegate_.lock();
  struct Release {
    Impl& impl;
    ~Release() { impl.delegate.reset(); }
  } release{impl};

  if (!impl.started) {
    impl.started = true;
    if (impl.delegate) impl.delegate->parserDidStartDocument(*this);
    if (impl.stopped) return false;
  }

  Error failure;
  bool failed = false;
  if (length > maximumInputSize_ - std::min(impl.inputSize, maximumInputSize_)) {
    impl.stopped = true;
    failure = Error{std::string(XMLParserErrorDomain), XMLParserSizeLimitError,
                    "The document is larger than " + std::to_string(maximumInputSize_) + " bytes", nullptr,
                    nullptr};
    failed = true;
  } else {
    impl.inputSize += length;
    // Expat takes an int length: large pieces go in slices.
    constexpr std::size_t slice = INT_MAX / 2;
    XML_Status status = XML_STATUS_OK;
    do {
      std::size_t n = std::min(length, slice);
      bool last = isFinal && n == length;
      // Copied into expat's buffer by hand (as XML_Parse would), so that text found there is
      // handed out without another copy.
      void* buffer = n ? XML_GetBuffer(impl.parser, static_cast<int>(n)) : nullptr;
      if (buffer) {
        std::memcpy(buffer, bytes, n);
        impl.bufferBegin = static_cast<const char*>(buffer);
        impl.bufferEnd = impl.bufferBegin + n;
        status = XML_ParseBuffer(impl.parser, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
        impl.keepText();
        impl.bufferBegin = impl.bufferEnd = nullptr;
      } else {
        status = XML_Parse(impl.parser, bytes, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
      }
      bytes += n;
      length -= n;
    } while (status == XML_STATUS_OK && length > 0);

    if (impl.aborted) return false;
    if (impl.pendingError) {
      failure = *impl.pendingError;
      failed = true;
    } else if (status != XML_STATUS_OK) {
      impl.stopped = true;
      XML_Error code = XML_GetErrorCode(impl.parser);
      failure = Error{std::string(XMLParserErrorDomain),
                      code == XML_ERROR_NO_ELEMENTS ? XMLParserPrematureEndError : XMLParserMalformedError,
                      XML_ErrorString(code), nullptr, nullptr};
      failed = true;
    }
  }

  if (failed) {
    failure.localizedDescription +=
        " (line " + std::to_string(lineNumber()) + ", column " + std::to_string(columnNumber()) + ")";
    error_ = failure;
    if (impl.delegate) impl.delegate->parseErrorOccurred(*this, failure);
    return false;
  }
  if (isFinal) {
    if (!impl.reader) impl.deliverText();
    impl.clearText();
    if (impl.stopped) return false;
    impl.stopped = true;
    impl.finished = true;
    if (impl.delegate) impl.delegate->parserDidEndDocument(*this);
  }
  return !impl.aborted;
}

}  // namespace platform
