#include "support/child_process.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <functional>


#include "common/paths.h"
#include "common/unique_handle.h"

namespace velmora::testing {

namespace {

// The child's standard output goes to a temporary file rather than a pipe: a process the child
// starts (Wine's desktop process, a start screen) may inherit the handle and outlive the child.
UniqueKernelHandle CreateOutputFile(std::wstring& path) {
  wchar_t folder[MAX_PATH];
  wchar_t name[MAX_PATH];
  if (::GetTempPathW(MAX_PATH, folder) == 0 || ::GetTempFileNameW(folder, L"out", 0, name) == 0) {
    return UniqueKernelHandle();
  }
  path = name;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  return UniqueKernelHandle(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
}

std::string ReadWholeFile(const std::wstring& path) {
  UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  std::string content;
  if (!file) return content;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) content.append(chunk, read);
  return content;
}

struct BoxSearch {
  DWORD processId;
  std::vector<ShownBox>* boxes;
  int answer;
};

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  ::GetWindowTextW(window, text, 4096);
  return text;
}

BOOL CALLBACK LongestStaticText(HWND child, LPARAM found) {
  wchar_t className[64] = {};
  ::GetClassNameW(child, className, 64);
  auto* text = reinterpret_cast<std::wstring*>(found);
  if (_wcsicmp(className, L"Static") == 0) {
    std::wstring candidate = WindowText(child);
    if (candidate.size() > text->size()) *text = candidate;
  }
  return TRUE;
}

bool IsCommandLink(HWND button) {
  const auto type = static_cast<DWORD>(::GetWindowLongPtrW(button, GWL_STYLE)) & BS_TYPEMASK;
  return type == BS_COMMANDLINK || type == BS_DEFCOMMANDLINK;
}

// A message box's buttons are its direct children: the answer, or OK when it has no such button,
// is pressed as the button itself reports a click. A task dialog chooses a command link through
// TDM_CLICK_BUTTON: on Windows its links are not child windows of the dialog at all.
void PressAnswer(HWND window, int answer) {
  const HWND button = ::GetDlgItem(window, answer);
  if (button != nullptr && !IsCommandLink(button)) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  } else if (const HWND ok = ::GetDlgItem(window, IDOK); ok != nullptr && button == nullptr) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  } else {
    ::PostMessageW(window, TDM_CLICK_BUTTON, static_cast<WPARAM>(answer), 0);
  }
}

BOOL CALLBACK AnswerMessageBox(HWND window, LPARAM search) {
  auto* boxSearch = reinterpret_cast<BoxSearch*>(search);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  ::GetClassNameW(window, className, 64);
  if (owner != boxSearch->processId || std::wstring(className) != L"#32770" || !::IsWindowVisible(window) ||
      !::IsWindowEnabled(window)) {
    return TRUE;
  }
  ShownBox box{WindowText(window), {}};
  ::EnumChildWindows(window, LongestStaticText, reinterpret_cast<LPARAM>(&box.text));
  boxSearch->boxes->push_back(box);
  ::EnableWindow(window, FALSE);  // answered once, not again on the next round
  PressAnswer(window, boxSearch->answer);
  return TRUE;
}

// Waits for the process to end, answering its message boxes meanwhile.
bool WaitAnsweringBoxes(HANDLE process, DWORD processId, unsigned long timeoutMs, int answer,
                        std::vector<ShownBox>& boxes) {
  constexpr DWORD kPollMs = 20;
  BoxSearch search{processId, &boxes, answer};
  for (unsigned long waited = 0; waited < timeoutMs; waited += kPollMs) {
    if (::WaitForSingleObject(process, kPollMs) == WAIT_OBJECT_0) return true;
    ::EnumWindows(AnswerMessageBox, reinterpret_cast<LPARAM>(&search));
  }
  return false;
}

struct StartedChild {
  UniqueKernelHandle process;
  UniqueKernelHandle thread;
  DWORD processId = 0;
};

