#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/xml/XMLParser.h"

using platform::XMLAttribute;
using platform::XMLParser;

namespace {

// Writes each event as a line, so a test compares one list.
class Recorder : public platform::XMLParserDelegate {
 public:
  std::vector<std::string> events;
  std::optional<platform::Error> error;
  std::function<void(XMLParser&, std::string_view)> onStart;

  void parserDidStartDocument(XMLParser&) override { events.push_back("begin"); }
  void parserDidEndDocument(XMLParser&) override { events.push_back("end"); }
  void didStartElement(XMLParser& p, std::string_view name, const std::vector<XMLAttribute>& attrs) override {
    std::string e = "<" + std::string(name);
    for (const auto& a : attrs) e += " " + std::string(a.name) + "=" + std::string(a.value);
    events.push_back(e + ">");
    if (onStart) onStart(p, name);
  }
  void didEndElement(XMLParser&, std::string_view name) override {
    events.push_back("</" + std::string(name) + ">");
  }
  void foundCharacters(XMLParser&, std::string_view text) override {
    events.push_back("'" + std::string(text) + "'");
  }
  void parseErrorOccurred(XMLParser&, const platform::Error& e) override {
    events.push_back("error");
    error = e;
  }
};

using Events = std::vector<std::string>;

}  // namespace

TEST(XMLParser, ReportsElementsAttributesInOrderAndMergedText) {
  auto rec = std::make_shared<Recorder>();
  XMLParser parser(rec);
  ASSERT_TRUE(parser.parse(std::string_view(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<root><item z=\"1\" a=\"&lt;2&gt;\">a &amp; b&#x4e2d;<![CDATA[<raw>]]>\nc</item><e/></root>")));
  EXPECT_EQ(rec->events, (Events{"begin", "<root>", "<item z=1 a=<2>>", "'a & b\u4e2d<raw>\nc'", "</item>",
                                 "<e>", "</e>", "</root>", "end"}));
  EXPECT_FALSE(parser.parserError());
}

TEST(XMLParser, IncrementalChunksGiveTheSameEvents) {
  std::string doc = "<r><a k=\"v\">h\xC3\xA9llo wor<![CDATA[ld]]></a><b>x</b></r>";
  auto whole = std::make_shared<Recorder>();
  ASSERT_TRUE(XMLParser(whole).parse(std::string_view(doc)));
  for (std::size_t step : {1u, 2u, 3u, 7u}) {
    auto rec = std::make_shared<Recorder>();
    XMLParser parser(rec);
    for (std::size_t i = 0; i < doc.size(); i += step) ASSERT_TRUE(parser.parseChunk(doc.substr(i, step)));
    ASSERT_TRUE(parser.finish());
    EXPECT_EQ(rec->events, whole->events) << "step " << step;
  }
}

TEST(XMLParser, MalformedInputReportsOneErrorWithPosition) {
  auto rec = std::make_shared<Recorder>();
  XMLParser parser(rec);
  EXPECT_FALSE(parser.parse(std::string_view("<a>\n<b></a>")));
  ASSERT_TRUE(parser.parserError());
  EXPECT_EQ(parser.parserError()->domain, platform::XMLParserErrorDomain);
  EXPECT_EQ(parser.parserError()->code, platform::XMLParserMalformedError);
  EXPECT_NE(parser.parserError()->localizedDescription.find("line 2"), std::string::npos);
  EXPECT_EQ(parser.lineNumber(), 2);
  EXPECT_EQ(std::count(rec->events.begin(), rec->events.end(), "error"), 1);
  EXPECT_EQ(rec->events.back(), "error");
  // Nothing more after the error.
  EXPECT_FALSE(parser.parseChunk("<c/>"));
  EXPECT_FALSE(parser.finish());
  EXPECT_EQ(rec->events.back(), "error");

  // A whole document parsed next is read as by a new parser: no error, no line of the last one.
  rec->events.clear();
  EXPECT_TRUE(parser.parse(std::string_view("<c>t</c>")));
  EXPECT_EQ(rec->events, (Events{"begin", "<c>", "'t'", "</c>", "end"}));
  EXPECT_FALSE(parser.parserError());
  EXPECT_EQ(parser.lineNumber(), 1);
}

