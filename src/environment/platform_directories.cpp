#include "environment/platform_directories.h"

#include <windows.h>

#include <algorithm>

#include "common/paths.h"
#include "environment/process_environment.h"
#include "files/settings_file.h"

namespace velmora {
namespace {

constexpr std::wstring_view kPlaceholder = L"%5";

// The texts that stand for %5: Dir always, McDataDir when the platform has one.
struct PlatformDirs {
  std::wstring dir;
  std::wstring mcDataDir;
};

struct PlatformFolders {
  std::wstring platform;
  std::wstring mcData;  // empty when the platform has no McDataDir
  bool usable = false;
};

std::wstring PlatformSection(const std::wstring& platform) { return L"\\Configuration\\nPlat\\" + platform; }

PlatformDirs ReadPlatformDirs(const std::wstring& settingsFile, const std::wstring& platform) {
  const std::wstring section = PlatformSection(platform);
  return {ReadTypedValue(settingsFile, section, L"Dir"), ReadTypedValue(settingsFile, section, L"McDataDir")};
}

PlatformFolders FormFolders(const std::wstring& element, const PlatformDirs& dirs) {
  PlatformFolders folders;
  // A folder name that does not fit is refused: it counts as missing.
  folders.platform = FittedOrEmpty(ReplacePlatformPlaceholder(element, dirs.dir), kPathCapacity);
  bool mcDataUsable = true;
  if (!dirs.mcDataDir.empty()) {
    folders.mcData = FittedOrEmpty(ReplacePlatformPlaceholder(element, dirs.mcDataDir), kPathCapacity);
    mcDataUsable = IsFolder(folders.mcData);
  }
  folders.usable = IsFolder(folders.platform) && mcDataUsable;
  return folders;
}

// Once, when the user's platform has no folders: the installation default, with the user's Dir or
// McDataDir kept where the default's section has none.
bool FallBackToDefault(const std::wstring& settingsFile, const PlatformChoice& choice,
                       const std::wstring& userSettingsFile, const std::wstring& element, PlatformDirs& dirs,
                       PlatformFolders& folders) {
  if (!choice.fromUserSide) return false;
  const std::wstring fallback = ReadTypedValue(settingsFile, L"\\Configuration", L"nPlat");
  if (fallback.empty()) return false;
  const PlatformDirs defaults = ReadPlatformDirs(settingsFile, fallback);
  if (!defaults.dir.empty()) dirs.dir = defaults.dir;
  if (!defaults.mcDataDir.empty()) dirs.mcDataDir = defaults.mcDataDir;
  folders = FormFolders(element, dirs);
  if (!folders.usable) return false;
  if (Exists(userSettingsFile)) {
    WriteTypedValue(userSettingsFile, choice.userSection, L"nPlat", kTextTag, fallback);
  }
  return true;
}

// The text with %5 expanded, followed by the McDataDir folder between separators when there is one.
std::wstring WithPlatformFolders(std::wstring_view text, const PlatformDirs& dirs, const PlatformFolders& folders) {
  std::wstring result = ReplacePlatformPlaceholder(text, dirs.dir);
  if (!folders.mcData.empty()) result += L';' + folders.mcData + L';';
  return result;
}

void PublishPlatformFolders(const PlatformDirs& dirs, const PlatformFolders& folders, std::wstring& moduleSearchPath) {
  AssignEnvironment(L"VX_ADD_PATH", folders.mcData.empty() ? folders.platform : folders.mcData);
  moduleSearchPath = FitModuleSearchPath(WithPlatformFolders(moduleSearchPath, dirs, folders));
  AssignEnvironment(L"VX_WI_DIR_TREE", moduleSearchPath);
  const std::wstring path = EnvironmentValue(L"PATH").value_or(std::wstring());
  // The first pass put the search path in front of PATH; this turns its %5 into the folder.
  if (path.find(moduleSearchPath) == std::wstring::npos) {
    AssignEnvironment(L"PATH", WithPlatformFolders(path, dirs, folders));
  }
}

}  // namespace

bool UsesPlatformPlaceholder(const std::wstring& moduleSearchPath) {
  return moduleSearchPath.find(kPlaceholder) != std::wstring::npos;
}

std::wstring ReplacePlatformPlaceholder(std::wstring_view text, std::wstring_view folder) {
  std::wstring result;
  std::size_t from = 0;
  for (auto at = text.find(kPlaceholder); at != std::wstring_view::npos; at = text.find(kPlaceholder, from)) {
    result.append(text.substr(from, at - from));
    result.append(folder);
    from = at + kPlaceholder.size();
  }
  result.append(text.substr(from));
  return result;
}

std::wstring PlatformElement(std::wstring_view searchPath) {
  std::size_t start = 0;
  while (start <= searchPath.size()) {
    const auto end = std::min(searchPath.find(L';', start), searchPath.size());
    const std::wstring_view element = searchPath.substr(start, end - start);
    if (element.find(kPlaceholder) != std::wstring_view::npos) return std::wstring(element);
    start = end + 1;
  }
  return {};
}

bool IsFolder(const std::wstring& path) {
  // A folder named with a trailing backslash is refused, as a directory lookup refuses it.
  if (path.ends_with(L'\\')) return false;
  const auto entry = ProbePath(path);
  return entry && entry->IsFolder();
}

bool ResolvePlatformDirectories(const std::wstring& settingsFile, const PlatformChoice& choice,
                                const std::wstring& userSettingsFile, std::wstring& moduleSearchPath) {
  PlatformDirs dirs = ReadPlatformDirs(settingsFile, choice.name);
  if (dirs.dir.empty()) return false;
  const std::wstring element = PlatformElement(moduleSearchPath);
  PlatformFolders folders = FormFolders(element, dirs);
  if (!folders.usable && !FallBackToDefault(settingsFile, choice, userSettingsFile, element, dirs, folders)) {
    return false;
  }
  PublishPlatformFolders(dirs, folders, moduleSearchPath);
  return true;
}

}  // namespace velmora
