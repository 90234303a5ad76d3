#include "platform/system/CalendarStore.h"

#include <algorithm>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {

struct Authorization {
  platform::Mutex mutex;
  CalendarAuthorizationStatus status GUARDED_BY(mutex) = CalendarAuthorizationStatus::NotDetermined;
  bool answer GUARDED_BY(mutex) = true;
};

Authorization& authorization() {
  static Authorization a;
  return a;
}

bool authorized() { return CalendarStore::authorizationStatus() == CalendarAuthorizationStatus::Authorized; }

void fail(Error* error, CalendarError code, std::string text) {
  if (error)
    *error = Error{CalendarErrorDomain, static_cast<std::int64_t>(code), std::move(text), nullptr, nullptr};
}

std::string folder() { return Environment::libraryPath() + "/Calendar"; }
std::string file() { return folder() + "/Events.archive"; }

struct Stored {
  std::int64_t nextIdentifier = 1;
  std::vector<CalendarEvent> events;
  // The file is there but reading it failed: what it holds is unknown, so nothing may be written
  // over it.
  bool unread = false;
};

CalendarEvent eventFrom(const Dictionary& d) {
  CalendarEvent e;
  e.eventIdentifier = d.valueForKey("identifier").stringValue();
  e.title = d.valueForKey("title").stringValue();
  e.location = d.valueForKey("location").stringValue();
  e.notes = d.valueForKey("notes").stringValue();
  e.url = d.valueForKey("url").stringValue();
  e.startDate = Date(d.valueForKey("start").doubleValue());
  e.endDate = Date(d.valueForKey("end").doubleValue());
  e.allDay = d.valueForKey("allDay").boolValue();
  if (auto alarms = d.valueForKey("alarms").arrayValue())
    for (const Value& v : alarms->toVector()) e.alarmOffsets.push_back(v.doubleValue());
  return e;
}

Value valueOf(const CalendarEvent& e) {
  auto d = MutableDictionary::create();
  d->setObject(e.eventIdentifier, "identifier");
  d->setObject(e.title, "title");
  d->setObject(e.location, "location");
  d->setObject(e.notes, "notes");
  d->setObject(e.url, "url");
  d->setObject(e.startDate.timeIntervalSince1970(), "start");
  d->setObject(e.endDate.timeIntervalSince1970(), "end");
  d->setObject(e.allDay, "allDay");
  auto alarms = MutableArray::create();
  for (double a : e.alarmOffsets) alarms->addObject(a);
  d->setObject(alarms, "alarms");
  return d;
}

// A damaged file reads as an empty calendar, which the next save replaces; a file that could not be
// read at all is marked so, and is not replaced.
Stored load() {
  Stored s;
  auto data = FileManager::contentsAtPath(file());
  if (!data) {
    // Something else standing at the file's path is no calendar: the save that meets it fails.
    bool isDirectory = false;
    s.unread = FileManager::fileExistsAtPath(file(), &isDirectory) && !isDirectory;
    return s;
  }
  auto root = KeyedUnarchiver::unarchiveObjectWithData(*data);
  if (!root) return s;
  auto dict = root->dictionaryValue();
  if (!dict) return s;
  s.nextIdentifier = std::max<std::int64_t>(1, dict->valueForKey("nextIdentifier").intValue());
  if (auto list = dict->valueForKey("events").arrayValue()) {
    for (const Value& v : list->toVector())
      if (auto d = v.dictionaryValue()) s.events.push_back(eventFrom(*d));
  }
  return s;
}

bool store(const Stored& s, Error* error) {
  auto root = MutableDictionary::create();
  root->setObject(s.nextIdentifier, "nextIdentifier");
  auto list = MutableArray::create();
  for (const CalendarEvent& e : s.events) list->addObject(valueOf(e));
  root->setObject(list, "events");
  Data data = KeyedArchiver::archivedDataWithRootObject(Value(root));
  if (data.empty() || !FileManager::createDirectoryAtPath(folder(), true) ||
      !FileManager::createFileAtPath(file(), data)) {
    fail(error, CalendarError::WriteFailed, "The calendar could not be written.");
    return false;
  }
  return true;
}

