#pragma once
#include <cstdint>
#include <memory>
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

// What a vector layer holds: the elements as the results give them (hundredths of a map unit) and
// what is drawn (those with their lines thinned for the level, then the highlight).
struct VectorLayerData {
  std::vector<CGeoElement> elements;
  std::vector<CGeoElement> drawn;
};

// Builds a vector layer's elements from the search object's stored result of the layer's kind.
// The elements are built once and kept, with their lines thinned, until something marks them for
// rebuilding: a new request, a new kind, a new answer (SetResultType), a selection of another
// transit route or single point, and for routes a level other than the one their lines were thinned
// for. Every update draws the kept copy and the highlight of the selection again.
class CVectorReq : public CReqBase {
 public:
  explicit CVectorReq(const CMapStatus* status, VectorLayerData* data = nullptr);
  void SetData(VectorLayerData* data) { data_ = data; }
  void SetSource(VectorSource source);
  void SetSearch(gmengine::CAppSearch* search);
  gmengine::CAppSearch* Search() const { return search_; }
  // A new answer of the search (or another result to show): the elements are rebuilt.
  void SetResultType(gmengine::SearchType type);
  gmengine::SearchType ResultType() const { return resultType_; }
  void SetSelection(const VectorSelection& selection);
  const VectorSelection& Selection() const { return selection_; }
  bool NeedsRebuild() const { return rebuild_; }
  void Request() override;

 private:
  void Rebuild();
  void BuildHighlight();
  void BuildPois(bool highlight);
  void BuildRoute(bool highlight);
  void BuildSinglePoint();
  void AddPoint(const gmengine::CComplexPt& shape, Attribute::Kind kind, int style, const char* name,
                const char* uid, int index);
  void AddLine(const gmengine::CComplexPt& shape, int style, int index, const char* name = nullptr);

  const CMapStatus* status_;
  VectorLayerData* data_;
  VectorSource source_ = VectorSource::Poi;
  gmengine::CAppSearch* search_ = nullptr;
  gmengine::SearchType resultType_ = gmengine::SearchType::None;
  VectorSelection selection_;
  std::vector<CGeoElement>* building_ = nullptr;  // where AddPoint and AddLine put elements
  bool rebuild_ = true;
  int builtLevel_ = -1;                 // the level the kept lines were thinned for
  std::vector<CGeoElement> saved_;      // the elements as drawn: lines thinned for builtLevel_
  std::vector<CGeoElement> highlight_;  // a route's selected step, thinned too
  int builtStepPart_ = -1;              // the step the route's highlight was built for
  int builtStepIndex_ = 0;
};

// Paints what a vector layer draws through the map's element drawer: lines first, then marks.
class CVectorDraw : public CDrawBase {
 public:
  CVectorDraw(const CMapStatus* status, gmengine::CDataDisp* disp, const VectorLayerData* data = nullptr);
  void SetData(const VectorLayerData* data) { data_ = data; }
  void Draw(MapDrawTarget& target) override;

 protected:
  const CMapStatus* status_;
  gmengine::CDataDisp* disp_;
  const VectorLayerData* data_;
};

// Search results on the map: POI marks, a route with its rides, walks and stops, single-point
// answers (one POI's details and the selected POI of an address answer), taken from the search
// object's stored results when the request is marked for rebuilding. Lines are thinned for the
// current level before they are drawn; the selected POI or step is drawn again on top (the
// highlight). Drawn through the map's element drawer with the styles of LayerStyles. The layer
// holds the elements; its request builds them while the layer is shown and its drawer paints them
// while it is shown. Main thread.
class CVectorLayer : public CMapLayer {
 public:
  static constexpr int kHitTolerancePixels = 10;

  CVectorLayer(VectorSource source, CMapStatus* status, gmengine::CDataDisp* disp = nullptr);
  ~CVectorLayer() override;
  void SetSearch(gmengine::CAppSearch* search);
  // The stored result the layer shows (a result type of the search engine's; 0 for none).
  void SetResultType(gmengine::SearchType type);
  gmengine::SearchType ResultType() const;
  void SetSelection(const VectorSelection& selection);
  const VectorSelection& Selection() const;
  void Draw(MapDrawTarget& target) override;
  // Draws the kept elements and the selection's highlight anew (rebuilding them when marked).
  void Update() override;
  // Window pixel (x, y); the first point element within 10 pixels, as the tap record.
  bool HitTest(int x, int y, Attribute& result) const;
  // A new request builds this layer's kind into its elements; one without a search object takes
  // the search, the result shown and the selection of the one it replaces.
  void SetRequest(std::unique_ptr<CVectorReq> request);
  void SetDrawer(std::unique_ptr<CVectorDraw> drawer);
  CVectorReq* Request() const { return request_.get(); }
  CVectorDraw* Drawer() const { return drawer_.get(); }
  // The elements as the results give them (hundredths of a map unit).
  const std::vector<CGeoElement>& Elements() const { return data_.elements; }
  // What is drawn: the elements with their lines thinned for the level, then the highlight.
  const std::vector<CGeoElement>& Drawn() const { return data_.drawn; }
  VectorSource Source() const { return source_; }

 private:
  VectorSource source_;
  CMapStatus* status_;
  VectorLayerData data_;
  std::unique_ptr<CVectorReq> request_;
  std::unique_ptr<CVectorDraw> drawer_;
};

}  // namespace mapsdk
