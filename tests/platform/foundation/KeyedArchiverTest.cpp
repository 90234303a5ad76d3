#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/foundation/Array.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/KeyedArchiveFormat.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "tests/support/ArchiveBytes.h"

using namespace platform;

namespace {

// A record-like object: one unkeyed map plus a few keyed fields.
class Sample : public Object, public Coding {
 public:
  std::int64_t count = 0;
  bool flag = false;
  double ratio = 0;
  std::string name;
  Data blob;
  Value extra;
  std::shared_ptr<MutableDictionary> map = MutableDictionary::create();

  std::string classForCoder() const override { return "Sample"; }
  void encodeWithCoder(KeyedArchiver& coder) const override {
    coder.encodeObject(Value(map));
    coder.encodeInt(count, "count");
    coder.encodeBool(flag, "flag");
    coder.encodeDouble(ratio, "ratio");
    coder.encodeString(name, "name");
    coder.encodeBytes(blob, "blob");
    coder.encodeObject(extra, "extra");
  }
  static ObjectPtr decode(KeyedUnarchiver& coder) {
    auto s = std::make_shared<Sample>();
    if (auto m = std::dynamic_pointer_cast<MutableDictionary>(coder.decodeObject().dictionaryValue()))
      s->map = m;
    s->count = coder.decodeIntForKey("count");
    s->flag = coder.decodeBoolForKey("flag");
    s->ratio = coder.decodeDoubleForKey("ratio");
    s->name = coder.decodeStringForKey("name");
    s->blob = coder.decodeBytesForKey("blob");
    s->extra = coder.decodeObjectForKey("extra");
    return s;
  }
};

// Written under a name nobody registers.
class Stranger : public Object, public Coding {
 public:
  std::string classForCoder() const override { return "Stranger"; }
  void encodeWithCoder(KeyedArchiver& coder) const override {
    coder.encodeString("hello", "greeting");
    coder.encodeObject(Value(MutableArray::create({Value(1), Value(2)})));
  }
};

// Encodes a value it holds, which may be itself.
class Holder : public Object, public Coding {
 public:
  Value held;
  std::string classForCoder() const override { return "Holder"; }
  void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeObject(held, "held"); }
};

class KeyedArchiverTest : public ::testing::Test {
 protected:
  void SetUp() override { KeyedUnarchiver::setClass(&Sample::decode, "Sample"); }
  void TearDown() override {
    KeyedUnarchiver::setClass(nullptr, "Sample");
    KeyedUnarchiver::setClass(nullptr, "Thrower");
  }
};

std::optional<Value> roundTrip(const Value& v) {
  Data d = KeyedArchiver::archivedDataWithRootObject(v);
  EXPECT_FALSE(d.empty());
  return KeyedUnarchiver::unarchiveObjectWithData(d);
}

std::shared_ptr<MutableDictionary> richDictionary() {
  auto inner = MutableDictionary::create();
  inner->setObject("z first", "z");
  inner->setObject(MutableArray::create(), "empty list");
  inner->setObject(MutableDictionary::create(), "empty map");
  inner->setObject("a last", "a");
  auto d = MutableDictionary::create();
  d->setObject(Value(), "null");
  d->setObject(true, "yes");
  d->setObject(false, "no");
  d->setObject(std::numeric_limits<std::int64_t>::min(), "min");
  d->setObject(std::numeric_limits<std::uint64_t>::max(), "umax");
  d->setObject(-0.1, "double");
  d->setObject("", "empty text");
  d->setObject(std::string("nul\0inside \xe4\xbd\xa0\xe5\xa5\xbd", 15), "text");
  d->setObject(Data{0, 0, 255, 10}, "bytes");
  d->setObject(MutableArray::create({Value(inner), Value(1), Value(MutableArray::create({Value("deep")}))}),
               "list");
  return d;
}

Value nestedArrays(int levels) {
  Value v("leaf");
  for (int i = 0; i < levels; ++i) v = Value(MutableArray::create({v}));
  return v;
}

