#include "launcher/main_module.h"

#include <velmora/main_module.h>

#include <array>
#include <new>
#include <type_traits>

#include "common/entry_point.h"
#include "common/paths.h"
#include "common/trace.h"
#include "files/settings_file.h"
#include "launcher/command_line.h"
#include "launcher/crash_report.h"

namespace velmora {
namespace {

// The types the starter calls through are the types the modules define.
static_assert(std::is_same_v<decltype(&RunAppW), VelmoraRunAppW>);
static_assert(std::is_same_v<decltype(&SetStartScreenThreadId), VelmoraSetStartScreenThreadId>);

std::array<wchar_t, kLongPathCapacity> g_mainModulePath{};
HMODULE g_mainModuleHandle = nullptr;

}  // namespace

const wchar_t* MainModulePath() { return g_mainModulePath.data(); }

HMODULE MainModuleHandle() { return g_mainModuleHandle; }

void PublishMainModulePath(const std::wstring& path) {
  g_mainModulePath.fill(L'\0');
  if (Fits(path, g_mainModulePath.size())) path.copy(g_mainModulePath.data(), path.size());
}

void PreloadModules(const std::wstring& settingsFile, const std::wstring& moduleSearchPath) {
  for (const SectionEntry& entry : ReadSectionList(settingsFile, L"\\PreLoadedModules")) {
    if (const auto path = SearchAlongPath(moduleSearchPath, entry.name, kPathCapacity)) {
      // Deliberately never freed: the application relies on these staying in the process.
      LoadTracedModule(path->c_str());
    }
  }
}

StartOutcome HandOff(HandOffRequest request) {
  g_mainModuleHandle = LoadTracedModule(request.mainModulePath.c_str());
  if (g_mainModuleHandle == nullptr) return StartFailure{FailureReason::kMainModuleNotLoaded, ::GetLastError()};

  const auto runApp = FindEntryPoint<VelmoraRunAppW>(g_mainModuleHandle, VELMORA_RUN_APP_EXPORT);
  if (runApp == nullptr) return StartFailure{FailureReason::kNoRunApp};

  if (const auto setThreadId = FindEntryPoint<VelmoraSetStartScreenThreadId>(
          g_mainModuleHandle, VELMORA_SET_START_SCREEN_THREAD_ID_EXPORT)) {
    setThreadId(request.startScreenThreadId);
  }

  std::wstring commandLine;
  try {
    commandLine = ComposeApplicationCommandLine(request.commandLineText, request.settingsFile);
  } catch (const std::bad_alloc&) {
    return StartFailure{FailureReason::kNoApplicationCommandLine};
  }
  std::wstring().swap(request.commandLineText);

  TraceStep(L"hand-off", L"running the application");
  return RunWithCrashReporting(runApp, g_mainModuleHandle, commandLine.data(), request.showCommand);
}

}  // namespace velmora