TEST(XMLParser, TruncatedOrEmptyDocumentsFail) {
  for (std::string_view doc : {"", "   ", "<a><b>text", "not xml at all"}) {
    auto rec = std::make_shared<Recorder>();
    XMLParser parser(rec);
    EXPECT_FALSE(parser.parse(doc)) << doc;
    ASSERT_TRUE(rec->error) << doc;
    EXPECT_NE(rec->events.back(), "end");
  }
}

TEST(XMLParser, RefusesDoctypeAndEntityBombs) {
  std::string bomb =
      "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
      "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
      "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]><lolz>&lol3;</lolz>";
  std::string external = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>";
  std::string plainDoctype = "<!DOCTYPE r SYSTEM \"r.dtd\"><r/>";
  for (const std::string& doc : {bomb, external, plainDoctype}) {
    auto rec = std::make_shared<Recorder>();
    XMLParser parser(rec);
    EXPECT_FALSE(parser.parse(std::string_view(doc)));
    ASSERT_TRUE(parser.parserError());
    EXPECT_EQ(parser.parserError()->code, platform::XMLParserDocTypeNotAllowedError);
    EXPECT_EQ(rec->events, (Events{"begin", "error"}));
  }
  // An entity reference without a declaration is an error, not an expansion.
  XMLParser parser(std::make_shared<Recorder>());
  EXPECT_FALSE(parser.parse(std::string_view("<r>&undefined;</r>")));
}

TEST(XMLParser, EnforcesDepthAndSizeLimits) {
  auto rec = std::make_shared<Recorder>();
  XMLParser parser(rec);
  parser.setMaximumDepth(3);
  EXPECT_TRUE(parser.parse(std::string_view("<a><b><c/></b></a>")));
  EXPECT_FALSE(parser.parse(std::string_view("<a><b><c><d/></c></b></a>")));
  ASSERT_TRUE(parser.parserError());
  EXPECT_EQ(parser.parserError()->code, platform::XMLParserDepthLimitError);

  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  XMLParser defaults(rec);
  EXPECT_FALSE(defaults.parse(std::string_view(deep)));
  EXPECT_EQ(defaults.parserError()->code, platform::XMLParserDepthLimitError);

  XMLParser small(rec);
  small.setMaximumInputSize(16);
  EXPECT_TRUE(small.parseChunk("<a>0123456789"));
  EXPECT_FALSE(small.parseChunk("0123456789</a>"));
  EXPECT_EQ(small.parserError()->code, platform::XMLParserSizeLimitError);
}

TEST(XMLParser, AbortFromACallbackStopsEverything) {
  auto rec = std::make_shared<Recorder>();
  rec->onStart = [](XMLParser& p, std::string_view name) {
    if (name == "stop") p.abortParsing();
  };
  XMLParser parser(rec);
  EXPECT_FALSE(parser.parse(std::string_view("<r>t<stop/><after>x</after></r>")));
  EXPECT_EQ(rec->events, (Events{"begin", "<r>", "'t'", "<stop>"}));
  ASSERT_TRUE(parser.parserError());
  EXPECT_EQ(parser.parserError()->code, platform::XMLParserDelegateAbortedParseError);
  EXPECT_FALSE(rec->error);

  // Parsed again, the aborted parser reads the whole document.
  rec->onStart = nullptr;
  rec->events.clear();
  EXPECT_TRUE(parser.parse(std::string_view("<r>t<stop/><after>x</after></r>")));
  EXPECT_EQ(rec->events, (Events{"begin", "<r>", "'t'", "<stop>", "</stop>", "<after>", "'x'", "</after>",
                                 "</r>", "end"}));
  EXPECT_FALSE(parser.parserError());
}

TEST(XMLParser, AGoneDelegateHearsNothing) {
  auto rec = std::make_shared<Recorder>();
  XMLParser parser(rec);
  ASSERT_TRUE(parser.parseChunk("<r>"));
  std::weak_ptr<Recorder> weak = rec;
  rec.reset();
  EXPECT_TRUE(parser.parseChunk("<a/></r>"));
  EXPECT_TRUE(parser.finish());
  EXPECT_TRUE(weak.expired());
}

