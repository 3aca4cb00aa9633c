#include "userdata/packages.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <optional>
#include <string>
#include <thread>

#include "common/com.h"
#include "common/paths.h"
#include "common/registry.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::IsFolder;
using testing::ReadBytes;
using testing::RemoveTree;
using testing::TempFolder;
using testing::TestCompanyKey;
using testing::UniqueName;
using testing::Utf8;
using testing::WriteBytes;

const std::string kIniEntry = R"(<ConfigEntry FileType="INI" FileName="demo.ini"/>)";
const std::string kOtherIniEntry = R"(<ConfigEntry FileType="INI" FileName="other.ini"/>)";

std::string PackageXml(const std::string& root, const std::string& entries) {
  return "<?xml version=\"1.0\"?>\r\n<" + root + "><Components>" + entries + "</Components></" + root + ">\r\n";
}

// A package folder "pkg" (copy lists demo.ini: Defaults=Settings and other.ini: Extras=Other, with
// those folders), a per-user folder "user" and a product key, all fresh. The package file is
// written by each test.
class PackageBed {
 public:
  PackageBed() : name_(UniqueName(L"Demo-")) {
    for (const wchar_t* folder : {L"", L"\\Defaults", L"\\Defaults\\sub", L"\\Extras"}) {
      ::CreateDirectoryW((packageFolder_ + folder).c_str(), nullptr);
    }
    ::CreateDirectoryW(userFolder_.c_str(), nullptr);
    Write(L"demo.ini", "[\\UserData\\CopyToAppData]\r\nDefaults=Settings\r\n");
    Write(L"other.ini", "[\\UserData\\CopyToAppData]\r\nExtras=Other\r\n");
    Write(L"Defaults\\a.cfg", "a");
    Write(L"Defaults\\sub\\b.cfg", "b");
    Write(L"Extras\\c.cfg", "c");
  }

  bool Write(const std::wstring& relative, const std::string& bytes) const {
    return WriteBytes(packageFolder_ + L"\\" + relative, bytes);
  }
  bool WritePackage(const std::string& xml) const { return Write(name_ + L".package", xml); }
  std::wstring PackageFile() const { return packageFolder_ + L"\\" + name_ + L".package"; }
  const std::wstring& Name() const { return name_; }
  const std::wstring& UserFolder() const { return userFolder_; }
  const std::wstring& ProductKey() const { return productKey_; }
  std::wstring Destination() const { return userFolder_ + L"\\" + name_; }

  long Apply(bool remove = false) const { return ApplyPackage(PackageFile(), userFolder_, remove, productKey_); }

  std::optional<std::wstring> Record(const std::wstring& packageName) const {
    const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, productKey_, kReadAccess);
    if (!key) return std::nullopt;
    return ReadRegistryText(key.Get(), (L"UserDataDir_" + packageName).c_str());
  }
  std::optional<std::wstring> Record() const { return Record(name_); }

 private:
  TempFolder temp_;
  TestCompanyKey company_;
  std::wstring name_;
  std::wstring packageFolder_ = temp_ / L"pkg";
  std::wstring userFolder_ = temp_ / L"user";
  std::wstring productKey_ = company_.SubKey(L"Velmora\\1.0");
};

TEST(ApplyPackage, CopiesTheListOfTheFirstIniEntryOfAnApplicationPackageOnly) {
  const std::string noType = R"(<ConfigEntry FileName="other.ini"/>)";
  const std::string xmlType = R"(<ConfigEntry FileType="XML" FileName="other.ini"/>)";
  const struct {
    const char* label;
    std::string xml;
    long result;
    bool copied;
    bool recorded;
  } cases[] = {
      {"valid", PackageXml("ApplicationPackage", kIniEntry), 0, true, true},
      {"two INI entries", PackageXml("ApplicationPackage", kIniEntry + kOtherIniEntry), 0, true, true},
      {"other type first", PackageXml("ApplicationPackage", xmlType + kIniEntry), 0, true, true},
      {"no INI entry", PackageXml("ApplicationPackage", R"(<ConfigEntry FileType="ini" FileName="other.ini"/>)"), 0,
       false, true},
      {"no entries", PackageXml("ApplicationPackage", ""), 0, false, true},
      {"entry without FileType first", PackageXml("ApplicationPackage", noType + kIniEntry), 1, false, false},
      {"INI entry without FileName", PackageXml("ApplicationPackage", R"(<ConfigEntry FileType="INI"/>)"), 1, false,
       false},
      {"other root name", PackageXml("Package", kIniEntry), 1, false, false},
      {"root name in other case", PackageXml("applicationPackage", kIniEntry), 1, false, false},
      {"not well-formed", "<ApplicationPackage><Components>" + kIniEntry + "</Components>", 1, false, false},
      {"empty file", "", 1, false, false},
  };
  for (const auto& c : cases) {
    PackageBed bed;
    ASSERT_TRUE(bed.WritePackage(c.xml));
    EXPECT_EQ(bed.Apply(), c.result) << c.label;
    EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\sub\\b.cfg"), c.copied ? "b" : "") << c.label;
    EXPECT_FALSE(IsFolder(bed.Destination() + L"\\Other")) << c.label;
    EXPECT_EQ(bed.Record(), c.recorded ? std::optional(bed.Destination()) : std::nullopt) << c.label;
  }
}

