#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TempHome.h"

using namespace platform;
using kavro::test::TempHome;

namespace {

class UserDefaultsTest : public ::testing::Test {
 protected:
  UserDefaults& defaults() { return UserDefaults::standardUserDefaults(); }
  std::string file() const { return home.path() + "/Library/Preferences/Kavro.defaults"; }
  void reopen() { UserDefaults::destroyStandardUserDefaults(); }

  TempHome home;
};

std::shared_ptr<MutableDictionary> udidRecord() {
  auto d = MutableDictionary::create();
  d->setObject("0123456789abcdef0123456789abcdef01234567", "kavrodeviceUDID");
  d->setObject("fedcba9876543210fedcba9876543210", "kavroCheckDeviceUDID");
  return d;
}

TEST_F(UserDefaultsTest, ValuesOfEveryKindSurviveARestart) {
  auto nested = MutableArray::create({Value(1), Value("two"), Value(udidRecord())});
  EXPECT_TRUE(defaults().setObject("text", "s"));
  defaults().setInteger(-42, "i");
  defaults().setBool(true, "b");
  defaults().setDouble(2.5, "d");
  EXPECT_TRUE(defaults().setObject(Data{0, 1, 255}, "data"));
  EXPECT_TRUE(defaults().setObject(nested, "array"));
  EXPECT_TRUE(defaults().setObject(udidRecord(), "kavroDeviceUDIDDict"));
  EXPECT_TRUE(defaults().synchronize());
  EXPECT_EQ(defaults().path(), file());
  EXPECT_TRUE(FileManager::fileExistsAtPath(file()));

  reopen();
  EXPECT_EQ(defaults().stringForKey("s"), "text");
  EXPECT_EQ(defaults().integerForKey("i"), -42);
  EXPECT_TRUE(defaults().boolForKey("b"));
  EXPECT_DOUBLE_EQ(defaults().doubleForKey("d"), 2.5);
  EXPECT_EQ(defaults().dataForKey("data"), (Data{0, 1, 255}));
  ASSERT_TRUE(defaults().arrayForKey("array"));
  EXPECT_TRUE(defaults().arrayForKey("array")->isEqual(*nested));
  auto record = defaults().dictionaryForKey("kavroDeviceUDIDDict");
  ASSERT_TRUE(record);
  EXPECT_TRUE(record->isEqual(*udidRecord()));
  EXPECT_EQ(record->allKeys(), (std::vector<std::string>{"kavrodeviceUDID", "kavroCheckDeviceUDID"}));
}

TEST_F(UserDefaultsTest, UnsavedChangesAreWrittenWhenTheInstanceGoes) {
  defaults().setObject("kept", "k");
  reopen();
  EXPECT_EQ(defaults().stringForKey("k"), "kept");
  defaults().removeObjectForKey("k");
  reopen();
  EXPECT_TRUE(defaults().objectForKey("k").isNull());
}

TEST_F(UserDefaultsTest, SettingNullRemovesAndMissingKeysReadEmpty) {
  EXPECT_EQ(defaults().stringForKey("none"), "");
  EXPECT_EQ(defaults().integerForKey("none"), 0);
  EXPECT_FALSE(defaults().boolForKey("none"));
  EXPECT_EQ(defaults().dataForKey("none"), std::nullopt);
  EXPECT_EQ(defaults().arrayForKey("none"), nullptr);
  EXPECT_EQ(defaults().dictionaryForKey("none"), nullptr);
  // Nothing changed, nothing written.
  EXPECT_TRUE(defaults().synchronize());
  EXPECT_FALSE(FileManager::fileExistsAtPath(file()));

  defaults().setObject("v", "key");
  EXPECT_TRUE(defaults().setObject(Value(), "key"));
  EXPECT_TRUE(defaults().objectForKey("key").isNull());
}

TEST_F(UserDefaultsTest, TypedReadsConvertBetweenTextAndNumbers) {
  defaults().setObject(" 17 apples", "n");
  defaults().setObject("YES", "yes");
  defaults().setObject("true", "t");
  defaults().setObject("no", "no");
  defaults().setObject("0", "zero");
  defaults().setInteger(7, "seven");
  defaults().setObject("3.25", "d");
  EXPECT_EQ(defaults().integerForKey("n"), 17);
  EXPECT_TRUE(defaults().boolForKey("yes"));
  EXPECT_TRUE(defaults().boolForKey("t"));
  EXPECT_TRUE(defaults().boolForKey("n"));
  EXPECT_FALSE(defaults().boolForKey("no"));
  EXPECT_FALSE(defaults().boolForKey("zero"));
  EXPECT_EQ(defaults().stringForKey("seven"), "7");
  EXPECT_DOUBLE_EQ(defaults().doubleForKey("d"), 3.25);
  EXPECT_EQ(defaults().dataForKey("n"), std::nullopt);
  EXPECT_EQ(defaults().dictionaryForKey("n"), nullptr);
}

TEST_F(UserDefaultsTest, RefusesValuesItCannotKeep) {
  auto plain = std::make_shared<Object>();
  EXPECT_FALSE(defaults().setObject(plain, "obj"));
  auto withObject = MutableDictionary::create();
  withObject->setObject("fine", "a");
  withObject->setObject(MutableArray::create({Value(plain)}), "b");
  EXPECT_FALSE(defaults().setObject(withObject, "dict"));
  EXPECT_TRUE(defaults().objectForKey("obj").isNull());
  EXPECT_TRUE(defaults().objectForKey("dict").isNull());
}

TEST_F(UserDefaultsTest, CollectionsAreCopiedInAndOut) {
  auto record = udidRecord();
  defaults().setObject(record, "r");
  record->setObject("changed", "kavrodeviceUDID");
  auto stored = std::dynamic_pointer_cast<MutableDictionary>(defaults().dictionaryForKey("r"));
  ASSERT_TRUE(stored);
  EXPECT_TRUE(stored->isEqual(*udidRecord()));
  stored->removeAllObjects();
  EXPECT_EQ(defaults().dictionaryForKey("r")->count(), 2u);
}

TEST_F(UserDefaultsTest, CorruptFileReadsAsEmptyAndIsReplaced) {
  ASSERT_TRUE(FileManager::createDirectoryAtPath(home.path() + "/Library/Preferences", true));
  for (const Data& junk :
       {Data{}, dataFromString("not an archive"), Data{'K', 'V', 'A', 'R', 1, 0, 8, 255, 255, 255, 255}}) {
    ASSERT_TRUE(FileManager::createFileAtPath(file(), junk));
    reopen();
    EXPECT_TRUE(defaults().objectForKey("anything").isNull());
  }
  // A cut-short archive is no preferences either.
  defaults().setObject("x", "k");
  reopen();
  auto archive = FileManager::contentsAtPath(file());
  ASSERT_TRUE(archive);
  archive->resize(archive->size() - 1);
  ASSERT_TRUE(FileManager::createFileAtPath(file(), *archive));
  reopen();
  EXPECT_TRUE(defaults().objectForKey("k").isNull());
  defaults().setObject("fresh", "k");
  EXPECT_TRUE(defaults().synchronize());
  reopen();
  EXPECT_EQ(defaults().stringForKey("k"), "fresh");
}

TEST_F(UserDefaultsTest, FailedSaveKeepsChangesForTheNextTry) {
  // A file where the Preferences folder should be makes the save fail.
  ASSERT_TRUE(FileManager::createFileAtPath(Environment::libraryPath() + "/Preferences",
                                            dataFromString("in the way")));
  defaults().setObject("v", "k");
  EXPECT_FALSE(defaults().synchronize());
  ASSERT_TRUE(FileManager::removeItemAtPath(home.path() + "/Library/Preferences"));
  EXPECT_TRUE(defaults().synchronize());
  reopen();
  EXPECT_EQ(defaults().stringForKey("k"), "v");
}

TEST_F(UserDefaultsTest, ConcurrentWritersAndReadersKeepEveryKey) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 100; ++i) {
        std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
        defaults().setInteger(i, key);
        EXPECT_EQ(defaults().integerForKey(key), i);
        if (i % 25 == 0) defaults().synchronize();
      }
    });
  }
  for (auto& th : threads) th.join();
  reopen();
  EXPECT_EQ(defaults().integerForKey("k3_99"), 99);
  EXPECT_EQ(defaults().integerForKey("k0_42"), 42);
}

TEST_F(UserDefaultsTest, TheChangeStampMovesWithEveryChangeAndEveryInstance) {
  const auto start = defaults().changeStamp();
  EXPECT_NE(start, 0u);
  defaults().stringForKey("k");
  defaults().removeObjectForKey("missing");
  EXPECT_EQ(defaults().changeStamp(), start) << "reads and removing nothing change nothing";
  defaults().setObject("v", "k");
  const auto set = defaults().changeStamp();
  EXPECT_NE(set, start);
  defaults().setObject("v", "k");
  EXPECT_NE(defaults().changeStamp(), set) << "a value set again may differ inside a collection";
  const auto again = defaults().changeStamp();
  defaults().removeObjectForKey("k");
  EXPECT_NE(defaults().changeStamp(), again);
  const auto removed = defaults().changeStamp();
  reopen();
  EXPECT_NE(defaults().changeStamp(), removed) << "another instance, another stamp";
}

}  // namespace
