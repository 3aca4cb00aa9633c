#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// What the identity provider answered for the product key.
struct ProductFacts {
  std::wstring companyName;  // empty when the provider answered null or empty
  std::wstring productName;
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
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

// <roaming application data>\company\title, both created when missing. Empty when company or
// title is empty or would leave the application-data folder.
std::wstring PerUserFolderOf(const std::wstring& company, const std::wstring& title);

// <common application data>\company\title when it exists, else empty.
std::wstring AllUsersFolderOf(const std::wstring& company, const std::wstring& title);

// Fills in the names that follow from the main module name, the per-user folder and the starter's
// own path: main module path, translation file, starter folder, user configuration folder and
// user settings file.
void DeriveFileNames(const std::wstring& moduleSearchPath, const std::wstring& mainModuleName,
                     const std::wstring& starterPath, InstallationNames& names);

// base \ company \ title. With createMissing the two folders are made when missing; without it,
// the folder is empty unless both exist. When base itself is missing the result is base with a
// trailing backslash. Empty when company or title is empty, or the path would be too long.
std::wstring UserFolderUnder(const std::wstring& base, const std::wstring& company, const std::wstring& title,
                             bool createMissing);

// "SOFTWARE\%s\%s\%d.%d"; empty when it does not fit.
std::wstring ProductKeyOf(const ProductFacts& product);

// The main module path cut at its last '.' with ".wld" appended; empty when it does not fit.
std::wstring TranslationFilePathOf(const std::wstring& mainModulePath);

// Whether the per-user folder still needs its default data: it differs from the UserDataDir
// recorded in the current user's product key.
bool ReadProvisioningNeeded(const InstallationNames& names);

}  // namespace velmora
