#pragma once

#include <string>

#include "userdata/installation.h"

namespace velmora {

// Copies the installation's default user data into the per-user folder and records it in
// UserDataDir, or, when removing, takes the untouched copies out again and deletes the record.
void ProvisionUserData(const std::wstring& settingsFile, const InstallationNames& names, bool removing);

// True when the text after the last '.' of the file name is exactly "package".
bool IsPackageFileName(const std::wstring& path);

// Applies (or removes) the package file named by option g when it is one.
void ApplyPackageOption(const std::wstring& packageFile, const InstallationNames& names, bool removing);

}  // namespace velmora
