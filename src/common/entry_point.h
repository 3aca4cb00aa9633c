#pragma once

#include <windows.h>

namespace velmora {

// Looks up an exported function of a module and gives it the type the caller expects; null when
// the module does not export that name.
template <typename Entry>
Entry FindEntryPoint(HMODULE module, const char* name) {
  // Through the generic function type, which converts to any other without a cast warning.
  return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace velmora
