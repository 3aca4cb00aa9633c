#include "userdata/upgrade.h"

#include <cwctype>
#include <optional>
#include <string_view>

#include "common/entry_point.h"
#include "common/paths.h"
#include "common/platform_calls.h"
#include "common/registry.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "common/window_station.h"
#include "files/file_replace.h"
#include "files/tree_copy.h"
#include "localization/translation.h"

namespace velmora {
namespace {

constexpr wchar_t kMarker[] = L"JustUpgraded";
constexpr int kKeepButton = IDYES;
constexpr int kResetButton = IDNO;
constexpr int kLastBackupNumber = 99;

static_assert(sizeof(TASKDIALOGCONFIG) == 160);

bool IsFile(const std::wstring& path) {
  const auto entry = ProbePath(path);
  return entry && !entry->IsFolder();
}

// The reset template with every "%s" replaced by the folder and "%%" by '%'; nothing when the
// result would not fit the dialog's 520 characters.
std::optional<std::wstring> FillResetTemplate(const wchar_t* pattern, const std::wstring& folder) {
  std::wstring text;
  for (const wchar_t* c = pattern; *c != L'\0'; ++c) {
    if (c[0] == L'%' && c[1] == L's') {
      text += folder;
      ++c;
    } else if (c[0] == L'%' && c[1] == L'%') {
      text += L'%';
      ++c;
    } else {
      text += *c;
    }
    if (!Fits(text, UpgradeTexts::kLongCapacity)) return std::nullopt;
  }
  return text;
}

enum class Choice { kNone, kKeep, kReset };

Choice AskUser(const InstallationNames& names, HINSTANCE resources, const UpgradeDialog& dialog) {
  UpgradeTexts texts;
  LoadUpgradeTexts(resources, names.translationFilePath, texts);
  const std::optional<std::wstring> resetChoice = FillResetTemplate(texts.resetTemplate, names.perUserFolder);
  if (!resetChoice) return Choice::kNone;

  const TASKDIALOG_BUTTON buttons[] = {{kKeepButton, texts.keepChoice}, {kResetButton, resetChoice->c_str()}};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof(config);
  config.hInstance = resources;
  config.dwFlags = TDF_USE_COMMAND_LINKS | TDF_SIZE_TO_CONTENT;
  config.pszWindowTitle = names.productTitle.c_str();
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszMainInstruction = texts.instruction;
  config.pszContent = texts.content;
  config.cButtons = 2;
  config.pButtons = buttons;
  config.nDefaultButton = kKeepButton;

  int button = 0;
  if (FAILED(dialog(config, button))) return Choice::kNone;
  return button == kResetButton ? Choice::kReset : Choice::kKeep;
}

std::wstring MessageBoxText(const TASKDIALOGCONFIG& config) {
  std::wstring text = std::wstring(config.pszMainInstruction) + L"\n\n" + config.pszContent;
  for (UINT index = 0; index < config.cButtons; ++index) {
    text += std::wstring(L"\n\n") + config.pButtons[index].pszButtonText;
  }
  return text;
}

void MarkProfiles(const std::wstring& productKey) {
  const std::wstring profilesKey = productKey + L"\\Profiles";
  if (!Fits(profilesKey, kPathCapacity)) return;
  const UniqueRegistryKey profiles = OpenRegistryKey(HKEY_CURRENT_USER, profilesKey, kReadAccess);
  if (!profiles) return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD length = 256;
    if (::RegEnumKeyExW(profiles.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    HKEY opened = nullptr;
    if (Platform().regCreateKey(profiles.Get(), name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                kFullAccess | KEY_WOW64_64KEY, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
      continue;
    }
    const UniqueRegistryKey profile(opened);
    Platform().regSetValue(profile.Get(), kMarker, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
  }
}

std::wstring NumberedBackupFolder(const std::wstring& folder, int number) {
  return folder + L"\\BackUpCfg" + static_cast<wchar_t>(L'0' + number / 10) + static_cast<wchar_t>(L'0' + number % 10);
}

// A reset gathers the settings in a folder under its temporary name, which takes its number only
// once everything is in: a reset ended midway leaves that folder, and the next reset finishes it
// rather than spreading the user's settings over two numbers.
struct BackupFolder {
  std::wstring gathering;
  std::wstring complete;  // empty when the gathering folder has its final name already
};

// A link planted under a name the reset gathers into would lead the user's settings elsewhere: it
// is removed as a link. False when something other than a folder of the starter's stays there.
bool ClearLinkAt(const std::wstring& path) { return !IsLinkAt(path) || (RemoveOwnFolder(path) && !Exists(path)); }

// A folder left by a reset ended midway, else the lowest number still free, else the last number
// itself (its files may be replaced). False when the names do not fit.
bool ChooseBackupFolder(const std::wstring& folder, BackupFolder& backup) {
  for (int number = 1; number <= kLastBackupNumber; ++number) {
    const std::wstring name = NumberedBackupFolder(folder, number);
    const std::wstring gathering = TemporaryNameOf(name);
    if (!Fits(gathering, kPathCapacity)) return false;
    if (!ClearLinkAt(gathering)) continue;
    if (Exists(gathering) || (!Exists(name) && CreateFolderWithRetries(gathering))) {
      backup = {gathering, name};
      return true;
    }
  }
  backup = {NumberedBackupFolder(folder, kLastBackupNumber), {}};
  return true;
}

// Gives a folder left by a reset ended midway its number, so that the settings it holds are found
// where a complete reset puts them.
void FinishInterruptedBackups(const std::wstring& folder) {
  for (int number = 1; number <= kLastBackupNumber; ++number) {
    const std::wstring name = NumberedBackupFolder(folder, number);
    const std::wstring gathering = TemporaryNameOf(name);
    if (!Fits(gathering, kPathCapacity)) return;
    if (ClearLinkAt(gathering) && Exists(gathering) && !MoveWithRetries(gathering, name, 0)) {
      TraceFailure(L"rename of " + gathering, ::GetLastError());
    }
  }
}

// "BackUpCfgNN.vxtmp", by its long name.
bool IsGatheringFolderName(std::wstring_view name) {
  constexpr std::wstring_view prefix = L"BackUpCfg";
  return name.size() == prefix.size() + 2 + std::wstring_view(kTemporarySuffix).size() &&
         ::CompareStringOrdinal(name.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL &&
         std::iswdigit(name[prefix.size()]) && std::iswdigit(name[prefix.size() + 1]) && IsTemporaryName(name);
}

// The lowest number whose backup folder, finished or being gathered, does not exist.
std::optional<std::wstring> NextFreeBackupFolder(const std::wstring& folder) {
  for (int number = 1; number <= kLastBackupNumber; ++number) {
    const std::wstring name = NumberedBackupFolder(folder, number);
    if (!Exists(name) && !Exists(TemporaryNameOf(name))) return name;
  }
  return std::nullopt;
}

// A reset whose folder could not take its number (the rename was refused for good) left the
// user's settings under the temporary name: such a folder takes the next free number at the next
// start. An empty one goes, and a link there is removed as a link.
void FinishLeftoverBackups(const std::wstring& folder) {
  if (folder.empty()) return;
  const std::wstring search = folder + L"\\BackUpCfg*";
  if (!Fits(search, kPathCapacity)) return;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileW(search.c_str(), &entry));
  if (!find) return;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !IsGatheringFolderName(entry.cFileName)) continue;
    const std::wstring gathering = folder + L'\\' + entry.cFileName;
    if (!ClearLinkAt(gathering) || !Exists(gathering)) continue;
    if (Platform().removeDirectory(gathering.c_str())) continue;  // empty
    const std::optional<std::wstring> name = NextFreeBackupFolder(folder);
    if (!name || !MoveWithRetries(gathering, *name, 0)) TraceFailure(L"rename of " + gathering, ::GetLastError());
  } while (::FindNextFileW(find.Get(), &entry));
}

// Only files whose long name ends with the pattern's extension (any case): the platform matches a
// pattern against short names too, so "*.cfg" finds settings.cfgx through SETTIN~1.CFG.
bool MatchesLongName(std::wstring_view name, std::wstring_view pattern) {
  const bool extensionOnly =
      pattern.size() >= 2 && pattern.substr(0, 2) == L"*." && pattern.find_first_of(L"*?", 1) == std::wstring_view::npos;
  if (!extensionOnly) {
    return true;
  }
  const std::wstring_view extension = pattern.substr(1);
  return name.size() > extension.size() &&
         ::CompareStringOrdinal(name.data() + name.size() - extension.size(), static_cast<int>(extension.size()),
                                extension.data(), static_cast<int>(extension.size()), TRUE) == CSTR_EQUAL;
}

// A reset moves the file: the user's content is renamed, never rewritten, and a read-only setting
// goes too (a rename is not a write). The backup is the user's to change, so it is writable.
void BackUpFile(const std::wstring& source, const std::wstring& copy, bool removeSources) {
  if (!Fits(source, kPathCapacity) || !Fits(copy, kPathCapacity)) return;
  if (!removeSources) {
    CopyFileForUser(source, copy);
  } else if (MoveWithRetries(source, copy, MOVEFILE_REPLACE_EXISTING)) {
    MakeWritable(copy);
  } else {
    TraceFailure(L"move of " + source, ::GetLastError());
  }
}

// False when nothing matches the pattern or the folder cannot be listed.
bool BackUpMatchingFiles(const std::wstring& folder, const std::wstring& pattern, const std::wstring& backup,
                         bool removeSources) {
  const std::wstring search = folder + L"\\" + pattern;
  if (!Fits(search, kPathCapacity)) return false;
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileW(search.c_str(), &entry));
  if (!find) return false;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;  // also "." and ".."
    if (!MatchesLongName(entry.cFileName, pattern)) continue;
    BackUpFile(folder + L"\\" + entry.cFileName, backup + L"\\" + entry.cFileName, removeSources);
  } while (::FindNextFileW(find.Get(), &entry));
  return true;
}

}  // namespace

