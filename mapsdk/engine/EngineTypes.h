#pragma once

// The ids that travel through the engine's queues (messages, HTTP clients, timers), and the search
// result codes the engine routes and announces. Each id is named here and nowhere else; the
// numbers are the engine's own and stay as they are.
namespace gmengine {

// Messages of the engine queue (1), the UI queue (2) and the timers.
enum class EngineMsg : int {
  Timer = 8,  // wParam the timer (EngineTimer)
  Repaint = 9,
  // HTTP client events, HttpFirst to HttpTooLarge, HttpPage and HttpMarkupPage: wParam the client
  // (EngineClient), lParam the request tag. No client here posts HttpFirst, 1001 or HttpPage; the
  // catalogue and location clients still take them.
  HttpFirst = 1000,
  HttpData = 1002,           // answer bytes arrived (only with progress messages on)
  HttpComplete = 1003,       // answer complete: the body and its length are in the receive buffer
  HttpConnectFailed = 1004,  // name lookup, connect or send failed (a request with flag 0)
  HttpAttemptsOver = 1005,   // the same, after every attempt of a request with flag 1
  HttpTimeout = 1006,        // no progress within the time-out, or the connection broke mid-answer
  HttpBadAnswer = 1007,      // an HTTP error status, a redirect without a target, or a broken body
  HttpTooLarge = 1008,       // the answer does not fit the receive buffer or the maximum answer size
  HttpPage = 1100,           // a page in place of the answer, of an older client
  HttpMarkupPage = 1120,     // a redirect, or a markup page in place of the answer
  SearchResult = 2000,       // wParam result type, lParam error
  LocationChanged = 2004,    // lParam 0, or 201 when the network location failed
  SlideStep = 8008,
  ZoomStep = 8009,
  PoiBkgData = 8010,  // wParam 510, lParam error
  TileActivity = 8011,
  OfflineCommand = 8013,  // wParam command, lParam argument
  AnimationBegin = 8015,
  PathStep = 8016,  // wParam part * 65536 + point, lParam direction
  AnimationEnd = 8018,
  ViewSettled = 8020,
  OfflineState = 65289,  // wParam state, lParam value
};

constexpr int ToInt(EngineMsg message) { return static_cast<int>(message); }

// Every event the HTTP client posts, including the ones only the catalogue client hears of.
constexpr bool IsHttpMessage(EngineMsg message) {
  const int m = ToInt(message);
  return (m >= ToInt(EngineMsg::HttpFirst) && m <= ToInt(EngineMsg::HttpTooLarge)) ||
         message == EngineMsg::HttpPage || message == EngineMsg::HttpMarkupPage;
}

// The failures a request ends in when it could not reach the host or the host stopped answering.
constexpr bool IsHttpConnectionFailure(EngineMsg message) {
  return message == EngineMsg::HttpConnectFailed || message == EngineMsg::HttpAttemptsOver ||
         message == EngineMsg::HttpTimeout;
}

// The HTTP clients (wParam of the HTTP messages). The engine routes the tile clients' events, and
// those of any id not named here, to the map.
enum class EngineClient : int {
  Search = 0,  // the user's searches and the small places
  Street = 1,  // street tiles, and traffic by its request numbers
  Location = 2,
  CityCenter = 3,
  LocationUpload = 5,
  OfflineTask = 9,    // the offline catalogue
  OfflineBatch = 11,  // tiles of an offline download
  Satellite = 12,
};

constexpr int ToInt(EngineClient client) { return static_cast<int>(client); }

// The engine's timers (wParam of EngineMsg::Timer).
enum class EngineTimer : int {
  Location = 1000,         // every 1000 ms
  OfflineTask = 1004,      // catalogue tasks, every 5000 ms
  OfflineDownload = 1005,  // the offline download's stall check, every 8000 ms
};

constexpr int ToInt(EngineTimer timer) { return static_cast<int>(timer); }

// Commands of the offline map manager (wParam of EngineMsg::OfflineCommand; the argument in lParam).
enum class OfflineCommand : int {
  StartNext = 1,        // takes up the next queued city
  CancelCity = 2,       // argument the city id: its download stops and the next city starts
  RemoveCity = 3,       // the oldest removed city's unshared files go (and its download, if running)
  SwitchDownload = 12,  // argument 1 on (the download goes on), 0 off (it pauses)
  Scan = 14,            // argument 1 or more: the package scan starts on its own thread
  Cancel = 21,          // the batch on its way (unless the map asks for tiles) and the packages dropped
};

constexpr int ToInt(OfflineCommand command) { return static_cast<int>(command); }

// Result types of the search: the codes that travel in UI message 2000 and select the store slot.
enum class SearchType : int {
  NetworkState = -1,
  None = 0,
  City = 2,        // one city named by the keyword (answer-chosen)
  CityCenter = 4,  // city at the map centre
  PoiDetail = 6,   // one POI with details (answer-chosen)
  CityList = 7,    // keyword found in several cities (answer-chosen)
  PoiInCity = 11,
  PoiAround = 12,  // POI around a centre (answer-chosen)
  Transit = 14,
  BusLine = 18,
  Driving = 20,
  PoiInBounds = 21,
  RouteAddr = 23,  // route ends to choose from (answer-chosen)
  MapPoint = 26,
  MapPointPoi = 28,  // parsed as a map point answer and reported as MapPoint
  Walking = 31,
  Geocode = 35,
  ReverseGeocode = 44,
  MultiKeyPoi = 45,
  Link = 500,  // answer-chosen
  Suggestion = 506,
  OfflineCities = 507,
  PoiBkgData = 510,
};

// The second value of UI message 2000.
enum class SearchError : int {
  None = 0,
  Network = 2,         // connect or send failed, attempts exhausted, time-out
  Unparsable = 3,      // the answer or its record could not be read
  NothingFound = 11,   // empty list, no route, or an answer type that is not handled
  TransitFailed = 13,  // transit: server error 6, or route ends to choose from a transit request
  RouteFailed = 14,    // transit: server error 1; driving or walking: server error 4
  BadAnswer = 101,     // the search client reported an answer it could not take
  Unconvertible = 102  // the answer's text could not be converted
};

constexpr int ToInt(SearchType type) { return static_cast<int>(type); }
constexpr int ToInt(SearchError error) { return static_cast<int>(error); }
constexpr bool IsPoiListType(SearchType type) {
  return type == SearchType::PoiInCity || type == SearchType::PoiAround || type == SearchType::PoiInBounds;
}

// Who hears an announcement, and through which callback.
enum class NotifierKind : int {
  None = 0,
  Poi = 1,
  Transit = 2,
  Driving = 3,
  Walking = 4,
  ReverseGeocode = 6,
  NetworkState = 7,
  Geocode = 10,
  RouteAddr = 11,
  OfflineCities = 12,
  OfflineState = 13,
  BusLine = 14,
  Suggestion = 15,
};

constexpr int ToInt(NotifierKind kind) { return static_cast<int>(kind); }

// The notifier kind of a search result type (None for a type the notifier does not know).
constexpr NotifierKind NotifierKindOf(SearchType type) {
  switch (type) {
    case SearchType::CityList:
    case SearchType::PoiInCity:
    case SearchType::PoiAround:
    case SearchType::PoiInBounds:
    case SearchType::MultiKeyPoi:
      return NotifierKind::Poi;
    case SearchType::Transit:
      return NotifierKind::Transit;
    case SearchType::Driving:
      return NotifierKind::Driving;
    case SearchType::Walking:
      return NotifierKind::Walking;
    case SearchType::ReverseGeocode:
      return NotifierKind::ReverseGeocode;
    case SearchType::NetworkState:
      return NotifierKind::NetworkState;
    case SearchType::Geocode:
      return NotifierKind::Geocode;
    case SearchType::RouteAddr:
      return NotifierKind::RouteAddr;
    case SearchType::OfflineCities:
      return NotifierKind::OfflineCities;
    case SearchType::BusLine:
      return NotifierKind::BusLine;
    case SearchType::Suggestion:
      return NotifierKind::Suggestion;
    default:
      return NotifierKind::None;
  }
}

// The error a search delegate hears. A number that comes in from outside the list (an announcement
// posted by hand) is kept as it came and reads as a failure.
enum class DelegateError : int {
  None = 0,
  Network = 2,
  Unparsable = 3,
  RouteEndsToChoose = 4,  // the result carries the candidate ends instead of a route
  NothingFound = 100,     // an empty result, and every route failure of the engine
  BadAnswer = 101,
  Unconvertible = 102,
  RecordUnconvertible = 310,  // the stored record could not be turned into the result object
};

constexpr int ToInt(DelegateError error) { return static_cast<int>(error); }

// The route failures and "nothing found" of the engine all read as NothingFound.
constexpr DelegateError DelegateErrorOf(SearchError error) {
  const int e = ToInt(error);
  return e >= ToInt(SearchError::NothingFound) && e <= ToInt(SearchError::RouteFailed)
             ? DelegateError::NothingFound
             : static_cast<DelegateError>(e);
}

// Offline states (UI message 65289) and what the offline delegate hears of them.
enum class OfflineState : int {
  CityChanged = 0,      // kept inside the SDK
  FirstLoggedCity = 1,  // kept inside the SDK
  Installing = 2,       // value: package number
  NotInstalled = 3,     // value: count
  NewerVersion = 4,     // delivered with value 0
  PackagesDone = 5,     // value: 0 all installed, 1 otherwise
  FolderInstalled = 6,  // value: count
};

constexpr int ToInt(OfflineState state) { return static_cast<int>(state); }

}  // namespace gmengine
