// A sample self-registering module. It registers nothing for real: it says on the standard output
// and the debugger output that it was asked to register or unregister, and by which program.
#include <windows.h>

#include <velmora/self_registration.h>

#include <string>

namespace {

void Say(const std::wstring& text) {
  ::OutputDebugStringW(text.c_str());
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  if (size <= 0) return;
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

__declspec(dllexport) int VxDllRegisterServerW(LPCWSTR host, int) {
  Say(std::wstring(L"VmSampleReg.dll: registered for ") + (host != nullptr ? host : L"(no host)") + L"\r\n");
  return S_OK;
}

__declspec(dllexport) int VxDllUnRegisterServerW(LPCWSTR host, int) {
  Say(std::wstring(L"VmSampleReg.dll: unregistered for ") + (host != nullptr ? host : L"(no host)") + L"\r\n");
  return S_OK;
}