void sortEvents(std::vector<CalendarEvent>& events) {
  std::stable_sort(events.begin(), events.end(), [](const CalendarEvent& a, const CalendarEvent& b) {
    if (a.startDate != b.startDate) return a.startDate < b.startDate;
    return a.eventIdentifier < b.eventIdentifier;
  });
}

}  // namespace

CalendarAuthorizationStatus CalendarStore::authorizationStatus() {
  platform::MutexLock lock(authorization().mutex);
  return authorization().status;
}

void CalendarStore::setAuthorizationStatus(CalendarAuthorizationStatus status) {
  platform::MutexLock lock(authorization().mutex);
  authorization().status = status;
}

void CalendarStore::setAccessAnswer(bool granted) {
  platform::MutexLock lock(authorization().mutex);
  authorization().answer = granted;
}

void CalendarStore::resetAuthorization() {
  platform::MutexLock lock(authorization().mutex);
  authorization().status = CalendarAuthorizationStatus::NotDetermined;
  authorization().answer = true;
}

void CalendarStore::requestAccessToEvents(std::function<void(bool, std::optional<Error>)> completion) {
  bool granted;
  {
    Authorization& a = authorization();
    platform::MutexLock lock(a.mutex);
    if (a.status == CalendarAuthorizationStatus::NotDetermined)
      a.status = a.answer ? CalendarAuthorizationStatus::Authorized : CalendarAuthorizationStatus::Denied;
    granted = a.status == CalendarAuthorizationStatus::Authorized;
  }
  if (!completion) return;
  RunLoop::main().performOnMain(
      [completion = std::move(completion), granted] { completion(granted, std::nullopt); });
}

bool CalendarStore::saveEvent(CalendarEvent& event, Error* error) {
  if (!authorized()) {
    fail(error, CalendarError::AccessDenied, "Access to the calendar has not been granted.");
    return false;
  }
  if (event.endDate < event.startDate) {
    fail(error, CalendarError::DatesInverted, "The event ends before it starts.");
    return false;
  }
  Stored s = load();
  if (s.unread) {
    fail(error, CalendarError::ReadFailed, "The calendar could not be read.");
    return false;
  }
  auto it = std::find_if(s.events.begin(), s.events.end(), [&](const CalendarEvent& e) {
    return !event.eventIdentifier.empty() && e.eventIdentifier == event.eventIdentifier;
  });
  CalendarEvent saved = event;
  if (it == s.events.end()) saved.eventIdentifier = "event-" + std::to_string(s.nextIdentifier++);
  if (it != s.events.end()) {
    *it = saved;
  } else {
    s.events.push_back(saved);
  }
  if (!store(s, error)) return false;
  event.eventIdentifier = saved.eventIdentifier;
  return true;
}

bool CalendarStore::removeEvent(std::string_view eventIdentifier, Error* error) {
  if (!authorized()) {
    fail(error, CalendarError::AccessDenied, "Access to the calendar has not been granted.");
    return false;
  }
  Stored s = load();
  if (s.unread) {
    fail(error, CalendarError::ReadFailed, "The calendar could not be read.");
    return false;
  }
  auto it = std::find_if(s.events.begin(), s.events.end(),
                         [&](const CalendarEvent& e) { return e.eventIdentifier == eventIdentifier; });
  if (it == s.events.end()) {
    fail(error, CalendarError::NoSuchEvent, "The event is not in the calendar.");
    return false;
  }
  s.events.erase(it);
  return store(s, error);
}

std::optional<CalendarEvent> CalendarStore::eventWithIdentifier(std::string_view eventIdentifier) const {
  if (!authorized() || eventIdentifier.empty()) return std::nullopt;
  for (CalendarEvent& e : load().events)
    if (e.eventIdentifier == eventIdentifier) return e;
  return std::nullopt;
}

std::vector<CalendarEvent> CalendarStore::events() const {
  if (!authorized()) return {};
  std::vector<CalendarEvent> all = load().events;
  sortEvents(all);
  return all;
}

std::vector<CalendarEvent> CalendarStore::eventsMatching(Date start, Date end) const {
  std::vector<CalendarEvent> out;
  for (CalendarEvent& e : events()) {
    // An event of no length counts when it starts inside the range.
    bool overlaps =
        e.startDate < end && (e.endDate > start || (e.endDate == e.startDate && e.startDate >= start));
    if (overlaps) out.push_back(std::move(e));
  }
  return out;
}

}  // namespace platform
