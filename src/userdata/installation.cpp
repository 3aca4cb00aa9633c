#include "userdata/installation.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "common/paths.h"
#include "common/registry.h"
#include "common/trace.h"

namespace velmora {
namespace {

std::wstring KnownFolder(int csidl) {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
  return folder;
}

std::wstring UserFolderIn(int csidl, const std::wstring& company, const std::wstring& title, bool createMissing) {
  if (company.empty() || title.empty()) return {};
  // The identity module's names become folders below the application-data folder and must stay
  // there: ".." or a drive would put the user's data, and its removal, elsewhere.
  if (!StaysBelowRoot(company) || !StaysBelowRoot(title)) {
    TraceRefusal(L"identity names " + company + L" and " + title, L"they would leave the application-data folder");
    return {};
  }
  const std::wstring base = KnownFolder(csidl);
  if (base.empty()) return {};
  return UserFolderUnder(base, company, title, createMissing);
}

// Appends one folder level; false when it is missing and may not, or could not, be created.
bool EnterFolder(std::wstring& path, const std::wstring& name, bool createMissing) {
  path += name;
  if (Exists(path)) return true;
  if (!createMissing) return false;
  ::CreateDirectoryW(path.c_str(), nullptr);
  return true;
}

}  // namespace

std::wstring UserFolderUnder(const std::wstring& base, const std::wstring& company, const std::wstring& title,
                             bool createMissing) {
  if (company.empty() || title.empty()) return {};
  if (company.size() + title.size() + base.size() + 3 > kPathCapacity) return {};
  std::wstring folder = base;
  if (!folder.ends_with(L'\\')) folder += L'\\';
  if (!Exists(folder)) return folder;
  if (!EnterFolder(folder, company, createMissing)) return {};
  folder += L'\\';
  if (!EnterFolder(folder, title, createMissing)) return {};
  return folder;
}

std::wstring ProductKeyOf(const ProductFacts& product) {
  // An empty level would name another product's key, or none.
  if (product.companyName.empty() || product.productName.empty()) return {};
  std::wstring key = L"SOFTWARE\\" + product.companyName + L'\\' + product.productName + L'\\' +
                     std::to_wstring(product.major) + L'.' + std::to_wstring(product.minor);
  return FittedOrEmpty(std::move(key), kPathCapacity);
}

std::wstring TranslationFilePathOf(const std::wstring& mainModulePath) {
  return FittedOrEmpty(WithExtension(mainModulePath, L"wld"), kLongPathCapacity);
}

std::wstring PerUserFolderOf(const std::wstring& company, const std::wstring& title) {
  return UserFolderIn(CSIDL_APPDATA, company, title, true);
}

std::wstring AllUsersFolderOf(const std::wstring& company, const std::wstring& title) {
  return UserFolderIn(CSIDL_COMMON_APPDATA, company, title, false);
}

void DeriveFileNames(const std::wstring& moduleSearchPath, const std::wstring& mainModuleName,
                     const std::wstring& starterPath, InstallationNames& names) {
  names.mainModulePath =
      SearchAlongPath(moduleSearchPath, mainModuleName, kLongPathCapacity).value_or(mainModuleName);
  names.translationFilePath = TranslationFilePathOf(names.mainModulePath);
  names.starterFolder = CutAtLastBackslash(FittedOrEmpty(starterPath, kPathCapacity));
  if (!names.perUserFolder.empty()) {
    names.userConfigFolder = FittedOrEmpty(names.perUserFolder + L"\\Config", kPathCapacity);
    if (!names.userConfigFolder.empty()) {
      names.userSettingsFile = FittedOrEmpty(names.userConfigFolder + L"\\cfg.ini", kPathCapacity);
    }
  }
}

bool ReadProvisioningNeeded(const InstallationNames& names) {
  std::wstring userDataDir;
  if (const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, names.productKey, kReadAccess)) {
    userDataDir = ReadRegistryText(key.Get(), L"UserDataDir").value_or(std::wstring());
  }
  return names.perUserFolder != userDataDir;
}

}  // namespace velmora
