// A crash-report module that records which of its entry points the starter calls, on which
// thread, and when it is unloaded. Its process handlers take every unhandled exception, record its
// code and end the process with it, as a crash reporter does after writing its report.
#include <windows.h>

#include <velmora/crash_report.h>

#include "modules/record.h"

using velmora::testing::RecordLine;
using velmora::testing::ThreadLabel;

#ifndef TEST_CRASH_WITHOUT_PROCESS_HANDLERS
namespace {

LONG WINAPI ReportUnhandled(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  wchar_t hex[16] = {};
  ::wsprintfW(hex, L"%08X", code);
  RecordLine(std::wstring(L"crash:unhandled=") + hex);
  ::TerminateProcess(::GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

extern "C" __declspec(dllexport) int SetProcessHandlers() {
  RecordLine(L"crash:SetProcessHandlers thread=" + ThreadLabel());
  ::SetUnhandledExceptionFilter(ReportUnhandled);
  return 0;
}
#endif

extern "C" __declspec(dllexport) int SetThreadHandlers() {
  RecordLine(L"crash:SetThreadHandlers thread=" + ThreadLabel());
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) RecordLine(L"crash:loaded");
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) RecordLine(L"crash:unloaded");
  return TRUE;
}
