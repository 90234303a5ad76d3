// The runner's map commands:
//
//   map open                the map screen (the SDK's map view at the default centre, level 12)
//   map pan DX DY           drags the map by DX, DY points
//   map zoom in|out|LEVEL   a double tap, a two-finger tap, or the level (3 to 18)
//   map search KEYWORD      a keyword search; its places are marked on the map
//   map route               a driving route between two places of the demo map, drawn on the map
//   map offline             downloads the demo city (the tiles around the default centre) and
//                           waits until it is done
//   map status              level, centre and tiles of the map
//   map snap FILE           a PNG of the map view
//   map close               back from the map screen
//   map engine              starts the map service and engine only, for the screens that show
//                           maps of their own
//   map locate [LAT LON]    moves the device there (when given), waits until the engine holds
//                           the device's fix and lets the map views read it
//   map wait                waits until the tiles of the map window have arrived and are shown
//
// The engine's threads answer in real time, so the map commands wait on the real clock and hand
// the virtual one back after.
#include "tools/kavro/MapCommands.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "mapsdk/display/GMKMapManager.h"
#include "mapsdk/display/GMKMapView.h"
#include "mapsdk/display/LocationSources.h"
#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/engine/CVMapEngine.h"
#include "mapsdk/engine/VGeoMath.h"
#include "mapsdk/offline/COLRecordMan.h"
#include "mapsdk/offline/GMKOfflineMap.h"
#include "mapsdk/raster/CVWnd.h"
#include "mapsdk/search/GMKPlanNode.h"
#include "mapsdk/search/GMKSearch.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/RunLoop.h"
#include "platform/location/LocationManager.h"
#include "platform/ui/Application.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/UIDriver.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/mapsdk/display/MapDemoService.h"
#include "tests/support/MapFixtureServer.h"
#include "tools/kavro/Runner.h"

