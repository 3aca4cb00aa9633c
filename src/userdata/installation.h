#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// What the identity provider answered, as the names below need it.
struct ProductFacts {
  std::wstring companyName;  // empty when the provider answered null or empty
  std::wstring productName;
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::wstring productTitle;
};

// Every name under which the installation and the user keep state.
struct InstallationNames {
  std::wstring perUserFolder;   // roaming application data \ company \ title; empty when unusable
  std::wstring allUsersFolder;  // common application data \ company \ title, only when it exists
  std::wstring productKey;      // SOFTWARE\company\product\major.minor
  std::wstring mainModulePath;  // found along the module search path, else the bare name
  std::wstring translationFilePath;
  std::wstring starterFolder;
  std::wstring userConfigFolder;
  std::wstring userSettingsFile;
  std::wstring productTitle;  // the title of the upgrade question
};

InstallationNames DeriveInstallationNames(const ProductFacts& product, const std::wstring& moduleSearchPath,
                                          const std::wstring& mainModuleName);

// base \ company \ title. With createMissing the two folders are made when missing; without it,
// the folder is empty unless both exist. When base itself is missing the result is base with a
// trailing backslash. Empty when company or title is empty, or the path would be too long.
std::wstring UserFolderUnder(const std::wstring& base, const std::wstring& company, const std::wstring& title,
                             bool createMissing);

// "SOFTWARE\%s\%s\%d.%d"; empty when it does not fit.
std::wstring ProductKeyOf(const ProductFacts& product);

// The main module path cut at its last '.' with ".wld" appended; empty when it does not fit.
std::wstring TranslationFilePathOf(const std::wstring& mainModulePath);

// Reads the current user's product key (running the upgrade handling unless modules are being
// registered) and tells whether the per-user folder still needs its default data: it differs from
// the recorded UserDataDir.
bool ReadProvisioningNeeded(const InstallationNames& names, bool registering);

}  // namespace velmora
