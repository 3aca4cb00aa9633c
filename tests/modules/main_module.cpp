// A main module that records what the starter hands it. main.ini beside it sets what RunAppW
// does: return ExitCode, or throw when Throw=1.
#include <windows.h>

#include <cstdint>
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
  const auto name = StarterExport<const wchar_t* (*)()>("GetMainDllNameW");
  const auto instance = StarterExport<HMODULE (*)()>("GetMainDllInstance");
  RecordLine(std::wstring(L"main:GetMainDllNameW=") + (name ? name() : L"<missing>"));
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const wchar_t*>(&RecordStarterExports), &self);
  RecordLine(std::wstring(L"main:GetMainDllInstance=") +
             (instance == nullptr ? L"<missing>" : instance() == self ? L"self" : L"other"));
}

}  // namespace

#ifndef TEST_MAIN_WITHOUT_THREAD_ID
extern "C" __declspec(dllexport) void SetStartScreenThreadId(std::uint32_t threadId) {
  RecordLine(L"main:SetStartScreenThreadId=" + std::to_wstring(threadId) +
             L" thread=" + velmora::testing::ThreadLabel());
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

  const std::wstring ini = velmora::testing::FolderOfModule(reinterpret_cast<const void*>(&APPLICATION_ENTRY)) + L"main.ini";
  if (velmora::testing::IniText(ini, L"Main", L"Throw", L"0") == L"1") throw std::runtime_error("application failed");
  return std::stoi(velmora::testing::IniText(ini, L"Main", L"ExitCode", L"0"));
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) RecordLine(L"main:loaded");
  return TRUE;
}
