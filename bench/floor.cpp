// The least any starter must do for a start that shows the start screen: check the display, split
// its command line, start the start screen on its parameter file without waiting for it, load the
// main module and call its RunAppW. The start-up benchmark compares the real starter, in a start
// that shows the start screen, against this.
//
//   floor.exe <main module path> <start screen program path> <parameter file path>
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "common/unique_handle.h"
#include "loader.h"

namespace {

// The start screen's command line is its bare file name and the quoted parameter file, as the
// starter gives it.
void LaunchStartScreen(const std::wstring& program, const std::wstring& parameterFile) {
  std::wstring commandLine = program.substr(program.find_last_of(L'\\') + 1) + L" \"" + parameterFile + L'"';
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                   &startup, &process);
  // Null after a failed creation.
  const velmora::UniqueKernelHandle thread(process.hThread);
  const velmora::UniqueKernelHandle processHandle(process.hProcess);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!bench::DisplayIsUsable()) return bench::kFailure;
  int count = 0;
  const velmora::UniqueLocalMemory split(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!split || count != 4) return bench::kFailure;
  const auto* arguments = static_cast<wchar_t**>(split.Get());
  LaunchStartScreen(arguments[2], arguments[3]);
  return bench::RunMainModule(arguments[1]);
}
