#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapsdk/engine/GMKTypes.h"

namespace gmengine {
class CVFileLock;
struct COLUpdateRecord;
}  // namespace gmengine

namespace mapsdk {

// The layers a person switches on the map.
enum class GMKMapLayer { Street, Satellite, Traffic, SearchMarks, Route, SmallPlaces };

// A tile the map asked for: level, column and row; where it stands in the map's picture (its left
// and top pixel there); its picture once it came (kTileSide x kTileSide words 0xAARRGGBB, owned by
// the map and good until the map moves on), else null.
struct GMKMapTile {
  int level = 0;
  int column = 0;
  int row = 0;
  int left = 0;
  int top = 0;
  const std::uint32_t* pixels = nullptr;
};

// A point of the map's picture (engine pixels from its top left corner).
struct GMKPicturePoint {
  int x = 0;
  int y = 0;
};

// A search result marked on the map: its style (1 to 10 numbered, 22 the dot pin), its name and,
// when it has a point, where that lies in the picture.
struct GMKMapMark {
  int style = 0;
  std::string name;
  bool placed = false;
  GMKPicturePoint at;
};

// What a tool that drives the application checks of the map and drives on it, beyond the map
// view: the engine's map (the one every map view shows), what it asked for and holds, the results
// it draws, and the requests it has on their way. Every call answers "nothing" (empty, false,
// zeros) without an engine or before the first map view. Main thread.
class GMKMapProbe {
 public:
  GMKMapProbe() = delete;

  static constexpr int kTileSide = 256;
  // Where no tile is drawn: the fill and its grid lines (0xAARRGGBB).
  static const std::uint32_t kBlankFill;
  static const std::uint32_t kBlankGrid;
  // The numbered search marks' colour and the small places' dot.
  static const std::uint32_t kMarkColor;
  static const std::uint32_t kSmallPlaceColor;
  // The first level the map shows traffic at.
  static const int kTrafficMinLevel;
  // Where a new map starts.
  static CLLocationCoordinate2D initialCenter();
  static int initialLevel();
  // A point in engine map units as a coordinate.
  static CLLocationCoordinate2D coordinateOfMapUnits(double x, double y);

  static bool engineRunning();
  struct Status {
    int level = 0;
    int centerX = 0;  // map units
    int centerY = 0;
    int width = 0;  // the picture, engine pixels
    int height = 0;
  };
  static Status status();
  // Sliding after a fling or gliding to a new centre.
  static bool moving();
  // Street, satellite or traffic tiles, or an offline batch, are on their way.
  static bool tilesOnTheirWay();
  // The street tiles and the traffic tiles the map's window needs, in the layer's order.
  static std::vector<GMKMapTile> streetTiles();
  static std::vector<GMKMapTile> trafficTiles();
  // Failed tile batches in a row (0 after one that brought tiles).
  static int tileFailures();
  static bool showLayer(GMKMapLayer layer, bool on);
  static bool layerShown(GMKMapLayer layer);
  // The map draws itself anew and shows it.
  static void repaint();

  // A search answer with places is marked on the map.
  static bool searchMarksCame();
  static std::vector<GMKMapMark> searchMarks();
  // The route's points in the picture, every line's in turn (empty before a route came).
  static std::vector<GMKPicturePoint> routePoints();
  // The small places the map holds, in the picture.
  static std::vector<GMKPicturePoint> smallPlaces();
  // A search (the user's, or the small places', which share its client), or the city at the
  // map's centre, is on its way.
  static bool searching();
  static bool findingCity();

  // A tile record as the map decodes it (kTileSide x kTileSide words); empty when it does not.
  static std::vector<std::uint32_t> decodeTile(const std::string& bytes);
};

// The download of one offline city while a tool waits for it. Only one at a time downloads into a
// home: the download holds the home's offline data while it lives, and one asked for while another
// process holds it is refused. Main thread.
class GMKOfflineDownload {
 public:
  enum class Refusal { None, NoEngine, HeldElsewhere };
  // Stores the city's record and asks for the city (which switches downloading on). Null, with
  // why, without an engine and map, or while another process downloads into the same home.
  static std::unique_ptr<GMKOfflineDownload> start(const gmengine::COLUpdateRecord& city, Refusal& why);
  static std::string nameOf(const gmengine::COLUpdateRecord& city);
  // Lets the home's offline data go; the download itself stays as it stands (paused, stopped or
  // done).
  ~GMKOfflineDownload();
  GMKOfflineDownload(const GMKOfflineDownload&) = delete;
  GMKOfflineDownload& operator=(const GMKOfflineDownload&) = delete;

  // Tiles of the city stored and in all, and those that came but did not decode (the first of
  // them named "level/x_y").
  int received() const;
  int total() const;
  int failed() const;
  std::vector<std::string> failedTiles() const;
  // Batches asked of the map service since the start.
  int batchesAsked() const;
  // Tile batches that failed since the start (counted until one brings tiles).
  int failuresSinceStart() const;
  // The city stands finished (state 4, ratio 10000).
  bool finished() const;
  // A tile could not be written: the download stands stopped.
  bool saveFailed() const { return *saveFailed_; }
  // Where the city's packages are written, comma-separated.
  std::string packagePaths() const;
  // Switches downloading off: what is stored stays, and the next start goes on from there. Waits
  // (for at most a few seconds of real time) until the switch is off; false when it did not come.
  bool pause();
  // The city stops (state 3) and leaves the queue.
  void stop();

 private:
  GMKOfflineDownload() = default;
  int cityId_ = 0;
  std::vector<std::string> paths_;
  int batchesBefore_ = 0;
  int failuresBefore_ = 0;
  std::unique_ptr<gmengine::CVFileLock> lock_;
  std::shared_ptr<bool> saveFailed_ = std::make_shared<bool>(false);
  std::uint64_t observer_ = 0;
};

}  // namespace mapsdk
