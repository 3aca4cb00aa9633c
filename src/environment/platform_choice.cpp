#include "environment/platform_choice.h"

#include <windows.h>

#include "common/paths.h"
#include "files/settings_file.h"

namespace velmora {
namespace {

// Tagged text, the type tag included.
std::wstring ReadTaggedPlatform(const std::wstring& file, const std::wstring& section) {
  return ReadSettingsValue(file, section.c_str(), kUserPlatformKey, kPathCapacity);
}

}  // namespace

std::wstring UserSection(const std::wstring& optionR) {
  if (optionR.empty()) return L"\\Configuration";
  return L"\\Configuration\\" + optionR.substr(0, optionR.find(L'='));
}

std::optional<PlatformChoice> ChoosePlatform(const std::wstring& settingsFile, const std::wstring& userSettingsFile,
                                             const std::wstring& optionB, const std::wstring& optionR,
                                             bool userFileWritable) {
  PlatformChoice choice{{}, true, UserSection(optionR)};
  const bool userFileExists = Exists(userSettingsFile);
  if (userFileExists) {
    const std::wstring stored = ReadTaggedPlatform(userSettingsFile, choice.userSection);
    if (stored.size() > 1 && optionB.empty()) choice.name = stored.substr(1);
    // A name the file cannot hold unchanged is not written: stored as another text it would never
    // match again. The choice then holds for this start only.
    if (userFileWritable && !optionB.empty() && kTextTag + optionB != stored) {
      WriteTypedValue(userSettingsFile, choice.userSection, kUserPlatformKey, kTextTag, optionB);
    }
  }
  if (!optionB.empty()) choice.name = optionB;
  if (choice.name.empty()) {
    const std::wstring fallback = ReadTaggedPlatform(settingsFile, L"\\Configuration");
    if (fallback.size() <= 1) return std::nullopt;
    choice.name = fallback.substr(1);
    choice.fromUserSide = false;
    if (userFileExists && userFileWritable) {
      WriteTypedValue(userSettingsFile, choice.userSection, kUserPlatformKey, fallback[0], choice.name);
    }
  }
  return choice;
}

}  // namespace velmora
