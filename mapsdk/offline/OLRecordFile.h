#pragma once
#include <cjson/cJSON.h>

#include <memory>
#include <string>

#include "mapsdk/engine/CVString.h"
#include "mapsdk/engine/EngineTypes.h"

// Reading and writing of the offline record files: JSON texts in the engine's double-byte code
// page, written whole with one trailing zero byte. Any thread.
namespace gmengine {
class CVMsgDispatcher;
}

namespace gmengine::olrecord {

struct JsonDeleter {
  void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

enum class FileRead {
  Done,
  Missing,
  Failed  // there but unreadable (EIO, EACCES, ...): what it holds is unknown, so it must not be replaced
};
// The whole file into bytes (emptied when not Done).
FileRead ReadFile(const CVString& path, std::string& bytes);
// The whole file; false when it is missing or unreadable.
bool ReadWholeFile(const CVString& path, std::string& bytes);
// JSON of double-byte code-page bytes up to the first zero byte (or their end); the tree's strings
// are UTF-8. Null when the bytes are not text of the code page or not JSON.
JsonPtr ParseBytes(const char* data, int length);
// JSON of UTF-8 bytes (an answer of the map service as it arrives).
JsonPtr ParseUtf8(const char* data, int length);
// Writes text in the double-byte code page and one zero byte, replacing the file. 1 when done; 0
// when the file cannot be opened, the text cannot be converted or a write falls short.
int WriteTextFile(const CVString& path, const CVString& text);
// Writes exactly the bytes, replacing the file; 1 when done.
int WriteBytesFile(const CVString& path, const char* data, int length);

// Text between double quotes in a record file: quotes and backslashes escaped, control
// characters written as \u escapes, so a name can never break the file.
CVString Quote(const CVString& text);

// A string value of a tree from ParseBytes or ParseUtf8; false when the key is missing or not text.
bool GetString(const cJSON* object, const char* key, CVString& out);
// A number, or decimal text read up to its first other character; false when the key is missing
// or neither.
bool GetInt(const cJSON* object, const char* key, int& out);
// The decimal value of a version text (0 when empty).
int TextToInt(const CVString& text);
// Posts an engine message when there is a dispatcher; 1 when queued.
int PostEngineMessage(CVMsgDispatcher* dispatcher, int queue, EngineMsg message, int wParam, int lParam);

}  // namespace gmengine::olrecord

#include "mapsdk/engine/CVArray.h"
#include "mapsdk/offline/COLSearchRecord.h"

namespace gmengine::olrecord {

// A city list ("OfflineHotcity.dat", "OfflineSearch.dat" form) into list (emptied first); objects
// without "i", "n" or the size key of the screen ("sh" on high-density screens, else "sl") are
// dropped. 0 when not JSON.
int ParseCityList(const char* data, int length, bool highDensity, CVArray<COLSearchRecord>& list);
// Writes the bytes to "UpdateTmp.dat" in folder, deletes folder + name and moves the temporary
// file there. 1 when the move succeeded.
int ReplaceRecordFile(const CVString& folder, const CVString& name, const char* data, int length);

}  // namespace gmengine::olrecord