TEST_F(KeyedArchiverTest, ScalarsRoundTripWithTheirKinds) {
  for (const Value& v :
       {Value(), Value(true), Value(false), Value(0), Value(-7), Value(INT64_MAX), Value(UINT64_MAX),
        Value(1.5), Value(-0.0), Value(""), Value("text"), Value(Data{}), Value(Data{1, 2})}) {
    auto back = roundTrip(v);
    ASSERT_TRUE(back) << v.description();
    EXPECT_EQ(back->kind(), v.kind()) << v.description();
    EXPECT_EQ(*back, v) << v.description();
  }
  auto nan = roundTrip(std::numeric_limits<double>::quiet_NaN());
  ASSERT_TRUE(nan);
  EXPECT_TRUE(std::isnan(nan->doubleValue()));
}

TEST_F(KeyedArchiverTest, NestedCollectionsRoundTripInOrder) {
  auto original = richDictionary();
  auto back = roundTrip(original);
  ASSERT_TRUE(back);
  auto dict = std::dynamic_pointer_cast<MutableDictionary>(back->dictionaryValue());
  ASSERT_TRUE(dict);
  EXPECT_TRUE(dict->isEqual(*original));
  EXPECT_EQ(dict->allKeys(), original->allKeys());
  EXPECT_EQ(dict->valueForKey("umax").kind(), Value::Kind::UInt);
  EXPECT_EQ(dict->valueForKey("text").stringValue().size(), 15u);
  auto list = std::dynamic_pointer_cast<MutableArray>(dict->valueForKey("list").arrayValue());
  ASSERT_TRUE(list);
  EXPECT_EQ(list->objectAtIndex(0).dictionaryValue()->allKeys(),
            (std::vector<std::string>{"z", "empty list", "empty map", "a"}));
}

TEST_F(KeyedArchiverTest, CodingObjectsRoundTripThroughTheirFactory) {
  auto inner = std::make_shared<Sample>();
  inner->name = "inner";
  auto s = std::make_shared<Sample>();
  s->map->setObject("v", "k");
  s->count = -5;
  s->flag = true;
  s->ratio = 0.25;
  s->name = "sample";
  s->blob = {9, 8, 7};
  s->extra = Value(MutableArray::create({Value(inner), Value(2)}));

  auto back = roundTrip(s);
  ASSERT_TRUE(back);
  auto d = back->as<Sample>();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->map->valueForKey("k").stringValue(), "v");
  EXPECT_EQ(d->count, -5);
  EXPECT_TRUE(d->flag);
  EXPECT_EQ(d->ratio, 0.25);
  EXPECT_EQ(d->name, "sample");
  EXPECT_EQ(d->blob, (Data{9, 8, 7}));
  auto extra = d->extra.arrayValue();
  ASSERT_TRUE(extra);
  ASSERT_EQ(extra->count(), 2u);
  ASSERT_TRUE(extra->objectAtIndex(0).as<Sample>());
  EXPECT_EQ(extra->objectAtIndex(0).as<Sample>()->name, "inner");
}

