// Runs the fatal error report the way the starter does, from an executable that carries the
// starter's string table. Arguments: the message identifier and 1 to ask for the reinstall line.
// With the single argument "ask" it asks the upgrade question in its message-box form instead and
// ends with the button pressed.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "common/paths.h"
#include "launcher/fatal_error.h"
#include "userdata/upgrade.h"

// What the probe ends with when the report returns instead of ending the process.
constexpr int kReportReturned = 7;

int AskAsMessageBox() {
  const TASKDIALOG_BUTTON buttons[] = {{IDYES, L"Keep:\n- this"}, {IDNO, L"Reset:\n- that"}};
  TASKDIALOGCONFIG config{};
  config.pszWindowTitle = L"Probe 25.2";
  config.pszMainInstruction = L"Instruction";
  config.pszContent = L"Content";
  config.cButtons = 2;
  config.pButtons = buttons;
  config.nDefaultButton = IDYES;
  int button = 0;
  return FAILED(velmora::AskWithMessageBox(config, button)) ? -1 : button;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments != nullptr && count == 2 && std::wcscmp(arguments[1], L"ask") == 0) return AskAsMessageBox();
  if (arguments == nullptr || count < 3) return 2;
  const velmora::FatalMessage message{static_cast<UINT>(std::wcstoul(arguments[1], nullptr, 10)),
                                      std::wcscmp(arguments[2], L"1") == 0};
  ::LocalFree(arguments);
  velmora::ReportFatalError(message, velmora::ModuleFileName(nullptr, velmora::kLongPathCapacity).value_or(L""),
                            velmora::kFatalExitCode);
  return kReportReturned;
}
