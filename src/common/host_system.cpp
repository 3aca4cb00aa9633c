#include "common/host_system.h"

#include <windows.h>

namespace velmora {

bool RunsUnderWine() {
  static const bool underWine = [] {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return underWine;
}

}  // namespace velmora
