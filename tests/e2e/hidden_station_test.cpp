// The starter on a window station nobody sees, as it runs under a service or as the installer's
// system account in session 0: a box there would never be answered, so none may be waited for.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/unique_handle.h"
#include "e2e/installation.h"
#include "files/tree_copy.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

struct WindowStationTraits {
  using Handle = HWINSTA;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::CloseWindowStation(h); }
};
struct DesktopTraits {
  using Handle = HDESK;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::CloseDesktop(h); }
};

constexpr unsigned long kPatienceMs = 20000;
// A report that does not wait for anyone ends within a few seconds, Wine's start-up included.
constexpr ULONGLONG kPromptMs = 8000;

// A window station of the test's own, created without WSF_VISIBLE, with one desktop.
class HiddenDesktop {
 public:
  HiddenDesktop() : station_name_(L"VelmoraHidden" + std::to_wstring(::GetCurrentProcessId())) {
    station_.Reset(::CreateWindowStationW(station_name_.c_str(), 0, WINSTA_ALL_ACCESS, nullptr));
    // A desktop is created on the calling process's window station.
    const HWINSTA own = ::GetProcessWindowStation();
    if (station_ && ::SetProcessWindowStation(station_.Get())) {
      desktop_.Reset(::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr));
      ::SetProcessWindowStation(own);
    }
  }

  bool Ready() const { return station_ && desktop_; }
  bool StationVisible() const {
    USEROBJECTFLAGS flags{};
    return ::GetUserObjectInformationW(station_.Get(), UOI_FLAGS, &flags, sizeof(flags), nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
  }
  std::wstring DesktopPath() const { return station_name_ + L"\\Default"; }

 private:
  std::wstring station_name_;
  UniqueHandle<WindowStationTraits> station_;
  UniqueHandle<DesktopTraits> desktop_;
};

struct HiddenRun {
  bool started = false;
  unsigned long exitCode = kTimedOutExitCode;
  ULONGLONG elapsedMs = 0;
  std::string output;
};

// Starts the installed starter on the desktop with its standard output in a file, and ends it
// after kPatienceMs if it has not ended by then.
HiddenRun RunOnDesktop(const Installation& installation, const std::wstring& desktop, const std::wstring& arguments) {
  HiddenRun run;
  const std::wstring outputPath = installation.Root() + L"\\hidden-output.txt";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  UniqueKernelHandle output(::CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          &inherit, CREATE_ALWAYS, 0, nullptr));
  if (!output) return run;
  std::wstring desktopName = desktop;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.lpDesktop = desktopName.data();
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.Get();
  startup.hStdError = output.Get();
  std::wstring commandLine = L"\"" + installation.Starter() + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  const ULONGLONG begun = ::GetTickCount64();
  if (!::CreateProcessW(installation.Starter().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        installation.Bin().c_str(), &startup, &process)) {
    return run;
  }
  run.started = true;
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle thread(process.hThread);
  if (::WaitForSingleObject(processHandle.Get(), kPatienceMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(processHandle.Get(), kTimedOutExitCode);
    ::WaitForSingleObject(processHandle.Get(), INFINITE);
  }
  run.elapsedMs = ::GetTickCount64() - begun;
  DWORD exitCode = 0;
  ::GetExitCodeProcess(processHandle.Get(), &exitCode);
  run.exitCode = exitCode;
  output.Reset();
  run.output = ReadBytes(outputPath);
  return run;
}

class HiddenStation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop.Ready()) << "no window station of our own: " << ::GetLastError();
    // Wine marks only WinSta0 visible, as Windows does; were it to mark every station visible,
    // these runs would show their boxes and prove nothing.
    ASSERT_FALSE(desktop.StationVisible());
  }

  HiddenDesktop desktop;
};

TEST_F(HiddenStation, AFatalReportEndsAtOnceWith255AndItsTextOnTheStandardOutput) {
  const std::string missing = "Error: Some of application components are missing or corrupted.\r\n"
                              "Reinstall application to fix this problem.\r\n";
  const struct {
    const char* name;
    const wchar_t* removed;
    const wchar_t* arguments;
  } cases[] = {
      {"start without the main module", L"Bin\\velmora.dll", L""},
      // The installer's own case: -register as the system account, the identity module missing.
      {"-register without the identity module", L"Bin\\oeminfo.dll", L"-register"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Installation installation;
    installation.RemoveFile(c.removed);
    const HiddenRun run = RunOnDesktop(installation, desktop.DesktopPath(), c.arguments);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 255u);
    EXPECT_LT(run.elapsedMs, kPromptMs);
    EXPECT_EQ(run.output, missing);
  }
}

TEST_F(HiddenStation, StopForConnectDoesNotWaitForABox) {
  Installation installation;
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=42\n");
  const HiddenRun run = RunOnDesktop(installation, desktop.DesktopPath(), L"-stop_for_connect");
  EXPECT_EQ(run.exitCode, 42u);
  EXPECT_LT(run.elapsedMs, kPromptMs);
}

TEST_F(HiddenStation, TheUpgradeQuestionWaitsForAStartThatCanAskIt) {
  Installation installation;
  const std::wstring key = L"SOFTWARE\\" + installation.Company() + L"\\Velmora\\25.2";
  HKEY opened = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                              nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(opened, L"JustUpgraded", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"1"), 4);
  ::RegCloseKey(opened);
  // A user settings file: on a visible station this start would ask.
  CreateFolderWithParents(installation.PerUserFolder() + L"\\Config");
  WriteBytes(installation.PerUserFolder() + L"\\Config\\cfg.ini", "[Options]\n");

  const HiddenRun run = RunOnDesktop(installation, desktop.DesktopPath(), L"");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_LT(run.elapsedMs, kPromptMs);
  wchar_t marker[8] = {};
  DWORD size = sizeof(marker);
  EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"JustUpgraded", RRF_RT_REG_SZ, nullptr, marker, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(marker, L"1");
}

}  // namespace
}  // namespace velmora::testing
