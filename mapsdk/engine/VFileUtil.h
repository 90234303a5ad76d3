#pragma once
#include "mapsdk/engine/CVArray.h"
#include "mapsdk/engine/CVString.h"

// The engine's file helpers, on UTF-16 paths. Any thread.
namespace gmengine {

// Creates the folder and any missing parents; 1 on success (also when it exists already).
int CreateDirectory(const CVString& path);
// Removes a file (not a folder); 1 on success.
int DeleteFile(const CVString& path);
// Creates the target's folder and moves the source over the target: a rename where one file
// system holds both, else a copy (through a temporary file and a rename) and the source deleted
// once the copy is complete; 1 on success. Moving a file onto
// itself does nothing and fails.
int MoveFile(const CVString& source, const CVString& target);
// 1 when a file or folder is at the path.
int FileExists(const CVString& path);
// The names (not paths) of the files directly in folder whose extension, after the last ".",
// equals extension (ASCII case ignored), in byte order of their UTF-8 names; answers how many
// were found (0 when none, or no such folder). names is emptied first.
int GetFileNamesByExtension(const CVString& folder, const CVString& extension, CVArray<CVString>& names);

// The application's caches and documents folders (created when missing), each ending with "/".
CVString GetCachesPath();
CVString GetDocumentsPath();

}  // namespace gmengine
