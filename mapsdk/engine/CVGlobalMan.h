#pragma once
#include <cstdint>
#include <memory>

#include "mapsdk/engine/CVMapWordToPtr.h"
#include "mapsdk/engine/CVString.h"

namespace gmengine {

class CVBitmap;
class CVMapEngine;
class CVMsgDispatcher;
class CVSocketMan;
class CVWnd;
class CUrlTranslater;

// One entry of the icon image table (the value under its 16-bit image id). The bitmap is loaded
// by the drawing side; the entry owns it through its deleter.
struct tag_IconImage {
  int width = 0;
  int height = 0;
  int keepLoaded = 0;
  int fileKind = 1;   // 1 PNG, 0 BMP
  CVString fileName;  // relative to the table's folder
  std::shared_ptr<CVBitmap> bitmap;
};

// The engine screen: width and height in pixels.
struct CVScreenRecord {
  int width = 320;
  int height = 480;
};

// The engine's system information.
struct CVSysInfo {
  CVString dataPath;         // the SDK data folder: caches + "GeoMapSdk/", ending with "/"
  int offlineDownload = -1;  // -1 when built; the offline map manager downloads when it is 1
  CVScreenRecord screen;
};

// The engine's platform information: the message dispatcher, the network threads, the display's
// bits per pixel, the system information and the icon image table. Built and torn down on the
// main thread; its members are read from any thread while it lives.
class CVGlobalMan {
 public:
  CVGlobalMan();
  virtual ~CVGlobalMan();
  CVGlobalMan(const CVGlobalMan&) = delete;
  CVGlobalMan& operator=(const CVGlobalMan&) = delete;

  // Builds the dispatcher and the network threads' owner and fills the system information (data
  // folder created). 1 on success.
  int Init();
  // Releases what Init built (network threads joined first) and every icon table entry.
  virtual void UnInit();

  std::unique_ptr<CVMsgDispatcher> dispatcher;
  std::unique_ptr<CVSocketMan> socketMan;
  int bitsPerPixel = 32;
  CVSysInfo sysInfo;
  CVMapWordToPtr iconTable;  // tag_IconImage* values, owned
  CVString iconFolder;
};

// The engine global: the platform information plus the map window (owned by the display, which
// the engine core owns) and the engine core, which owns every part installed in it.
class CVMainGlobalMan : public CVGlobalMan {
 public:
  CVMainGlobalMan();
  ~CVMainGlobalMan() override;
  // Tears the engine core down (its threads stopped, its parts in their order) before the
  // platform information.
  void UnInit() override;

  CVWnd* mapWindow = nullptr;
  std::unique_ptr<CVMapEngine> engine;
};

// What the main screen reports (pixels and scale), read when the engine is built. Until set: the
// platform's default screen, 320 x 480 points at scale 2. A mode of 0 x 0 means the screen
// reports nothing: the engine screen is then 320 x 480 pixels.
void SetMainScreenMode(int widthPixels, int heightPixels, int scale);

// Builds the engine global and the engine core (data folder, screen record, screen densities 326,
// or 163 on a screen of scale 1) unless they exist; 1. Main thread.
int InitMapEngine();
// Tears the engine down: the core released (threads joined), the global uninitialised, destroyed
// and forgotten. Nothing when there is none. Main thread.
void UnInitMapEngine();

// The engine global, null before InitMapEngine (as the platform information or whole). Any thread.
CVGlobalMan* GetGlobalMan();
CVMainGlobalMan* GetMainGlobalMan();
// The engine core's URL builder, null without an engine.
CUrlTranslater* GetUrlTranslater();

}  // namespace gmengine
