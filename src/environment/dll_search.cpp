#include "environment/dll_search.h"

namespace velmora {

DllLoader LoaderOf(HMODULE ntdll) {
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr ? DllLoader::kWine
                                                                                    : DllLoader::kWindows;
}

std::wstring DllDirectoryFor(DllLoader loader, std::wstring_view starterPath) {
  const std::size_t slash = starterPath.rfind(L'\\');
  if (loader == DllLoader::kWindows || slash == std::wstring_view::npos) return {};
  // A starter at the root of a drive keeps the backslash: "C:" alone would name the drive's current
  // folder, which may well be the current folder.
  const bool root = slash == 0 || starterPath[slash - 1] == L':';
  return std::wstring(starterPath.substr(0, root ? slash + 1 : slash));
}

void KeepCurrentFolderOutOfDllSearch(const std::wstring& starterPath) {
  const std::wstring directory = DllDirectoryFor(LoaderOf(::GetModuleHandleW(L"ntdll.dll")), starterPath);
  ::SetDllDirectoryW(directory.c_str());
}

}  // namespace velmora