TEST(ApplyPackage, AppliesOnceUntilTheDestinationOrItsRecordGoes) {
  PackageBed bed;
  ASSERT_TRUE(bed.WritePackage(PackageXml("ApplicationPackage", kIniEntry)));
  ASSERT_EQ(bed.Apply(), 0);
  ASSERT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\a.cfg"), "a");

  ASSERT_TRUE(bed.Write(L"Defaults\\a.cfg", "changed"));
  ASSERT_TRUE(bed.Write(L"Defaults\\new.cfg", "new"));
  EXPECT_EQ(bed.Apply(), 0);
  EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\a.cfg"), "a");
  EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\new.cfg"), "");

  // A record naming another folder is not this package's.
  ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, bed.ProductKey(), (L"UserDataDir_" + bed.Name()).c_str(),
                                bed.Destination() + L"\\"));
  EXPECT_EQ(bed.Apply(), 0);
  EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\new.cfg"), "new");
  EXPECT_EQ(bed.Record(), bed.Destination());

  ASSERT_TRUE(bed.Write(L"Defaults\\new.cfg", "newer"));
  RemoveTree(bed.Destination());
  EXPECT_EQ(bed.Apply(), 0);
  EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\new.cfg"), "newer");
  EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\a.cfg"), "changed");
}

TEST(ApplyPackage, RemoveTakesOutUntouchedCopiesAndTheRecord) {
  PackageBed bed;
  ASSERT_TRUE(bed.WritePackage(PackageXml("ApplicationPackage", kIniEntry)));
  ASSERT_EQ(bed.Apply(), 0);
  const std::wstring settings = bed.Destination() + L"\\Settings";
  ASSERT_TRUE(WriteBytes(settings + L"\\a.cfg", "edited by the user"));

  EXPECT_EQ(bed.Apply(true), 0);
  EXPECT_EQ(ReadBytes(settings + L"\\a.cfg"), "edited by the user");
  EXPECT_FALSE(IsFolder(settings + L"\\sub"));
  EXPECT_EQ(bed.Record(), std::nullopt);
}

TEST(ApplyPackage, RefusesMissingPackagesAndUnusableFoldersTouchingNothing) {
  PackageBed bed;
  ASSERT_TRUE(bed.WritePackage(PackageXml("ApplicationPackage", kIniEntry)));
  ASSERT_TRUE(bed.Write(L".package", PackageXml("ApplicationPackage", kIniEntry)));
  const std::wstring packageFolder = bed.PackageFile().substr(0, bed.PackageFile().rfind(L'\\'));
  // The per-user folder fits, the package's folder below it does not.
  const std::wstring longUserFolder = bed.UserFolder() + L"\\" + std::wstring(250 - bed.UserFolder().size(), L'u');
  ASSERT_TRUE(::CreateDirectoryW(longUserFolder.c_str(), nullptr));
  const struct {
    const char* label;
    std::wstring packageFile;
    std::wstring userFolder;
    std::wstring packageName;
  } cases[] = {
      {"missing package file", packageFolder + L"\\Missing.package", bed.UserFolder(), L"Missing"},
      {"empty per-user folder", bed.PackageFile(), L"", bed.Name()},
      {"package without a name", packageFolder + L"\\.package", bed.UserFolder(), L""},
      {"destination past 259 characters", bed.PackageFile(), longUserFolder, bed.Name()},
  };
  for (const auto& c : cases) {
    for (const bool remove : {false, true}) {
      const std::wstring record = L"UserDataDir_" + c.packageName;
      ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, bed.ProductKey(), record.c_str(), L"before"));
      EXPECT_EQ(ApplyPackage(c.packageFile, c.userFolder, remove, bed.ProductKey()), 1) << c.label << remove;
      EXPECT_EQ(bed.Record(c.packageName), L"before") << c.label << remove;
      EXPECT_FALSE(Exists(c.userFolder + L"\\" + c.packageName + L"\\Settings")) << c.label << remove;
    }
  }
}

