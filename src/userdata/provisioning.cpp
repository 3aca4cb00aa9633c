#include "userdata/provisioning.h"

#include "common/paths.h"
#include "common/registry.h"
#include "userdata/packages.h"
#include "userdata/tree_copy.h"

namespace velmora {

void ApplyCopyList(const std::vector<SectionEntry>& copyList, const std::wstring& sourceRoot,
                   const std::wstring& destinationRoot, bool remove) {
  // Nothing is ever put relative to an empty root: it would land at the top of the current drive.
  if (sourceRoot.empty() || destinationRoot.empty()) return;
  for (const SectionEntry& entry : copyList) {
    // An entry that leaves its roots would copy, or in remove mode delete, elsewhere.
    if (!StaysBelowRoot(entry.name) || !StaysBelowRoot(entry.value)) continue;
    const std::wstring source = sourceRoot + L'\\' + entry.name;
    const std::wstring destination = entry.value.empty() ? destinationRoot : destinationRoot + L'\\' + entry.value;
    // The tree copy creates only the folders below its destination.
    if (!remove) CreateFolderWithParents(destination);
    CopyTree(source, destination, remove);
  }
}

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
