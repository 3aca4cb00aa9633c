// The main module, in C++: reports on the standard output what it received and what the starter's
// exports answer, called through the starter's import library, and returns 7.
#include <windows.h>

#include <velmora/main_module.h>
#include <velmora/starter_exports.h>

#include <string>

namespace {

DWORD g_startScreenThreadId = 0xFFFFFFFF;

void Line(const std::wstring& label, const std::wstring& value) {
  const std::wstring text = label + L"=" + value + L"\n";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

__declspec(dllexport) int SetStartScreenThreadId(DWORD threadId) {
  g_startScreenThreadId = threadId;
  return 0;
}

__declspec(dllexport) int WINAPI RunAppW(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  AddModuleToTrace();
  Line(L"commandLine", commandLine);
  Line(L"GetMainDllNameW", GetMainDllNameW());
  Line(L"GetMainDllInstance", GetMainDllInstance() == instance ? L"this module" : L"another module");
  Line(L"startScreenThreadId", std::to_wstring(g_startScreenThreadId));
  return 7;
}
