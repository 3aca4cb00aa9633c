#pragma once

#include <windows.h>

#include <velmora/main_module.h>

namespace velmora {

inline constexpr int kUnwoundExitCode = 1;

// A C++ exception thrown by MSVC-built code, as MSVC's own catch (...) recognises one under /EHsc:
// its code, parameter count and one of its three magic numbers.
bool IsMsvcCppException(const EXCEPTION_RECORD& record);

// Lets the crash-report module install its handlers on this thread, runs the application and
// unloads the module again. A C++ exception, GCC's or MSVC's, that leaves the application
// gives 1; structured exceptions pass on to the crash-report handlers and the system.
int RunWithCrashReporting(VelmoraRunAppW runApp, HMODULE mainModule, wchar_t* commandLine, int showCommand);

}  // namespace velmora
