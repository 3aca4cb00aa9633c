#include "userdata/packages.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/com.h"
#include "common/paths.h"
#include "common/registry.h"
#include "common/trace.h"
#include "files/copy_list.h"
#include "files/settings_file.h"
#include "files/file_replace.h"
#include "userdata/provisioning.h"

namespace velmora {
namespace {

struct PackageNames {
  std::wstring folder;
  std::wstring destinationRoot;
  std::wstring recordValueName;
  std::wstring repairMarkName;
};

// False when a name is empty or would not fit its 260-character buffer.
bool DerivePackageNames(const std::wstring& packageFile, const std::wstring& perUserFolder, PackageNames& names) {
  const std::wstring fileName = FileNameOf(packageFile);
  const std::wstring packageName = fileName.substr(0, fileName.rfind(L'.'));
  // Without a name the package would have no folder of its own: its copies would mix with the
  // per-user folder's.
  if (packageName.empty() || !StaysBelowRoot(packageName)) {
    TraceRefusal(L"package name " + packageName, L"it names no folder of its own below the per-user folder");
    return false;
  }
  names.folder = CutAtLastBackslash(packageFile);
  names.destinationRoot = perUserFolder;
  if (names.destinationRoot.back() != L'\\') names.destinationRoot += L'\\';
  names.destinationRoot += packageName;
  names.recordValueName = std::wstring(kUserDataRecord) + L'_' + packageName;
  names.repairMarkName = std::wstring(kUserDataRepairMark) + L'_' + packageName;
  return Fits(names.destinationRoot, kPathCapacity) && Fits(names.recordValueName, kPathCapacity);
}

std::wstring ReadRecord(const std::wstring& productKey, const std::wstring& valueName) {
  const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, productKey, kFullAccess);
  if (!key) return {};
  return ReadRegistryText(key.Get(), valueName.c_str()).value_or(L"");
}

// 0 with the text of a node's attribute; 1 when the node has no such attribute, else the failure code.
long ReadAttributeText(IXMLDOMNode& node, const wchar_t* name, std::wstring& text) {
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  HRESULT status = node.get_attributes(attributes.Put());
  if (FAILED(status)) return status;
  if (!attributes) return 1;
  const UniqueBstr attributeName(name);
  if (!attributeName) return E_OUTOFMEMORY;
  ComPtr<IXMLDOMNode> attribute;
  status = attributes->getNamedItem(attributeName.Get(), attribute.Put());
  if (FAILED(status)) return status;
  if (!attribute) return 1;
  UniqueVariant value;
  status = attribute->get_nodeTypedValue(value.Put());
  if (FAILED(status)) return status;
  return value.ToText(text);
}

// 0 when the document element is named "ApplicationPackage", 1 when it is named otherwise or is
// missing, else the failure code.
long CheckPackageRoot(IXMLDOMDocument& document, ComPtr<IXMLDOMElement>& root) {
  HRESULT status = document.get_documentElement(root.Put());
  if (FAILED(status)) return status;
  if (!root) return 1;
  UniqueBstr name;
  status = root->get_nodeName(name.Put());
  if (FAILED(status)) return status;
  const UniqueBstr expected(L"ApplicationPackage");
  if (!expected) return E_OUTOFMEMORY;
  return ::VarBstrCmp(name.Get(), expected.Get(), LOCALE_USER_DEFAULT, 0) == VARCMP_EQ ? 0 : 1;
}

// The file name of the first configuration entry of type "INI"; empty when there is none.
long FindCopyListName(IXMLDOMElement& root, std::wstring& fileName) {
  fileName.clear();
  const UniqueBstr query(L"Components/ConfigEntry");
  if (!query) return E_OUTOFMEMORY;
  ComPtr<IXMLDOMNodeList> entries;
  HRESULT status = root.selectNodes(query.Get(), entries.Put());
  if (FAILED(status)) return status;
  if (!entries) return 0;
  for (;;) {
    ComPtr<IXMLDOMNode> entry;
    status = entries->nextNode(entry.Put());
    if (FAILED(status)) return status;
    if (!entry) return 0;
    std::wstring fileType;
    if (const long result = ReadAttributeText(*entry.Get(), L"FileType", fileType); result != 0) return result;
    if (fileType == L"INI") {
      if (const long result = ReadAttributeText(*entry.Get(), L"FileName", fileName); result != 0) return result;
      // The copy list belongs to the package: a name that leaves its folder makes it invalid.
      if (Fits(fileName, kPathCapacity) && StaysBelowRoot(fileName)) return 0;
      TraceRefusal(L"package copy list " + fileName, L"it would leave the package's folder");
      return 1;
    }
  }
}

// Reads the package file. COM is initialised only for as long as the document lives.
long ReadCopyListName(const std::wstring& packageFile, std::wstring& fileName) {
  const ScopedComApartment apartment;
  ComPtr<IXMLDOMDocument> document;
  const HRESULT status = LoadXmlDocument(packageFile, document);
  if (FAILED(status)) return status;
  if (status != S_OK) return 1;
  ComPtr<IXMLDOMElement> root;
  if (const long result = CheckPackageRoot(*document.Get(), root); result != 0) return result;
  return FindCopyListName(*root.Get(), fileName);
}

enum class Destination { kReady, kUnusable, kAppliedBefore, kRepairNeeded };

// Creates the destination root (one level) unless it exists; an existing one that the record
// names means the package was applied before, and, with the repair mark beside the record, that
// files of it are still missing.
Destination PrepareDestination(const PackageNames& names, const std::wstring& productKey) {
  if (!Exists(names.destinationRoot)) {
    return CreateFolderWithRetries(names.destinationRoot) ? Destination::kReady : Destination::kUnusable;
  }
  if (ReadRecord(productKey, names.recordValueName) != names.destinationRoot) return Destination::kReady;
  return ReadRecord(productKey, names.repairMarkName) == names.destinationRoot ? Destination::kRepairNeeded
                                                                               : Destination::kAppliedBefore;
}

}  // namespace

