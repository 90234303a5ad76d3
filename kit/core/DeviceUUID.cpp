#include "kit/core/DeviceUUID.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "kit/core/DeviceSystemVersionCompare.h"
#include "kit/core/StringMisc.h"
#include "platform/crypto/Digest.h"
#include "platform/crypto/Random.h"
#include "platform/crypto/Uuid.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/AdvertisingIdentifier.h"
#include "platform/system/Pasteboard.h"

namespace kavro::device {

namespace {

constexpr std::string_view CheckSalt = "mirel_19980605";

// The last record found valid and the identifier's MD5: every request asks for the identifier, and
// the two digests would otherwise be computed again each time. A record that differs in either
// entry is checked afresh.
struct Remembered {
  platform::Mutex mutex;
  std::string udid GUARDED_BY(mutex);
  std::string check GUARDED_BY(mutex);
  std::string uuid GUARDED_BY(mutex);
  // The preferences' change stamp when udid was last read from them or written to them: while it
  // stands, the record there is the one already checked.
  std::uint64_t defaultsStamp GUARDED_BY(mutex) = 0;
};

Remembered& remembered() {
  static auto* r = new Remembered();
  return *r;
}

// The identifier of a valid record: both entries text, and the check value matching.
std::optional<std::string> udidOfRecord(const platform::Dictionary* record) {
  if (!record) return std::nullopt;
  const platform::Value* udid = record->objectForKey(DeviceUDIDKey);
  const platform::Value* check = record->objectForKey(DeviceUDIDCheckKey);
  if (!udid || !check || !udid->isString() || !check->isString()) return std::nullopt;
  const std::string& id = udid->stringValue();
  const std::string& checkValue = check->stringValue();
  if (id.empty()) return std::nullopt;
  auto& r = remembered();
  {
    platform::MutexLock lock(r.mutex);
    if (id == r.udid && checkValue == r.check) return id;
  }
  if (checkValue != checkValueOf(id)) return std::nullopt;
  platform::MutexLock lock(r.mutex);
  r.udid = id;
  r.check = checkValue;
  r.uuid.clear();
  return id;
}

std::shared_ptr<platform::MutableDictionary> recordFor(const std::string& udid) {
  auto record = platform::MutableDictionary::create();
  record->setObject(platform::Value(udid), DeviceUDIDKey);
  record->setObject(platform::Value(checkValueOf(udid)), DeviceUDIDCheckKey);
  return record;
}

std::optional<std::string> restoreUDIDFromLocal() {
  auto record = platform::UserDefaults::standardUserDefaults().dictionaryForKey(DeviceUDIDDefaultsKey);
  return udidOfRecord(record.get());
}

std::optional<std::string> restoreUDIDFromPasteboard() {
  auto pasteboard = platform::Pasteboard::pasteboardWithName(DeviceUDIDPasteboardName, false);
  if (!pasteboard) return std::nullopt;
  auto data = pasteboard->dataForPasteboardType(DeviceUDIDPasteboardType);
  if (!data) return std::nullopt;
  auto root = platform::KeyedUnarchiver::unarchiveObjectWithData(*data);
  if (!root) return std::nullopt;
  auto record = root->dictionaryValue();
  auto udid = udidOfRecord(record.get());
  if (!udid) return std::nullopt;
  auto& defaults = platform::UserDefaults::standardUserDefaults();
  defaults.setObject(platform::Value(recordFor(*udid)), DeviceUDIDDefaultsKey);
  defaults.synchronize();
  return udid;
}

std::string generateAndSaveToLocal() {
  std::string udid = createNewUDID();
  auto record = recordFor(udid);
  if (auto pasteboard = platform::Pasteboard::pasteboardWithName(DeviceUDIDPasteboardName, true)) {
    pasteboard->setData(platform::KeyedArchiver::archivedDataWithRootObject(platform::Value(record)),
                        DeviceUDIDPasteboardType);
  }
  auto& defaults = platform::UserDefaults::standardUserDefaults();
  defaults.setObject(platform::Value(record), DeviceUDIDDefaultsKey);
  defaults.synchronize();
  return udid;
}

}  // namespace

std::string checkValueOf(std::string_view udid) {
  std::string salted(udid);
  salted += CheckSalt;
  return str::md5(salted).value_or("");
}

std::string createNewUDID() {
  std::string text = platform::createUuidString();
  std::string udid = platform::hexString(platform::md5(text));
  char tail[9];
  std::snprintf(tail, sizeof tail, "%08x", static_cast<unsigned>(platform::randomUInt32() % 4294967295u));
  return udid + tail;
}

std::string getUDID() {
  auto& defaults = platform::UserDefaults::standardUserDefaults();
  auto& r = remembered();
  {
    platform::MutexLock lock(r.mutex);
    if (r.defaultsStamp != 0 && r.defaultsStamp == defaults.changeStamp() && !r.udid.empty()) return r.udid;
  }
  std::string udid;
  if (auto local = restoreUDIDFromLocal())
    udid = std::move(*local);
  else if (auto pasted = restoreUDIDFromPasteboard())
    udid = std::move(*pasted);
  else
    udid = generateAndSaveToLocal();
  // The preferences now hold a valid record of udid (found there, or just written).
  const std::uint64_t stamp = defaults.changeStamp();
  platform::MutexLock lock(r.mutex);
  if (r.udid == udid) r.defaultsStamp = stamp;
  return udid;
}

std::string getUUID() {
  std::string udid = getUDID();
  auto& r = remembered();
  {
    platform::MutexLock lock(r.mutex);
    if (udid == r.udid && !r.uuid.empty()) return r.uuid;
  }
  std::string uuid = str::md5(udid).value_or("");
  platform::MutexLock lock(r.mutex);
  if (udid == r.udid) r.uuid = uuid;
  return uuid;
}

std::string getADID() {
  if (!systemVersionNotLessThan("6.0")) return "";
  return platform::AdvertisingIdentifier::sharedManager().advertisingIdentifier().value_or("");
}

bool isAdTrackingEnabled() {
  return platform::AdvertisingIdentifier::sharedManager().isAdvertisingTrackingEnabled();
}

}  // namespace kavro::device
