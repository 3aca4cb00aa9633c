#pragma once

#include <string>

namespace velmora {

// Registers, or unregisters, every module of the settings file's self-registration list.
void RegisterModules(const std::wstring& settingsFile, const std::wstring& moduleSearchPath, bool unregistering);

}  // namespace velmora
