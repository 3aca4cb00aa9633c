#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Takes the current folder out of the DLL search order before any module is loaded. A file
// association starts the starter in the folder of the drawing the user opened, and a DLL planted
// beside that drawing must never be loaded.
void KeepCurrentFolderOutOfDllSearch(const std::wstring& starterPath);

// Whether the loader reports the current folder (".") among the folders it searches; false when it
// cannot tell.
bool LoaderSearchesCurrentFolder();

// Whether a ';'-separated folder list holds the element ".".
bool NamesCurrentFolder(std::wstring_view searchPath);

}  // namespace velmora
