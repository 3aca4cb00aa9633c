#pragma once

#include <windows.h>

namespace velmora {

using RunAppEntry = int(WINAPI*)(HINSTANCE, HINSTANCE, wchar_t*, int);

inline constexpr int kUnwoundExitCode = 1;

// Lets the crash-report module install its handlers on this thread, runs the application and
// unloads the module again. An exception that leaves the application gives 1.
int RunWithCrashReporting(RunAppEntry runApp, HMODULE mainModule, wchar_t* commandLine, int showCommand);

}  // namespace velmora