HRESULT AskWithMessageBox(const TASKDIALOGCONFIG& config, int& button) {
  // Yes is the first choice (keep) and the default, No the second (reset), in the order shown.
  button = ::MessageBoxW(config.hwndParent, MessageBoxText(config).c_str(), config.pszWindowTitle,
                         MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1);
  return button == 0 ? HRESULT_FROM_WIN32(::GetLastError()) : S_OK;
}

HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int& button) {
  using TaskDialogIndirectEntry = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  // Only version 6 of the common controls, which the starter's manifest selects for the process,
  // exports the task dialog; loaded only now, as the question is seldom asked.
  const UniqueModule commonControls(LoadTracedModule(L"comctl32.dll"));
  const auto taskDialog =
      commonControls ? FindEntryPoint<TaskDialogIndirectEntry>(commonControls.Get(), "TaskDialogIndirect") : nullptr;
  if (taskDialog == nullptr) return AskWithMessageBox(config, button);
  return taskDialog(&config, &button, nullptr, nullptr);
}

void HandleUpgrade(HKEY readKey, const InstallationNames& names, HINSTANCE resources, const UpgradeDialog& dialog) {
  BYTE marker[kRegistryValueCapacityBytes];
  DWORD size = sizeof(marker);
  if (::RegQueryValueExW(readKey, kMarker, nullptr, nullptr, marker, &size) != ERROR_SUCCESS) {
    FinishLeftoverBackups(names.userConfigFolder);
    return;
  }
  // Nobody could answer on a window station no one sees: the marker waits for a start that can ask.
  // Looked at only here, where a question is due, not on every start.
  if (!ProcessWindowStationIsVisible()) return;

  {
    const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, names.productKey, kFullAccess);
    if (!key) return;
    if (IsFile(names.userSettingsFile)) {
      switch (AskUser(names, resources, dialog)) {
        case Choice::kKeep:
          FinishInterruptedBackups(names.userConfigFolder);
          Platform().regSetValue(key.Get(), L"UserDataDir", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(names.perUserFolder.c_str()),
                                 static_cast<DWORD>((names.perUserFolder.size() + 1) * sizeof(wchar_t)));
          break;
        case Choice::kReset:
          BackupFiles(names.userConfigFolder, L"*.cfg", {}, true);
          break;
        case Choice::kNone:
          break;
      }
    }
    // The marker goes last: a start ended before it asks again and finishes the work.
    MarkProfiles(names.productKey);
    Platform().regDeleteValue(key.Get(), kMarker);
  }
}

void AskAboutUpgrade(const InstallationNames& names) {
  if (const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, names.productKey, kReadAccess)) {
    HandleUpgrade(key.Get(), names);
  }
}

bool BackupFiles(const std::wstring& folder, const std::wstring& pattern, const std::wstring& target,
                 bool removeSources) {
  // Nothing is relative to an empty folder: backing up "\*.cfg" would read the drive's root.
  if (folder.empty()) return false;
  BackupFolder backup{target, {}};
  if (target.empty() && !ChooseBackupFolder(folder, backup)) return false;

  const bool found = BackUpMatchingFiles(folder, pattern, backup.gathering, removeSources);
  // Refused for good, the folder keeps its temporary name and the next start gives it a number.
  if (!backup.complete.empty() && !MoveWithRetries(backup.gathering, backup.complete, 0)) {
    TraceFailure(L"rename of " + backup.gathering, ::GetLastError());
  }
  return found;
}

}  // namespace velmora
