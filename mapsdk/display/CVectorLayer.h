#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/engine/CComplexPt.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {
class CAppSearch;
}  // namespace gmengine

namespace mapsdk {

class CMapStatus;

// What an element is, and what a tap on it answers.
struct Attribute {
  enum class Kind : int {
    None = 0,
    RouteStart = 1,
    RouteEnd = 2,
    Poi = 3,
    BackgroundPoi = 4,
    SecondPoi = 5,
    TransitStop = 8,
    SinglePoint = 13
  };
  char uid[32] = {};
  int index = -1;
  int spare = 0;
  Kind kind = Kind::None;
  int geometryClass = 0;  // 1 point, 2 line
  int styleId = 0;
  gmengine::CVString name;
  int hitX = 0;  // map units
  int hitY = 0;
};

struct CGeoElement {
  Attribute attribute;
  gmengine::CComplexPt shape;  // hundredths of a map unit
};

// Which search results a vector layer shows.
enum class VectorSource : int { Poi = 1, Route = 5, SinglePoint = 7 };

// Search results on the map: POI marks, a route with its ends, single-point answers, taken from the
// search object's stored results at each update and drawn as marks and lines. Main thread.
class CVectorLayer : public CMapLayer {
 public:
  static constexpr int kHitTolerancePixels = 10;
  static constexpr int kMarkSide = 13;
  static constexpr std::uint32_t kPoiColor = 0xFFE0301Eu;
  static constexpr std::uint32_t kRouteColor = 0xFF2E6FE0u;
  static constexpr std::uint32_t kEndColor = 0xFF1E9E3Cu;
  static constexpr int kRouteWidth = 5;

  CVectorLayer(VectorSource source, CMapStatus* status);
  void SetSearch(gmengine::CAppSearch* search) { search_ = search; }
  // The stored result the layer shows (a result type of the search engine's; 0 for none).
  void SetResultType(int type) { resultType_ = type; }
  int ResultType() const { return resultType_; }
  void Draw(MapDrawTarget& target) override;
  // Rebuilds the elements from the search's results.
  void Update() override;
  // Window pixel (x, y); the first point element within 10 pixels, as the tap record.
  bool HitTest(int x, int y, Attribute& result) const;
  const std::vector<CGeoElement>& Elements() const { return elements_; }
  VectorSource Source() const { return source_; }

 private:
  void BuildPois();
  void BuildRoute();
  void BuildSinglePoint();
  void AddPoint(const gmengine::CComplexPt& shape, Attribute::Kind kind, int style, const char* name,
                const char* uid, int index);
  void AddLine(const gmengine::CComplexPt& shape, int style, int index);

  VectorSource source_;
  CMapStatus* status_;
  gmengine::CAppSearch* search_ = nullptr;
  int resultType_ = 0;
  std::vector<CGeoElement> elements_;
};

}  // namespace mapsdk
