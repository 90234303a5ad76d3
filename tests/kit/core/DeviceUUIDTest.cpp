#include <gtest/gtest.h>

#include "kit/core/DeviceUUID.h"
#include "platform/crypto/Digest.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/Pasteboard.h"
#include "tests/support/TempHome.h"

namespace kavro::device {
namespace {

bool isLowerHex(std::string_view s) {
  return s.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

platform::UserDefaults& defaults() { return platform::UserDefaults::standardUserDefaults(); }

std::shared_ptr<platform::MutableDictionary> record(std::string_view udid, std::string_view check) {
  auto r = platform::MutableDictionary::create();
  r->setObject(platform::Value(udid), DeviceUDIDKey);
  r->setObject(platform::Value(check), DeviceUDIDCheckKey);
  return r;
}

void putOnPasteboard(const platform::Value& value) {
  platform::Pasteboard::pasteboardWithName(DeviceUDIDPasteboardName, true)
      ->setData(platform::KeyedArchiver::archivedDataWithRootObject(value), DeviceUDIDPasteboardType);
}

TEST(DeviceUUIDTest, FreshIdentifierHasItsFormatAndIsStable) {
  test::TempHome home;
  std::string udid = getUDID();
  ASSERT_EQ(udid.size(), 40u);
  EXPECT_TRUE(isLowerHex(udid));
  EXPECT_EQ(getUDID(), udid);
  EXPECT_EQ(getUUID().size(), 32u);
  EXPECT_TRUE(isLowerHex(getUUID()));
  EXPECT_EQ(getUUID(), getUUID());
  EXPECT_NE(createNewUDID(), createNewUDID());
  EXPECT_EQ(checkValueOf(udid).size(), 32u);
}

TEST(DeviceUUIDTest, SurvivesTheLossOfEitherHome) {
  test::TempHome home;
  std::string udid = getUDID();

  defaults().removeObjectForKey(DeviceUDIDDefaultsKey);
  EXPECT_EQ(getUDID(), udid) << "restored from the pasteboard";
  auto copied = defaults().dictionaryForKey(DeviceUDIDDefaultsKey);
  ASSERT_NE(copied, nullptr) << "and copied back into the defaults";
  EXPECT_EQ(copied->valueForKey(DeviceUDIDKey).stringValue(), udid);

  platform::Pasteboard::removePasteboardWithName(DeviceUDIDPasteboardName);
  EXPECT_EQ(getUDID(), udid) << "the defaults alone suffice";
}

TEST(DeviceUUIDTest, RecordsFailingTheCheckAreIgnored) {
  test::TempHome home;
  std::string good = createNewUDID();
  std::string other = createNewUDID();
  // Tampered defaults, valid pasteboard: the pasteboard's identifier wins and replaces the defaults.
  defaults().setObject(platform::Value(record(other, checkValueOf(good))), DeviceUDIDDefaultsKey);
  putOnPasteboard(platform::Value(record(good, checkValueOf(good))));
  EXPECT_EQ(getUDID(), good);
  EXPECT_EQ(defaults().dictionaryForKey(DeviceUDIDDefaultsKey)->valueForKey(DeviceUDIDKey).stringValue(),
            good);

  // Neither place valid: a new identifier goes to both.
  defaults().setObject(platform::Value("not a map"), DeviceUDIDDefaultsKey);
  putOnPasteboard(platform::Value(record(good, "0000")));
  std::string fresh = getUDID();
  EXPECT_NE(fresh, good);
  defaults().removeObjectForKey(DeviceUDIDDefaultsKey);
  EXPECT_EQ(getUDID(), fresh);

  // Garbage on the pasteboard counts as nothing.
  defaults().removeObjectForKey(DeviceUDIDDefaultsKey);
  platform::Pasteboard::pasteboardWithName(DeviceUDIDPasteboardName, true)
      ->setData(platform::dataFromString("junk"), DeviceUDIDPasteboardType);
  EXPECT_NE(getUDID(), fresh);
}

TEST(DeviceUUIDTest, AChangedRecordGivesItsIdentifier) {
  test::TempHome home;
  std::string first = getUDID();
  std::string firstUuid = getUUID();
  ASSERT_EQ(getUDID(), first);

  std::string second = createNewUDID();
  defaults().setObject(platform::Value(record(second, checkValueOf(second))), DeviceUDIDDefaultsKey);
  EXPECT_EQ(getUDID(), second);
  EXPECT_NE(getUUID(), firstUuid);
  EXPECT_EQ(getUUID(), platform::hexString(platform::md5(second)));

  // The identifier seen before, under a check that does not hold: ignored, the pasteboard's wins.
  defaults().setObject(platform::Value(record(second, checkValueOf(first))), DeviceUDIDDefaultsKey);
  EXPECT_EQ(getUDID(), first);
  EXPECT_EQ(getUUID(), firstUuid);

  // A reset of the defaults and of the pasteboard: a new identifier, and its own uuid.
  defaults().removeObjectForKey(DeviceUDIDDefaultsKey);
  platform::Pasteboard::removePasteboardWithName(DeviceUDIDPasteboardName);
  std::string fresh = getUDID();
  EXPECT_NE(fresh, first);
  EXPECT_NE(fresh, second);
  EXPECT_EQ(getUUID(), platform::hexString(platform::md5(fresh)));
}

}  // namespace
TEST(DeviceUUIDTest, PreferencesLoadedAnewAreReadAgain) {
  test::TempHome home;
  std::string first = getUDID();
  std::string second = createNewUDID();
  defaults().setObject(platform::Value(record(second, checkValueOf(second))), DeviceUDIDDefaultsKey);
  defaults().synchronize();
  platform::UserDefaults::destroyStandardUserDefaults();
  EXPECT_EQ(getUDID(), second) << "the record in the file, not the one remembered";
  EXPECT_EQ(getUUID(), platform::hexString(platform::md5(second)));
  EXPECT_NE(first, second);
}

}  // namespace kavro::device
