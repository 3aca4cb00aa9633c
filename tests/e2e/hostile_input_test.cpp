// Broken and hostile input, end to end: the starter neither crashes nor hangs, stays inside the
// folders it is meant for and loses none of the user's edits.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "common/paths.h"
#include "e2e/installation.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

std::wstring CompanyFolder(const Installation& installation) {
  return RoamingAppData() + L"\\" + installation.Company();
}

std::string PackageNaming(const char* copyListFile) {
  return std::string("<ApplicationPackage><Components><ConfigEntry FileType=\"INI\" FileName=\"") + copyListFile +
         "\"/></Components></ApplicationPackage>";
}

TEST(HostileSettings, FormatSpecificationsInTheSearchPathCannotCrashTheStarter) {
  for (const char* settings : {"Path=%2;%9!n!", "PathPrefix=%1!*s!", "PathSuffix=%99!.*s!"}) {
    SCOPED_TRACE(settings);
    Installation installation;
    installation.WriteSettings(std::string("[Starter]\n") + settings + "\n");
    EXPECT_EQ(installation.Run().exitCode, 0u);
    EXPECT_TRUE(installation.Recorded(L"main:loaded"));
    EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="), L"<unset>");
  }
}

TEST(HostileSettings, AnEmptySearchPathElementNeverFindsAModuleBesideTheDrawing) {
  Installation installation;
  installation.WriteSettings("[Starter]\nPath=%4;%2\n");  // %4 is not set
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=3\n");
  installation.CopyModule(L"test_main.dll", L"Drawings\\velmora.dll");
  installation.WriteText(L"Drawings\\main.ini", "[Main]\nExitCode=7\n");
  EXPECT_EQ(installation.Run(L"plan.dwg", installation.Root() + L"\\Drawings").exitCode, 3u);
}

TEST(HostileIdentity, NamesThatClimbLeaveThePerUserFolderEmpty) {
  Installation installation;
  const std::wstring escaped = L"Escaped " + installation.Company().substr(installation.Company().find(L' ') + 1);
  installation.SetIdentity("[Identity]\nCompany=..\\..\\" + Utf8(escaped) + "\nProduct=Velmora\n");
  installation.WriteText(L"Bin\\UserData\\Config\\cfg.ini", "[Options]\n");
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\n");
  const std::wstring outside = CutAtLastBackslash(CutAtLastBackslash(RoamingAppData())) + L"\\" + escaped;
  EXPECT_EQ(installation.Run().exitCode, 0u);
  EXPECT_FALSE(FileExists(outside));
  RemoveTree(outside);
}

TEST(HostileCopyLists, EntriesThatLeaveTheirRootsAreSkippedInBothModes) {
  Installation installation;
  installation.WriteText(L"Bin\\Data\\f.txt", "default");
  installation.WriteText(L"Outside\\secret.txt", "not the installation's");
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nData=..\\Escaped\nData=Inside\n..\\Outside=Climbed\n" +
                             Utf8(installation.Root()) + "\\Outside=Absolute\nData=C:Drive\n");
  installation.WriteText(L"Packages\\Kit\\kit.package", PackageNaming("kit.ini"));
  installation.WriteText(L"Packages\\Kit\\kit.ini", "[\\UserData\\CopyToAppData]\nBlocks=..\\..\\PackageEscaped\nBlocks=Library\n");
  installation.WriteText(L"Packages\\Kit\\Blocks\\chair.blk", "chair");
  const std::wstring package = L"-g \"" + installation.Root() + L"\\Packages\\Kit\\kit.package\"";
  const std::wstring user = installation.PerUserFolder();

  installation.Run(package);
  EXPECT_EQ(ReadBytes(user + L"\\Inside\\f.txt"), "default");
  EXPECT_EQ(ReadBytes(user + L"\\kit\\Library\\chair.blk"), "chair");
  for (const std::wstring& skipped : {CompanyFolder(installation) + L"\\Escaped", user + L"\\Climbed",
                                      user + L"\\Absolute", CompanyFolder(installation) + L"\\PackageEscaped"}) {
    EXPECT_FALSE(FileExists(skipped)) << Utf8(skipped);
  }

  // A file of the user's outside the per-user folder, identical to the default, survives removal.
  const std::wstring usersFile = CompanyFolder(installation) + L"\\Escaped\\f.txt";
  ASSERT_TRUE(::CreateDirectoryW((CompanyFolder(installation) + L"\\Escaped").c_str(), nullptr));
  ASSERT_TRUE(::CopyFileW((installation.Bin() + L"\\Data\\f.txt").c_str(), usersFile.c_str(), FALSE));
  installation.Run(L"-unregister " + package);
  EXPECT_FALSE(FileExists(user + L"\\Inside\\f.txt"));
  EXPECT_FALSE(FileExists(user + L"\\kit\\Library\\chair.blk"));
  EXPECT_EQ(ReadBytes(usersFile), "default");
}

