#pragma once

namespace kavro::runner {

// Adds the runner's map commands (see MapCommands.cpp): a map screen over the SDK's map view,
// served by an in-process demo map service unless KAVRO_MAP_HOST names one.
void registerMapCommands();

}  // namespace kavro::runner
