// The least any starter must do to run the main module: check the display, load the module, find
// RunAppW and call it with the settings file on the command line. The start-up benchmark compares
// the real starter, in a start that shows no start screen, against this.
//
//   bare_loader.exe [<main module path>]   (default: velmora.dll beside bare_loader.exe)
#include <windows.h>

#include <string>

#include "loader.h"

namespace {

std::wstring OwnFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// The first argument as one path: quotes dropped, surrounding spaces trimmed.
std::wstring MainModulePath(const wchar_t* arguments) {
  std::wstring path;
  for (const wchar_t* c = arguments; *c != L'\0'; ++c) {
    if (*c != L'"') path += *c;
  }
  const auto first = path.find_first_not_of(L' ');
  if (first == std::wstring::npos) return OwnFolder() + L"velmora.dll";
  return path.substr(first, path.find_last_not_of(L' ') - first + 1);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  if (!bench::DisplayIsUsable()) return bench::kFailure;
  return bench::RunMainModule(MainModulePath(arguments));
}
