#pragma once
#include <memory>

#include "mapsdk/search/GMKAddrInfo.h"
#include "mapsdk/search/GMKBusLineResult.h"
#include "mapsdk/search/GMKPlanResult.h"
#include "mapsdk/search/GMKPoiResult.h"
#include "mapsdk/search/GMKSuggestionResult.h"
#include "mapsdk/search/SearchAnswer.h"

namespace mapsdk {

// Receives the answers of GMKSearch on the main thread. Every method is optional: the default
// answers false ("not implemented"). A nil result comes with an error other than None.
class GMKSearchDelegate {
 public:
  virtual ~GMKSearchDelegate() = default;
  virtual bool onGetPoiResult(const GMKArray<GMKPoiResult>& poiResultList, gmengine::SearchType searchType,
                              gmengine::DelegateError errorCode) {
    return false;
  }
  virtual bool onGetTransitRouteResult(const std::shared_ptr<GMKPlanResult>& result,
                                       gmengine::DelegateError errorCode) {
    return false;
  }
  virtual bool onGetDrivingRouteResult(const std::shared_ptr<GMKPlanResult>& result,
                                       gmengine::DelegateError errorCode) {
    return false;
  }
  virtual bool onGetWalkingRouteResult(const std::shared_ptr<GMKPlanResult>& result,
                                       gmengine::DelegateError errorCode) {
    return false;
  }
  virtual bool onGetAddrResult(const std::shared_ptr<GMKAddrInfo>& result,
                               gmengine::DelegateError errorCode) {
    return false;
  }
  virtual bool onGetSuggestionResult(const std::shared_ptr<GMKSuggestionResult>& result,
                                     gmengine::DelegateError errorCode) {
    return false;
  }
  virtual bool onGetBusDetailResult(const std::shared_ptr<GMKBusLineResult>& result,
                                    gmengine::DelegateError errorCode) {
    return false;
  }
};

}  // namespace mapsdk
