#include "userdata/provisioning.h"

#include "common/paths.h"
#include "common/registry.h"
#include "files/copy_list.h"
#include "files/settings_file.h"
#include "userdata/packages.h"

namespace velmora {

void ProvisionUserData(const std::wstring& settingsFile, const InstallationNames& names, bool removing) {
  // An unusable per-user folder was never provisioned and is not recorded as such.
  if (!removing && names.perUserFolder.empty()) return;
  ApplyCopyList(ReadSectionList(settingsFile, L"\\UserData\\CopyToAppData"), names.starterFolder,
                names.perUserFolder, removing);
  if (removing) {
    DeleteRegistryValue(HKEY_CURRENT_USER, names.productKey, L"UserDataDir");
  } else {
    WriteRegistryText(HKEY_CURRENT_USER, names.productKey, L"UserDataDir", names.perUserFolder);
  }
}

bool IsPackageFileName(const std::wstring& path) {
  const auto dot = path.rfind(L'.');
  return dot != std::wstring::npos && path.compare(dot + 1, std::wstring::npos, L"package") == 0;
}

void ApplyPackageOption(const std::wstring& packageFile, const InstallationNames& names, bool removing) {
  if (IsPackageFileName(packageFile)) ApplyPackage(packageFile, names.perUserFolder, removing, names.productKey);
}

}  // namespace velmora
