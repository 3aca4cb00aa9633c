#pragma once

#include <string>

namespace velmora {

// Registers, or unregisters, every module of the settings file's self-registration list.
void RegisterModules(const std::wstring& settingsFile, const std::wstring& moduleSearchPath, bool unregistering);

// Asks one module to register itself through its install or register entry points. False when it
// could not be found, loaded or registered; each such failure writes one line to the debugger output.
bool RegisterModule(const std::wstring& name, const std::wstring& value, const std::wstring& searchPath);

// Asks one module to unregister itself; silent on every failure.
bool UnregisterModule(const std::wstring& name, const std::wstring& value, const std::wstring& searchPath);

}  // namespace velmora
