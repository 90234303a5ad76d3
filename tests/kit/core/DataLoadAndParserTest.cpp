#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "kit/core/AppCoreInfo.h"
#include "kit/core/AppUtil.h"
#include "kit/core/DataLoadAndParser.h"
#include "kit/core/DeviceUUID.h"
#include "tests/kit/core/LoaderTestSupport.h"

namespace kavro {
namespace {

using test::LoaderRecorder;
using test::ScriptedResponse;

std::shared_ptr<DataItemResult> parse(std::string_view xml) {
  auto loader = DataLoadAndParser::initWithData(xml);
  EXPECT_TRUE(loader->isFinished());
  EXPECT_FALSE(loader->isLoading());
  return loader->getResult();
}

std::string answer(std::string_view header, std::string_view body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?><root>" + std::string(header) + "<resultbody>" +
         std::string(body) + "</resultbody></root>";
}

std::string fixture(const std::string& name) {
  std::ifstream in(test::ApiFixtureServer::defaultFixtureRoot() + "/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(DataLoadAndParserParse, HeaderElementsFillTheResult) {
  auto r = parse(answer("<result>1</result><status>0</status><message>done</message>",
                        "<item><jobid>1</jobid><jobname>a</jobname></item>"
                        "<item><jobid>2</jobid><jobname>b</jobname></item>"));
  EXPECT_FALSE(r->hasError());
  EXPECT_FALSE(r->localError());
  EXPECT_EQ(r->statusCode(), 0);
  EXPECT_EQ(r->message(), "done");
  ASSERT_EQ(r->count(), 2u);
  EXPECT_EQ(r->maxCount(), 2u) << "raised by the rows";
  EXPECT_EQ(r->getItem(0)->getString("jobid"), "1");
  EXPECT_EQ(r->getItem(1)->getString("jobname"), "b");
  EXPECT_EQ(r->getItem(0)->count(), 2u);
  EXPECT_EQ(r->detailInfo()->count(), 0u);

  // Only "1" and "true", exactly, mean success; the server's failure is no local error.
  for (const char* text : {"0", "false", "TRUE", " 1", "yes"}) {
    auto failed = parse(
        answer(std::string("<result>") + text + "</result><status>-3</status><message> x \n</message>", ""));
    EXPECT_TRUE(failed->hasError()) << text;
    EXPECT_FALSE(failed->localError()) << text;
    EXPECT_EQ(failed->statusCode(), -3);
    EXPECT_EQ(failed->message(), " x \n") << "the message is not trimmed";
  }
  EXPECT_FALSE(parse(answer("<result>true</result>", ""))->hasError());
  // No result element: no error; attributes of header elements and unknown headers do nothing.
  auto plain = parse(answer("<status code=\"9\">12abc</status><other>z</other>", ""));
  EXPECT_FALSE(plain->hasError());
  EXPECT_EQ(plain->statusCode(), 12);
  EXPECT_EQ(plain->detailInfo()->count(), 0u);
  EXPECT_EQ(parse(answer("<status>99999999999</status>", ""))->statusCode(), INT32_MAX);
}

TEST(DataLoadAndParserParse, ItemRecordsTakeLeavesAndAttributes) {
  auto r = parse(answer("<result>1</result>",
                        "<item id=\"7\" kind=\"a\">"
                        "  <jobname lang=\"c\">x</jobname>"
                        "  <salary>  8000-10000 \n</salary>"
                        "  <empty/>"
                        "  <flag on=\"1\"/>"
                        "</item>"
                        "<item>plain text &amp; more</item>"));
  ASSERT_EQ(r->count(), 2u);
  auto row = r->getItem(0);
  EXPECT_EQ(row->getItemAttribute("id"), "7");
  EXPECT_EQ(row->getString("item.kind"), "a");
  EXPECT_EQ(row->getString("jobname.lang"), "c");
  EXPECT_EQ(row->getString("jobname"), "x");
  EXPECT_EQ(row->getString("salary"), "8000-10000") << "leaves are trimmed";
  EXPECT_TRUE(row->hasKey("empty"));
  EXPECT_EQ(row->getString("flag.on"), "1");
  EXPECT_FALSE(row->hasKey("text")) << "text around child elements is lost";
  EXPECT_EQ(r->getItem(1)->getItemText(), "plain text & more");

  // Every kind of blank and line break is trimmed from both ends, and nothing else is.
  for (const char* blank : {" ", "\t", "\n", "\r\n", "\u0085", "\u00A0", "\u1680", "\u2000", "\u200A",
                            "\u2028", "\u2029", "\u202F", "\u205F", "\u3000"}) {
    // At both ends with more after it, and alone at either end, where it is all there is to see.
    for (const std::string& text : {std::string(blank) + "中 x" + blank + "\u3000",
                                    "中 x" + std::string(blank), std::string(blank) + "中 x"}) {
      auto one = parse(answer("", "<item><k>" + text + "</k></item><d>" + text + "</d>"));
      EXPECT_EQ(one->getItem(0)->getString("k"), "中 x") << text;
      EXPECT_EQ(one->detailInfo()->getString("d"), "中 x") << text;
    }
  }
  for (const char* kept : {"中", "\u00A9", "\u2030", "\u3001", "\u200B", "x"}) {
    std::string text = std::string(kept) + " a " + kept;
    EXPECT_EQ(parse(answer("", "<item><k>" + text + "</k></item>"))->getItem(0)->getString("k"), text)
        << text;
  }

  // An item inside an item is no row of its own: its text is a field of the outer one.
  auto nested = parse(answer("", "<item><a>1</a><item>inner</item><b>2</b></item>"));
  ASSERT_EQ(nested->count(), 1u);
  EXPECT_EQ(nested->getItem(0)->getString("item"), "inner");
  EXPECT_EQ(nested->getItem(0)->getString("b"), "2");
}

TEST(DataLoadAndParserParse, RecordsOutliveTheirAnswerAndChangeLikeAnyOther) {
  std::shared_ptr<DataItemDetail> kept;
  std::shared_ptr<DataItemDetail> copy;
  platform::Value value;
  {
    std::string body;
    for (int i = 0; i < 200; ++i)
      body += "<item id=\"" + std::to_string(i) + "\"><name>上海浦江数据科技有限公司 " + std::to_string(i) +
              "</name><note>  padded note that is long enough for the heap  </note></item>";
    auto r = parse(answer("<result>1</result><message>ok</message>", body));
    ASSERT_EQ(r->count(), 200u);
    kept = r->getItem(150);
    copy = r->getItem(3)->dataItemDetailCopy();
    value = r->getItem(7)->getObject("name");
  }
  EXPECT_EQ(kept->getItemAttribute("id"), "150");
  EXPECT_EQ(kept->getString("name"), "上海浦江数据科技有限公司 150");
  EXPECT_EQ(kept->getString("note"), "padded note that is long enough for the heap");
  EXPECT_EQ(copy->getString("name"), "上海浦江数据科技有限公司 3");
  EXPECT_EQ(value.stringValue(), "上海浦江数据科技有限公司 7");

  kept->setString("changed", "name");
  kept->setString("added", "extra");
  std::vector<std::string> keys;
  kept->dictData()->enumerate([&](const std::string& k, const platform::Value&) {
    keys.push_back(k);
    return true;
  });
  EXPECT_EQ(keys, (std::vector<std::string>{"item.id", "name", "note", "extra"}));
  EXPECT_EQ(kept->getString("name"), "changed");
  auto restored = DataItemDetail::FromData(kept->toData());
  ASSERT_TRUE(restored);
  EXPECT_TRUE(restored->isEqualToDataItemDetail(kept.get()));

  // Growing well past what the answer made, and shrinking again.
  for (int i = 0; i < 40; ++i) kept->setString("v" + std::to_string(i), "grown" + std::to_string(i));
  for (int i = 0; i < 40; i += 2) kept->dictData()->removeObjectForKey("grown" + std::to_string(i));
  EXPECT_EQ(kept->count(), 24u);
  EXPECT_EQ(kept->getString("grown39"), "v39");
  EXPECT_FALSE(kept->hasKey("grown38"));
  EXPECT_EQ(kept->getString("name"), "changed");
  EXPECT_EQ(kept->getItemAttribute("id"), "150");
}

// Records of an answer are freed in bulk; what they came to own afterwards (long keys, text a
// caller set) must still go with them (the leak checker of the test build watches).
TEST(DataLoadAndParserParse, RecordsFreeWhatTheyCameToOwn) {
  std::string body;
  for (int i = 0; i < 50; ++i)
    body += "<item><an_element_name_longer_than_the_inline_buffer>" + std::to_string(i) +
            "</an_element_name_longer_than_the_inline_buffer><short>s</short></item>";
  std::string longText(200, 'x');
  {
    auto r = parse(answer("<result>1</result>", body));
    ASSERT_EQ(r->count(), 50u);
    EXPECT_EQ(r->getItem(49)->getString("an_element_name_longer_than_the_inline_buffer"), "49");
    r->getItem(1)->setString(longText, "short");
    r->getItem(2)->setString(longText, "added");
    r->getItem(3)->dictData()->setObject(platform::Value(longText), "another");
    EXPECT_EQ(r->getItem(1)->getString("short"), longText);
    EXPECT_EQ(r->getItem(3)->getString("another"), longText);
  }
}

// Leaf text reaches the record whole however the parser hands it over: in pieces around entities,
// character references, CDATA sections and line breaks (CR LF read as LF), long or empty, in
// attributes too; nesting exactly at the limit still parses.
TEST(DataLoadAndParserParse, LeafTextInManyPiecesComesOutWhole) {
  std::string longText;
  std::string longExpected;
  for (int i = 0; i < 3000; ++i) {
    longText += "段落" + std::to_string(i) + " &lt;x&gt; &#x4E2D;<![CDATA[<raw>&]]>\r\n";
    longExpected += "段落" + std::to_string(i) + " <x> 中<raw>&\n";
  }
  auto r = parse(answer("<result>1</result><message>a &amp; <![CDATA[b]]>&#33;</message>",
                        "<item name=\"A &amp; B &#x3E; &quot;c&quot;\" blank=\"\">"
                        "<pieces>one&amp;two<![CDATA[ three ]]>four&#10;five</pieces>"
                        "<lines>a\r\nb\rc\n</lines>"
                        "<empty></empty><selfclosed/>"
                        "<long>" +
                            longText +
                            "</long></item>"
                            "<item><pieces><![CDATA[]]></pieces><x>&#32;&#32;kept in&#32;&#32;</x></item>"));
  EXPECT_EQ(r->message(), "a & b!");
  ASSERT_EQ(r->count(), 2u);
  auto row = r->getItem(0);
  EXPECT_EQ(row->getString("item.name"), "A & B > \"c\"");
  EXPECT_TRUE(row->hasKey("item.blank"));
  EXPECT_EQ(row->getString("pieces"), "one&two three four\nfive");
  EXPECT_EQ(row->getString("lines"), "a\nb\nc");
  EXPECT_TRUE(row->hasKey("empty"));
  EXPECT_TRUE(row->hasKey("selfclosed"));
  EXPECT_EQ(row->getString("empty"), "");
  EXPECT_EQ(row->getString("long"), longExpected.substr(0, longExpected.size() - 1)) << "trimmed at the end";
  EXPECT_TRUE(r->getItem(1)->hasKey("pieces"));
  EXPECT_EQ(r->getItem(1)->getString("x"), "kept in");

  // The root, resultbody, item and leaf count among the levels.
  auto nestedTo = [](int levels) {
    std::string open = "<root><resultbody><item>";
    std::string close = "</item></resultbody></root>";
    for (int i = 3; i < levels - 1; ++i) {
      open += "<n>";
      close = "</n>" + close;
    }
    return open + "<leaf>deep</leaf>" + close;
  };
  auto atLimit = parse(nestedTo(DataLoadAndParser::MaximumDepth));
  EXPECT_FALSE(atLimit->hasError()) << atLimit->message();
  ASSERT_EQ(atLimit->count(), 1u);
  EXPECT_EQ(atLimit->getItem(0)->getString("leaf"), "deep");
  auto beyond = parse(nestedTo(DataLoadAndParser::MaximumDepth + 1));
  EXPECT_TRUE(beyond->hasError());
  EXPECT_TRUE(beyond->localError());
}

std::vector<std::string> keysOf(const DataItemDetail& row) {
  std::vector<std::string> keys;
  row.dictData()->enumerate([&](const std::string& k, const platform::Value&) {
    keys.push_back(k);
    return true;
  });
  return keys;
}

// However many names an item and its answer use, and in whatever order: a name seen again in an
// item replaces its text in its first place, a leaf and an attribute that come to the same key are
// one key, and every item has its own pairs whatever the items before it held.
TEST(DataLoadAndParserParse, RepeatedAndManyNamesKeepTheirPlaces) {
  auto r = parse(answer("",
                        "<item id=\"1\"><a>x</a><b>中</b><a> y </a><a.c>leaf</a.c><a c=\"attr\"/></item>"
                        "<item><b>2</b><text>t</text><a>1</a></item>"
                        "<item>own text</item>"
                        "<item id=\"4\" id2=\"\"><b/></item>"
                        "<item><a>x</a><b>1</b><a> y </a></item>"));
  ASSERT_EQ(r->count(), 5u);
  auto first = r->getItem(0);
  EXPECT_EQ(keysOf(*first), (std::vector<std::string>{"item.id", "a", "b", "a.c"}));
  EXPECT_EQ(first->getString("a"), "") << "the empty a came last";
  EXPECT_TRUE(first->hasKey("a"));
  EXPECT_EQ(first->getString("b"), "中");
  EXPECT_EQ(first->getString("a.c"), "attr") << "the attribute came last";
  EXPECT_EQ(keysOf(*r->getItem(1)), (std::vector<std::string>{"b", "text", "a"}));
  EXPECT_EQ(r->getItem(1)->getItemText(), "t");
  EXPECT_EQ(keysOf(*r->getItem(2)), (std::vector<std::string>{"text"}));
  EXPECT_EQ(r->getItem(2)->getItemText(), "own text");
  EXPECT_EQ(keysOf(*r->getItem(3)), (std::vector<std::string>{"item.id", "item.id2", "b"}));
  EXPECT_EQ(r->getItem(3)->getItemAttribute("id"), "4");
  EXPECT_EQ(keysOf(*r->getItem(4)), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(r->getItem(4)->getString("a"), "y");

  // Items with many leaves, and an answer with many more names than any one item: each item
  // holds its own, in order, repeats in their first places.
  std::string body;
  for (int i = 0; i < 30; ++i) {
    body += "<item n=\"" + std::to_string(i) + "\">";
    for (int k = 0; k < 40; ++k)
      body += "<f" + std::to_string(i * 7 + k) + ">" + std::to_string(k) + "</f" + std::to_string(i * 7 + k) +
              ">";
    body += "<f" + std::to_string(i * 7) + ">again</f" + std::to_string(i * 7) + ">";
    body += "<f" + std::to_string(i * 7 + 39) + ">last</f" + std::to_string(i * 7 + 39) + "></item>";
  }
  auto many = parse(answer("", body));
  ASSERT_EQ(many->count(), 30u);
  for (int i = 0; i < 30; ++i) {
    auto row = many->getItem(static_cast<std::size_t>(i));
    std::vector<std::string> expected{"item.n"};
    for (int k = 0; k < 40; ++k) expected.push_back("f" + std::to_string(i * 7 + k));
    EXPECT_EQ(keysOf(*row), expected) << i;
    EXPECT_EQ(row->getItemAttribute("n"), std::to_string(i));
    EXPECT_EQ(row->getString("f" + std::to_string(i * 7)), "again") << i;
    EXPECT_EQ(row->getString("f" + std::to_string(i * 7 + 20)), "20") << i;
    EXPECT_EQ(row->getString("f" + std::to_string(i * 7 + 39)), "last") << i;
    EXPECT_FALSE(row->hasKey("f" + std::to_string(i * 7 + 40))) << i;
  }
  // And they change like any other record.
  auto row = many->getItem(29);
  row->setString("changed", "f203");
  row->dictData()->removeObjectForKey("f210");
  EXPECT_EQ(row->getString("f203"), "changed");
  EXPECT_FALSE(row->hasKey("f210"));
  EXPECT_EQ(row->count(), 40u);
}

// Items that change their shape from one to the next: other first names, names left out or added,
// attributes on some only, an item's own text after attributes, a leaf named like an attribute's
// key. Each record holds exactly its own pairs, whatever the item before it looked like.
TEST(DataLoadAndParserParse, ItemsOfChangingShapeHoldOnlyTheirOwnPairs) {
  auto r = parse(answer("",
                        "<item id=\"1\"><a>1</a><b>2</b><c>3</c></item>"
                        "<item id=\"2\"><a>4</a><b>5</b><c>6</c></item>"
                        "<item><b>7</b><c>8</c></item>"
                        "<item id=\"4\" kind=\"k\"><c>9</c><a>10</a></item>"
                        "<item kind=\"only attributes\"/>"
                        "<item id=\"6\">own text</item>"
                        "<item id=\"7\"><item.id>leaf</item.id><a lang=\"zh\">中文</a></item>"
                        "<item><a/><b></b><c>  </c></item>"
                        "<item id=\"9\"><a>1</a><b>2</b><c>3</c></item>"));
  ASSERT_EQ(r->count(), 9u);
  using Keys = std::vector<std::string>;
  EXPECT_EQ(keysOf(*r->getItem(0)), (Keys{"item.id", "a", "b", "c"}));
  EXPECT_EQ(r->getItem(1)->getString("c"), "6");
  EXPECT_EQ(keysOf(*r->getItem(2)), (Keys{"b", "c"}));
  EXPECT_EQ(r->getItem(2)->getString("b"), "7");
  EXPECT_EQ(keysOf(*r->getItem(3)), (Keys{"item.id", "item.kind", "c", "a"}));
  EXPECT_EQ(r->getItem(3)->getString("a"), "10");
  EXPECT_EQ(keysOf(*r->getItem(4)), (Keys{"item.kind", "text"})) << "an empty item has empty text";
  EXPECT_EQ(r->getItem(4)->getString("item.kind"), "only attributes");
  EXPECT_EQ(keysOf(*r->getItem(5)), (Keys{"item.id", "text"}));
  EXPECT_EQ(r->getItem(5)->getItemText(), "own text");
  EXPECT_EQ(keysOf(*r->getItem(6)), (Keys{"item.id", "a.lang", "a"}))
      << "the leaf item.id is the attribute's key";
  EXPECT_EQ(r->getItem(6)->getItemAttribute("id"), "leaf");
  EXPECT_EQ(r->getItem(6)->getString("a"), "中文");
  EXPECT_EQ(r->getItem(6)->getAttribute("lang", "a"), "zh");
  EXPECT_EQ(keysOf(*r->getItem(7)), (Keys{"a", "b", "c"}));
  EXPECT_EQ(r->getItem(7)->getString("c"), "");
  EXPECT_EQ(keysOf(*r->getItem(8)), (Keys{"item.id", "a", "b", "c"}));
  EXPECT_EQ(r->getItem(8)->getItemAttribute("id"), "9");
}

TEST(DataLoadAndParserParse, BodyLeavesOutsideItemsFillTheDetail) {
  auto r = parse(answer("<result>1</result>",
                        "<totalcount>57</totalcount><pageno attr=\"dropped\"> 3 </pageno>"
                        "<item><id>1</id></item>"));
  EXPECT_EQ(r->maxCount(), 57u);
  EXPECT_FALSE(r->detailInfo()->hasKey("totalcount"));
  EXPECT_EQ(r->detailInfo()->getString("pageno"), "3");
  EXPECT_FALSE(r->detailInfo()->hasKey("pageno.attr"));
  EXPECT_EQ(r->count(), 1u);

  EXPECT_EQ(parse(answer("", "<jobcount>12</jobcount>"))->maxCount(), 12u);
  EXPECT_EQ(parse(answer("", "<jobcount>-4</jobcount>"))->maxCount(), 0u);

  // After resultbody closes, elements still count as body.
  auto after = parse("<root><result>1</result><resultbody/><late>v</late><item><k>1</k></item></root>");
  EXPECT_EQ(after->detailInfo()->getString("late"), "v");
  EXPECT_EQ(after->count(), 1u);
  // Items outside resultbody are header elements: no rows.
  EXPECT_EQ(parse("<root><item><k>1</k></item></root>")->count(), 0u);
  // An item closed across the body start leaves no broken depth behind.
  auto odd = parse("<root><item><resultbody/></item><item><k>2</k></item></root>");
  ASSERT_EQ(odd->count(), 1u);
  EXPECT_EQ(odd->getItem(0)->getString("k"), "2");
}

TEST(DataLoadAndParserParse, TheFixtureAnswersParseWithTheirText) {
  auto r = parse(fixture("job/search_job_list.xml"));
  EXPECT_FALSE(r->hasError());
  EXPECT_EQ(r->maxCount(), 3u);
  EXPECT_EQ(r->detailInfo()->getString("pagesize"), "3");
  ASSERT_EQ(r->count(), 3u);
  EXPECT_EQ(r->getItem(0)->getString("jobname"), "高级软件工程师（C++）");
  EXPECT_EQ(r->getItem(0)->getString("item.isurgent"), "1");
  EXPECT_EQ(r->getItem(0)->getString("jobarea.code"), "020100");
  EXPECT_EQ(r->getItem(1)->getString("jobname"), "客户经理 & 渠道专员");
  EXPECT_EQ(r->getItem(1)->getString("providesalary"), "");
  EXPECT_EQ(r->getItem(2)->getString("coname"), "广州 \"星河\" 贸易有限公司");
  EXPECT_EQ(r->getItem(2)->getString("jobname.lang"), "e");

  auto detail = parse(fixture("job/get_job_info.xml"));
  EXPECT_TRUE(detail->isValidDetailData());
  EXPECT_EQ(detail->detailInfo()->getString("cosize"), "150-500人");
  EXPECT_EQ(detail->detailInfo()->getString("jobinfo"),
            "岗位职责：\n1. 负责数据平台核心模块的设计与开发；\n2. 参与性能优化 <与> 代码评审。");
}

TEST(DataLoadAndParserParse, BadAnswersEndAsLocalErrorsWithAMessage) {
  std::string deep = "<root><resultbody>";
  for (int i = 0; i < 100; ++i) deep += "<a>";
  std::string huge =
      answer("", "<item><k>") + std::string(DataLoadAndParser::MaximumAnswerSize, 'x') + "</k></item>";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"not xml", "this is not XML at all"},
      {"empty", ""},
      {"truncated", answer("<result>1</result>", "<item><k>1</k></item><item><k>2").substr(0, 90)},
      {"deep", deep},
      {"doctype", "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]><r>&b;</r>"},
      {"undefined entity", "<r><resultbody><x>&lol;&lol;&lol;</x></resultbody></r>"},
      {"huge", huge},
      {"html", "<html><body><p>502 Bad Gateway</p></body>"},
  };
  for (const auto& [what, text] : cases) {
    auto r = parse(text);
    EXPECT_TRUE(r->hasError()) << what;
    EXPECT_TRUE(r->localError()) << what;
    EXPECT_FALSE(r->message().empty()) << what;
  }
}

// Over the network, through the fixture server.
class DataLoadAndParserTest : public test::ApiServerTest {};

TEST_F(DataLoadAndParserTest, LoadsAnAnswerAndReportsOnceWithTheCommonParameters) {
  AppUtil::setGUID("0123456789abcdef0123456789abcdef");
  auto rec = std::make_shared<LoaderRecorder>();
  auto loader = DataLoadAndParser::GetUrl("job/search_job_list.php?keyword=%E8%BD%AF&pageno=1", rec);
  EXPECT_TRUE(loader->isLoading());
  EXPECT_EQ(loader->getResult(), nullptr) << "no result before the end";
  ASSERT_TRUE(runUntil([&] { return rec->calls > 0; }));
  loop().runFor(0.05);
  EXPECT_EQ(rec->calls, 1);
  EXPECT_EQ(rec->loader, loader.get());
  EXPECT_FALSE(loader->isLoading());
  ASSERT_TRUE(rec->result);
  EXPECT_FALSE(rec->result->hasError());
  EXPECT_EQ(rec->result->count(), 3u);
  EXPECT_EQ(rec->result->getItem(0)->getString("coname"), "上海浦江数据科技有限公司");

  auto seen = server.requests().at(0);
  EXPECT_EQ(seen.method, "GET");
  std::string expected =
      "/api/job/search_job_list.php?keyword=%E8%BD%AF&pageno=1&partner=10001&uuid=" + device::getUUID() +
      "&version=" + std::to_string(AppUtil::getVersionCode()) + "&guid=0123456789abcdef0123456789abcdef";
  EXPECT_EQ(seen.target, expected);
  EXPECT_EQ(seen.header("User-Agent"), AppUtil::getUserAgent());
}

TEST_F(DataLoadAndParserTest, PostsItsBodyAndAMissingBodyMakesAGet) {
  auto rec = std::make_shared<LoaderRecorder>();
  auto loader =
      DataLoadAndParser::PostUrl("job/get_job_info.php", platform::dataFromString("jobid=1&x=%26"), rec);
  ASSERT_TRUE(runUntil([&] { return rec->calls > 0; }));
  EXPECT_EQ(rec->result->detailInfo()->getString("jobid"), "45127603");
  auto seen = server.requests().at(0);
  EXPECT_EQ(seen.method, "POST");
  EXPECT_EQ(seen.body, "jobid=1&x=%26");

  auto rec2 = std::make_shared<LoaderRecorder>();
  auto get = DataLoadAndParser::PostUrl("job/get_job_info.php", std::nullopt, rec2);
  ASSERT_TRUE(runUntil([&] { return rec2->calls > 0; }));
  EXPECT_EQ(server.requests().at(1).method, "GET");
}

TEST_F(DataLoadAndParserTest, EachFailureKindIsOneLocalErrorWithAMessage) {
  server.setAnswer("/api/job/broken.php", 200, "<root><result>1</result><resultbody><item>");
  server.setAnswer("/api/job/down.php", 500, "<root><result>1</result></root>");
  struct Case {
    std::string path;
    std::string message;  // "" when any text will do
  };
  // A failed transfer reads as the error's own text, which the system gives in the user's
  // language: the status of a refusal, the failure of a connection.
  std::vector<Case> cases = {
      {"job/broken.php", ""}, {"job/down.php", "服务器内部错误"}, {"job/no_such_call.php", "未找到"}};
  for (const auto& c : cases) {
    auto rec = std::make_shared<LoaderRecorder>();
    auto loader = DataLoadAndParser::GetUrl(c.path, rec);
    ASSERT_TRUE(runUntil([&] { return rec->calls > 0; })) << c.path;
    loop().runFor(0.05);
    EXPECT_EQ(rec->calls, 1) << c.path;
    EXPECT_TRUE(rec->result->hasError()) << c.path;
    EXPECT_TRUE(rec->result->localError()) << c.path;
    EXPECT_EQ(rec->result->statusCode(), 0) << c.path;
    EXPECT_EQ(rec->result->count(), 0u) << c.path;
    if (c.message.empty())
      EXPECT_FALSE(rec->result->message().empty()) << c.path;
    else
      EXPECT_EQ(rec->result->message(), c.message) << c.path;
  }

  // Nobody listens any more: the network fails.
  std::string host = server.hostUrl();
  server.stop();
  auto rec = std::make_shared<LoaderRecorder>();
  auto loader = DataLoadAndParser::GetUrl("job/search_job_list.php", rec);
  ASSERT_TRUE(runUntil([&] { return rec->calls > 0; }));
  loop().runFor(0.05);
  EXPECT_EQ(rec->calls, 1);
  EXPECT_TRUE(rec->result->localError());
  EXPECT_EQ(rec->result->message(), "无法连接到服务器。");
  EXPECT_EQ(rec->result->message().find(host.substr(host.rfind(':'))), std::string::npos);
}

TEST_F(DataLoadAndParserTest, AnOversizedAnswerIsStoppedAsItArrives) {
  test::ScriptedResponse big =
      test::ScriptedResponse::ok(std::string(DataLoadAndParser::MaximumAnswerSize + 1, 'x'));
  big.chunkSizes = {256 * 1024};
  server.setAnswer("/api/job/big.php", big);
  auto rec = std::make_shared<LoaderRecorder>();
  auto loader = DataLoadAndParser::GetUrl("job/big.php", rec);
  ASSERT_TRUE(runUntil([&] { return rec->calls > 0; }, 60));
  loop().runFor(0.05);
  EXPECT_EQ(rec->calls, 1);
  EXPECT_TRUE(rec->result->localError());
  EXPECT_EQ(rec->result->message(), AppCoreInfo::getLocalizedString("common_text_data_is_error"));
}

TEST_F(DataLoadAndParserTest, NothingAfterStopAndNoReportTwice) {
  // Stopped before the answer: silence, also once the answer has come.
  auto rec = std::make_shared<LoaderRecorder>();
  auto loader = DataLoadAndParser::GetUrl("job/search_job_list.php", rec);
  loader->stopLoading();
  EXPECT_FALSE(loader->isLoading());
  loop().runFor(0.2);
  EXPECT_EQ(rec->calls, 0);
  loader->stopLoading();
  loader->start("job/search_job_list.php");
  loop().runFor(0.1);
  EXPECT_EQ(rec->calls, 0) << "a stopped loader does not start again";

  // Stopped from inside its own report, then run on: one report.
  auto rec2 = std::make_shared<LoaderRecorder>();
  rec2->hook = [](DataLoadAndParser& l) { l.stopLoading(); };
  auto loader2 = DataLoadAndParser::GetUrl("job/search_job_list.php", rec2);
  ASSERT_TRUE(runUntil([&] { return rec2->calls > 0; }));
  loop().runFor(0.1);
  EXPECT_EQ(rec2->calls, 1);
  EXPECT_EQ(loader2->getResult()->count(), 3u);

  // Stopped while the answer is on its way.
  ScriptedResponse slow = ScriptedResponse::ok(std::string(4096, ' ') + "<r/>");
  slow.chunkSizes = {1024};
  slow.delayBetweenChunks = 0.02;
  server.setAnswer("/api/job/slow.php", slow);
  auto rec3 = std::make_shared<LoaderRecorder>();
  auto loader3 = DataLoadAndParser::GetUrl("job/slow.php", rec3);
  auto slowSeen = [&] {
    for (const auto& r : server.requests())
      if (r.target.rfind("/api/job/slow.php", 0) == 0) return true;
    return false;
  };
  ASSERT_TRUE(runUntil(slowSeen));
  loader3->stopLoading();
  loop().runFor(0.3);
  EXPECT_EQ(rec3->calls, 0);
}

TEST_F(DataLoadAndParserTest, KeepsItselfAliveUntilItReportsAndNoLonger) {
  auto rec = std::make_shared<LoaderRecorder>();
  std::weak_ptr<DataLoadAndParser> weak = DataLoadAndParser::GetUrl("job/search_job_list.php", rec);
  EXPECT_FALSE(weak.expired()) << "nobody holds it but itself";
  ASSERT_TRUE(runUntil([&] { return rec->calls > 0; }));
  EXPECT_EQ(rec->result->count(), 3u);
  EXPECT_TRUE(weak.expired());

  // A delegate that is gone hears nothing, and the loader still ends.
  auto gone = std::make_shared<LoaderRecorder>();
  std::weak_ptr<DataLoadAndParser> weak2 = DataLoadAndParser::GetUrl("job/search_job_list.php", gone);
  gone.reset();
  ASSERT_TRUE(runUntil([&] { return weak2.expired(); }));

  // Stopping one held only by itself lets it go.
  auto rec3 = std::make_shared<LoaderRecorder>();
  std::weak_ptr<DataLoadAndParser> weak3 = DataLoadAndParser::GetUrl("job/search_job_list.php", rec3);
  weak3.lock()->stopLoading();
  EXPECT_TRUE(weak3.expired());
  EXPECT_FALSE(AppUtil::isNetworkIndicatorVisible());
}

TEST_F(DataLoadAndParserTest, TimesOutAfterFiftySecondsOnTheVirtualClock) {
  auto clock = std::make_shared<platform::VirtualClock>();
  loop().setClock(clock);
  ScriptedResponse held;
  held.holdWithoutResponse = true;
  server.setAnswer("/api/job/held.php", held);
  auto rec = std::make_shared<LoaderRecorder>();
  double start = clock->now();
  auto loader = DataLoadAndParser::GetUrl("job/held.php", rec);
  runUntil([&] { return server.requestCount() == 1; }, 1);
  loop().runFor(49.0 - (clock->now() - start));
  EXPECT_EQ(rec->calls, 0);
  ASSERT_TRUE(runUntil([&] { return rec->calls > 0; }, 1.5));
  EXPECT_NEAR(clock->now() - start, 50.0, 0.01);
  EXPECT_TRUE(rec->result->localError());
  EXPECT_FALSE(rec->result->message().empty());
  server.stop();
}

}  // namespace
}  // namespace kavro
