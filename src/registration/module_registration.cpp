#include "registration/module_registration.h"

#include <windows.h>

#include <cstdint>
#include <optional>

#include "common/entry_point.h"
#include "common/paths.h"
#include "common/trace.h"
#include "files/settings_file.h"

namespace velmora {
namespace {

using InstallEntry = std::int32_t(WINAPI*)(const wchar_t* host, int reserved, int install, const wchar_t* scope);
using ServerEntry = std::int32_t(WINAPI*)(const wchar_t* host, int reserved);

constexpr wchar_t kUserScope[] = L"user";
constexpr wchar_t kNoScope[] = L"";

// A module found along the search path and loaded, with the host path its entry points receive.
// The module is never unloaded: what it registered may still refer to its code.
struct LoadedModule {
  HMODULE module = nullptr;
  std::wstring hostPath;
};

enum class LoadFailure { kNone, kNotLoadable, kNoHostPath };

LoadFailure LoadForRegistration(const std::wstring& name, const RegistrationHost& host, LoadedModule& loaded) {
  const std::optional<std::wstring> path = SearchAlongPath(host.moduleSearchPath, name, kPathCapacity);
  if (!path) return LoadFailure::kNotLoadable;
  loaded.module = LoadTracedModule(path->c_str());
  if (loaded.module == nullptr) return LoadFailure::kNotLoadable;
  if (host.starterPath.empty() || !Fits(host.starterPath, kPathCapacity)) return LoadFailure::kNoHostPath;
  loaded.hostPath = host.starterPath;
  return LoadFailure::kNone;
}

void LogRegistrationFailure(const std::wstring& name, const wchar_t* ending) {
  ::OutputDebugStringW(L"Starter::RegisterModule(\"");
  ::OutputDebugStringW(name.c_str());
  std::wstring tail = L"\"";
  tail += ending;
  tail += L"\r\n";
  ::OutputDebugStringW(tail.c_str());
}

}  // namespace

bool RegisterModule(const std::wstring& name, const std::wstring&, const RegistrationHost& host) {
  LoadedModule loaded;
  switch (LoadForRegistration(name, host, loaded)) {
    case LoadFailure::kNotLoadable:
      LogRegistrationFailure(name, L") - unable to load module");
      return false;
    case LoadFailure::kNoHostPath:
      return false;
    case LoadFailure::kNone:
      break;
  }
  const wchar_t* hostPath = loaded.hostPath.c_str();

  if (const auto install = FindEntryPoint<InstallEntry>(loaded.module, "VxDllInstallW")) {
    install(hostPath, 0, 1, kUserScope);
    install(hostPath, 0, 0, kNoScope);
    install(hostPath, 0, 0, kNoScope);
    const std::int32_t allUsers = install(hostPath, 0, 1, kNoScope);
    const std::int32_t user = install(hostPath, 0, 1, kUserScope);
    if (allUsers >= 0 || user >= 0) return true;
  }

  const auto registerServer = FindEntryPoint<ServerEntry>(loaded.module, "VxDllRegisterServerW");
  if (registerServer == nullptr) {
    LogRegistrationFailure(name, L") - unable to find register entry point");
    return false;
  }
  if (registerServer(hostPath, 0) < 0) {
    LogRegistrationFailure(name, L") - registering failed");
    return false;
  }
  return true;
}

bool UnregisterModule(const std::wstring& name, const std::wstring&, const RegistrationHost& host) {
  LoadedModule loaded;
  if (LoadForRegistration(name, host, loaded) != LoadFailure::kNone) return false;
  const wchar_t* hostPath = loaded.hostPath.c_str();

  if (const auto install = FindEntryPoint<InstallEntry>(loaded.module, "VxDllInstallW")) {
    const std::int32_t user = install(hostPath, 0, 0, kUserScope);
    install(hostPath, 0, 0, kNoScope);
    const std::int32_t allUsers = install(hostPath, 0, 0, kNoScope);
    if (user >= 0 || allUsers >= 0) return true;
  }

  const auto unregisterServer = FindEntryPoint<ServerEntry>(loaded.module, "VxDllUnRegisterServerW");
  if (unregisterServer == nullptr) return false;
  return unregisterServer(hostPath, 0) >= 0;
}

void RegisterModules(const std::wstring& settingsFile, const RegistrationHost& host, bool unregistering) {
  // A module that fails neither stops the list nor changes the outcome of the run.
  for (const SectionEntry& entry : ReadSectionList(settingsFile, L"\\SelfRegModules")) {
    if (unregistering) {
      UnregisterModule(entry.name, entry.value, host);
    } else {
      RegisterModule(entry.name, entry.value, host);
    }
  }
}

}  // namespace velmora
