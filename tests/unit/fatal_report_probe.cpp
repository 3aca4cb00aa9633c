// Runs the fatal error report the way the starter does, from an executable that carries the
// starter's string table. Arguments: the message identifier and 1 to ask for the reinstall line.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "launcher/fatal_error.h"

// What the probe ends with when the report returns instead of ending the process.
constexpr int kReportReturned = 7;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count < 3) return 2;
  const velmora::FatalMessage message{static_cast<UINT>(std::wcstoul(arguments[1], nullptr, 10)),
                                      std::wcscmp(arguments[2], L"1") == 0};
  ::LocalFree(arguments);
  velmora::ReportFatalError(message);
  return kReportReturned;
}
