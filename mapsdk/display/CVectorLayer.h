#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "mapsdk/display/CMapLayer.h"
#include "mapsdk/engine/CComplexPt.h"
#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineTypes.h"

namespace gmengine {
class CAppSearch;
class CDataDisp;
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

// Which result the user picked: the transit route, the step (part 0 a ride, 1 a walk; -1 none) and
// its index, the POI (an index into the answer's list) and the single-point answer's POI.
struct VectorSelection {
  int route = 0;
  int stepPart = -1;
  int stepIndex = 0;
  int poi = 0;
  int singlePoint = 0;
};

// Search results on the map: POI marks, a route with its rides, walks and stops, single-point
// answers, taken from the search object's stored results at each update. Lines are thinned for the
// current level before they are drawn; the selected POI or step is drawn again on top (the
// highlight). Drawn through the map's element drawer with the styles of LayerStyles. Main thread.
class CVectorLayer : public CMapLayer {
 public:
  static constexpr int kHitTolerancePixels = 10;

  CVectorLayer(VectorSource source, CMapStatus* status, gmengine::CDataDisp* disp = nullptr);
  void SetSearch(gmengine::CAppSearch* search) { search_ = search; }
  void SetDrawer(gmengine::CDataDisp* disp) { disp_ = disp; }
  // The stored result the layer shows (a result type of the search engine's; 0 for none).
  void SetResultType(gmengine::SearchType type) { resultType_ = type; }
  gmengine::SearchType ResultType() const { return resultType_; }
  void SetSelection(const VectorSelection& selection) { selection_ = selection; }
  const VectorSelection& Selection() const { return selection_; }
  void Draw(MapDrawTarget& target) override;
  // Rebuilds the elements from the search's results.
  void Update() override;
  // Window pixel (x, y); the first point element within 10 pixels, as the tap record.
  bool HitTest(int x, int y, Attribute& result) const;
  // The elements as the results give them (hundredths of a map unit).
  const std::vector<CGeoElement>& Elements() const { return elements_; }
  // What is drawn: the elements with their lines thinned for the level, then the highlight.
  const std::vector<CGeoElement>& Drawn() const { return drawn_; }
  VectorSource Source() const { return source_; }

 private:
  void BuildPois(bool highlight);
  void BuildRoute(bool highlight);
  void BuildSinglePoint();
  void AddPoint(const gmengine::CComplexPt& shape, Attribute::Kind kind, int style, const char* name,
                const char* uid, int index);
  void AddLine(const gmengine::CComplexPt& shape, int style, int index, const char* name = nullptr);

  VectorSource source_;
  CMapStatus* status_;
  gmengine::CDataDisp* disp_;
  gmengine::CAppSearch* search_ = nullptr;
  gmengine::SearchType resultType_ = gmengine::SearchType::None;
  VectorSelection selection_;
  std::vector<CGeoElement> elements_;
  std::vector<CGeoElement> drawn_;
  std::vector<CGeoElement>* building_ = &elements_;  // where AddPoint and AddLine put elements
};

}  // namespace mapsdk
