#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The platform the application runs with, as the user data step chose it.
struct PlatformChoice {
  std::wstring name;
  bool fromUserSide = true;  // option b or the user settings file, not the installation default
  std::wstring userSection;  // the user settings file's section that holds the user's choice
};

// True when the search path leaves the platform folder to the platform pass.
bool UsesPlatformPlaceholder(const std::wstring& moduleSearchPath);

// Puts the platform's folders in place of %5 in the module search path, VX_WI_DIR_TREE and PATH,
// and publishes VX_ADD_PATH. When the chosen platform's folders are missing, falls back once to
// the installation's default platform and records that in the user settings file. False when no
// usable platform folder exists: the start cannot go on.
bool ResolvePlatformDirectories(const std::wstring& settingsFile, const PlatformChoice& choice,
                                const std::wstring& userSettingsFile, std::wstring& moduleSearchPath);

// Every "%5" of the text replaced by the folder; every other character, percent signs included,
// left as it is.
std::wstring ReplacePlatformPlaceholder(std::wstring_view text, std::wstring_view folder);

// The first ';'-separated element of the search path that holds "%5"; empty when none does.
std::wstring PlatformElement(std::wstring_view searchPath);

// True when the path names an existing folder; a trailing backslash never does.
bool IsFolder(const std::wstring& path);

}  // namespace velmora
