#pragma once

namespace gmengine {

// One end of a route request: given by point (kind 1) or by name (kind 2). Zero-filled when made.
struct tag_RouteNode {
  double x = 0;  // map units
  double y = 0;
  int kind = 0;
  int reserved = 0;
  char name[100] = {};  // the engine's double-byte code page, at most 98 bytes and a zero
};

}  // namespace gmengine
