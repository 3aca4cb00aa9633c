#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace velmora {

// The main module's path and handle, kept for the starter's exports for the life of the process.
const wchar_t* MainModulePath();
HMODULE MainModuleHandle();
void SetMainModulePath(const std::wstring& path);

// Loads every module of the pre-load list that is found along the module search path. The modules
// stay loaded until the process ends.
void PreloadModules(const std::wstring& settingsFile, const std::wstring& moduleSearchPath);

struct HandOffRequest {
  std::wstring commandLineText;
  std::wstring settingsFile;
  std::uint32_t startScreenThreadId = 0;
  int showCommand = SW_SHOWDEFAULT;
};

// Loads the main module and runs the application in it; gives the exit code. Ends the process
// through the fatal report when the module does not load or has no RunAppW.
int HandOff(HandOffRequest request);

}  // namespace velmora
