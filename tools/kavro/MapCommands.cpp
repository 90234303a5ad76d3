// The runner's map commands. They work on the map on screen: the SDK's map view of whatever screen
// is showing (the job map, a location map, or the map screen of "map open"); the application
// started the map engine at launch.
//
//   map open                the map screen (the SDK's map view at the default centre, level 12)
//   map pan DX DY           drags the map on screen by DX, DY points
//   map zoom in|out|LEVEL   a double tap, a two-finger tap, or the level (3 to 18)
//   map search KEYWORD      a keyword search; its places are marked on the map
//   map route               a driving route between two places of the demo map, drawn on the map
//   map offline             downloads the demo city (the tiles around the default centre) and
//                           waits until it is done; refused while another run on the same home
//                           downloads
//   map status              level, centre and tiles of the map on screen
//   map snap FILE           a PNG of the map on screen (relative paths under --out)
//   map close               back from the map screen
//   map locate LAT LON      moves the device there (it starts where the runner put it)
//   map wait                waits until the map on screen has its tiles and shows them
//   map expect drawn        the map on screen shows streets, not a blank or black background,
//                           and every tile of its window is drawn where it belongs: each shows
//                           what the map service sends for its place and level (the traffic
//                           over it where traffic is shown), when the service is the runner's own
//   map expect pins [N]     N pins (at least one without N) stand on the visible map
//   map expect places       small places (the service's background points of interest) show on
//                           the visible map, each as its dot
//   map traffic on|off      shows or hides the traffic on the map
//   map places on|off       shows or hides the small places (hidden at first)
//   map expect traffic      traffic tiles have come for the visible map and are drawn on it
//   map expect marks [N]    N search marks (at least one without N) show as their icons on the
//                           visible map
//
// The map service answers on the engine's own threads: while a command waits for it, each pass
// gives those threads a moment of real time and then lets as much virtual time pass, so the map's
// animations and the screens' timers go on; a wait gives up after a few seconds of virtual time.
#include "tools/kavro/MapCommands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "demo/MapDemoService.h"
#include "demo/MapFixtureServer.h"
#include "kit/core/AppUtil.h"
#include "kit/ui/UIBasicController.h"
#include "kit/ui/ViewControllerExt.h"
#include "mapsdk/display/GMKMapProbe.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/offline/GMKOfflineMap.h"
#include "mapsdk/search/GMKPlanNode.h"
#include "mapsdk/search/GMKSearch.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/location/LocationManager.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tools/kavro/Runner.h"

namespace kavro::runner {

namespace {

constexpr double kMapPatience = 5;        // virtual seconds a command waits for the map service
constexpr double kOfflinePatience = 480;  // the same for a whole city's download (a busy machine)
constexpr int kOfflineStep = 5;           // per cent of the tiles between two progress lines
constexpr int kOfflineFailures = 3;       // failed tile answers in a row that end a download
constexpr double kStoredTilesQuiet = 1;   // virtual seconds without a stored tile coming, host closed
constexpr double kRealSlice = 0.002;      // real seconds the engine's threads get per pass
constexpr double kMaxPanPoints = 100000;
constexpr int kMinLevel = 3;  // the levels a person can zoom the map to
constexpr int kMaxLevel = 18;
// How a command whose wait Ctrl-C ended begins its failure, after "map COMMAND: ".
constexpr std::string_view kInterrupted = "interrupted";
// A drawn map: at least this share of its pixels is neither the blank fill nor the land colour.
constexpr double kStreetShare = 0.005;
// More than this share of black pixels is a map gone dark (tiles drawn without their transparency).
constexpr double kBlackShare = 0.02;
// A tile of the picture is not the service's when more than this share of the pixels compared
// differs (marks, routes and the location drawn over it stay well below).
constexpr double kWrongTileShare = 0.1;
// Where no tile is drawn: the back buffer's fill and its grid lines (RRGGBB).
const std::uint32_t kBlankFill = mapsdk::GMKMapProbe::kBlankFill & 0xFFFFFFu;
const std::uint32_t kBlankGrid = mapsdk::GMKMapProbe::kBlankGrid & 0xFFFFFFu;

// The map screen of "map open": a screen like the application's own (its navigation bar and the
// skinned status-bar area above it), with a map view below the bar.
class MapHostController : public UIBasicController {
 public:
  void viewDidLoad() override {
    UIBasicController::viewDidLoad();
    view()->setBackgroundColor(platform::Color::white());
    setTitle("Map");
    const double top = vc::getMainViewTop(*this);
    const platform::Rect b = view()->bounds();
    map = mapsdk::GMKMapView::create({0, top, b.width(), b.height() - top});
    if (map) view()->addSubview(map);
  }
  std::shared_ptr<mapsdk::GMKMapView> map;

