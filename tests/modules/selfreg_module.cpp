// A self-registering module that records every call of its entry points with the arguments.
// Variants: SELFREG_INSTALL (install route, succeeds), SELFREG_INSTALL_FAILS (install route that
// fails every call, with register and unregister entry points behind it), SELFREG_INSTALL_USER_ONLY
// (the same, but the install route succeeds for the user scope), SELFREG_SERVER (register
// and unregister entry points only), SELFREG_SERVER_FAILS (those, failing); none: no entry points.
#include <windows.h>

#include <velmora/self_registration.h>

#include <string>

#include "modules/record.h"

namespace {

HMODULE self = nullptr;

[[maybe_unused]] std::wstring Prefix(const wchar_t* entry) {
  return L"selfreg:" + velmora::testing::FileNameOfModule(self) + L":" + entry + L" host=";
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

#if defined(SELFREG_INSTALL) || defined(SELFREG_INSTALL_FAILS) || defined(SELFREG_INSTALL_USER_ONLY)
extern "C" __declspec(dllexport) int VxDllInstallW(LPCWSTR host, int reserved, int install, LPCWSTR scope) {
  velmora::testing::RecordLine(Prefix(L"VxDllInstallW") + host + L" " + std::to_wstring(reserved) +
                               L" install=" + std::to_wstring(install) + L" scope=" + scope);
#if defined(SELFREG_INSTALL_USER_ONLY)
  return *scope == L'\0' ? -1 : 0;
#elif defined(SELFREG_INSTALL_FAILS)
  return -1;
#else
  return 0;
#endif
}
#endif

#if defined(SELFREG_INSTALL_FAILS) || defined(SELFREG_INSTALL_USER_ONLY) || defined(SELFREG_SERVER) || \
    defined(SELFREG_SERVER_FAILS)
#ifdef SELFREG_SERVER_FAILS
constexpr int kServerResult = -2147467259;  // E_FAIL
#else
constexpr int kServerResult = 1;  // a positive result is a success too
#endif

extern "C" __declspec(dllexport) int VxDllRegisterServerW(LPCWSTR host, int reserved) {
  velmora::testing::RecordLine(Prefix(L"VxDllRegisterServerW") + host + L" " + std::to_wstring(reserved));
  return kServerResult;
}

extern "C" __declspec(dllexport) int VxDllUnRegisterServerW(LPCWSTR host, int reserved) {
  velmora::testing::RecordLine(Prefix(L"VxDllUnRegisterServerW") + host + L" " + std::to_wstring(reserved));
  return kServerResult;
}
#endif
