#pragma once

#include <string>

#include "launcher/command_line.h"
#include "userdata/installation.h"

namespace velmora {

// True when the search path leaves the platform folder to the platform pass.
bool UsesPlatformPlaceholder(const std::wstring& moduleSearchPath);

// Chooses the platform and puts its folders in place of %5 in the module search path and the
// environment. Ends the start when no usable platform exists.
void ResolvePlatformDirectories(const std::wstring& settingsFile, const Options& options,
                                const InstallationNames& names, std::wstring& moduleSearchPath);

}  // namespace velmora
