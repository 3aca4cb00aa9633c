#include "environment/dll_search.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "common/entry_point.h"
#include "common/paths.h"

namespace velmora {
namespace {

// The folders the loader searches for a module loaded by name, as it reports them; nothing when it
// cannot tell (the call is not documented and not on every Windows version).
std::optional<std::wstring> LoaderSearchPath() {
  using GetDllPathEntry = LONG(WINAPI*)(const wchar_t*, ULONG, wchar_t**, wchar_t**);
  using ReleasePathEntry = void(WINAPI*)(wchar_t*);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const auto getDllPath = FindEntryPoint<GetDllPathEntry>(ntdll, "LdrGetDllPath");
  const auto releasePath = FindEntryPoint<ReleasePathEntry>(ntdll, "RtlReleasePath");
  if (getDllPath == nullptr || releasePath == nullptr) return std::nullopt;
  wchar_t* path = nullptr;
  wchar_t* unused = nullptr;  // a second list some versions give
  // The path for a module loaded by a plain name, as LoadLibraryW searches for one.
  if (getDllPath(L"module.dll", 0, &path, &unused) < 0 || path == nullptr) return std::nullopt;
  std::wstring text(path);
  releasePath(path);
  if (unused != nullptr) releasePath(unused);
  return text;
}

}  // namespace

bool NamesCurrentFolder(std::wstring_view searchPath) {
  std::size_t start = 0;
  while (start <= searchPath.size()) {
    const std::size_t end = std::min(searchPath.find(L';', start), searchPath.size());
    if (searchPath.substr(start, end - start) == L".") return true;
    start = end + 1;
  }
  return false;
}

bool LoaderSearchesCurrentFolder() {
  const auto searchPath = LoaderSearchPath();
  return searchPath && NamesCurrentFolder(*searchPath);
}

void KeepCurrentFolderOutOfDllSearch(const std::wstring& starterPath) {
  ::SetDllDirectoryW(L"");
  // The DLL directory is inherited by every child process, so the empty text, which only removes
  // the current folder, is what Windows gets. Wine 8 ignores the empty text and still searches the
  // current folder; only there the starter's own folder is named instead: it is searched first
  // anyway, so nothing new is added for this process or a child.
  if (!LoaderSearchesCurrentFolder()) return;
  if (starterPath.empty()) return;
  ::SetDllDirectoryW(CutAtLastBackslash(starterPath).c_str());
}

}  // namespace velmora
