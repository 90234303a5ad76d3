#pragma once
#include "mapsdk/engine/CVString.h"
#include "mapsdk/search/SearchResultRecords.h"

// The human-readable step texts of route answers: a plain text and one with light markup per step.
// Pure functions over the records; any thread.
namespace gmengine {

// Turn and direction names by "tt" (0..24); empty outside or for unnamed entries. UTF-8.
const char* TurnName(int turn);
// Key point kind names by "rt" (below 20) for mode 0 (driving) or 2 (walking).
const char* KeyPointKindName(int mode, int kind);
// Road kind names by "t" (below 20).
const char* RoadKindName(int kind);

// Nothing below 1 m; below 1000 m rounded to tens ("%d米"); else "%.1f公里".
CVString DistanceText(int metres);

// Fills the step texts and plan distances of every route of a transit answer.
void BuildBusRouteTexts(tag_BusRouteRst& record);
// Fills the step texts of the key points and links of a driving or walking route.
void BuildCarRouteTexts(tag_CarRoute& route);

}  // namespace gmengine
