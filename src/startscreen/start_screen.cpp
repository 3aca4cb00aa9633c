#include "startscreen/start_screen.h"

#include <windows.h>

#include <velmora/start_screen.h>

#include "common/paths.h"
#include "common/unique_handle.h"

namespace velmora {
namespace {

constexpr wchar_t kStartScreenProgram[] = VELMORA_START_SCREEN_PROGRAM;

// The program beside the starter, else on PATH. Never from the current folder: a file association
// starts the starter in the folder of the drawing the user opened, and a program planted there
// must not run.
std::optional<std::wstring> FindStartScreenProgram(const std::wstring& starterFolder) {
  std::wstring folders = starterFolder;
  if (const auto path = EnvironmentValue(L"PATH")) folders += L';' + *path;
  return SearchAlongPath(folders, kStartScreenProgram, kPathCapacity);
}

}  // namespace

std::uint32_t LaunchStartScreen(const StartScreenInfo& info, const std::wstring& starterFolder) {
  const auto workspace = PrepareStartScreenWorkspace(info);
  if (!workspace) return 0;
  WriteStartScreenParams(info, workspace->parameterFile, workspace->workspace);

  const auto program = FindStartScreenProgram(starterFolder);
  if (!program) return 0;
  std::wstring commandLine = std::wstring(kStartScreenProgram) + L" \"" + workspace->parameterFile + L'"';
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program->c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &process)) {
    return 0;
  }
  // The start screen runs on its own; nothing of it is kept but its thread's identifier.
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  return process.dwThreadId;
}

}  // namespace velmora