// Stored archives are read back by later runs: the bytes of every kind stay as they are.
TEST_F(KeyedArchiverTest, BytesOfEveryKindStayTheSame) {
  auto s = std::make_shared<Sample>();
  s->map->setObject("v", "k");
  s->map->setObject(Value(), "none");
  s->count = -2;
  s->flag = false;
  s->ratio = 0.25;
  s->name = "名";
  s->blob = {9, 8};
  auto inner = MutableDictionary::create();
  inner->setObject(true, "t");
  s->extra =
      Value(MutableArray::create({Value(std::uint64_t{7}), Value(inner), Value(MutableArray::create())}));

  kavro::test::ArchiveBytes b;
  b.u8(archive::kObject).text("Sample").u32(6);
  b.text("count").u8(archive::kInt).u64(static_cast<std::uint64_t>(-2));
  b.text("flag").u8(archive::kFalse);
  b.text("ratio").u8(archive::kDouble).u64(0x3FD0000000000000);
  b.text("name").u8(archive::kString).text("名");
  b.text("blob").u8(archive::kBytes).u32(2).u8(9).u8(8);
  b.text("extra").u8(archive::kArray).u32(3);
  b.u8(archive::kUInt).u64(7);
  b.u8(archive::kDictionary).u32(1).text("t").u8(archive::kTrue);
  b.u8(archive::kArray).u32(0);
  b.u32(1).u8(archive::kDictionary).u32(2);  // the one unkeyed value, written first, comes last
  b.text("k").u8(archive::kString).text("v");
  b.text("none").u8(archive::kNull);
  EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(Value(s)), b.bytes);

  // Encoding a key again replaces its value in its first place.
  class Again : public Object, public Coding {
   public:
    std::string classForCoder() const override { return "Again"; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
      coder.encodeInt(1, "a");
      coder.encodeString("long text that does not fit a short string", "b");
      coder.encodeObject(Value(), "a");
    }
  };
  kavro::test::ArchiveBytes again;
  again.u8(archive::kObject).text("Again").u32(2).text("a").u8(archive::kNull);
  again.text("b").u8(archive::kString).text("long text that does not fit a short string").u32(0);
  EXPECT_EQ(KeyedArchiver::archivedDataWithRootObject(Value(std::make_shared<Again>())), again.bytes);
}

TEST_F(KeyedArchiverTest, MissingOrMistypedKeysDecodeToDefaults) {
  std::optional<std::int64_t> i;
  std::optional<bool> b;
  std::optional<double> d;
  std::optional<std::string> s;
  std::optional<Data> bytes;
  std::optional<bool> has;
  KeyedUnarchiver::setClass(
      [&](KeyedUnarchiver& c) -> ObjectPtr {
        i = c.decodeIntForKey("name", 11);
        b = c.decodeBoolForKey("missing", true);
        d = c.decodeDoubleForKey("blob", 1.5);
        s = c.decodeStringForKey("count", "dflt");
        bytes = c.decodeBytesForKey("name", Data{1});
        has = c.containsValueForKey("extra");
        c.decodeObject();
        EXPECT_TRUE(c.decodeObject().isNull());
        return std::make_shared<Object>();
      },
      "Sample");
  auto sample = std::make_shared<Sample>();
  ASSERT_TRUE(roundTrip(sample));
  EXPECT_EQ(i, 11);
  EXPECT_EQ(b, true);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(s, "dflt");
  EXPECT_EQ(bytes, Data{1});
  // A null value is written and found, and reads as null.
  EXPECT_EQ(has, true);
}

TEST_F(KeyedArchiverTest, UnregisteredOrFailingClassesDecodeToNothing) {
  auto stranger = std::make_shared<Stranger>();
  EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(stranger)),
            std::nullopt);

  // Inside collections the object is left out; what follows it still reads.
  auto dict = MutableDictionary::create();
  dict->setObject(stranger, "gone");
  dict->setObject(MutableArray::create({Value(stranger), Value("after")}), "list");
  auto back = roundTrip(dict);
  ASSERT_TRUE(back);
  auto d = back->dictionaryValue();
  EXPECT_EQ(d->allKeys(), std::vector<std::string>{"list"});
  EXPECT_TRUE(d->valueForKey("list").arrayValue()->isEqual(*MutableArray::create({Value("after")})));

  // A factory that gives nothing or throws is the same as none.
  KeyedUnarchiver::setClass([](KeyedUnarchiver&) -> ObjectPtr { throw RangeException("bad"); }, "Stranger");
  EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(stranger)),
            std::nullopt);
  KeyedUnarchiver::setClass([](KeyedUnarchiver&) -> ObjectPtr { return nullptr; }, "Stranger");
  EXPECT_EQ(roundTrip(MutableArray::create({Value(stranger)}))->arrayValue()->count(), 0u);
  KeyedUnarchiver::setClass(nullptr, "Stranger");
}

