// Runs one command line as the life-cycle test needs it and ends with its exit code:
//   station_run.exe here <command line>     on the caller's own window station and desktop, the
//                                           way Explorer runs an Active Setup StubPath at logon;
//   station_run.exe hidden <command line>   on a window station of its own that nobody sees, the
//                                           way a management tool's installation runs in session 0.
// The command line is taken as it is (one argument), so that a StubPath read from the registry runs
// unchanged. The program inherits the standard handles; 1 when it cannot be started.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

// CreateDesktopW works on the calling process's window station: switch for the call.
bool CreateHiddenDesktop(const std::wstring& stationName, HWINSTA& station, HDESK& desktop) {
  station = ::CreateWindowStationW(stationName.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  if (station == nullptr) return false;
  const HWINSTA own = ::GetProcessWindowStation();
  if (!::SetProcessWindowStation(station)) return false;
  desktop = ::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  ::SetProcessWindowStation(own);
  return desktop != nullptr;
}

int Run(std::wstring commandLine, wchar_t* desktop) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.lpDesktop = desktop;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return 1;
  }
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}

}  // namespace

int wmain() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count != 3) return 1;
  const std::wstring where = arguments[1];
  const std::wstring commandLine = arguments[2];
  ::LocalFree(arguments);
  if (where == L"here") return Run(commandLine, nullptr);
  if (where != L"hidden") return 1;
  const std::wstring stationName = L"VelmoraSession0Like" + std::to_wstring(::GetCurrentProcessId());
  HWINSTA station = nullptr;
  HDESK desktop = nullptr;
  int result = 1;
  if (CreateHiddenDesktop(stationName, station, desktop)) {
    std::wstring desktopPath = stationName + L"\\Default";
    result = Run(commandLine, desktopPath.data());
  }
  if (desktop != nullptr) ::CloseDesktop(desktop);
  if (station != nullptr) ::CloseWindowStation(station);
  return result;
}
