#include "platform/foundation/UserDefaults.h"

#include <cctype>
#include <charconv>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiveFormat.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Mutex.h"

namespace platform {

namespace {

platform::Mutex& instanceLock() {
  static platform::Mutex m;
  return m;
}

std::unique_ptr<UserDefaults>& instance() REQUIRES(instanceLock()) {
  static std::unique_ptr<UserDefaults> p;
  return p;
}

// A private copy of a value made only of the kinds preferences hold; nothing when it holds
// anything else.
std::optional<Value> storableCopy(const Value& v, int depth = 0) {
  if (!v.isObject()) return v;
  if (depth >= archive::kMaxDepth) return std::nullopt;
  if (auto dict = v.dictionaryValue()) {
    auto copy = MutableDictionary::create();
    bool ok = true;
    dict->enumerate([&](const std::string& key, const Value& item) {
      auto c = storableCopy(item, depth + 1);
      if (c) copy->setObject(std::move(*c), key);
      ok = c.has_value();
      return ok;
    });
    if (!ok) return std::nullopt;
    return Value(std::move(copy));
  }
  if (auto array = v.arrayValue()) {
    std::vector<Value> items;
    items.reserve(array->count());
    for (std::size_t i = 0, n = array->count(); i < n; ++i) {
      auto c = storableCopy(array->objectAtIndex(i), depth + 1);
      if (!c) return std::nullopt;
      items.push_back(std::move(*c));
    }
    return Value(MutableArray::create(std::move(items)));
  }
  return std::nullopt;
}

std::string_view trimmedFront(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  return s;
}

std::int64_t leadingInteger(std::string_view s) {
  s = trimmedFront(s);
  std::int64_t v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

double leadingDouble(std::string_view s) {
  s = trimmedFront(s);
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

}  // namespace

UserDefaults& UserDefaults::standardUserDefaults() {
  platform::MutexLock g(instanceLock());
  if (!instance()) instance() = std::make_unique<UserDefaults>();
  return *instance();
}

void UserDefaults::destroyStandardUserDefaults() {
  std::unique_ptr<UserDefaults> gone;
  {
    platform::MutexLock g(instanceLock());
    gone = std::move(instance());
  }
}

namespace {
std::uint64_t nextStamp() {
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}
}  // namespace

UserDefaults::UserDefaults() : stamp_(nextStamp()) {}

UserDefaults::~UserDefaults() { synchronize(); }

std::string UserDefaults::path() const {
  platform::MutexLock g(mutex_);
  values();
  return path_;
}

MutableDictionary& UserDefaults::values() const {
  if (values_) return *values_;
  path_ = Environment::libraryPath() + "/Preferences/" + Environment::bundleName() + ".defaults";
  values_ = MutableDictionary::create();
  auto data = FileManager::contentsAtPath(path_);
  if (!data) return *values_;
  auto root = KeyedUnarchiver::unarchiveObjectWithData(*data);
  auto dict = root ? root->dictionaryValue() : nullptr;
  if (!dict) return *values_;
  // Keep what preferences can hold; anything else in the file is dropped.
  MutableDictionary& values = *values_;
  dict->enumerate([&values](const std::string& key, const Value& v) {
    if (auto c = storableCopy(v)) values.setObject(std::move(*c), key);
    return true;
  });
  return *values_;
}

Value UserDefaults::objectForKey(std::string_view key) const {
  platform::MutexLock g(mutex_);
  const Value* v = values().objectForKey(key);
  if (!v) return Value();
  return storableCopy(*v).value_or(Value());
}

std::string UserDefaults::stringForKey(std::string_view key) const {
  Value v = objectForKey(key);
  if (v.isString()) return v.stringValue();
  if (v.isNumber() || v.isBool()) return v.description();
  return "";
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
  Value v = objectForKey(key);
  return v.isString() ? leadingInteger(v.stringValue()) : v.intValue();
}

double UserDefaults::doubleForKey(std::string_view key) const {
  Value v = objectForKey(key);
  return v.isString() ? leadingDouble(v.stringValue()) : v.doubleValue();
}

bool UserDefaults::boolForKey(std::string_view key) const {
  Value v = objectForKey(key);
  if (!v.isString()) return v.boolValue();
  std::string_view s = v.stringValue();
  return equalsIgnoringCase(s, "yes") || equalsIgnoringCase(s, "true") || leadingInteger(s) != 0;
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
  Value v = objectForKey(key);
  if (!v.isBytes()) return std::nullopt;
  return v.bytesValue();
}

std::shared_ptr<Array> UserDefaults::arrayForKey(std::string_view key) const {
  return objectForKey(key).arrayValue();
}

std::shared_ptr<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
  return objectForKey(key).dictionaryValue();
}

bool UserDefaults::setObject(const Value& value, std::string_view key) {
  if (value.isNull()) {
    removeObjectForKey(key);
    return true;
  }
  auto copy = storableCopy(value);
  if (!copy) return false;
  platform::MutexLock g(mutex_);
  values().setObject(std::move(*copy), key);
  dirty_ = true;
  stamp_.store(nextStamp(), std::memory_order_release);
  return true;
}

void UserDefaults::setInteger(std::int64_t value, std::string_view key) {
  setObject(Value(static_cast<long long>(value)), key);
}
void UserDefaults::setBool(bool value, std::string_view key) { setObject(Value(value), key); }
void UserDefaults::setDouble(double value, std::string_view key) { setObject(Value(value), key); }

void UserDefaults::removeObjectForKey(std::string_view key) {
  platform::MutexLock g(mutex_);
  if (!values().objectForKey(key)) return;
  values().removeObjectForKey(key);
  dirty_ = true;
  stamp_.store(nextStamp(), std::memory_order_release);
}

bool UserDefaults::synchronize() {
  platform::MutexLock g(mutex_);
  return synchronizeLocked();
}

bool UserDefaults::synchronizeLocked() {
  if (!dirty_ || !values_) return true;
  Data data = KeyedArchiver::archivedDataWithRootObject(Value(values_));
  std::string folder = path_.substr(0, path_.rfind('/'));
  if (data.empty() || !FileManager::createDirectoryAtPath(folder, true) ||
      !FileManager::createFileAtPath(path_, data))
    return false;
  dirty_ = false;
  return true;
}

}  // namespace platform
