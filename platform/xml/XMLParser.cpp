#include "platform/xml/XMLParser.h"

#include <expat.h>
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

namespace platform {

namespace {

// The longest XML declaration looked for before the encoding is decided.
constexpr std::size_t kDeclarationLimit = 1024;
// Input converted at a time, so a large document in another encoding is never held twice whole.
constexpr std::size_t kConversionSlice = 64 * 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Whether the first bytes could still become an XML declaration.
bool mayBeDeclaration(std::string_view head) {
  if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
  constexpr std::string_view start = "<?xml";
  const std::size_t n = std::min(head.size(), start.size());
  return head.substr(0, n) == start.substr(0, n);
}

// The encoding named by the XML declaration at the start of head, empty when there is none.
std::string declaredEncoding(std::string_view head) {
  if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
  if (head.substr(0, 5) != "<?xml" || head.size() < 6 || !std::isspace(static_cast<unsigned char>(head[5])))
    return {};
  const std::size_t end = head.find("?>");
  if (end == std::string_view::npos) return {};
  std::string_view decl = head.substr(5, end - 5);
  const std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  decl.remove_prefix(at + 8);
  auto skipSpace = [&decl] {
    while (!decl.empty() && std::isspace(static_cast<unsigned char>(decl.front()))) decl.remove_prefix(1);
  };
  skipSpace();
  if (decl.empty() || decl.front() != '=') return {};
  decl.remove_prefix(1);
  skipSpace();
  if (decl.empty() || (decl.front() != '"' && decl.front() != '\'')) return {};
  const char quote = decl.front();
  decl.remove_prefix(1);
  const std::size_t close = decl.find(quote);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(0, close));
}

// The encodings expat reads itself.
bool readByExpat(std::string_view name) {
  for (std::string_view known : {"UTF-8", "UTF-16", "UTF-16BE", "UTF-16LE", "ISO-8859-1", "US-ASCII"})
    if (equalsIgnoringCase(name, known)) return true;
  return false;
}

}  // namespace

// The handlers' data is the element state, which the reader's handlers (made in the header) read.
struct XMLParser::Impl : XMLParser::ElementState {
  explicit Impl(XMLParser& owner) : ElementState(owner), parser(XML_ParserCreate(nullptr)) {
    if (!parser) throw MallocException("cannot create the XML parser");
    XML_SetUserData(parser, static_cast<ElementState*>(this));
    XML_SetCharacterDataHandler(parser, &Impl::onCharacters);
    XML_SetStartDoctypeDeclHandler(parser, &Impl::onDoctype);
    XML_SetEntityDeclHandler(parser, &Impl::onEntityDecl);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  }
  ~Impl() {
    XML_ParserFree(parser);
    if (converter != kNoConverter) iconv_close(converter);
  }

  static Impl* of(void* data) { return static_cast<Impl*>(static_cast<ElementState*>(data)); }

  XML_Parser parser;
  std::shared_ptr<XMLParserDelegate> delegate;  // held while a piece is parsed
  std::string text;                             // a run of text gathered from several pieces
  StartHandler readStart = nullptr;             // the reader's, when it is the one set
  // Expat's buffer while it parses a piece (its text handed out there stays put until then).
  const char* bufferBegin = nullptr;
  const char* bufferEnd = nullptr;
  std::vector<XMLAttribute> attributes;
  std::size_t inputSize = 0;
  bool started = false;
  bool aborted = false;
  bool finished = false;
  std::optional<Error> pendingError;  // a limit hit inside a handler

  // A document declared in an encoding expat does not read, but the C library does, is converted
  // to UTF-8 on its way in. The first bytes wait until the declaration has been read.
  static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
  bool encodingDecided = false;
  std::string head;  // the first pieces, while they are too short to decide
  iconv_t converter = kNoConverter;
  std::string carry;  // a character split between two pieces
  std::string converted;

