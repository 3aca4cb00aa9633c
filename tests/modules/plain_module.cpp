// A module that only records that it was loaded, under whatever file name it was given, and what
// the starter's exports answered at that moment.
#include <windows.h>

#include <velmora/starter_exports.h>

#include "modules/record.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  using velmora::testing::StarterExport;
  const auto instance = StarterExport<VelmoraGetMainDllInstance>(VELMORA_GET_MAIN_DLL_INSTANCE_EXPORT);
  const auto name = StarterExport<VelmoraGetMainDllNameW>(VELMORA_GET_MAIN_DLL_NAME_EXPORT);
  velmora::testing::RecordLine(L"plain:loaded " + velmora::testing::FileNameOfModule(self) +
                               L" mainInstance=" + (instance && instance() ? L"set" : L"null") +
                               L" mainName=" + (name ? name() : L"<missing>"));
  return TRUE;
}