// The starter initialises COM only around its own use of the document and undoes exactly that;
// a thread already initialised in another mode is used as it is.
TEST(ApplyPackage, LeavesTheThreadsComStateAsItFoundIt) {
  const struct {
    const char* label;
    bool initialise;
    DWORD mode;
    HRESULT typeStatus;
    APTTYPE type;
  } cases[] = {
      {"not initialised", false, 0, CO_E_NOTINITIALIZED, APTTYPE_CURRENT},
      {"single-threaded", true, COINIT_APARTMENTTHREADED, S_OK, APTTYPE_STA},
      {"multithreaded", true, COINIT_MULTITHREADED, S_OK, APTTYPE_MTA},
  };
  for (const auto& c : cases) {
    PackageBed bed;
    ASSERT_TRUE(bed.WritePackage(PackageXml("ApplicationPackage", kIniEntry)));
    HRESULT initialised = S_OK;
    long result = -1;
    HRESULT typeStatus = E_FAIL;
    APTTYPE type = APTTYPE_CURRENT;
    HRESULT afterwards = E_FAIL;
    std::thread([&] {
      if (c.initialise) initialised = ::CoInitializeEx(nullptr, c.mode);
      result = bed.Apply();
      APTTYPEQUALIFIER qualifier{};
      typeStatus = ::CoGetApartmentType(&type, &qualifier);
      // The process's first single-threaded apartment is its main one.
      if (type == APTTYPE_MAINSTA) type = APTTYPE_STA;
      if (c.initialise) ::CoUninitialize();
      // S_FALSE here would mean an initialisation was left behind.
      afterwards = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      if (SUCCEEDED(afterwards)) ::CoUninitialize();
    }).join();
    ASSERT_EQ(initialised, S_OK) << c.label;
    EXPECT_EQ(result, 0) << c.label;
    EXPECT_EQ(ReadBytes(bed.Destination() + L"\\Settings\\a.cfg"), "a") << c.label;
    EXPECT_EQ(typeStatus, c.typeStatus) << c.label;
    if (c.typeStatus == S_OK) {
      EXPECT_EQ(type, c.type) << c.label;
    }
    EXPECT_EQ(afterwards, S_OK) << c.label;
  }
}

// The document a package is read with resolves nothing outside its file and validates nothing.
TEST(LoadXmlDocument, GivesADocumentThatResolvesNoExternalsValidatesNothingAndProhibitsDtds) {
  const TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"a.xml", "<a/>"));
  const ScopedComApartment apartment;
  ComPtr<IXMLDOMDocument> document;
  ASSERT_EQ(LoadXmlDocument(folder / L"a.xml", document), S_OK);
  VARIANT_BOOL resolves = VARIANT_TRUE;
  VARIANT_BOOL validates = VARIANT_TRUE;
  EXPECT_EQ(document->get_resolveExternals(&resolves), S_OK);
  EXPECT_EQ(resolves, VARIANT_FALSE);
  EXPECT_EQ(document->get_validateOnParse(&validates), S_OK);
  EXPECT_EQ(validates, VARIANT_FALSE);
  ComPtr<IXMLDOMDocument2> document2;
  ASSERT_EQ(document->QueryInterface(kXmlDomDocument2Interface, reinterpret_cast<void**>(document2.Put())), S_OK);
  const UniqueBstr name(L"ProhibitDTD");
  UniqueVariant prohibits;
  // Wine's document service accepts the property but cannot read it back.
  if (document2->getProperty(name.Get(), prohibits.Put()) == S_OK) {
    EXPECT_EQ(V_VT(&prohibits.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(&prohibits.Get()), VARIANT_TRUE);
  }
}

}  // namespace
}  // namespace velmora
