// A crash-report module that records which of its entry points the starter calls, on which
// thread, and when it is unloaded.
#include <windows.h>

#include "modules/record.h"

using velmora::testing::RecordLine;
using velmora::testing::ThreadLabel;

#ifndef TEST_CRASH_WITHOUT_PROCESS_HANDLERS
extern "C" __declspec(dllexport) void SetProcessHandlers() { RecordLine(L"crash:SetProcessHandlers thread=" + ThreadLabel()); }
#endif

extern "C" __declspec(dllexport) void SetThreadHandlers() { RecordLine(L"crash:SetThreadHandlers thread=" + ThreadLabel()); }

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) RecordLine(L"crash:loaded");
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) RecordLine(L"crash:unloaded");
  return TRUE;
}
