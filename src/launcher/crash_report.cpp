#include "launcher/crash_report.h"

#include "common/entry_point.h"
#include "common/unique_handle.h"

namespace velmora {
namespace {

using InstallHandlersEntry = void(WINAPI*)();

constexpr wchar_t kCrashReportModule[] = L"DiDevovEzovid.dll";

void InstallCrashHandlers(HMODULE crashReport) {
  const auto setProcessHandlers =
      FindEntryPoint<InstallHandlersEntry>(crashReport, "SetProcessHandlers");
  if (setProcessHandlers == nullptr) return;
  setProcessHandlers();
  // Looked up again by name: the thread handlers belong to the module that holds the process ones.
  if (HMODULE loaded = ::GetModuleHandleW(kCrashReportModule)) {
    if (const auto setThreadHandlers =
            FindEntryPoint<InstallHandlersEntry>(loaded, "SetThreadHandlers")) {
      setThreadHandlers();
    }
  }
}

}  // namespace

int RunWithCrashReporting(RunAppEntry runApp, HMODULE mainModule, wchar_t* commandLine, int showCommand) {
  UniqueModule crashReport(::LoadLibraryW(kCrashReportModule));
  if (crashReport) InstallCrashHandlers(crashReport.Get());
  try {
    return runApp(mainModule, nullptr, commandLine, showCommand);
  } catch (...) {
    return kUnwoundExitCode;
  }
}

}  // namespace velmora
