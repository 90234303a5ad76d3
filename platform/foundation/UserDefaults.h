#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/Value.h"

namespace platform {

class Array;
class Dictionary;
class MutableDictionary;

// The user's preferences: values by key, kept in Library/Preferences/<bundle name>.defaults under
// the home root as a keyed archive. Loaded on first use (a missing or corrupt file reads as no
// preferences); written by synchronize() and when the instance is destroyed. Values are text,
// numbers, booleans, bytes, and arrays and dictionaries of these; collections are copied on the
// way in and out, so nobody shares them. Safe from any thread.
class UserDefaults {
 public:
  static UserDefaults& standardUserDefaults();
  // Saves what is unsaved and forgets the instance (tests; the next call makes a new one).
  static void destroyStandardUserDefaults();

  // Null when absent.
  Value objectForKey(std::string_view key) const;
  // Text as it is, a number or boolean as its text; "" otherwise.
  std::string stringForKey(std::string_view key) const;
  // Numbers and booleans, and text that starts with a number; 0 otherwise.
  std::int64_t integerForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  // Numbers; text "yes"/"true" (any case) or a non-zero number; false otherwise.
  bool boolForKey(std::string_view key) const;
  std::optional<Data> dataForKey(std::string_view key) const;
  std::shared_ptr<Array> arrayForKey(std::string_view key) const;
  std::shared_ptr<Dictionary> dictionaryForKey(std::string_view key) const;

  // Stores a copy of value; a null value removes the key. False (and nothing stored) for a value
  // that holds anything else than the kinds above.
  bool setObject(const Value& value, std::string_view key);
  void setInteger(std::int64_t value, std::string_view key);
  void setBool(bool value, std::string_view key);
  void setDouble(double value, std::string_view key);
  void removeObjectForKey(std::string_view key);

  // Changes whenever a value is set or removed, and differs between instances: what was read when
  // the stamp had the same value is still what the preferences hold.
  std::uint64_t changeStamp() const { return stamp_.load(std::memory_order_acquire); }

  // Writes unsaved changes to disk atomically. True when nothing was unsaved or the write succeeded.
  bool synchronize();
  // Where the preferences are kept.
  std::string path() const;

  UserDefaults();
  ~UserDefaults();
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

 private:
  // Loads on first use. Caller holds mutex_.
  MutableDictionary& values() const REQUIRES(mutex_);
  bool synchronizeLocked() REQUIRES(mutex_);

  mutable platform::Mutex mutex_;
  mutable std::shared_ptr<MutableDictionary> values_ GUARDED_BY(mutex_);
  mutable std::string path_ GUARDED_BY(mutex_);
  bool dirty_ GUARDED_BY(mutex_) = false;
  std::atomic<std::uint64_t> stamp_;
};

}  // namespace platform
