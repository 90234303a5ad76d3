#pragma once

namespace kavro::runner {

// Adds the runner's map commands (see MapCommands.cpp), which work on the map on screen, and points
// the map engine at an in-process demo map service unless $KAVRO_MAP_HOST or $KAVRO_MAP_URL names a
// map host. Call it before the runner starts the application.
void registerMapCommands();

}  // namespace kavro::runner
