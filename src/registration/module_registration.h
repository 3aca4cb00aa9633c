#pragma once

#include <string>

namespace velmora {

// Where the modules are looked up, and the starter's path their entry points receive as the host.
struct RegistrationHost {
  std::wstring moduleSearchPath;
  std::wstring starterPath;
};

// Registers, or unregisters, every module of the settings file's self-registration list.
void RegisterModules(const std::wstring& settingsFile, const RegistrationHost& host, bool unregistering);

// Asks one module to register itself through its install or register entry points. False when it
// could not be found, loaded or registered; each such failure writes one line to the debugger output.
bool RegisterModule(const std::wstring& name, const std::wstring& value, const RegistrationHost& host);

// Asks one module to unregister itself; silent on every failure.
bool UnregisterModule(const std::wstring& name, const std::wstring& value, const RegistrationHost& host);

}  // namespace velmora
