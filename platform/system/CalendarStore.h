#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"

namespace platform {

inline constexpr const char* CalendarErrorDomain = "CalendarErrorDomain";

enum class CalendarError {
  AccessDenied = 1,   // the user has not allowed access to the calendar
  DatesInverted = 2,  // the event ends before it starts
  NoSuchEvent = 3,
  WriteFailed = 4,
  ReadFailed = 5  // the calendar's file is there but could not be read: nothing was changed
};

enum class CalendarAuthorizationStatus { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

struct CalendarEvent {
  // Given by the store when the event is first saved.
  std::string eventIdentifier;
  std::string title;
  std::string location;
  std::string notes;
  std::string url;
  Date startDate;
  Date endDate;
  bool allDay = false;
  // Reminders, in seconds relative to the start (negative: before it).
  std::vector<double> alarmOffsets;

  bool operator==(const CalendarEvent&) const = default;
};

// The device's calendar. Events live in one file under the home root (Library/Calendar/
// Events.archive, replaced atomically on each change), so every store object sees the same events
// and they outlive the process. Access is granted as on a device: the status starts NotDetermined,
// requestAccessToEvents asks the user, and reading or writing needs Authorized. The user's answer to
// that question is set beforehand by tests or the runner (setAccessAnswer, granted by default) and
// reaches the completion through the main run loop. Main thread only.
class CalendarStore {
 public:
  static CalendarAuthorizationStatus authorizationStatus();
  // Tests and the runner: the status as if the user had already answered (or never been asked).
  static void setAuthorizationStatus(CalendarAuthorizationStatus status);
  // What the user answers when asked.
  static void setAccessAnswer(bool granted);
  // Back to NotDetermined with a granting user.
  static void resetAuthorization();

  // Asks the user only while the status is NotDetermined; the completion then hears the answer,
  // otherwise the status as it stands (granted only when Authorized). Called on the main run loop,
  // never from inside this call.
  void requestAccessToEvents(std::function<void(bool granted, std::optional<Error> error)> completion);

  // Adds the event, or replaces the saved one with its identifier (a new identifier when it has
  // none or an unknown one). Refused (false, *error) without access or when it ends before it starts.
  bool saveEvent(CalendarEvent& event, Error* error = nullptr);
  bool removeEvent(std::string_view eventIdentifier, Error* error = nullptr);
  // Without access: none / empty.
  std::optional<CalendarEvent> eventWithIdentifier(std::string_view eventIdentifier) const;
  // By start date, then by identifier.
  std::vector<CalendarEvent> events() const;
  // The events overlapping [start, end).
  std::vector<CalendarEvent> eventsMatching(Date start, Date end) const;
};

}  // namespace platform