TEST(HostilePackages, ACopyListOrDocumentTypeOutsideThePackageMakesItInvalid) {
  const struct {
    const char* name;
    std::string document;
  } cases[] = {
      {"copy list outside the package", PackageNaming("..\\Other\\kit.ini")},
      {"document type", "<?xml version=\"1.0\"?><!DOCTYPE ApplicationPackage SYSTEM \"kit.dtd\">" +
                            PackageNaming("kit.ini")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Installation installation;
    installation.WriteText(L"Packages\\Kit\\kit.package", c.document);
    installation.WriteText(L"Packages\\Kit\\kit.dtd", "<!ELEMENT ApplicationPackage ANY>");
    installation.WriteText(L"Packages\\Kit\\kit.ini", "[\\UserData\\CopyToAppData]\nBlocks=Library\n");
    installation.WriteText(L"Packages\\Other\\kit.ini", "[\\UserData\\CopyToAppData]\nBlocks=Library\n");
    installation.WriteText(L"Packages\\Kit\\Blocks\\chair.blk", "chair");
    installation.Run(L"-g \"" + installation.Root() + L"\\Packages\\Kit\\kit.package\"");
    EXPECT_FALSE(FileExists(installation.PerUserFolder() + L"\\kit\\Library"));
  }
}

// Default data of many files, provisioned once and then edited by the user.
void ProvisionAndEdit(const Installation& installation, int files) {
  for (int i = 0; i < files; ++i) {
    installation.WriteText(L"Bin\\UserData\\Many\\f" + std::to_wstring(i) + L".txt", "default");
  }
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\n");
  installation.Run();
  for (int i = 0; i < files; ++i) {
    const std::wstring file = installation.PerUserFolder() + L"\\Many\\f" + std::to_wstring(i) + L".txt";
    ASSERT_TRUE(WriteBytes(file, "edited " + std::to_string(i)));
  }
  installation.ForgetProvisioning();
}

TEST(HostileUserData, AnEditIsKeptWhenItsBackupCannotBeMade) {
  Installation installation;
  ProvisionAndEdit(installation, 1);
  const std::wstring file = installation.PerUserFolder() + L"\\Many\\f0.txt";
  ASSERT_TRUE(::CreateDirectoryW((file + L".bak").c_str(), nullptr));
  installation.Run();
  EXPECT_EQ(ReadBytes(file), "edited 0");
}

TEST(HostileUserData, TwoStartsAtOnceLoseNoEdit) {
  constexpr int kFiles = 300;
  Installation installation;
  ProvisionAndEdit(installation, kFiles);
  std::thread second([&installation] { installation.Run(); });
  installation.Run();
  second.join();
  int lost = 0;
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring file = installation.PerUserFolder() + L"\\Many\\f" + std::to_wstring(i) + L".txt";
    const std::string edit = "edited " + std::to_string(i);
    if (ReadBytes(file) != edit && ReadBytes(file + L".bak") != edit) ++lost;
  }
  EXPECT_EQ(lost, 0);
}

TEST(HostileUserData, FolderLinksInTheDefaultDataAreNeverFollowed) {
  Installation installation;
  installation.WriteText(L"Bin\\UserData\\Config\\Options.ini", "[Options]\n");
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\n");
  // Two links back up the tree: a walk that followed them would never end.
  for (const wchar_t* link : {L"\\Loop", L"\\Config\\Loop"}) {
    ASSERT_TRUE(CreateFolderLink(installation.Bin() + L"\\UserData" + link, installation.Bin() + L"\\UserData"));
  }
  const std::wstring user = installation.PerUserFolder();
  installation.Run();
  EXPECT_TRUE(FileExists(user + L"\\Config\\Options.ini"));
  EXPECT_FALSE(FileExists(user + L"\\Loop"));
  EXPECT_FALSE(FileExists(user + L"\\Config\\Loop"));
  installation.Run(L"-unregister");
  EXPECT_FALSE(FileExists(user + L"\\Config\\Options.ini"));
}

}  // namespace
}  // namespace velmora::testing
