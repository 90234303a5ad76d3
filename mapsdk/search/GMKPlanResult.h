#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapsdk/search/GMKPlanNode.h"
#include "mapsdk/search/GMKRouteAddrResult.h"
#include "mapsdk/search/GMKSearchTypes.h"

namespace mapsdk {

// A route answer: its ends and plans (GMKTransitRoutePlan for transit, GMKRoutePlan otherwise), or route-end
// candidates. Made empty, filled once, then read. Main thread.
class GMKPlanResult {
 public:
  const std::shared_ptr<GMKPlanNode>& startNode() const { return startNode_; }
  void setStartNode(std::shared_ptr<GMKPlanNode> value) { startNode_ = std::move(value); }
  const std::shared_ptr<GMKPlanNode>& endNode() const { return endNode_; }
  void setEndNode(std::shared_ptr<GMKPlanNode> value) { endNode_ = std::move(value); }
  const GMKArray<GMKObject>& plans() const { return plans_; }
  void setPlans(GMKArray<GMKObject> value) { plans_ = std::move(value); }
  const std::shared_ptr<GMKRouteAddrResult>& routeAddrResult() const { return routeAddrResult_; }
  void setRouteAddrResult(std::shared_ptr<GMKRouteAddrResult> value) { routeAddrResult_ = std::move(value); }

 private:
  std::shared_ptr<GMKPlanNode> startNode_;
  std::shared_ptr<GMKPlanNode> endNode_;
  GMKArray<GMKObject> plans_;
  std::shared_ptr<GMKRouteAddrResult> routeAddrResult_;
};

}  // namespace mapsdk
