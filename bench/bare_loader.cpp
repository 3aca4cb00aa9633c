// The least any starter must do to run the main module: check the display, load the module, find
// RunAppW and call it with the settings file on the command line. The start-up benchmark compares
// the real starter against this.
//
//   bare_loader.exe [<main module path>]   (default: velmora.dll beside bare_loader.exe)
//
// The settings file named on the command line is the main module's path with the extension .ini.
#include <windows.h>

#include <string>

namespace {

using RunAppEntry = int(WINAPI*)(HINSTANCE, HINSTANCE, wchar_t*, int);

constexpr int kFailure = 255;

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

std::wstring SettingsFileOf(const std::wstring& modulePath) {
  const auto dot = modulePath.find_last_of(L'.');
  const auto slash = modulePath.find_last_of(L'\\');
  const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  return (hasExtension ? modulePath.substr(0, dot) : modulePath) + L".ini";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  HDC screen = ::GetDC(nullptr);
  const int bitsPerPixel = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  if (bitsPerPixel < 8) return kFailure;

  const std::wstring modulePath = MainModulePath(arguments);
  HMODULE module = ::LoadLibraryW(modulePath.c_str());
  if (module == nullptr) return kFailure;
  const auto runApp = reinterpret_cast<RunAppEntry>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module, "RunAppW")));
  if (runApp == nullptr) return kFailure;

  std::wstring commandLine = L" /_VxIniFileName_:\"" + SettingsFileOf(modulePath) + L'"';
  return runApp(module, nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