  // Hands bytes to expat; its status.
  XML_Status parseBytes(const char* bytes, std::size_t length, bool isFinal) {
    // Expat takes an int length: large pieces go in slices.
    constexpr std::size_t slice = INT_MAX / 2;
    XML_Status status = XML_STATUS_OK;
    do {
      std::size_t n = std::min(length, slice);
      bool last = isFinal && n == length;
      // Copied into expat's buffer by hand (as XML_Parse would), so that text found there is
      // handed out without another copy.
      void* buffer = n ? XML_GetBuffer(parser, static_cast<int>(n)) : nullptr;
      if (buffer) {
        std::memcpy(buffer, bytes, n);
        bufferBegin = static_cast<const char*>(buffer);
        bufferEnd = bufferBegin + n;
        status = XML_ParseBuffer(parser, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
        keepText();
        bufferBegin = bufferEnd = nullptr;
      } else {
        status = XML_Parse(parser, bytes, static_cast<int>(n), last ? XML_TRUE : XML_FALSE);
      }
      bytes += n;
      length -= n;
    } while (status == XML_STATUS_OK && length > 0);
    return status;
  }

  // Decides from the first bytes whether the document is converted. False while more are needed.
  bool decideEncoding(std::string_view first, bool isFinal) {
    if (!isFinal && first.size() < kDeclarationLimit && mayBeDeclaration(first) &&
        first.find("?>") == std::string::npos)
      return false;
    encodingDecided = true;
    const std::string name = declaredEncoding(first);
    if (name.empty() || readByExpat(name)) return true;
    converter = iconv_open("UTF-8", name.c_str());
    // Unknown to the C library too: expat says so.
    if (converter != kNoConverter) XML_SetEncoding(parser, "UTF-8");
    return true;
  }

  // Converts the next bytes into converted; the error's text when they are not of the encoding.
  std::optional<std::string> convert(const char* bytes, std::size_t length, bool isFinal) {
    converted.clear();
    std::string input;
    if (!carry.empty()) {
      input = std::move(carry);
      input.append(bytes, length);
      carry.clear();
      bytes = input.data();
      length = input.size();
    }
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = length;
    while (inLeft > 0) {
      const std::size_t used = converted.size();
      converted.resize(used + inLeft * 4 + 16);
      char* out = converted.data() + used;
      std::size_t outLeft = converted.size() - used;
      const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
      const int error = errno;
      converted.resize(converted.size() - outLeft);
      if (done != static_cast<std::size_t>(-1)) continue;
      if (error == E2BIG) continue;
      if (error == EINVAL) {
        carry.assign(in, inLeft);
        break;
      }
      return std::string("invalid character for the declared encoding");
    }
    if (isFinal && !carry.empty()) return std::string("incomplete character at the end of the document");
    return std::nullopt;
  }

  // The text stays until the element callback that follows it has returned.
  void deliverText() {
    if (!run.empty() && delegate) delegate->foundCharacters(*owner, run);
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
    reader = owner->reader_;
    readStart = owner->readStart_;
    if (reader)
      XML_SetElementHandler(parser, owner->readStart_, owner->readEnd_);
    else
      XML_SetElementHandler(parser, &Impl::onStart, &Impl::onEnd);
  }

  static void onStart(void* data, const XML_Char* name, const XML_Char** atts) {
    auto* self = of(data);
    if (self->stopped || !self->enter()) return;
    const std::string_view element(name);
    self->keepLength(element.size());
    self->deliverText();
    if (!self->stopped && self->delegate) {
      self->attributes.clear();
      for (const XML_Char** a = atts; a && a[0]; a += 2) self->attributes.push_back({a[0], a[1]});
      self->delegate->didStartElement(*self->owner, element, self->attributes);
    }
    self->clearText();
  }

  static void onEnd(void* data, const XML_Char* name) {
    auto* self = of(data);
    if (self->stopped) return;
    const std::string_view element = self->leave(name);
    self->deliverText();
    if (!self->stopped && self->delegate) self->delegate->didEndElement(*self->owner, element);
    self->clearText();
  }

  static void onCharacters(void* data, const XML_Char* s, int len) {
    auto* self = of(data);
    const auto n = static_cast<std::size_t>(len);
    // Most runs are one piece in the buffer. (A run begun after a stop is never handed out.)
    if (self->run.empty() && s >= self->bufferBegin && s + n <= self->bufferEnd) [[likely]] {
      self->run = std::string_view(s, n);
      return;
    }
    self->gatherText(s, n);
  }

  static void onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    of(data)->stopWith(XMLParserDocTypeNotAllowedError, "Document type declarations are not allowed");
  }

  static void onEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                           const XML_Char*, const XML_Char*, const XML_Char*) {
    of(data)->stopWith(XMLParserDocTypeNotAllowedError, "Entity declarations are not allowed");
  }
};

void XMLParser::ElementState::stopTooDeep() {
  static_cast<Impl*>(this)->stopWith(XMLParserDepthLimitError, "Elements are nested deeper than " +
                                                                   std::to_string(maximumDepth) + " levels");
}

void XMLParser::ElementState::growLengths() {
  nameLengths.resize(std::max<std::size_t>(16, 2 * nameLengths.size()));
}

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
  if (!impl.started || impl.reader != reader_ || impl.readStart != readStart_) impl.setHandlers();
  impl.maximumDepth = maximumDepth_;

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
    XML_Status status = XML_STATUS_OK;
    std::optional<std::string> conversionError;
    if (!impl.encodingDecided) {
      // Most documents come whole or with their declaration in the first piece: no copy then.
      std::string_view seen(bytes, length);
      if (!impl.head.empty()) {
        impl.head.append(bytes, length);
        seen = impl.head;
      }
      if (!impl.decideEncoding(seen, isFinal)) {
        if (impl.head.empty()) impl.head.assign(bytes, length);
        return true;
      }
      bytes = seen.data();
      length = seen.size();
    }
    if (impl.converter == Impl::kNoConverter) {
      status = impl.parseBytes(bytes, length, isFinal);
    } else {
      do {
        const std::size_t n = std::min(length, kConversionSlice);
        const bool last = isFinal && n == length;
        conversionError = impl.convert(bytes, n, last);
        if (conversionError) break;
        status = impl.parseBytes(impl.converted.data(), impl.converted.size(), last);
        bytes += n;
        length -= n;
      } while (status == XML_STATUS_OK && length > 0);
    }
    impl.head = std::string();

    if (impl.aborted) return false;
    if (conversionError && !impl.pendingError) {
      impl.stopped = true;
      failure = Error{std::string(XMLParserErrorDomain), XMLParserMalformedError, *conversionError, nullptr,
                      nullptr};
      failed = true;
    } else if (impl.pendingError) {
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