// A delegate may keep the text's view until the element callback after it, and the end tag's
// name is given whole, from whole documents and from pieces alike.
TEST(XMLParser, TextLivesUntilTheNextElementCallback) {
  class Keeper : public platform::XMLParserDelegate {
   public:
    std::string_view kept;
    std::vector<std::string> seen;
    void didStartElement(XMLParser&, std::string_view name, const std::vector<XMLAttribute>&) override {
      seen.push_back("<" + std::string(name) + ">" + std::string(kept));
      kept = {};
    }
    void didEndElement(XMLParser&, std::string_view name) override {
      seen.push_back("</" + std::string(name) + ">" + std::string(kept));
      kept = {};
    }
    void foundCharacters(XMLParser&, std::string_view text) override { kept = text; }
  };
  const std::string doc = "<root>lead<a-long-name>x\r\ny &amp; z&#x4e2d;</a-long-name>tail<b>q</b></root>";
  const std::vector<std::string> expected{
      "<root>", "<a-long-name>lead", "</a-long-name>x\ny & z\u4e2d", "<b>tail", "</b>q", "</root>"};
  for (std::size_t step : {doc.size(), std::size_t{1}, std::size_t{5}}) {
    auto keeper = std::make_shared<Keeper>();
    XMLParser parser(keeper);
    for (std::size_t i = 0; i < doc.size(); i += step) ASSERT_TRUE(parser.parseChunk(doc.substr(i, step)));
    ASSERT_TRUE(parser.finish());
    EXPECT_EQ(keeper->seen, expected) << step;
  }
}

namespace {

// Writes what an element reader hears as lines: starts with their attributes, ends with the text
// handed to them.
class ReaderRecorder : public platform::XMLElementReader {
 public:
  std::vector<std::string> events;
  std::function<void(XMLParser&, std::string_view)> onStart;

  void startElement(XMLParser& p, std::string_view name, platform::XMLAttributeList attrs) override {
    std::string e = "<" + std::string(name);
    if (attrs.empty()) e += " (none)";
    for (const XMLAttribute a : attrs) e += " " + std::string(a.name) + "=" + std::string(a.value);
    events.push_back(e + ">");
    if (onStart) onStart(p, name);
  }
  void endElement(XMLParser&, std::string_view name, std::string_view text) override {
    events.push_back("</" + std::string(name) + ">'" + std::string(text) + "'");
  }
};

// The document whole, and in pieces of each of the given sizes: every way gives the same events,
// and a reader set by its own type hears what one set as any reader does.
Events readerEvents(std::string_view doc, std::size_t step = 0) {
  auto read = [&](auto* reader) {
    XMLParser parser;
    parser.setElementReader(reader);
    if (step == 0) {
      EXPECT_TRUE(parser.parse(doc)) << doc;
    } else {
      for (std::size_t i = 0; i < doc.size(); i += step) EXPECT_TRUE(parser.parseChunk(doc.substr(i, step)));
      EXPECT_TRUE(parser.finish());
    }
  };
  ReaderRecorder typed, any;
  read(&typed);
  read(static_cast<platform::XMLElementReader*>(&any));
  EXPECT_EQ(typed.events, any.events);
  return typed.events;
}

}  // namespace