long ApplyPackage(const std::wstring& packageFile, const std::wstring& perUserFolder, bool remove,
                  const std::wstring& productKey) {
  if (perUserFolder.empty() || !Fits(packageFile, kPathCapacity) || !Exists(packageFile)) return 1;
  PackageNames names;
  if (!DerivePackageNames(packageFile, perUserFolder, names)) return 1;
  TreeMode mode = remove ? TreeMode::kRemove : TreeMode::kCopy;
  if (!remove) {
    switch (PrepareDestination(names, productKey)) {
      case Destination::kReady:
        break;
      case Destination::kRepairNeeded:
        mode = TreeMode::kRepair;
        break;
      case Destination::kUnusable:
        return 1;
      case Destination::kAppliedBefore:
        return 0;
    }
  }

  std::wstring copyListName;
  if (const long result = ReadCopyListName(packageFile, copyListName); result != 0) return result;
  const std::wstring copyListFile = names.folder + L'\\' + copyListName;
  if (!Fits(copyListFile, kPathCapacity)) return 1;
  // Without a name the copy-list file would be the package folder itself, which holds no list.
  const std::vector<SectionEntry> copyList =
      copyListName.empty() ? std::vector<SectionEntry>() : ReadSectionList(copyListFile, L"\\UserData\\CopyToAppData");
  const bool complete = ApplyCopyList(copyList, names.folder, names.destinationRoot, mode);

  switch (mode) {
    case TreeMode::kRemove:
      DeleteRegistryValue(HKEY_CURRENT_USER, productKey, names.recordValueName.c_str());
      DeleteRegistryValue(HKEY_CURRENT_USER, productKey, names.repairMarkName.c_str());
      break;
    case TreeMode::kCopy:
      RecordWalk(productKey, names.recordValueName, names.repairMarkName, names.destinationRoot, complete);
      break;
    case TreeMode::kRepair:
      if (complete) DeleteRegistryValue(HKEY_CURRENT_USER, productKey, names.repairMarkName.c_str());
      break;
  }
  return 0;
}

}  // namespace velmora
