#include "userdata/provisioning.h"

#include <windows.h>

#include "common/paths.h"
#include "common/registry.h"
#include "common/trace.h"
#include "files/copy_list.h"
#include "files/settings_file.h"
#include "userdata/packages.h"

namespace velmora {
namespace {

constexpr wchar_t kCopyListSection[] = L"\\UserData\\CopyToAppData";

bool SamePath(const std::wstring& first, const std::wstring& second) {
  return ::CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

// The platform step writes its entry into the user settings file: a copy of the default with only
// that entry added is still the default as far as the user is concerned.
StarterOutputTest StarterOutputOf(const InstallationNames& names) {
  return [&names](const std::wstring& source, const std::wstring& destination) {
    return !names.userSettingsFile.empty() && SamePath(destination, names.userSettingsFile) &&
           IsCopyWithOnlyKeyWritten(source, destination, kUserPlatformKey);
  };
}

}  // namespace

UserDataState ReadUserDataState(const InstallationNames& names) {
  const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, names.productKey, kReadAccess);
  const auto read = [&](const wchar_t* name) {
    return key ? ReadRegistryText(key.Get(), name).value_or(std::wstring()) : std::wstring();
  };
  if (names.perUserFolder != read(kUserDataRecord)) return UserDataState::kNeeded;
  if (!names.perUserFolder.empty() && names.perUserFolder == read(kUserDataRepairMark)) {
    return UserDataState::kRepairNeeded;
  }
  return UserDataState::kProvisioned;
}

const wchar_t* DescribeUserDataOutcome(UserDataOutcome outcome) {
  switch (outcome) {
    case UserDataOutcome::kComplete:
      return L"done";
    case UserDataOutcome::kMarkedForRepair:
      return L"incomplete, marked for repair";
    case UserDataOutcome::kNotRecorded:
      return L"not recorded, done again at the next start";
    case UserDataOutcome::kRemoved:
      return L"removed";
    case UserDataOutcome::kSkipped:
      break;
  }
  return L"skipped";
}

UserDataOutcome RecordWalk(const std::wstring& productKey, const std::wstring& recordName,
                           const std::wstring& markName, const std::wstring& recorded, bool complete) {
  if (!complete && !WriteRegistryText(HKEY_CURRENT_USER, productKey, markName.c_str(), recorded)) {
    TraceFailure(L"repair mark " + markName, ::GetLastError());
    return UserDataOutcome::kNotRecorded;
  }
  // An older mark left would only cost a repair walk that finds nothing missing.
  if (complete) DeleteRegistryValue(HKEY_CURRENT_USER, productKey, markName.c_str());
  if (!WriteRegistryText(HKEY_CURRENT_USER, productKey, recordName.c_str(), recorded)) {
    TraceFailure(L"record " + recordName, ::GetLastError());
    return UserDataOutcome::kNotRecorded;
  }
  return complete ? UserDataOutcome::kComplete : UserDataOutcome::kMarkedForRepair;
}

UserDataOutcome ProvisionUserData(const std::wstring& settingsFile, const InstallationNames& names, bool removing) {
  // An unusable per-user folder was never provisioned and is not recorded as such.
  if (!removing && names.perUserFolder.empty()) return UserDataOutcome::kSkipped;
  const auto copyList = ReadSectionList(settingsFile, kCopyListSection);
  if (removing) {
    ApplyCopyList(copyList, names.starterFolder, names.perUserFolder, TreeMode::kRemove);
    DeleteRegistryValue(HKEY_CURRENT_USER, names.productKey, kUserDataRecord);
    DeleteRegistryValue(HKEY_CURRENT_USER, names.productKey, kUserDataRepairMark);
    return UserDataOutcome::kRemoved;
  }
  const bool complete =
      ApplyCopyList(copyList, names.starterFolder, names.perUserFolder, TreeMode::kCopy, StarterOutputOf(names));
  return RecordWalk(names.productKey, kUserDataRecord, kUserDataRepairMark, names.perUserFolder, complete);
}

UserDataOutcome RepairUserData(const std::wstring& settingsFile, const InstallationNames& names) {
  if (names.perUserFolder.empty()) return UserDataOutcome::kSkipped;
  const bool complete = ApplyCopyList(ReadSectionList(settingsFile, kCopyListSection), names.starterFolder,
                                      names.perUserFolder, TreeMode::kRepair);
  if (!complete) return UserDataOutcome::kMarkedForRepair;
  return DeleteRegistryValue(HKEY_CURRENT_USER, names.productKey, kUserDataRepairMark)
             ? UserDataOutcome::kComplete
             : UserDataOutcome::kMarkedForRepair;
}

bool IsPackageFileName(const std::wstring& path) {
  const auto dot = path.rfind(L'.');
  return dot != std::wstring::npos && path.compare(dot + 1, std::wstring::npos, L"package") == 0;
}

void ApplyPackageOption(const std::wstring& packageFile, const InstallationNames& names, bool removing) {
  if (IsPackageFileName(packageFile)) ApplyPackage(packageFile, names.perUserFolder, removing, names.productKey);
}

}  // namespace velmora
