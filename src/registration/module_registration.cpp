#include "registration/module_registration.h"

#include <windows.h>

#include <velmora/self_registration.h>

#include <optional>
#include <type_traits>

#include "common/entry_point.h"
#include "common/paths.h"
#include "common/trace.h"
#include "files/settings_file.h"

namespace velmora {
namespace {

static_assert(std::is_same_v<decltype(&VxDllInstallW), VelmoraVxDllInstallW>);
static_assert(std::is_same_v<decltype(&VxDllRegisterServerW), VelmoraVxDllServerW>);
static_assert(std::is_same_v<decltype(&VxDllUnRegisterServerW), VelmoraVxDllServerW>);

constexpr wchar_t kUserScope[] = VELMORA_SCOPE_USER;
constexpr wchar_t kNoScope[] = VELMORA_SCOPE_MACHINE;

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

  if (const auto install = FindEntryPoint<VelmoraVxDllInstallW>(loaded.module, VELMORA_INSTALL_EXPORT)) {
    install(hostPath, 0, 1, kUserScope);
    install(hostPath, 0, 0, kNoScope);
    install(hostPath, 0, 0, kNoScope);
    const int allUsers = install(hostPath, 0, 1, kNoScope);
    const int user = install(hostPath, 0, 1, kUserScope);
    if (allUsers >= 0 || user >= 0) return true;
  }

  const auto registerServer = FindEntryPoint<VelmoraVxDllServerW>(loaded.module, VELMORA_REGISTER_SERVER_EXPORT);
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

  if (const auto install = FindEntryPoint<VelmoraVxDllInstallW>(loaded.module, VELMORA_INSTALL_EXPORT)) {
    const int user = install(hostPath, 0, 0, kUserScope);
    install(hostPath, 0, 0, kNoScope);
    const int allUsers = install(hostPath, 0, 0, kNoScope);
    if (user >= 0 || allUsers >= 0) return true;
  }

  const auto unregisterServer = FindEntryPoint<VelmoraVxDllServerW>(loaded.module, VELMORA_UNREGISTER_SERVER_EXPORT);
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