TEST_F(KeyedArchiverTest, RefusesWhatCannotBeArchived) {
  EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(std::make_shared<Object>()).empty());
  EXPECT_TRUE(
      KeyedArchiver::archivedDataWithRootObject(MutableArray::create({Value(std::make_shared<Object>())}))
          .empty());

  auto loop = MutableArray::create();
  loop->addObject(Value(loop));
  EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(loop).empty());
  loop->removeAllObjects();

  auto holder = std::make_shared<Holder>();
  holder->held = Value(holder);
  EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(holder).empty());
  holder->held = Value();

  // The same object twice, side by side, is no cycle.
  auto shared = MutableArray::create({Value(1)});
  EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(MutableArray::create({Value(shared), Value(shared)}))
                   .empty());
}

TEST_F(KeyedArchiverTest, NestingIsBoundedOnBothSides) {
  auto atLimit = roundTrip(nestedArrays(archive::kMaxDepth));
  ASSERT_TRUE(atLimit);
  EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(nestedArrays(archive::kMaxDepth + 1)).empty());

  // A hand-made archive nesting far deeper is refused without exhausting the stack.
  Data deep{'K', 'V', 'A', 'R', 1, 0};
  for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {archive::kArray, 1, 0, 0, 0});
  deep.push_back(archive::kNull);
  EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(deep), std::nullopt);
}

TEST_F(KeyedArchiverTest, RefusesForeignAndOversizedInput) {
  Data good = KeyedArchiver::archivedDataWithRootObject(Value("x"));
  ASSERT_FALSE(good.empty());
  EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(good));

  Data badMagic = good;
  badMagic[0] = 'X';
  Data newerVersion = good;
  newerVersion[4] = 2;
  Data trailing = good;
  trailing.push_back(0);
  for (const Data& d : {Data{}, badMagic, newerVersion, trailing})
    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(d), std::nullopt);

  // Counts and lengths far beyond the bytes present are refused before anything is reserved.
  for (std::uint8_t tag : {archive::kArray, archive::kDictionary, archive::kString, archive::kBytes}) {
    Data huge{'K', 'V', 'A', 'R', 1, 0, tag, 0xff, 0xff, 0xff, 0xff, 0};
    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(huge), std::nullopt) << int(tag);
  }
  Data hugeFrame{'K', 'V', 'A', 'R', 1, 0, archive::kObject, 1, 0, 0, 0, 'S', 0xff, 0xff, 0xff, 0x7f};
  EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(hugeFrame), std::nullopt);
  Data unknownTag{'K', 'V', 'A', 'R', 1, 0, 200};
  EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(unknownTag), std::nullopt);
}

TEST_F(KeyedArchiverTest, EveryTruncationIsRefused) {
  auto s = std::make_shared<Sample>();
  s->map = richDictionary();
  s->name = "n";
  s->extra = Value(MutableArray::create({Value(std::make_shared<Sample>()), Value(Data{1, 2, 3})}));
  Data full = KeyedArchiver::archivedDataWithRootObject(s);
  ASSERT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(full));
  for (std::size_t n = 0; n < full.size(); ++n) {
    Data cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(KeyedUnarchiver::unarchiveObjectWithData(cut), std::nullopt) << "length " << n;
  }
}

TEST_F(KeyedArchiverTest, RandomCorruptionNeverCrashes) {
  auto s = std::make_shared<Sample>();
  s->map = richDictionary();
  s->extra = Value(richDictionary());
  const Data full = KeyedArchiver::archivedDataWithRootObject(s);
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<std::size_t> pos(0, full.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255), flips(1, 4);
  int decoded = 0;
  for (int round = 0; round < 3000; ++round) {
    Data d = full;
    for (int f = flips(rng); f > 0; --f) d[pos(rng)] = static_cast<std::uint8_t>(byte(rng));
    if (auto v = KeyedUnarchiver::unarchiveObjectWithData(d)) {
      ++decoded;
      // Whatever decoded archives again.
      EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(*v).empty());
    }
  }
  // Flips inside text and numbers still decode; the test is that nothing crashed or leaked.
  EXPECT_GT(decoded, 0);
}

}  // namespace
