#pragma once

#include <string>

#include "userdata/installation.h"

namespace velmora {

// The registry values of the product key that say what was done to the per-user folder.
// UserDataDir (and UserDataDir_<package>) records the walk; the repair mark beside it says that the
// walk could not place every file, and that later starts must place what is missing. The main
// application reads neither mark.
inline constexpr wchar_t kUserDataRecord[] = L"UserDataDir";
inline constexpr wchar_t kUserDataRepairMark[] = L"UserDataDirIncomplete";

// What the per-user folder needs at this start.
enum class UserDataState { kProvisioned, kNeeded, kRepairNeeded };
UserDataState ReadUserDataState(const InstallationNames& names);

// How a walk over the per-user folder ended, for the trace.
enum class UserDataOutcome {
  kComplete,         // every file placed, the record written (and a repair mark cleared)
  kMarkedForRepair,  // recorded, with the repair mark: later starts place what is missing
  kNotRecorded,      // the record or its mark could not be written: the next start walks again
  kRemoved,
  kSkipped,          // no usable per-user folder
};
const wchar_t* DescribeUserDataOutcome(UserDataOutcome outcome);

// Records a walk: the repair mark first when it was incomplete (without the mark there is no
// record, so that the next start walks again rather than leave a hole), else an older mark goes;
// then the record.
UserDataOutcome RecordWalk(const std::wstring& productKey, const std::wstring& recordName,
                           const std::wstring& markName, const std::wstring& recorded, bool complete);

// Copies the installation's default user data into the per-user folder and records it, or, when
// removing, takes the untouched copies out again and deletes the record and its mark. A user
// settings file that differs from its default only by the starter's own platform entry is not
// backed up; an unregistration keeps it, as the upgrade question after a reinstallation asks
// about the settings only when that file is there.
UserDataOutcome ProvisionUserData(const std::wstring& settingsFile, const InstallationNames& names, bool removing);

// Places only the default files and folders the per-user folder lacks, never replacing one it has,
// and clears the repair mark once nothing is missing.
UserDataOutcome RepairUserData(const std::wstring& settingsFile, const InstallationNames& names);

// True when the text after the last '.' of the file name is exactly "package".
bool IsPackageFileName(const std::wstring& path);

// Applies (or removes) the package file named by option g when it is one.
void ApplyPackageOption(const std::wstring& packageFile, const InstallationNames& names, bool removing);

}  // namespace velmora