namespace kavro::runner {

namespace {

constexpr double kMapPatience = 20;  // real seconds a map command waits for the map service

// The map screen: a map view over the whole of its view.
class MapHostController : public platform::ViewController {
 public:
  void loadView() override {
    platform::ViewController::loadView();
    view()->setBackgroundColor(platform::Color::white());
  }
  void viewDidLoad() override {
    setTitle("Map");
    map = mapsdk::GMKMapView::create(view()->bounds());
    if (map) view()->addSubview(map);
  }
  std::shared_ptr<mapsdk::GMKMapView> map;
};

struct MapSession {
  std::unique_ptr<test::MapFixtureServer> server;
  std::unique_ptr<test::MapDemoService> demo;
  std::unique_ptr<mapsdk::GMKMapManager> manager;
  std::unique_ptr<mapsdk::GMKSearch> search;
  std::shared_ptr<mapsdk::GMKOfflineMap> offline;
  std::shared_ptr<MapHostController> screen;
  int paints = 0;
};

// Lives until the process ends: the engine's threads may still run while static objects go.
MapSession& Session() {
  static MapSession* session = new MapSession();
  return *session;
}

// Runs the main loop on the real clock until done holds (or the patience ends).
bool WaitReal(const std::function<bool()>& done, double seconds = kMapPatience) {
  platform::RunLoop& loop = platform::RunLoop::main();
  std::shared_ptr<platform::Clock> virtualClock = loop.clock();
  loop.setClock(platform::Clock::real());
  bool ok = loop.runUntil(done, seconds);
  loop.setClock(virtualClock);
  return ok;
}

gmengine::CMapControlBlock* Control() { return gmengine::MapControlOfEngine(); }

// Until the tiles of the window have arrived (or failed) and the view showed a fresh drawing.
bool WaitForMap() {
  MapSession& s = Session();
  WaitReal([] {
    gmengine::CMapControlBlock* control = Control();
    if (!control || control->StreetLayer().Needed().IsEmpty()) return false;
    if (control->GridClient().IsBusy()) return false;
    for (const auto& tile : control->StreetLayer().Needed()) {
      if (!tile.data) return false;
    }
    return true;
  });
  if (!Control()) return false;
  const int before = s.paints;
  Control()->RequestRepaint();
  return WaitReal([&] { return s.paints > before; }, 5);
}

// The demo map service and the map engine, once per process.
bool StartEngine(std::string& message) {
  MapSession& s = Session();
  if (s.manager) return true;
  if (const char* host = std::getenv("KAVRO_MAP_HOST"); host && *host) {
    platform::Environment::setMapHostUrl(host);
  } else {
    s.server = std::make_unique<test::MapFixtureServer>();
    s.demo = std::make_unique<test::MapDemoService>(*s.server);
    platform::Environment::setMapHostUrl(s.server->hostUrl() + "/");
  }
  s.manager = std::make_unique<mapsdk::GMKMapManager>();
  if (!s.manager->start({})) {
    s.manager.reset();
    message = "map engine: the map engine does not start";
    return false;
  }
  platform::NotificationCenter::defaultCenter().addObserver(
      gmengine::kNotificationMainMapPaint, nullptr, [](const auto&) { ++Session().paints; }, &s);
  return true;
}

// The engine's location combiner takes a device fix on its own timer: once it holds one, the map
// views' user locations are told to read it.
std::optional<Outcome> Locate(std::string_view args, std::string& message) {
  if (!StartEngine(message)) return Outcome::Failed;
  if (!args.empty()) {
    std::istringstream in{std::string(args)};
    double latitude = 0, longitude = 0;
    if (!(in >> latitude >> longitude)) {
      message = "map locate [LATITUDE LONGITUDE]";
      return Outcome::Usage;
    }
    // The fix is judged while the map waits on the real clock (WaitReal): it carries that clock's time.
    platform::LocationDevice::setCurrentLocation({latitude, longitude, 10, platform::Clock::real()->now()});
  }
  auto valid = [] {
    gmengine::CAppLocation* location = gmengine::LocationOfEngine();
    return location && gmengine::GetAppLocationInfo(location).state == mapsdk::LocationState::Valid;
  };
  if (!WaitReal(valid)) {
    message = "map locate: the engine has no fix";
    return Outcome::Failed;
  }
  platform::NotificationCenter::defaultCenter().post(mapsdk::NotificationLocationUpdate);
  WaitForMap();
  return Outcome::Done;
}

std::optional<Outcome> Open(std::string& message) {
  MapSession& s = Session();
  if (s.screen) {
    message = "map open: the map screen is already open";
    return Outcome::Failed;
  }
  if (!StartEngine(message)) return Outcome::Failed;
  auto window = platform::Application::sharedApplication().keyWindow();
  if (!window || !window->rootViewController()) {
    message = "map open: no screen to open the map from";
    return Outcome::Failed;
  }
  std::shared_ptr<platform::ViewController> top = window->rootViewController();
  while (top->presentedViewController()) top = top->presentedViewController();
  s.screen = std::make_shared<MapHostController>();
  top->presentViewController(s.screen, false);
  s.screen->view();
  if (!s.screen->map) {
    message = "map open: no map view";
    return Outcome::Failed;
  }
  if (!WaitForMap()) {
    message = "map open: the map's tiles did not arrive";
    return Outcome::Failed;
  }
  return Outcome::Done;
}

std::optional<Outcome> NeedMap(std::string_view command, std::string& message) {
  if (Session().screen && Session().screen->map) return std::nullopt;
  message = "map " + std::string(command) + ": open the map first (map open)";
  return Outcome::Failed;
}

std::optional<Outcome> Pan(std::string_view rest, std::string& message) {
  std::istringstream in{std::string(rest)};
  double dx = 0, dy = 0;
  if (!(in >> dx >> dy)) {
    message = "map pan DX DY (points)";
    return Outcome::Usage;
  }
  if (!platform::UIDriver::pan(*Session().screen->map, {dx, dy})) {
    message = "map pan: " + platform::UIDriver::lastError();
    return Outcome::Failed;
  }
  WaitForMap();
  return Outcome::Done;
}

std::optional<Outcome> Zoom(std::string_view rest, std::string& message) {
  mapsdk::GMKMapView& map = *Session().screen->map;
  if (rest == "in") {
    map.zoomIn();
  } else if (rest == "out") {
    map.zoomOut();
  } else {
    char* end = nullptr;
    std::string text(rest);
    long level = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || level < 3 || level > 18) {
      message = "map zoom in|out|LEVEL (3 to 18)";
      return Outcome::Usage;
    }
    map.setZoomLevel(static_cast<int>(level));
  }
  WaitForMap();
  return Outcome::Done;
}

mapsdk::GMKSearch& Search() {
  MapSession& s = Session();
  if (!s.search) s.search = std::make_unique<mapsdk::GMKSearch>();
  return *s.search;
}

std::optional<Outcome> SearchKeyword(std::string_view rest, std::string& message, std::ostream& out) {
  if (rest.empty()) {
    message = "map search KEYWORD";
    return Outcome::Usage;
  }
  gmengine::CMapControlBlock* control = Control();
  if (!Search().poiSearchInCity(std::string("Demo"), std::string(rest), 0)) {
    message = "map search: the search was refused";
    return Outcome::Failed;
  }
  if (!WaitReal(
          [&] { return control->PoiLayer().ResultType() != 0 && !control->PoiLayer().Elements().empty(); })) {
    message = "map search: no places came back";
    return Outcome::Failed;
  }
  WaitForMap();
  for (const auto& element : control->PoiLayer().Elements()) {
    out << element.attribute.styleId << ". " << element.attribute.name.ToUtf8() << "\n";
  }
  return Outcome::Done;
}

std::optional<Outcome> Route(std::string& message) {
  auto node = [](const test::MapDemoService::Place& place) {
    auto n = std::make_shared<mapsdk::GMKPlanNode>();
    mapsdk::CLLocationCoordinate2D c;
    gmengine::MercatorToGeo(place.x, place.y, &c.longitude, &c.latitude);
    n->setPt(c);
    return n;
  };
  gmengine::CMapControlBlock* control = Control();
  if (!Search().drivingSearch(std::nullopt, node(test::MapDemoService::kPlaces[1]), std::nullopt,
                              node(test::MapDemoService::kPlaces[0]))) {
    message = "map route: the route search was refused";
    return Outcome::Failed;
  }
  if (!WaitReal([&] { return !control->RouteLayer().Elements().empty(); })) {
    message = "map route: no route came back";
    return Outcome::Failed;
  }
  WaitForMap();
  return Outcome::Done;
}

// The demo city: the level-11 tile under the default centre and its descendants to level 17.
std::optional<Outcome> Offline(std::string& message, std::ostream& out) {
  MapSession& s = Session();
  if (!s.offline) s.offline = mapsdk::GMKOfflineMap::create();
  gmengine::CVMapEngine* engine = gmengine::GetMainGlobalMan()->engine;
  if (!engine->recordMan) {
    message = "map offline: no offline records";
    return Outcome::Failed;
  }
  gmengine::COLUpdateRecord city = test::MapDemoService::DemoCity();
  engine->recordMan->StoreRecord(city);
  engine->recordMan->StartCity(test::MapDemoService::kDemoCityId);
  auto done = [&] {
    auto record = engine->recordMan->GetUpdateRecord(test::MapDemoService::kDemoCityId);
    return record && record->local.state == 4 && record->local.ratio == 10000;
  };
  if (!WaitReal(done, 120)) {
    message = "map offline: the download did not finish";
    return Outcome::Failed;
  }
  out << "Demo City: " << Control()->OfflineMan().GetTotalCount() << " tiles stored\n";
  return Outcome::Done;
}

std::optional<Outcome> Status(std::ostream& out) {
  const mapsdk::CMapStatus& status = Control()->Status();
  int tiles = 0;
  for (const auto& tile : Control()->StreetLayer().Needed()) tiles += tile.data ? 1 : 0;
  out << "level " << status.level << " centre " << status.centerX << "," << status.centerY << " window "
      << status.width << "x" << status.height << " tiles " << tiles << "/"
      << Control()->StreetLayer().Needed().GetSize() << "\n";
  return Outcome::Done;
}

std::optional<Outcome> Snap(std::string_view rest, std::string& message) {
  if (rest.empty()) {
    message = "map snap FILE.png";
    return Outcome::Usage;
  }
  auto image = platform::Snapshot::imageOfView(*Session().screen->map);
  platform::Error error;
  if (!image || !platform::Snapshot::writePNG(*image, rest, &error)) {
    message = "map snap: cannot write " + std::string(rest);
    return Outcome::Failed;
  }
  return Outcome::Done;
}

std::optional<Outcome> Close() {
  MapSession& s = Session();
  if (s.screen) {
    s.screen->dismissViewControllerAnimated(false);
    s.screen.reset();
  }
  return Outcome::Done;
}

std::optional<Outcome> MapCommand(Runner&, std::string_view command, std::string_view rest,
                                  std::string& message, std::ostream& out) {
  if (command != "map") return std::nullopt;
  std::string_view sub = rest.substr(0, rest.find(' '));
  std::string_view args = sub.size() < rest.size() ? rest.substr(sub.size() + 1) : std::string_view{};
  while (!args.empty() && args.front() == ' ') args.remove_prefix(1);
  if (sub.empty() || sub == "open") return Open(message);
  if (sub == "close") return Close();
  if (sub == "engine") return StartEngine(message) ? Outcome::Done : Outcome::Failed;
  if (sub == "locate") return Locate(args, message);
  if (sub == "wait") {
    WaitForMap();
    return Outcome::Done;
  }
  if (sub != "pan" && sub != "zoom" && sub != "search" && sub != "route" && sub != "offline" &&
      sub != "status" && sub != "snap") {
    message =
        "map open|engine|locate|wait|pan DX DY|zoom in|out|LEVEL|search KEYWORD|route|offline|status|snap "
        "FILE|close";
    return Outcome::Usage;
  }
  if (auto refused = NeedMap(sub, message)) return refused;
  if (sub == "pan") return Pan(args, message);
  if (sub == "zoom") return Zoom(args, message);
  if (sub == "search") return SearchKeyword(args, message, out);
  if (sub == "route") return Route(message);
  if (sub == "offline") return Offline(message, out);
  if (sub == "status") return Status(out);
  return Snap(args, message);
}

}  // namespace

void registerMapCommands() {
  // Once per process, however many runners are made.
  static const bool registered = (Runner::addCommandExtension(MapCommand), true);
  (void)registered;
}

}  // namespace kavro::runner
