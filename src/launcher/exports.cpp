// What the main module and its libraries ask the starter (see exports.def and the kit's
// velmora/starter_exports.h, which declares them for the modules).
#define VELMORA_STARTER_DEFINES_EXPORTS
#include <velmora/starter_exports.h>

#include <type_traits>

#include "launcher/main_module.h"

static_assert(std::is_same_v<decltype(&GetMainDllInstance), VelmoraGetMainDllInstance>);
static_assert(std::is_same_v<decltype(&GetMainDllNameW), VelmoraGetMainDllNameW>);
static_assert(std::is_same_v<decltype(&AddModuleToTrace), VelmoraAddModuleToTrace>);

extern "C" {

HMODULE GetMainDllInstance() { return velmora::MainModuleHandle(); }

LPCWSTR GetMainDllNameW() { return velmora::MainModulePath(); }

}  // extern "C"

// Kept for modules that still call it; its one name is the decorated C++ name the kit gives it.
void AddModuleToTrace() {}