bool StartChild(const std::wstring& program, const std::wstring& commandLine, const std::wstring& workingFolder,
                HANDLE output, StartedChild& child) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::wstring mutableCommandLine = commandLine;
  if (!::CreateProcessW(program.c_str(), mutableCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process)) {
    return false;
  }
  child.process.Reset(process.hProcess);
  child.thread.Reset(process.hThread);
  child.processId = process.dwProcessId;
  return true;
}

}  // namespace

ChildResult RunChild(const std::wstring& program, const std::wstring& commandLine,
                     const std::wstring& workingFolder, unsigned long timeoutMs, int answer) {
  ChildResult result;
  std::wstring outputPath;
  {
    UniqueKernelHandle output = CreateOutputFile(outputPath);
    if (!output) return result;
    StartedChild child;
    if (!StartChild(program, commandLine, workingFolder, output.Get(), child)) {
      ::DeleteFileW(outputPath.c_str());
      return result;
    }
    result.started = true;
    if (!WaitAnsweringBoxes(child.process.Get(), child.processId, timeoutMs, answer, result.boxes)) {
      ::TerminateProcess(child.process.Get(), kTimedOutExitCode);
      ::WaitForSingleObject(child.process.Get(), INFINITE);
    }
    DWORD exitCode = 0;
    ::GetExitCodeProcess(child.process.Get(), &exitCode);
    result.exitCode = exitCode;
  }
  result.output = ReadWholeFile(outputPath);
  ::DeleteFileW(outputPath.c_str());
  return result;
}

EndedChild RunChildAndEnd(const std::wstring& program, const std::wstring& commandLine,
                          const std::wstring& workingFolder, const std::function<bool()>& begun,
                          unsigned long delayMs, int answer) {
  constexpr ULONGLONG kPatienceMs = 60000;
  constexpr unsigned kPollsPerBoxSearch = 200;
  EndedChild result;
  std::wstring outputPath;
  {
    UniqueKernelHandle output = CreateOutputFile(outputPath);
    StartedChild child;
    if (!output || !StartChild(program, commandLine, workingFolder, output.Get(), child)) {
      if (output) ::DeleteFileW(outputPath.c_str());
      return result;
    }
    std::vector<ShownBox> boxes;
    BoxSearch search{child.processId, &boxes, answer};
    const ULONGLONG deadline = ::GetTickCount64() + kPatienceMs;
    bool running = true;
    for (unsigned poll = 1; running && !(result.begun = begun()); ++poll) {
      running = ::WaitForSingleObject(child.process.Get(), 0) == WAIT_TIMEOUT && ::GetTickCount64() < deadline;
      if (poll % kPollsPerBoxSearch == 0) ::EnumWindows(AnswerMessageBox, reinterpret_cast<LPARAM>(&search));
    }
    const ULONGLONG begunAt = ::GetTickCount64();
    // A start to be ended has answered its questions before the step began: a plain wait keeps the
    // delay exact. A start left to end on its own is answered to its end.
    if (result.begun && delayMs == kNoEnd) {
      WaitAnsweringBoxes(child.process.Get(), child.processId, kPatienceMs, answer, boxes);
    } else if (result.begun && delayMs > 0) {
      ::WaitForSingleObject(child.process.Get(), delayMs);
    }
    const bool killed = ::TerminateProcess(child.process.Get(), kTimedOutExitCode) != FALSE;
    ::WaitForSingleObject(child.process.Get(), INFINITE);
    result.stepMs = static_cast<unsigned long>(::GetTickCount64() - begunAt);
    DWORD exitCode = 0;
    result.ended = killed && ::GetExitCodeProcess(child.process.Get(), &exitCode) && exitCode == kTimedOutExitCode;
  }
  ::DeleteFileW(outputPath.c_str());
  return result;
}

std::wstring TestBinaryFolder() {
  return CutAtLastBackslash(ModuleFileName(nullptr, 32768).value_or(std::wstring()));
}

}  // namespace velmora::testing
