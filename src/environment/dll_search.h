#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora {

// The module loaders the starter tells apart by how they take an empty DLL directory: Windows'
// own takes the current folder out of the search, Wine's (version 8, the tests' own) ignores it.
enum class DllLoader { kWindows, kWine };

// Which loader ntdll belongs to: Wine's ntdll exports wine_get_version, Windows' never has.
DllLoader LoaderOf(HMODULE ntdll);

// The DLL directory that takes the current folder out of the loader's search: the empty text where
// the loader honours it, which adds nothing to the search of this process or of the children that
// inherit it; else the starter's own folder, which the loader searches first anyway. The empty text
// also when the starter's path names no folder: nothing else can be named then.
std::wstring DllDirectoryFor(DllLoader loader, std::wstring_view starterPath);

// Takes the current folder out of the DLL search order before any module is loaded. A file
// association starts the starter in the folder of the drawing the user opened, and a DLL planted
// beside that drawing must never be loaded.
void KeepCurrentFolderOutOfDllSearch(const std::wstring& starterPath);

}  // namespace velmora
