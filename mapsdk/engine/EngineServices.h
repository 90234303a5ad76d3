#pragma once
#include "mapsdk/engine/CVGlobalMan.h"

namespace gmengine {

class CUrlTranslater;
class CVMsgDispatcher;
class CVSocketMan;

// What the engine lends the parts built on it: the platform information (message dispatcher,
// network threads, data folder, screen, icon table) and the URL builder. The engine global owns
// both and outlives every part (its core tears the parts down first). Empty for a part made
// without an engine: it then posts, asks and stores nothing.
struct EngineServices {
  CVGlobalMan* platform = nullptr;
  CUrlTranslater* urls = nullptr;

  CVMsgDispatcher* Dispatcher() const { return platform ? platform->dispatcher.get() : nullptr; }
  CVSocketMan* Sockets() const { return platform ? platform->socketMan.get() : nullptr; }
};

}  // namespace gmengine