// The short path hears what the delegate would: names whole, attributes in order (or none), and
// each element's text joined from every piece expat hands over (references, CDATA, line breaks,
// CR LF, text split across the pieces fed), given with the element's end.
TEST(XMLParserElementReader, HearsElementsWithTheirTextWholeHoweverItIsFed) {
  const std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<root>\n  <item id=\"7\" name=\"A &amp; B &#x3E;\" blank=\"\">"
      "<jobname lang=\"c\">软件工程师&lt;C++&gt;</jobname>"
      "<pieces>one&amp;two<![CDATA[ <three> ]]>four&#10;five</pieces>"
      "<lines>a\r\nb\rc\n</lines><newline>\n</newline><lead>\n  x</lead>"
      "<empty></empty><selfclosed/><a-much-longer-element-name>中</a-much-longer-element-name>"
      "</item>\n  <item>second</item>\n<item><item>nested</item>after</item></root>\n";
  const Events expected{"<root (none)>",
                        "<item id=7 name=A & B > blank=>",
                        "<jobname lang=c>",
                        "</jobname>'软件工程师<C++>'",
                        "<pieces (none)>",
                        "</pieces>'one&two <three> four\nfive'",
                        "<lines (none)>",
                        "</lines>'a\nb\nc\n'",
                        "<newline (none)>",
                        "</newline>'\n'",
                        "<lead (none)>",
                        "</lead>'\n  x'",
                        "<empty (none)>",
                        "</empty>''",
                        "<selfclosed (none)>",
                        "</selfclosed>''",
                        "<a-much-longer-element-name (none)>",
                        "</a-much-longer-element-name>'中'",
                        "</item>''",
                        "<item (none)>",
                        "</item>'second'",
                        "<item (none)>",
                        "<item (none)>",
                        "</item>'nested'",
                        "</item>'after'",
                        "</root>''"};
  EXPECT_EQ(readerEvents(doc), expected);
  for (std::size_t step : {1u, 2u, 3u, 5u, 16u})
    EXPECT_EQ(readerEvents(doc, step), expected) << "step " << step;
}

TEST(XMLParserElementReader, AnEmptyElementPastTheDepthLimitClosesNothing) {
  // An empty element one past the limit: its end comes right after its refused start, and must
  // close nothing, at the default limit (the open names' store just full) and a small one, for
  // the delegate and for a reader alike.
  for (int limit : {XMLParser::DefaultMaximumDepth, 5}) {
    std::string nested;
    for (int i = 0; i < limit; ++i) nested += "<a>";
    nested += "<deeper/>";
    for (int i = 0; i < limit; ++i) nested += "</a>";
    auto events = std::make_shared<Recorder>();
    XMLParser toDelegate(events);
    toDelegate.setMaximumDepth(limit);
    EXPECT_FALSE(toDelegate.parse(std::string_view(nested))) << limit;
    ASSERT_TRUE(toDelegate.parserError()) << limit;
    EXPECT_EQ(toDelegate.parserError()->code, platform::XMLParserDepthLimitError) << limit;
    EXPECT_EQ(std::count(events->events.begin(), events->events.end(), "<a>"), limit);
    EXPECT_EQ(std::count(events->events.begin(), events->events.end(), "</a>"), 0);
    EXPECT_EQ(events->events.back(), "error");

    ReaderRecorder reader;
    XMLParser toReader;
    toReader.setElementReader(&reader);
    toReader.setMaximumDepth(limit);
    EXPECT_FALSE(toReader.parse(std::string_view(nested))) << limit;
    ASSERT_TRUE(toReader.parserError()) << limit;
    EXPECT_EQ(toReader.parserError()->code, platform::XMLParserDepthLimitError) << limit;
    EXPECT_EQ(reader.events.size(), static_cast<std::size_t>(limit)) << "the open elements' starts only";
  }
}

// The limits and the refusals hold on the short path, the delegate still hears the document's
// start, end and errors, and a reader can stop the parse.
TEST(XMLParserElementReader, KeepsTheLimitsAndTellsTheDelegateTheRest) {
  auto rec = std::make_shared<Recorder>();
  ReaderRecorder reader;
  XMLParser parser(rec);
  parser.setElementReader(&reader);
  EXPECT_TRUE(parser.parse(std::string_view("<a x=\"1\">t</a>")));
  EXPECT_EQ(rec->events, (Events{"begin", "end"})) << "elements and text go to the reader only";
  EXPECT_EQ(reader.events, (Events{"<a x=1>", "</a>'t'"}));

  parser.setMaximumDepth(3);
  reader.events.clear();
  rec->events.clear();
  EXPECT_TRUE(parser.parse(std::string_view("<a><b><c/></b></a>")));
  EXPECT_FALSE(parser.parse(std::string_view("<a><b><c><d>deep</d></c></b></a>")));
  ASSERT_TRUE(parser.parserError());
  EXPECT_EQ(parser.parserError()->code, platform::XMLParserDepthLimitError);
  EXPECT_EQ(rec->events.back(), "error");
  EXPECT_EQ(std::count(reader.events.begin(), reader.events.end(), "<d (none)>"), 0);

  for (std::string_view bad : {std::string_view("<!DOCTYPE r [<!ENTITY x \"y\">]><r>&x;</r>"),
                               std::string_view("<r><a>text</r>"), std::string_view("")}) {
    XMLParser refusing;
    ReaderRecorder quiet;
    refusing.setElementReader(&quiet);
    EXPECT_FALSE(refusing.parse(bad)) << bad;
    EXPECT_TRUE(refusing.parserError()) << bad;
  }

  ReaderRecorder stopper;
  stopper.onStart = [](XMLParser& p, std::string_view name) {
    if (name == "stop") p.abortParsing();
  };
  XMLParser stopped;
  stopped.setElementReader(&stopper);
  EXPECT_FALSE(stopped.parse(std::string_view("<r>t<stop/><after>x</after></r>")));
  EXPECT_EQ(stopper.events, (Events{"<r (none)>", "<stop (none)>"}));
  EXPECT_EQ(stopped.parserError()->code, platform::XMLParserDelegateAbortedParseError);

  // Back to the delegate when the reader is taken away.
  auto again = std::make_shared<Recorder>();
  XMLParser back(again);
  back.setElementReader(&stopper);
  back.setElementReader(nullptr);
  EXPECT_TRUE(back.parse(std::string_view("<a>t</a>")));
  EXPECT_EQ(again->events, (Events{"begin", "<a>", "'t'", "</a>", "end"}));
}

