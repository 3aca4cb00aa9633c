#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "launcher/start_failure.h"

namespace velmora {

// What the starter's exports answer for the life of the process: the main module's path from the
// moment it is derived, and its handle once the hand-off has loaded it.
const wchar_t* MainModulePath();
HMODULE MainModuleHandle();
void PublishMainModulePath(const std::wstring& path);

// Loads every module of the pre-load list that is found along the module search path. The modules
// stay loaded until the process ends.
void PreloadModules(const std::wstring& settingsFile, const std::wstring& moduleSearchPath);

struct HandOffRequest {
  std::wstring mainModulePath;
  std::wstring commandLineText;
  std::wstring settingsFile;
  std::uint32_t startScreenThreadId = 0;
  int showCommand = SW_SHOWDEFAULT;
};

// Loads the main module and runs the application in it; gives the application's exit code, or the
// failure when the module does not load, has no RunAppW, or the command line cannot be made.
StartOutcome HandOff(HandOffRequest request);

}  // namespace velmora
