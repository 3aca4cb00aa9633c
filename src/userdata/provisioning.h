#pragma once

#include <string>
#include <vector>

#include "environment/settings_file.h"
#include "userdata/installation.h"

namespace velmora {

// Walks a copy list: every entry name[=value] brings the folder name below the source root into
// the destination root, or into its subfolder value. In copy mode the destination folder is
// created first, with any missing parents. An entry whose name or value would leave its root is
// skipped.
void ApplyCopyList(const std::vector<SectionEntry>& copyList, const std::wstring& sourceRoot,
                   const std::wstring& destinationRoot, bool remove);

// Copies the installation's default user data into the per-user folder and records it in
// UserDataDir, or, when removing, takes the untouched copies out again and deletes the record.
void ProvisionUserData(const std::wstring& settingsFile, const InstallationNames& names, bool removing);

// True when the text after the last '.' of the file name is exactly "package".
bool IsPackageFileName(const std::wstring& path);

// Applies (or removes) the package file named by option g when it is one.
void ApplyPackageOption(const std::wstring& packageFile, const InstallationNames& names, bool removing);

}  // namespace velmora