// Chinese servers declare their national encodings: the text reaches the delegate as UTF-8, also
// when the pieces split the declaration or a character.
TEST(XMLParser, ReadsDocumentsDeclaredInEncodingsTheCLibraryKnows) {
  struct Case {
    std::string encoding;
    std::string text;  // 招聘 (and for GB18030 a euro sign and a four-byte character) in it
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {"GB2312", "\xD5\xD0\xC6\xB8", "\u62DB\u8058"},
      {"gbk", "\xD5\xD0\xC6\xB8", "\u62DB\u8058"},
      {"GB18030", "\xD5\xD0\xC6\xB8\xA2\xE3\x94\x39\xFC\x36", "\u62DB\u8058\u20AC\U0001F600"},
      {"Big5", "\xA9\xDB\xB8\x75", "\u62DB\u8058"},
  };
  for (const auto& c : cases) {
    const std::string doc = "<?xml version=\"1.0\" encoding='" + c.encoding + "' ?>\n<r a=\"" + c.text +
                            "\"><m>" + c.text + "</m></r>";
    const Events expected = {"begin", "<r a=" + c.utf8 + ">", "<m>", "'" + c.utf8 + "'", "</m>", "</r>",
                             "end"};
    auto whole = std::make_shared<Recorder>();
    EXPECT_TRUE(XMLParser(whole).parse(std::string_view(doc))) << c.encoding;
    EXPECT_EQ(whole->events, expected) << c.encoding;
    for (std::size_t step : {1u, 3u}) {
      auto rec = std::make_shared<Recorder>();
      XMLParser parser(rec);
      for (std::size_t i = 0; i < doc.size(); i += step) ASSERT_TRUE(parser.parseChunk(doc.substr(i, step)));
      EXPECT_TRUE(parser.finish()) << c.encoding;
      EXPECT_EQ(rec->events, expected) << c.encoding << " step " << step;
    }
  }
}

TEST(XMLParser, RefusesBytesOutsideTheDeclaredEncodingAndUnknownEncodings) {
  for (std::string_view doc : {
           // 0xFF never starts a GBK character.
           std::string_view("<?xml version=\"1.0\" encoding=\"GBK\"?><r>\xFF\xFF</r>"),
           // The document ends inside a two-byte character.
           std::string_view("<?xml version=\"1.0\" encoding=\"GBK\"?><r/>\xD5"),
           std::string_view("<?xml version=\"1.0\" encoding=\"no-such-charset\"?><r/>"),
       }) {
    auto rec = std::make_shared<Recorder>();
    XMLParser parser(rec);
    EXPECT_FALSE(parser.parse(doc)) << doc;
    ASSERT_TRUE(rec->error) << doc;
    EXPECT_EQ(rec->error->code, platform::XMLParserMalformedError);
    EXPECT_EQ(std::count(rec->events.begin(), rec->events.end(), "error"), 1);
  }
}
