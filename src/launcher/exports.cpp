// Functions the main module and its libraries find in the starter by name (see exports.def).
#include <windows.h>

#include "launcher/main_module.h"

extern "C" {

HMODULE GetMainDllInstance() { return velmora::MainModuleHandle(); }

const wchar_t* GetMainDllNameW() { return velmora::MainModulePath(); }

// Kept for modules that still call it; exported only under its decorated C++ name.
void AddModuleToTrace() {}

}  // extern "C"
