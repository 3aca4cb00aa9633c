// A main module that records what the starter hands it. main.ini beside it sets what RunAppW
// does: return ExitCode, or leave by an exception: Throw=1 throws a C++ exception of this (GCC)
// build, Throw=msvc raises one the way MSVC's runtime throws, Throw=access an access violation.
#include <windows.h>

#include <velmora/main_module.h>
#include <velmora/starter_exports.h>

#include <stdexcept>
#include <string>

#include "modules/record.h"

namespace {

using velmora::testing::RecordLine;

void RecordEnvironment() {
  for (const wchar_t* name : {L"PATH", L"VX_WI_DIR_TREE", L"VX_ADD_PATH", L"DEZUVAVARE", L"QT_QPA_PLATFORM_PLUGIN_PATH"}) {
    RecordLine(std::wstring(L"main:env:") + name + L"=" + velmora::testing::EnvironmentText(name));
  }
}

void RecordStarterExports() {
  using velmora::testing::StarterExport;
  const auto name = StarterExport<VelmoraGetMainDllNameW>(VELMORA_GET_MAIN_DLL_NAME_EXPORT);
  const auto instance = StarterExport<VelmoraGetMainDllInstance>(VELMORA_GET_MAIN_DLL_INSTANCE_EXPORT);
  RecordLine(std::wstring(L"main:GetMainDllNameW=") + (name ? name() : L"<missing>"));
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const wchar_t*>(&RecordStarterExports), &self);
  RecordLine(std::wstring(L"main:GetMainDllInstance=") +
             (instance == nullptr ? L"<missing>" : instance() == self ? L"self" : L"other"));
}

// What MSVC's runtime raises for `throw object;` on x64: the magic number, the object, its throw
// information and the image base that information is relative to.
[[noreturn]] void ThrowLikeMsvc() {
  static int object = 42;
  static const unsigned throwInformation[4] = {};
  const ULONG_PTR arguments[4] = {0x19930520, reinterpret_cast<ULONG_PTR>(&object),
                                  reinterpret_cast<ULONG_PTR>(&throwInformation),
                                  reinterpret_cast<ULONG_PTR>(::GetModuleHandleW(nullptr))};
  ::RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 4, arguments);
  ::ExitProcess(99);
}

void LeaveAsConfigured(const std::wstring& how) {
  if (how == L"1") throw std::runtime_error("application failed");
  if (how == L"msvc") ThrowLikeMsvc();
  if (how == L"access") ::RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

}  // namespace

#ifndef TEST_MAIN_WITHOUT_THREAD_ID
extern "C" __declspec(dllexport) int SetStartScreenThreadId(DWORD threadId) {
  RecordLine(L"main:SetStartScreenThreadId=" + std::to_wstring(threadId) +
             L" thread=" + velmora::testing::ThreadLabel());
  return 0;
}
#endif

// The variant without RunAppW exports the entry point under a name the starter does not look for.
#ifdef TEST_MAIN_WITHOUT_RUNAPP
#define APPLICATION_ENTRY RunApp
#else
#define APPLICATION_ENTRY RunAppW
#endif

extern "C" __declspec(dllexport) int WINAPI APPLICATION_ENTRY(HINSTANCE instance, HINSTANCE previous, wchar_t* commandLine,
                                                    int showCommand) {
  RecordLine(L"main:RunAppW thread=" + velmora::testing::ThreadLabel());
  RecordLine(std::wstring(L"main:commandLine=") + commandLine);
  RecordLine(L"main:showCommand=" + std::to_wstring(showCommand));
  RecordLine(std::wstring(L"main:previous=") + (previous == nullptr ? L"null" : L"set"));
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const wchar_t*>(&APPLICATION_ENTRY), &self);
  RecordLine(std::wstring(L"main:instance=") + (instance == self ? L"self" : L"other"));
  RecordEnvironment();
  RecordStarterExports();
  const bool documentService = ::GetModuleHandleW(L"ole32.dll") != nullptr || ::GetModuleHandleW(L"oleaut32.dll") != nullptr;
  RecordLine(std::wstring(L"main:documentServiceLoaded=") + (documentService ? L"yes" : L"no"));
  RecordLine(std::wstring(L"main:xmlReaderLoaded=") + (::GetModuleHandleW(L"xmllite.dll") != nullptr ? L"yes" : L"no"));

  const std::wstring ini = velmora::testing::FolderOfModule(reinterpret_cast<const void*>(&APPLICATION_ENTRY)) + L"main.ini";
  LeaveAsConfigured(velmora::testing::IniText(ini, L"Main", L"Throw", L"0"));
  return std::stoi(velmora::testing::IniText(ini, L"Main", L"ExitCode", L"0"));
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) RecordLine(L"main:loaded");
  return TRUE;
}
