// What every program of the start-up benchmark does, as the starter must too: the display check,
// and loading the main module and calling its RunAppW with the settings file on the command line.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

inline constexpr int kFailure = 255;

inline bool DisplayIsUsable() {
  HDC screen = ::GetDC(nullptr);
  const int bitsPerPixel = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  return bitsPerPixel >= 8;
}

// The settings file named on the command line is the main module's path with the extension .ini.
inline std::wstring SettingsFileOf(const std::wstring& modulePath) {
  const auto dot = modulePath.find_last_of(L'.');
  const auto slash = modulePath.find_last_of(L'\\');
  const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
  return (hasExtension ? modulePath.substr(0, dot) : modulePath) + L".ini";
}

inline int RunMainModule(const std::wstring& modulePath) {
  using RunAppEntry = int(WINAPI*)(HINSTANCE, HINSTANCE, wchar_t*, int);
  HMODULE module = ::LoadLibraryW(modulePath.c_str());
  if (module == nullptr) return kFailure;
  const auto runApp = reinterpret_cast<RunAppEntry>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module, "RunAppW")));
  if (runApp == nullptr) return kFailure;
  std::wstring commandLine = L" /_VxIniFileName_:\"" + SettingsFileOf(modulePath) + L'"';
  return runApp(module, nullptr, commandLine.data(), SW_SHOWDEFAULT);
}

}  // namespace bench
