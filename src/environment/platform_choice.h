#pragma once

#include <optional>
#include <string>

#include "environment/platform_directories.h"

namespace velmora {

// "\Configuration", or "\Configuration\<profile>" for option r, cut at its first '='.
std::wstring UserSection(const std::wstring& optionR);

// The platform to run with: option b, else the user's stored choice, else the installation
// default. Option b and the default are remembered in the user settings file when it exists and
// the start may write it (it holds the per-user lock); otherwise the choice holds for this start.
// Nothing when there is no usable platform name at all.
std::optional<PlatformChoice> ChoosePlatform(const std::wstring& settingsFile, const std::wstring& userSettingsFile,
                                             const std::wstring& optionB, const std::wstring& optionR,
                                             bool userFileWritable = true);

}  // namespace velmora
