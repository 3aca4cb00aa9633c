#pragma once

#include <string>

#include "userdata/installation.h"

namespace velmora {

// Copies the installation's default user data into the per-user folder (or removes it again).
void ProvisionUserData(const std::wstring& settingsFile, const InstallationNames& names, bool removing);

// Applies (or removes) the package file named by option g.
void ApplyPackageOption(const std::wstring& packageFile, const InstallationNames& names, bool removing);

}  // namespace velmora
