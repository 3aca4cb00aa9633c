// A self-registering module with the install route: says what it was asked, for which scope.
#include <windows.h>

#include <velmora/self_registration.h>

#include <string>

__declspec(dllexport) int VxDllInstallW(LPCWSTR host, int, int install, LPCWSTR scope) {
  const std::wstring text = std::wstring(install ? L"install" : L"uninstall") + L" scope=[" + scope + L"] host=" +
                            host + L"\n";
  char utf8[1024];
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8,
                                         static_cast<int>(sizeof utf8), nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8, static_cast<DWORD>(size), &written, nullptr);
  return S_OK;
}
