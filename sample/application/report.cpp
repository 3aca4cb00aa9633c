// The sample main module: instead of an application it prints what the starter prepared for it.
#include <windows.h>

#include <velmora/main_module.h>
#include <velmora/starter_exports.h>

#include <string>

namespace {

DWORD g_startScreenThreadId = 0;

void Print(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring Variable(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return L"(not set)";
  std::wstring value(size, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

// Looked up rather than imported: the start-up benchmark loads this module into programs of its own.
std::wstring StarterMainModuleName() {
  const auto entry = reinterpret_cast<VelmoraGetMainDllNameW>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(nullptr), VELMORA_GET_MAIN_DLL_NAME_EXPORT)));
  return entry ? entry() : L"(not exported)";
}

void Line(const wchar_t* label, const std::wstring& value) { Print(std::wstring(label) + value + L"\n"); }

}  // namespace

__declspec(dllexport) int SetStartScreenThreadId(DWORD threadId) {
  g_startScreenThreadId = threadId;
  return 0;
}

__declspec(dllexport) int WINAPI RunAppW(HINSTANCE, HINSTANCE, LPWSTR commandLine, int showCommand) {
  Print(L"Velmora sample application: what the starter prepared\n");
  Line(L"  command line:            ", commandLine);
  Line(L"  main module (starter):   ", StarterMainModuleName());
  Line(L"  start screen thread id:  ", std::to_wstring(g_startScreenThreadId));
  Line(L"  show command:            ", std::to_wstring(showCommand));
  Line(L"  VX_WI_DIR_TREE:          ", Variable(L"VX_WI_DIR_TREE"));
  Line(L"  VX_ADD_PATH:             ", Variable(L"VX_ADD_PATH"));
  Line(L"  PATH:                    ", Variable(L"PATH"));
  return 0;
}
