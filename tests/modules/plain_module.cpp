// A module that only records that it was loaded, under whatever file name it was given, and what
// the starter's exports answered at that moment.
#include <windows.h>

#include "modules/record.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  using velmora::testing::StarterExport;
  const auto instance = StarterExport<HMODULE (*)()>("GetMainDllInstance");
  const auto name = StarterExport<const wchar_t* (*)()>("GetMainDllNameW");
  velmora::testing::RecordLine(L"plain:loaded " + velmora::testing::FileNameOfModule(self) +
                               L" mainInstance=" + (instance && instance() ? L"set" : L"null") +
                               L" mainName=" + (name ? name() : L"<missing>"));
  return TRUE;
}
