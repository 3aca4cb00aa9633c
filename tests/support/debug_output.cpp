#include "support/debug_output.h"

#include <windows.h>

#include <algorithm>

#include "common/unique_handle.h"
#include "support/child_process.h"

namespace velmora::testing {
namespace {

// The text of one debug string event; its length counts the terminator.
std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  const std::size_t units = info.nDebugStringLength;
  if (units == 0) return {};
  if (info.fUnicode) {
    std::wstring text(units, L'\0');
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, info.lpDebugStringData, text.data(), units * sizeof(wchar_t), &read)) return {};
    text.resize(read / sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
  }
  std::string narrow(units, '\0');
  SIZE_T read = 0;
  if (!::ReadProcessMemory(process, info.lpDebugStringData, narrow.data(), units, &read)) return {};
  narrow.resize(read);
  narrow.erase(std::min(narrow.find('\0'), narrow.size()));
  if (narrow.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), text.data(), size);
  return text;
}

using WaitForDebugEventEntry = BOOL(WINAPI*)(DEBUG_EVENT*, DWORD);

// WaitForDebugEvent hands text written with OutputDebugStringW over converted to the ANSI code
// page; WaitForDebugEventEx (Windows 10 and later) keeps it Unicode. The older one only where the
// newer one is missing.
WaitForDebugEventEntry DebugEventWaiter() {
  const auto unicode = reinterpret_cast<WaitForDebugEventEntry>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "WaitForDebugEventEx")));
  return unicode != nullptr ? unicode : ::WaitForDebugEvent;
}

}  // namespace

DebuggedResult RunCollectingDebugOutput(const std::wstring& program, const std::wstring& commandLine,
                                        const std::wstring& workingFolder) {
  DebuggedResult result;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring mutableCommandLine = commandLine;
  if (!::CreateProcessW(program.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process)) {
    return result;
  }
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  result.started = true;

  const WaitForDebugEventEntry waitForDebugEvent = DebugEventWaiter();
  bool ended = false;
  constexpr DWORD kPatienceMs = 60000;
  const ULONGLONG deadline = ::GetTickCount64() + kPatienceMs;
  for (;;) {
    DEBUG_EVENT event{};
    const ULONGLONG now = ::GetTickCount64();
    if (!waitForDebugEvent(&event, now < deadline ? static_cast<DWORD>(deadline - now) : 1000)) {
      if (::GetLastError() != ERROR_SEM_TIMEOUT && ::GetLastError() != WAIT_TIMEOUT) break;
      // Ended by force; its exit event still comes.
      ::TerminateProcess(processHandle.Get(), kTimedOutExitCode);
      continue;
    }
    DWORD continuation = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        UniqueKernelHandle(event.u.CreateProcessInfo.hFile).Reset();
        break;
      case LOAD_DLL_DEBUG_EVENT:
        UniqueKernelHandle(event.u.LoadDll.hFile).Reset();
        break;
      case OUTPUT_DEBUG_STRING_EVENT:
        result.debugOutput.push_back(ReadDebugString(processHandle.Get(), event.u.DebugString));
        break;
      case EXCEPTION_DEBUG_EVENT:
        // The initial breakpoint is the debugger's to answer; every other exception is the program's own.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
          continuation = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      default:
        break;
    }
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT && event.dwProcessId == process.dwProcessId) {
      result.exitCode = event.u.ExitProcess.dwExitCode;
      ended = true;
      ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
      break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continuation);
  }
  if (!ended) {
    ::TerminateProcess(processHandle.Get(), kTimedOutExitCode);
    result.exitCode = kTimedOutExitCode;
  }
  ::WaitForSingleObject(processHandle.Get(), 10000);
  return result;
}

}  // namespace velmora::testing