 protected:
  friend class UIBasicController;  // create<T>() makes it whole
  MapHostController() = default;
};

struct MapSession {
  std::unique_ptr<test::MapFixtureServer> server;
  std::unique_ptr<test::MapDemoService> demo;
  // What the commands made for the runner they served (a new runner starts a new application).
  std::uint64_t runner = 0;  // its serial
  std::unique_ptr<mapsdk::GMKSearch> search;
  std::shared_ptr<mapsdk::GMKOfflineMap> offline;
  std::shared_ptr<MapHostController> screen;
  // After "map host close": the map draws what it keeps, and tiles that cannot come are no failure.
  bool hostClosed = false;
};

// Lives until the process ends: the engine's threads may still run while static objects go.
MapSession& Session() {
  static MapSession* session = [] { return new MapSession(); }();
  return *session;
}

// The session for this runner: what an earlier runner's commands made is dropped.
MapSession& SessionFor(const Runner& runner) {
  MapSession& s = Session();
  if (s.runner != runner.serial()) {
    s.screen.reset();
    s.search.reset();
    s.offline.reset();
    s.runner = runner.serial();
  }
  return s;
}

// How a wait ended: done, interrupted (Ctrl-C), or given up, with what was still on its way when
// the real-time limit came, and the real time a person waited.
struct Waited {
  bool done = false;
  bool interrupted = false;
  std::string open;
  double realSeconds = 0;
  explicit operator bool() const { return done; }
};

// Runs the main loop until done holds, for at most seconds of virtual time (see the top). While a
// request to the map service or the API is on its way the clock stands still, so a slow machine
// never runs a wait out before the answer; such a wait ends after realPatience seconds of real
// time instead, with what was still on its way. An interrupt (Ctrl-C) ends it at once.
Waited WaitForEngine(const std::function<bool()>& done, double seconds, double realPatience = 0) {
  if (realPatience <= 0) realPatience = Runner::requestPatience();
  platform::RunLoop& loop = platform::RunLoop::main();
  auto clock = std::dynamic_pointer_cast<platform::VirtualClock>(loop.clock());
  const double end = loop.now() + seconds;
  const auto begun = std::chrono::steady_clock::now();
  const auto giveUp = begun + std::chrono::duration<double>(realPatience);
  Waited waited;
  auto ending = [&](bool isDone) {
    waited.done = isDone;
    waited.realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    return waited;
  };
  for (;;) {
    if (Runner::interruptRequested()) {
      waited.interrupted = true;
      return ending(false);
    }
    const double passStart = loop.now();
    const auto realStart = std::chrono::steady_clock::now();
    loop.runOnce(0);
    if (done()) return ending(true);
    if (std::string waiting = Runner::openRequests(); !waiting.empty()) {
      if (std::chrono::steady_clock::now() > giveUp) {
        waited.open = waiting;
        return ending(false);
      }
      Runner::passHoldingTime();
      continue;
    }
    const double left = end - loop.now();
    if (left <= 0) return ending(false);
    std::this_thread::sleep_for(std::chrono::duration<double>(kRealSlice));
    loop.runOnce(std::min(kRealSlice, left));
    // Posted work holds a virtual clock still; a host answering failures as fast as it is asked
    // would keep the wait from ever ending. The time the pass took passes here too.
    if (clock) {
      const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
      clock->advanceTo(std::min(end, passStart + std::max(kRealSlice, took)));
    }
  }
}

// Seconds as a person reads them: "0.4", "5.2", "61".
std::string Seconds(double seconds) {
  char text[32];
  if (seconds >= 10)
    std::snprintf(text, sizeof text, "%.0f", seconds);
  else
    std::snprintf(text, sizeof text, "%.1f", seconds);
  std::string s = text;
  if (s.ends_with(".0")) s.resize(s.size() - 2);
  return s;
}

// The time a person waited, and what was still on its way when the real-time limit came: "in 5.2 s
// of real time; still on its way: ...". An interrupted wait says so instead.
std::string Within(const Waited& waited) {
  if (waited.interrupted) return "(interrupted after " + Seconds(waited.realSeconds) + " s)";
  std::string text = "in " + Seconds(waited.realSeconds) + " s of real time";
  if (!waited.open.empty()) text += "; still on its way: " + waited.open;
  return text;
}

// What a command says when Ctrl-C ended its wait: "interrupted after 3.1 s".
std::string Interrupted(const Waited& waited) {
  return std::string(kInterrupted) + " after " + Seconds(waited.realSeconds) + " s";
}

using Probe = mapsdk::GMKMapProbe;

bool EngineRuns() { return Probe::engineRunning(); }

std::string MapHost() { return withoutUserInfo(platform::Environment::mapHostUrl()); }

// The SDK map views a person sees, the topmost window's first, the largest first within one.
std::shared_ptr<mapsdk::GMKMapView> MapOnScreen() {
  platform::Application::layoutWindows();
  auto windows = platform::Application::sharedApplication().windows();
  for (auto w = windows.rbegin(); w != windows.rend(); ++w) {
    if (!*w || (*w)->isHidden()) continue;
    std::shared_ptr<mapsdk::GMKMapView> best;
    double bestArea = 0;
    std::function<void(const std::shared_ptr<platform::View>&)> walk = [&](const auto& v) {
      if (auto map = std::dynamic_pointer_cast<mapsdk::GMKMapView>(v)) {
        platform::Rect r = platform::UIDriver::visibleRect(*map);
        double area = r.size.width * r.size.height;
        if (area > bestArea) {
          best = map;
          bestArea = area;
        }
        return;
      }
      for (const auto& sub : v->subviews()) walk(sub);
    };
    walk(*w);
    if (best) return best;
  }
  return nullptr;
}

struct TileCount {
  int arrived = 0;
  int needed = 0;
};

TileCount Tiles() {
  TileCount count;
  for (const mapsdk::GMKMapTile& tile : Probe::streetTiles()) {
    ++count.needed;
    count.arrived += tile.pixels ? 1 : 0;
  }
  return count;
}

// The map has stopped moving and every tile of its window has arrived.
bool MapSettled() {
  if (!Probe::engineRunning() || Probe::moving() || Probe::tilesOnTheirWay()) return false;
  TileCount tiles = Tiles();
  return tiles.needed > 0 && tiles.arrived == tiles.needed;
}

// Until the map on screen has every tile and shows a drawing made after they came. Empty when it
// did; else what failed, for "map COMMAND: ...".
std::string WaitForMap() {
  if (!EngineRuns()) return "the map engine is not running";
  // The runner's own wait for idle would not end while a map host that fails is asked again and
  // again: the engine's answers are waited for here, on virtual time, with the screens' calls.
  auto settled = [] { return MapSettled() && !AppUtil::isNetworkIndicatorVisible(); };
  // With the map service gone, the tiles that are not stored never come: the map is as drawn as it
  // gets once it stands still and no tile has come for a while.
  std::size_t arrived = 0;
  double lastArrival = platform::RunLoop::main().now();
  auto stillWithoutHost = [&] {
    if (!Probe::engineRunning() || Probe::moving()) return false;
    const double now = platform::RunLoop::main().now();
    const std::size_t count = Tiles().arrived;
    if (count != arrived) {
      arrived = count;
      lastArrival = now;
    }
    return count > 0 && now - lastArrival >= kStoredTilesQuiet;
  };
  const bool hostClosed = Session().hostClosed;
  const Waited waited =
      WaitForEngine([&] { return settled() || (hostClosed && stillWithoutHost()); }, kMapPatience);
  if (waited.interrupted) return Interrupted(waited);
  if (!waited && !hostClosed) {
    TileCount tiles = Tiles();
    if (tiles.needed == 0) return "the map has no window to draw (no map on screen)";
    return std::to_string(tiles.arrived) + " of " + std::to_string(tiles.needed) +
           " tiles came from the map service at " + MapHost() + " " + Within(waited);
  }
  // The map on screen shows the engine window: a new picture there is the repaint.
  std::shared_ptr<mapsdk::GMKMapView> map = MapOnScreen();
  if (!map) return {};
  const std::shared_ptr<platform::Image> before = map->mapImageView().getMapImage();
  Probe::repaint();
  auto repainted = [&] {
    const std::shared_ptr<platform::Image>& now = map->mapImageView().getMapImage();
    return now && now != before;
  };
  if (const Waited redrawn = WaitForEngine(repainted, kMapPatience); !redrawn)
    return redrawn.interrupted ? Interrupted(redrawn) : "the map was not redrawn " + Within(redrawn);
  return {};
}

// A number a person may type for a coordinate or a distance: finite and within the limit.
std::optional<double> Number(std::istream& in, double limit) {
  std::string word;
  if (!(in >> word)) return std::nullopt;
  char* end = nullptr;
  double v = std::strtod(word.c_str(), &end);
  if (end == word.c_str() || *end || !std::isfinite(v) || std::fabs(v) > limit) return std::nullopt;
  return v;
}

bool AtEnd(std::istream& in) {
  std::string more;
  return !(in >> more);
}

std::optional<Outcome> Fail(std::string& message, std::string text) {
  message = std::move(text);
  return Outcome::Failed;
}

std::optional<Outcome> Usage(std::string& message, std::string text) {
  message = std::move(text);
  return Outcome::Usage;
}

std::optional<Outcome> Open(Runner& runner, std::string& message) {
  MapSession& s = SessionFor(runner);
  if (s.screen) return Fail(message, "map open: the map screen is already open");
  if (!EngineRuns()) return Fail(message, "map open: the map engine is not running");
  auto window = platform::Application::sharedApplication().keyWindow();
  if (!window || !window->rootViewController())
    return Fail(message, "map open: no screen to open the map from");
  std::shared_ptr<platform::ViewController> top = window->rootViewController();
  while (top->presentedViewController()) top = top->presentedViewController();
  s.screen = UIBasicController::create<MapHostController>();
  top->presentViewController(platform::NavigationController::create(s.screen), false);
  s.screen->view();
  if (!s.screen->map) return Fail(message, "map open: no map view");
  // The engine keeps one map for every view: the screen starts where the runner says, not where
  // the last map (the job map, a location map) was left.
  s.screen->map->setZoomLevel(Probe::initialLevel());
  s.screen->map->setCenterCoordinate(Probe::initialCenter());
  if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map open: " + failed);
  return Outcome::Done;
}

// The device's position: where the runner put it at the start, moved here.
std::optional<Outcome> Locate(Runner& runner, std::string_view args, std::string& message) {
  std::istringstream in{std::string(args)};
  std::optional<double> latitude = Number(in, 90);
  std::optional<double> longitude = latitude ? Number(in, 180) : std::nullopt;
  if (!latitude || !longitude || !AtEnd(in))
    return Usage(message, "map locate LATITUDE LONGITUDE (degrees, -90 to 90 and -180 to 180)");
  platform::LocationDevice::setCurrentLocation({*latitude, *longitude, 10, platform::RunLoop::main().now()});
  platform::RunLoop::main().runOnce(0);
  if (MapOnScreen()) {
    if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map locate: " + failed);
  }
  return Outcome::Done;
}

std::optional<Outcome> Pan(Runner& runner, mapsdk::GMKMapView& map, std::string_view rest,
                           std::string& message) {
  std::istringstream in{std::string(rest)};
  std::optional<double> dx = Number(in, kMaxPanPoints);
  std::optional<double> dy = dx ? Number(in, kMaxPanPoints) : std::nullopt;
  if (!dx || !dy || !AtEnd(in)) return Usage(message, "map pan DX DY (points, -100000 to 100000)");
  if (!platform::UIDriver::pan(map, {*dx, *dy}))
    return Fail(message, "map pan: " + platform::UIDriver::lastError());
  if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map pan: " + failed);
  return Outcome::Done;
}

std::optional<Outcome> Zoom(Runner& runner, mapsdk::GMKMapView& map, std::string_view rest,
                            std::string& message) {
  const int before = map.zoomLevel();
  if (rest == "in" || rest == "out") {
    // At the last level a double tap (or a two-finger tap) changes nothing: said, not passed over.
    const bool in = rest == "in";
    if (before == (in ? kMaxLevel : kMinLevel))
      return Fail(message, "map zoom " + std::string(rest) + ": the map is at its " +
                               (in ? "closest" : "farthest") + " level already, " + std::to_string(before));
    if (!(in ? map.zoomIn() : map.zoomOut()))
      return Fail(message, "map zoom " + std::string(rest) + ": the map takes no taps");
  } else {
    char* end = nullptr;
    std::string text(rest);
    long level = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || level < kMinLevel || level > kMaxLevel)
      return Usage(message, "map zoom in|out|LEVEL (3 to 18)");
    map.setZoomLevel(static_cast<int>(level));
  }
  if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map zoom: " + failed);
  return Outcome::Done;
}

mapsdk::GMKSearch& Search(MapSession& s) {
  if (!s.search) s.search = std::make_unique<mapsdk::GMKSearch>();
  return *s.search;
}

std::optional<Outcome> SearchKeyword(Runner& runner, std::string_view rest, std::string& message,
                                     std::ostream& out) {
  if (rest.empty()) return Usage(message, "map search KEYWORD");
  Probe::showLayer(mapsdk::GMKMapLayer::SearchMarks, true);
  if (!Search(SessionFor(runner)).poiSearchInCity(std::string("Demo"), std::string(rest), 0))
    return Fail(message, "map search: the search was refused");
  const Waited waited = WaitForEngine([] { return Probe::searchMarksCame(); }, kMapPatience);
  if (waited.interrupted) return Fail(message, "map search: " + Interrupted(waited));
  if (!waited)
    return Fail(message,
                "map search: no places came from the map service at " + MapHost() + " " + Within(waited));
  if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map search: " + failed);
  for (const mapsdk::GMKMapMark& mark : Probe::searchMarks()) out << mark.style << ". " << mark.name << "\n";
  return Outcome::Done;
}

std::optional<Outcome> Route(Runner& runner, std::string& message, std::ostream& out) {
  auto node = [](const test::MapDemoService::Place& place) {
    auto n = std::make_shared<mapsdk::GMKPlanNode>();
    n->setPt(Probe::coordinateOfMapUnits(place.x, place.y));
    return n;
  };
  Probe::showLayer(mapsdk::GMKMapLayer::Route, true);
  if (!Search(SessionFor(runner))
           .drivingSearch(std::nullopt, node(test::MapDemoService::kPlaces[1]), std::nullopt,
                          node(test::MapDemoService::kPlaces[0])))
    return Fail(message, "map route: the route search was refused");
  const Waited waited = WaitForEngine([] { return !Probe::routePoints().empty(); }, kMapPatience);
  if (waited.interrupted) return Fail(message, "map route: " + Interrupted(waited));
  if (!waited)
    return Fail(message,
                "map route: no route came from the map service at " + MapHost() + " " + Within(waited));
  if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map route: " + failed);
  // What was drawn, and whether a person sees it where the map stands.
  const Probe::Status status = Probe::status();
  int points = 0, inside = 0;
  for (const mapsdk::GMKPicturePoint& p : Probe::routePoints()) {
    ++points;
    inside += p.x >= 0 && p.x < status.width && p.y >= 0 && p.y < status.height;
  }
  out << "route from " << test::MapDemoService::kPlaces[1].name << " to "
      << test::MapDemoService::kPlaces[0].name << " drawn on the map, " << points << " points";
  if (inside == 0) out << ", all off the visible map (" << status.level << ")";
  out << "\n";
  return Outcome::Done;
}

// The demo city: the level-11 tile under the default centre and its descendants to level 17. It
// takes a while: the progress goes to the error stream as it comes, once per step of 5 %. Ctrl-C
// pauses it (the offline manager's own switch); the next "map offline" takes it up from there.
std::optional<Outcome> Offline(Runner& runner, std::string& message, std::ostream& out) {
  MapSession& s = SessionFor(runner);
  if (!s.offline) s.offline = mapsdk::GMKOfflineMap::create();
  std::ostream& progress = runner.errors();
  const auto city = test::MapDemoService::DemoCity();
  const std::string name = mapsdk::GMKOfflineDownload::nameOf(city);
  mapsdk::GMKOfflineDownload::Refusal refused = mapsdk::GMKOfflineDownload::Refusal::None;
  const std::unique_ptr<mapsdk::GMKOfflineDownload> download =
      mapsdk::GMKOfflineDownload::start(city, refused);
  if (refused == mapsdk::GMKOfflineDownload::Refusal::HeldElsewhere)
    return Fail(message, "map offline: another run on this home is downloading its offline city; " + name +
                             " was not asked for (map offline again once that run is done)");
  if (!download) return Fail(message, "map offline: no offline records");
  const std::string where = download->packagePaths();
  progress << "map offline: downloading " << name << " from the map service at " << MapHost() << "\n"
           << std::flush;
  int shown = -kOfflineStep;
  auto tiles = [&] {
    return std::to_string(download->received()) + " of " + std::to_string(download->total()) + " tiles";
  };
  auto percent = [&] {
    const int total = download->total();
    return total > 0 ? int(100LL * download->received() / total) : 0;
  };
  // The host keeps failing: the engine would go on asking it, ever more slowly.
  auto failing = [&] { return download->failuresSinceStart() >= kOfflineFailures; };
  auto ended = [&] {
    const bool done = download->finished();
    if (download->total() > 0) {
      const int now = done ? 100 : percent();
      if (now >= shown + kOfflineStep || (done && shown < 100)) {
        shown = now;
        progress << "map offline: " << now << "% (" << tiles() << ")\n" << std::flush;
      }
    }
    return done || download->saveFailed() || failing();
  };
  const Waited waited = WaitForEngine(ended, kOfflinePatience, kOfflinePatience);
  if (download->saveFailed())
    return Fail(message, "map offline: " + name + " could not be stored in " + where +
                             ": the disk takes no more (" + tiles() + " stored); the download is stopped");
  if (waited.interrupted && !download->finished()) {
    // Paused, not given up: what is stored stays, and the next "map offline" goes on from there.
    download->pause();
    return Fail(message, "map offline: " + Interrupted(waited) + " at " + std::to_string(percent()) + "% (" +
                             tiles() + " of " + name + " stored); the download is paused, and map offline " +
                             "takes it up from there");
  }
  if (!download->finished()) {
    // Not left asking a host that fails, or asking on after the command gave up.
    download->stop();
    if (waited && failing())
      return Fail(message, "map offline: the map service at " + MapHost() + " sent no tiles of " + name +
                               " (" + tiles() + " stored); the download is stopped");
    return Fail(message, "map offline: the download of " + name + " from the map service at " + MapHost() +
                             " did not finish " + Within(waited) + " (" + tiles() + ")");
  }
  // Tiles that did not decode are not stored: said with the first of them by name.
  const int total = download->total();
  const int failed = download->failed();
  const std::vector<std::string> failedTiles = download->failedTiles();
  std::string named;
  for (const std::string& tile : failedTiles) named += (named.empty() ? "" : ", ") + tile;
  if (failed > static_cast<int>(failedTiles.size())) named += ", ...";
  if (failed >= total)
    return Fail(message, "map offline: no tile of " + name + " was stored: all " + std::to_string(failed) +
                             " that came did not decode (" + named +
                             "); the next download fetches them again");
  progress << "map offline: " << name << " stored in " << where << "\n" << std::flush;
  out << name << ": " << total - failed << " tiles stored";
  if (download->batchesAsked() == 0) out << " before; nothing to download";
  if (failed > 0)
    out << ", " << failed << " did not decode and are not stored (" << named
        << "); the next download fetches them again";
  out << "\n";
  return Outcome::Done;
}

std::optional<Outcome> Status(std::ostream& out) {
  const Probe::Status status = Probe::status();
  TileCount tiles = Tiles();
  out << "level " << status.level << " centre " << status.centerX << "," << status.centerY << " window "
      << status.width << "x" << status.height << " tiles " << tiles.arrived << "/" << tiles.needed << "\n";
  return Outcome::Done;
}

std::optional<Outcome> Snap(Runner& runner, mapsdk::GMKMapView& map, std::string_view rest,
                            std::string& message, std::ostream& out) {
  if (rest.empty()) return Usage(message, "map snap FILE.png");
  std::filesystem::path file{std::string(rest)};
  if (file.is_relative()) file = std::filesystem::path(runner.options().snapshotDir) / file;
  auto image = platform::Snapshot::imageOfView(map);
  platform::Error error;
  if (!image) return Fail(message, "map snap: the map could not be drawn");
  if (!platform::Snapshot::writePNG(*image, file.string(), &error))
    return Fail(message, "map snap: cannot write " + file.string() + ": " + error.localizedDescription);
  runner.giveToUser(file.string());
  out << "wrote " << file.string() << "\n";
  return Outcome::Done;
}

std::optional<Outcome> Close(Runner& runner, std::string& message) {
  MapSession& s = SessionFor(runner);
  if (!s.screen)
    return Fail(message,
                std::string("map close: no map screen is open (map open opens it") +
                    (MapOnScreen() ? "; the map on screen is a screen's own: back leaves it)" : ")"));
  s.screen->dismissViewControllerAnimated(false);
  s.screen.reset();
  return Outcome::Done;
}

// ---- Assertions --------------------------------------------------------------------------------

std::string Hex(std::uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", rgb & 0xFFFFFFu);
  return text;
}

std::string Percent(double share) {
  std::ostringstream text;
  text.precision(3);
  text << share * 100 << "%";
  return text.str();
}

std::string Where(const mapsdk::GMKMapView& map) {
  std::ostringstream text;
  text.precision(7);
  mapsdk::CLLocationCoordinate2D c = map.centerCoordinate();
  text << "level " << map.zoomLevel() << " at " << c.latitude << "," << c.longitude;
  return text.str();
}

std::uint32_t Rgb(const platform::Bitmap& bitmap, int x, int y) {
  platform::Pixel p = bitmap.pixelAt(x, y);
  return (std::uint32_t(p.r) << 16) | (std::uint32_t(p.g) << 8) | p.b;
}

// The map host is the runner's own demo service, answering.
bool OwnService() {
  const MapSession& s = Session();
  return s.server && MapHost() == s.server->hostUrl() + "/" && !s.hostClosed;
}

// The picture of a tile as the runner's own map service sends it (type "map" or "tra"), decoded;
// empty when the map host is another or the tile does not decode.
std::vector<std::uint32_t> ServiceTile(std::string_view type, int level, int column, int row) {
  MapSession& s = Session();
  if (!OwnService()) return {};
  const std::string bytes = s.server->tile(type, level, column, row);
  return Probe::decodeTile(bytes);
}

// The traffic layer's tile the map draws over a street tile: one of the level on screen, come.
bool TrafficTileOver(const mapsdk::GMKMapTile& street) {
  if (!Probe::layerShown(mapsdk::GMKMapLayer::Traffic)) return false;
  for (const mapsdk::GMKMapTile& tile : Probe::trafficTiles()) {
    if (tile.level == street.level && tile.column == street.column && tile.row == street.row && tile.pixels)
      return true;
  }
  return false;
}

// The street tiles of the window whose place in the picture does not show the service's tile for
// that place and level (with the service's traffic over it where traffic is shown), as
// "level/column/row (share differing)"; empty when all do, or when the service is not the runner's.
std::string WrongTiles(const platform::Bitmap& picture) {
  if (!Probe::engineRunning() || Probe::layerShown(mapsdk::GMKMapLayer::Satellite)) return {};
  const Probe::Status status = Probe::status();
  const int side = Probe::kTileSide;
  std::ostringstream wrong;
  int count = 0;
  for (const mapsdk::GMKMapTile& tile : Probe::streetTiles()) {
    if (tile.level != status.level) continue;
    const std::vector<std::uint32_t> street = ServiceTile("map", tile.level, tile.column, tile.row);
    if (street.empty()) return {};
    // Traffic lies over the tile only where the map draws it: a tile of the traffic layer for this
    // place and level has come (none below its first level).
    const std::vector<std::uint32_t> busy = TrafficTileOver(tile)
                                                ? ServiceTile("tra", tile.level, tile.column, tile.row)
                                                : std::vector<std::uint32_t>();
    const int left = tile.left, top = tile.top;
    int compared = 0, differing = 0;
    for (int y = std::max(0, top); y < std::min(picture.height(), top + side); ++y) {
      for (int x = std::max(0, left); x < std::min(picture.width(), left + side); ++x) {
        const std::size_t i = static_cast<std::size_t>(y - top) * side + (x - left);
        std::uint32_t expected = street[i];
        if (!busy.empty() && (busy[i] >> 24) != 0) {
          // Traffic edges are blended: only its solid pixels are compared.
          if ((busy[i] >> 24) != 0xFF) continue;
          expected = busy[i];
        }
        ++compared;
        differing += Rgb(picture, x, y) != (expected & 0xFFFFFFu);
      }
    }
    if (compared == 0 || differing <= compared * kWrongTileShare) continue;
    if (++count <= 5) {
      wrong << (count > 1 ? ", " : "") << tile.level << "/" << tile.column << "/" << tile.row << " ("
            << Percent(double(differing) / compared) << " differ" << (tile.pixels ? "" : ", not come") << ")";
    }
  }
  if (count > 5) wrong << " and " << count - 5 << " more";
  return wrong.str();
}

// The map's own picture (without pins and bubbles) shows streets: besides the blank fill and the
// colour that covers most of it (the land), enough pixels of other colours; it is not dark; and,
// when the map service is the runner's own, every tile shows what the service sends for it.
std::optional<Outcome> ExpectDrawn(const mapsdk::GMKMapView& map, std::string& message) {
  const std::shared_ptr<platform::Image>& image = map.mapImageView().getMapImage();
  std::shared_ptr<const platform::Bitmap> bitmap = image ? image->bitmap() : nullptr;
  if (!bitmap || bitmap->width() < 8 || bitmap->height() < 8)
    return Fail(message, "map expect drawn: the map on screen (" + Where(map) + ") has no picture");
  std::map<std::uint32_t, std::size_t> colours;
  for (int y = 0; y < bitmap->height(); ++y) {
    for (int x = 0; x < bitmap->width(); ++x) {
      platform::Pixel p = bitmap->pixelAt(x, y);
      ++colours[(std::uint32_t(p.r) << 16) | (std::uint32_t(p.g) << 8) | p.b];
    }
  }
  const double total = double(bitmap->width()) * bitmap->height();
  std::uint32_t land = 0;
  std::size_t landCount = 0;
  for (const auto& [rgb, count] : colours) {
    if (rgb != kBlankFill && rgb != kBlankGrid && count > landCount) {
      land = rgb;
      landCount = count;
    }
  }
  const std::string tiles = "tiles " + std::to_string(Tiles().arrived) + "/" +
                            std::to_string(Tiles().needed) + " from " + MapHost();
  const double black = double(colours.count(0) ? colours[0] : 0) / total;
  if (black > kBlackShare)
    return Fail(message, "map expect drawn: the map on screen (" + Where(map) +
                             ") is dark: " + Percent(black) + " of it black (" + tiles + ")");
  const std::size_t blank = colours[kBlankFill] + colours[kBlankGrid];
  const double streets = (total - double(blank) - double(landCount)) / total;
  // Where the runner's own service sends tiles without streets (a park close in), the picture that
  // shows each of them as sent is drawn.
  const TileCount came = Tiles();
  const bool asSent =
      OwnService() && came.needed > 0 && came.arrived == came.needed && WrongTiles(*bitmap).empty();
  if (streets < kStreetShare && !asSent) {
    std::string seen = Percent(double(blank) / total) + " blank " + Hex(kBlankFill);
    if (landCount) seen += ", " + Percent(double(landCount) / total) + " one colour " + Hex(land);
    return Fail(message, "map expect drawn: the map on screen (" + Where(map) + ") shows no streets: " +
                             seen + ", " + Percent(streets) + " else (" + tiles + ")");
  }
  if (std::string wrong = WrongTiles(*bitmap); !wrong.empty())
    return Fail(message, "map expect drawn: the map on screen (" + Where(map) +
                             ") shows tiles that are not " +
                             "the map service's for their place and level: " + wrong + " (" + tiles + ")");
  return Outcome::Done;
}

// An optional count argument, 0 to 1000: false when the text is something else.
bool ReadCount(std::string_view args, std::optional<long>& count) {
  if (args.empty()) return true;
  char* end = nullptr;
  std::string text(args);
  long n = std::strtol(text.c_str(), &end, 10);
  if (*end || n < 0 || n > 1000) return false;
  count = n;
  return true;
}

// Pins: the annotation views standing on the visible part of the map.
std::optional<Outcome> ExpectPins(const mapsdk::GMKMapView& map, std::string_view args,
                                  std::string& message) {
  std::optional<long> wanted;
  if (!ReadCount(args, wanted)) return Usage(message, "map expect pins [N]");
  int visible = 0;
  std::ostringstream elsewhere;
  for (const auto& annotation : map.annotations()) {
    auto view = map.viewForAnnotation(annotation);
    platform::Rect r = view ? platform::UIDriver::visibleRect(*view) : platform::Rect();
    if (!r.isEmpty()) {
      ++visible;
      continue;
    }
    platform::Point at = map.convertCoordinateToPoint(annotation->coordinate());
    elsewhere << (elsewhere.tellp() > 0 ? ", " : "") << "(" << int(std::lround(at.x)) << ", "
              << int(std::lround(at.y)) << ")";
  }
  if (wanted ? visible == *wanted : visible > 0) return Outcome::Done;
  std::string text = "map expect pins" + (wanted ? " " + std::to_string(*wanted) : std::string()) + ": " +
                     std::to_string(visible) + " of " + std::to_string(map.annotations().size()) +
                     " pins on the visible map (" + Where(map) + ")";
  if (elsewhere.tellp() > 0) text += "; off it, at map points " + elsewhere.str();
  return Fail(message, text);
}

// Small places: the background layer's items inside the map's picture whose dot is drawn there.
std::optional<Outcome> ExpectPlaces(const mapsdk::GMKMapView& map, std::string& message) {
  if (!Probe::engineRunning()) return Fail(message, "map expect places: no map engine");
  auto items = [] { return Probe::smallPlaces().size(); };
  // The places come on the search client, after the tiles.
  auto searching = [] { return Probe::searching(); };
  // A person looks again while the map is still moving or the places are on their way.
  bool came = false;
  int inside = 0, drawn = 0;
  const std::uint32_t dot = Probe::kSmallPlaceColor & 0xFFFFFFu;
  for (int look = 0; look < 3 && drawn == 0; ++look) {
    const Waited waited = WaitForEngine([&] { return items() > 0 && !searching(); }, kMapPatience);
    if (waited.interrupted) return Fail(message, "map expect places: " + Interrupted(waited));
    came = waited.done || came;
    std::string failed = WaitForMap();
    (void)failed;
    const std::shared_ptr<platform::Image>& image = map.mapImageView().getMapImage();
    std::shared_ptr<const platform::Bitmap> bitmap = image ? image->bitmap() : nullptr;
    if (!bitmap)
      return Fail(message, "map expect places: the map on screen (" + Where(map) + ") has no picture");
    inside = drawn = 0;
    for (const mapsdk::GMKPicturePoint& p : Probe::smallPlaces()) {
      if (p.x < 0 || p.y < 0 || p.x >= bitmap->width() || p.y >= bitmap->height()) continue;
      ++inside;
      drawn += Rgb(*bitmap, p.x, p.y) == dot;
    }
  }
  if (drawn > 0) return Outcome::Done;
  return Fail(message, "map expect places: " + std::to_string(drawn) + " of " + std::to_string(inside) +
                           " small places on the visible map (" + Where(map) + ") show their dot " +
                           Hex(dot) +
                           (came ? std::string() : "; none came from the map service at " + MapHost()));
}

// The map's own picture as RRGGBB words by (x, y) of the engine window; null without one.
std::shared_ptr<const platform::Bitmap> MapPicture(const mapsdk::GMKMapView& map) {
  const std::shared_ptr<platform::Image>& image = map.mapImageView().getMapImage();
  return image ? image->bitmap() : nullptr;
}

// Traffic: the traffic layer covers the street layer's tiles, every one come (from level 6 on: below
// it the map shows no traffic); each shows in the picture where it is solid, and with the runner's
// own map service each is the service's. Tiles without busy roads on them show nothing, rightly.
std::optional<Outcome> ExpectTraffic(const mapsdk::GMKMapView& map, std::string& message) {
  if (!Probe::layerShown(mapsdk::GMKMapLayer::Traffic))
    return Fail(message, "map expect traffic: the traffic is not shown (map traffic on)");
  const int level = Probe::status().level;
  if (level < Probe::kTrafficMinLevel)
    return Fail(message, "map expect traffic: the map shows no traffic at level " + std::to_string(level) +
                             " (" + Where(map) + "); it shows traffic from level " +
                             std::to_string(Probe::kTrafficMinLevel));
  auto covered = [] {
    const std::vector<mapsdk::GMKMapTile> street = Probe::streetTiles();
    const std::vector<mapsdk::GMKMapTile> traffic = Probe::trafficTiles();
    if (street.empty() || traffic.size() != street.size()) return false;
    for (std::size_t i = 0; i < street.size(); ++i) {
      if (traffic[i].column != street[i].column || traffic[i].row != street[i].row ||
          traffic[i].level != street[i].level || !traffic[i].pixels)
        return false;
    }
    return true;
  };
  const Waited came = WaitForEngine(covered, kMapPatience);
  if (came.interrupted) return Fail(message, "map expect traffic: " + Interrupted(came));
  if (std::string failed = WaitForMap(); failed.starts_with(kInterrupted))
    return Fail(message, "map expect traffic: " + failed);
  std::shared_ptr<const platform::Bitmap> bitmap = MapPicture(map);
  if (!bitmap)
    return Fail(message, "map expect traffic: the map on screen (" + Where(map) + ") has no picture");
  const int side = Probe::kTileSide;
  int solid = 0, drawn = 0, wrongCount = 0;
  std::string wrong;
  for (const mapsdk::GMKMapTile& tile : Probe::trafficTiles()) {
    if (tile.level != Probe::status().level || !tile.pixels) continue;
    const std::uint32_t* pixels = tile.pixels;
    const std::vector<std::uint32_t> sent = ServiceTile("tra", tile.level, tile.column, tile.row);
    if (!sent.empty()) {
      int differing = 0;
      for (std::size_t i = 0; i < sent.size(); ++i) {
        const bool solidHere = (pixels[i] >> 24) == 0xFF, solidSent = (sent[i] >> 24) == 0xFF;
        differing += solidHere != solidSent || (solidHere && pixels[i] != sent[i]);
      }
      if (differing > 0 && ++wrongCount <= 5)
        wrong += (wrong.empty() ? "" : ", ") + std::to_string(tile.level) + "/" +
                 std::to_string(tile.column) + "/" + std::to_string(tile.row);
    }
    const int left = tile.left, top = tile.top;
    for (int y = std::max(0, top); y < std::min(bitmap->height(), top + side); ++y) {
      for (int x = std::max(0, left); x < std::min(bitmap->width(), left + side); ++x) {
        const std::uint32_t pixel = pixels[static_cast<std::size_t>(y - top) * side + (x - left)];
        if ((pixel >> 24) != 0xFF) continue;
        ++solid;
        drawn += Rgb(*bitmap, x, y) == (pixel & 0xFFFFFFu);
      }
    }
  }
  // Marks, a route and the location drawn over the traffic hide a little of it.
  const bool shows = drawn >= solid - solid * kWrongTileShare;
  if (came && wrongCount == 0 && shows) return Outcome::Done;
  int arrived = 0;
  for (const mapsdk::GMKMapTile& tile : Probe::trafficTiles()) arrived += tile.pixels ? 1 : 0;
  std::string text = "map expect traffic: " + std::to_string(arrived) + " of " +
                     std::to_string(Probe::streetTiles().size()) + " traffic tiles came for the map (" +
                     Where(map) + ") " + Within(came) + ", " + std::to_string(drawn) + " of their " +
                     std::to_string(solid) + " pixels of traffic drawn";
  if (wrongCount > 0)
    text += "; not the map service's: " + wrong +
            (wrongCount > 5 ? " and " + std::to_string(wrongCount - 5) + " more" : "");
  return Fail(message, text);
}

// Search marks: the POI layer's numbered marks inside the picture, each drawn as its pin (most of
// its 30 x 40 box in the mark colour above the point), not as a small square.
std::optional<Outcome> ExpectMarks(const mapsdk::GMKMapView& map, std::string_view args,
                                   std::string& message) {
  std::optional<long> wanted;
  if (!ReadCount(args, wanted)) return Usage(message, "map expect marks [N]");
  std::string failed = WaitForMap();
  (void)failed;
  std::shared_ptr<const platform::Bitmap> bitmap = MapPicture(map);
  if (!bitmap)
    return Fail(message, "map expect marks: the map on screen (" + Where(map) + ") has no picture");
  const std::uint32_t red = Probe::kMarkColor & 0xFFFFFFu;
  int inside = 0, drawn = 0;
  for (const mapsdk::GMKMapMark& mark : Probe::searchMarks()) {
    const int style = mark.style;
    if (!((style >= 1 && style <= 10) || style == 22) || !mark.placed) continue;
    const int x = mark.at.x, y = mark.at.y;
    if (x < 15 || y < 40 || x >= bitmap->width() - 15 || y >= bitmap->height()) continue;
    ++inside;
    int marked = 0;
    for (int dy = 1; dy <= 40; ++dy) {
      for (int dx = -15; dx < 15; ++dx) marked += Rgb(*bitmap, x + dx, y - dy) == red;
    }
    // A pin fills about half its box; a 13 x 13 square at most 81 pixels.
    drawn += marked >= 300;
  }
  if (Probe::layerShown(mapsdk::GMKMapLayer::SearchMarks) && (wanted ? drawn == *wanted : drawn > 0))
    return Outcome::Done;
  return Fail(message,
              "map expect marks" + (wanted ? " " + std::to_string(*wanted) : std::string()) + ": " +
                  std::to_string(drawn) + " of " + std::to_string(inside) +
                  " search marks on the visible map (" + Where(map) + ") show as their pins" +
                  (Probe::layerShown(mapsdk::GMKMapLayer::SearchMarks) ? "" : " (the marks are hidden)"));
}

std::optional<Outcome> Expect(Runner& runner, mapsdk::GMKMapView& map, std::string_view args,
                              std::string& message) {
  std::string_view what = args.substr(0, args.find(' '));
  std::string_view rest = what.size() < args.size() ? args.substr(what.size() + 1) : std::string_view{};
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  if (what != "drawn" && what != "pins" && what != "places" && what != "traffic" && what != "marks")
    return Usage(message,
                 "map expect drawn | map expect pins [N] | map expect places | map expect traffic | "
                 "map expect marks [N]");
  if (what == "traffic")
    return rest.empty() ? ExpectTraffic(map, message) : Usage(message, "map expect traffic");
  if (what == "marks") return ExpectMarks(map, rest, message);
  if (what == "drawn" && !rest.empty()) return Usage(message, "map expect drawn");
  if (what == "places")
    return rest.empty() ? ExpectPlaces(map, message) : Usage(message, "map expect places");
  // A person looks once the map has settled; what did not arrive shows in the failure.
  std::string failed = WaitForMap();
  (void)failed;
  if (what == "drawn") return ExpectDrawn(map, message);
  return ExpectPins(map, rest, message);
}

constexpr const char* kMapUsage =
    "map open|close|pan DX DY|zoom in|out|LEVEL|search KEYWORD|route|offline|status|snap FILE|locate LAT LON|"
    "wait|expect drawn|expect pins [N]|expect places|expect traffic|expect marks [N]|traffic on|off|"
    "places on|off|host close";

// Shows or hides a layer of the map on screen: the traffic or the small places.
std::optional<Outcome> Switch(std::string_view sub, std::string_view args, std::string& message) {
  if (args != "on" && args != "off") return Usage(message, "map " + std::string(sub) + " on|off");
  Probe::showLayer(sub == "traffic" ? mapsdk::GMKMapLayer::Traffic : mapsdk::GMKMapLayer::SmallPlaces,
                   args == "on");
  if (std::string failed = WaitForMap(); !failed.empty())
    return Fail(message, "map " + std::string(sub) + ": " + failed);
  return Outcome::Done;
}

// The demo map service stops answering, as a network gone away: what the map draws from then on
// comes from what it keeps (an offline city) alone.
std::optional<Outcome> HostClose(std::string_view args, std::string& message) {
  if (args != "close") return Usage(message, "map host close");
  MapSession& s = Session();
  if (!s.server)
    return Fail(message, "map host close: the map service is not the runner's own (" + MapHost() + ")");
  if (s.hostClosed) return Fail(message, "map host close: the map service is closed already");
  s.server->server().stop();
  s.hostClosed = true;
  return Outcome::Done;
}

std::optional<Outcome> RunMapCommand(Runner& runner, std::string_view command, std::string_view rest,
                                     std::string& message, std::ostream& out) {
  if (command != "map") return std::nullopt;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  std::string_view sub = rest.substr(0, rest.find(' '));
  std::string_view args = sub.size() < rest.size() ? rest.substr(sub.size() + 1) : std::string_view{};
  while (!args.empty() && args.front() == ' ') args.remove_prefix(1);
  while (!args.empty() && args.back() == ' ') args.remove_suffix(1);
  SessionFor(runner);
  // A word after a command that takes none is a mistake the person made, not one to pass over.
  for (std::string_view bare : {"open", "close", "engine", "wait", "route", "offline", "status"}) {
    if (sub == bare && !args.empty())
      return Usage(message, "map " + std::string(sub) + " (it takes no words)");
  }
  if (sub == "open") return Open(runner, message);
  if (sub == "close") return Close(runner, message);
  // The application starts the engine; older scripts still say so.
  if (sub == "engine")
    return EngineRuns() ? std::optional(Outcome::Done)
                        : Fail(message, "map engine: the map engine is not running");
  if (sub == "locate") return Locate(runner, args, message);
  if (sub == "host") return HostClose(args, message);
  if (sub != "pan" && sub != "zoom" && sub != "search" && sub != "route" && sub != "offline" &&
      sub != "status" && sub != "snap" && sub != "wait" && sub != "expect" && sub != "traffic" &&
      sub != "places")
    return Usage(message, kMapUsage);
  if (!EngineRuns()) return Fail(message, "map " + std::string(sub) + ": the map engine is not running");
  std::shared_ptr<mapsdk::GMKMapView> map = MapOnScreen();
  if (!map)
    return Fail(message,
                "map " + std::string(sub) + ": no map on screen (map open, or a screen that shows a map)");
  if (sub == "wait") {
    if (std::string failed = WaitForMap(); !failed.empty()) return Fail(message, "map wait: " + failed);
    return Outcome::Done;
  }
  if (sub == "pan") return Pan(runner, *map, args, message);
  if (sub == "zoom") return Zoom(runner, *map, args, message);
  if (sub == "search") return SearchKeyword(runner, args, message, out);
  if (sub == "route") return Route(runner, message, out);
  if (sub == "offline") return Offline(runner, message, out);
  if (sub == "status") return Status(out);
  if (sub == "expect") return Expect(runner, *map, args, message);
  if (sub == "traffic" || sub == "places") return Switch(sub, args, message);
  return Snap(runner, *map, args, message, out);
}

// A command whose wait Ctrl-C ended fails as interrupted, whatever it found before.
std::optional<Outcome> MapCommand(Runner& runner, std::string_view command, std::string_view rest,
                                  std::string& message, std::ostream& out) {
  std::optional<Outcome> outcome = RunMapCommand(runner, command, rest, message, out);
  if (!outcome || *outcome == Outcome::Usage || !Runner::interruptRequested()) return outcome;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const std::string said = "map " + std::string(rest.substr(0, rest.find(' '))) + ": ";
  if (!message.starts_with(said + std::string(kInterrupted)))
    message = said + std::string(kInterrupted) + (message.empty() ? "" : " (" + message + ")");
  return Outcome::Failed;
}

// The requests to the map service on their way, in words ("" when none).
std::string MapRequests() {
  if (!EngineRuns()) return {};
  std::string open;
  auto add = [&open](bool busy, const char* what) {
    if (busy) open += (open.empty() ? "" : ", ") + std::string(what);
  };
  add(Probe::tilesOnTheirWay(), "tiles");
  add(Probe::searching(), "a search");
  add(Probe::findingCity(), "the city at the centre");
  return open.empty() ? open : "requests to the map service at " + MapHost() + " (" + open + ")";
}

// The demo map service answers unless $KAVRO_MAP_HOST or $KAVRO_MAP_URL names a map host.
void UseMapService() {
  if (const char* host = std::getenv("KAVRO_MAP_HOST"); host && *host) {
    platform::Environment::setMapHostUrl(host);
    return;
  }
  if (const char* url = std::getenv("KAVRO_MAP_URL"); url && *url) return;
  MapSession& s = Session();
  if (s.hostClosed) {
    // "map host close" ended that service for the runner that closed it; whoever comes next gets one
    // that answers.
    s.demo.reset();
    s.server.reset();
    s.hostClosed = false;
  }
  if (!s.server) {
    s.server = std::make_unique<test::MapFixtureServer>();
    s.demo = std::make_unique<test::MapDemoService>(*s.server);
  }
  platform::Environment::setMapHostUrl(s.server->hostUrl() + "/");
}

}  // namespace

// At exit the demo map service stops taking calls and its threads are joined; the session itself
// stays, since the engine's threads may still run while static objects go.
void StopMapService() {
  if (Session().server) Session().server->server().stop();
}

void registerMapCommands() {
  // Once per process, however many runners are made.
  static const bool registered =
      (Runner::addCommandExtension(MapCommand), Runner::addOpenRequestCheck(MapRequests),
       std::atexit(StopMapService), true);
  (void)registered;
  UseMapService();
}

}  // namespace kavro::runner
