#include "common/trace.h"

namespace velmora {
namespace {

// Process-wide by nature: the trace belongs to the one start this process runs.
bool g_traceOn = false;
LARGE_INTEGER g_traceBegin{};

std::uint64_t ElapsedMs() {
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  if (frequency.QuadPart <= 0) return 0;
  return static_cast<std::uint64_t>((now.QuadPart - g_traceBegin.QuadPart) * 1000 / frequency.QuadPart);
}

void Trace(std::wstring_view text) {
  if (!g_traceOn) return;
  const DWORD error = ::GetLastError();
  ::OutputDebugStringW(FormatTraceLine(ElapsedMs(), text).c_str());
  ::SetLastError(error);
}

}  // namespace

void BeginTrace() {
  wchar_t value[2] = {};
  g_traceOn = ::GetEnvironmentVariableW(L"VX_STARTER_TRACE", value, 2) == 1 && value[0] == L'1';
  ::QueryPerformanceCounter(&g_traceBegin);
}

void TraceStep(std::wstring_view step, std::wstring_view outcome) {
  if (g_traceOn) Trace(std::wstring(L"step ") + std::wstring(step) + L": " + std::wstring(outcome));
}

void TraceRefusal(std::wstring_view what, std::wstring_view reason) {
  if (g_traceOn) Trace(std::wstring(L"refused ") + std::wstring(what) + L": " + std::wstring(reason));
}

void TraceFailure(std::wstring_view what, DWORD error) {
  if (g_traceOn) Trace(std::wstring(L"failed ") + std::wstring(what) + L": " + DescribeSystemError(error));
}

HMODULE LoadTracedModule(const wchar_t* path) {
  const HMODULE module = ::LoadLibraryW(path);
  if (g_traceOn) {
    const DWORD error = ::GetLastError();
    const std::wstring outcome = module != nullptr ? L"loaded" : L"failed, " + DescribeSystemError(error);
    Trace(std::wstring(L"load ") + path + L": " + outcome);
    ::SetLastError(error);
  }
  return module;
}

std::wstring FormatTraceLine(std::uint64_t elapsedMs, std::wstring_view text) {
  return L"Starter trace +" + std::to_wstring(elapsedMs) + L" ms: " + std::wstring(text) + L"\r\n";
}

std::wstring DescribeSystemError(DWORD error) {
  wchar_t text[512] = {};
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, static_cast<DWORD>(sizeof text / sizeof *text), nullptr);
  std::wstring description = std::to_wstring(error);
  std::wstring_view message(text, length);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.remove_suffix(1);
  }
  if (!message.empty()) description += L' ' + std::wstring(message);
  return description;
}

}  // namespace velmora
