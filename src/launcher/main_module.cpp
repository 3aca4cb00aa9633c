#include "launcher/main_module.h"

#include <array>
#include <new>

#include "common/entry_point.h"
#include "common/paths.h"
#include "environment/settings_file.h"
#include "launcher/command_line.h"
#include "launcher/crash_report.h"
#include "launcher/fatal_error.h"

namespace velmora {
namespace {

using SetStartScreenThreadIdEntry = void(WINAPI*)(std::uint32_t);

std::array<wchar_t, kLongPathCapacity> g_mainModulePath{};
HMODULE g_mainModuleHandle = nullptr;

}  // namespace

const wchar_t* MainModulePath() { return g_mainModulePath.data(); }

HMODULE MainModuleHandle() { return g_mainModuleHandle; }

void SetMainModulePath(const std::wstring& path) {
  g_mainModulePath.fill(L'\0');
  if (Fits(path, g_mainModulePath.size())) path.copy(g_mainModulePath.data(), path.size());
}

void PreloadModules(const std::wstring& settingsFile, const std::wstring& moduleSearchPath) {
  for (const SectionEntry& entry : ReadSectionList(settingsFile, L"\\PreLoadedModules")) {
    if (const auto path = SearchAlongPath(moduleSearchPath, entry.name, kPathCapacity)) {
      // Deliberately never freed: the application relies on these staying in the process.
      ::LoadLibraryW(path->c_str());
    }
  }
}

int HandOff(HandOffRequest request) {
  g_mainModuleHandle = ::LoadLibraryW(MainModulePath());
  if (g_mainModuleHandle == nullptr) {
    const DWORD loadError = ::GetLastError();
    ReportFatalError(FatalMessage::kMissingComponents);
    return static_cast<int>(loadError);
  }

  const auto runApp = FindEntryPoint<RunAppEntry>(g_mainModuleHandle, "RunAppW");
  if (runApp == nullptr) {
    ReportFatalError(FatalMessage::kCorruptMainModule);
    return kFatalExitCode;
  }

  if (const auto setThreadId = FindEntryPoint<SetStartScreenThreadIdEntry>(g_mainModuleHandle, "SetStartScreenThreadId")) {
    setThreadId(request.startScreenThreadId);
  }

  std::wstring commandLine;
  try {
    commandLine = ComposeApplicationCommandLine(request.commandLineText, request.settingsFile);
  } catch (const std::bad_alloc&) {
    ReportFatalError(FatalMessage::kCorruptMainModule);
    return kFatalExitCode;
  }
  std::wstring().swap(request.commandLineText);

  return RunWithCrashReporting(runApp, g_mainModuleHandle, commandLine.data(), request.showCommand);
}

}  // namespace velmora
