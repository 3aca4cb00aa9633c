#pragma once

#include <string>

namespace velmora {

// Applies an add-on package once: the copy list of the settings file that the package file names
// is copied from the package's folder into <per-user folder>\<package name>, and the registry value
// "UserDataDir_<package name>" of the product key records it. With remove, the untouched copies
// are taken out again and the record deleted. 0 when applied, removed or applied before; 1 for a
// missing or invalid package, or an unusable per-user folder; else the document service's failure.
long ApplyPackage(const std::wstring& packageFile, const std::wstring& perUserFolder, bool remove,
                  const std::wstring& productKey);

}  // namespace velmora
