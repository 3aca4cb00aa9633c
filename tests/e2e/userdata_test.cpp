// Default user data, the platform the application runs with, and packages, end to end.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

constexpr char kCopyList[] = "[\\UserData\\CopyToAppData]\n@=defaults\nUserData\nTemplates=Drawing\\Templates\n";

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring UserDataDir(const Installation& installation) {
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof(value);
  const std::wstring key = L"SOFTWARE\\" + installation.Company() + L"\\Velmora\\25.2";
  if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"UserDataDir", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return L"<none>";
  }
  return value;
}

// An installation with default user data: a user settings file and a template in a subfolder.
void AddDefaultUserData(const Installation& installation) {
  installation.WriteText(L"Bin\\UserData\\Config\\cfg.ini", "[Options]\nGrid=1\n");
  installation.WriteText(L"Bin\\Templates\\A3.dwt", "template");
  installation.WriteSettings(kCopyList);
}

TEST(UserData, FirstStartCopiesTheDefaultsOnceAndRecordsIt) {
  Installation installation;
  AddDefaultUserData(installation);
  const std::wstring user = installation.PerUserFolder();
  EXPECT_EQ(installation.Run().exitCode, 0u);
  EXPECT_TRUE(IsFile(user + L"\\Config\\cfg.ini"));
  EXPECT_TRUE(IsFile(user + L"\\Drawing\\Templates\\A3.dwt"));
  EXPECT_EQ(UserDataDir(installation), user);

  // Recorded: an edited default survives the next start untouched.
  ASSERT_TRUE(WriteBytes(user + L"\\Drawing\\Templates\\A3.dwt", "edited by the user"));
  installation.Run();
  EXPECT_EQ(ReadBytes(user + L"\\Drawing\\Templates\\A3.dwt"), "edited by the user");
  EXPECT_FALSE(IsFile(user + L"\\Drawing\\Templates\\A3.dwt.bak"));

  // Forgotten: the default comes back and the user's version is kept beside it.
  installation.ForgetProvisioning();
  installation.Run();
  EXPECT_EQ(ReadBytes(user + L"\\Drawing\\Templates\\A3.dwt"), "template");
  EXPECT_EQ(ReadBytes(user + L"\\Drawing\\Templates\\A3.dwt.bak"), "edited by the user");
}

TEST(UserData, UnregisterTakesOutTheUntouchedDefaultsAndTheRecord) {
  Installation installation;
  AddDefaultUserData(installation);
  const std::wstring user = installation.PerUserFolder();
  installation.Run();
  ASSERT_TRUE(WriteBytes(user + L"\\Config\\cfg.ini", "[Options]\nGrid=0\n"));
  ASSERT_TRUE(WriteBytes(user + L"\\Config\\mine.ini", "the user's own"));

  installation.WriteText(L"record.txt", "");
  EXPECT_EQ(installation.Run(L"-unregister").exitCode, 0u);
  EXPECT_FALSE(installation.Recorded(L"main:loaded"));
  EXPECT_FALSE(IsFile(user + L"\\Drawing\\Templates\\A3.dwt"));
  EXPECT_TRUE(IsFile(user + L"\\Config\\cfg.ini"));
  EXPECT_TRUE(IsFile(user + L"\\Config\\mine.ini"));
  EXPECT_EQ(UserDataDir(installation), L"<none>");
}

TEST(Platform, OptionBChoosesThePlatformAndTheUserSettingsRememberIt) {
  Installation installation;
  AddDefaultUserData(installation);
  installation.WriteText(L"Bin\\velmora.ini", std::string(kCopyList) + kPlatformSettings +
                                                  "[\\Configuration\\nPlat\\arm]\nDir=sarm\n");
  installation.WriteText(L"Bin\\arm\\placeholder.txt", "");
  installation.Run(L"-b arm");
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_ADD_PATH="), installation.Bin() + L"\\arm");
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="), installation.Bin() + L";" + installation.Bin() + L"\\arm");
  const std::wstring cfg = installation.PerUserFolder() + L"\\Config\\cfg.ini";
  EXPECT_NE(ReadBytes(cfg).find("nPlat=sarm"), std::string::npos);

  // The remembered choice holds without the option.
  installation.WriteText(L"record.txt", "");
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_ADD_PATH="), installation.Bin() + L"\\arm");
}

TEST(Platform, ACopyOfTheUserSettingsLeftByAnEndedStartGoesWithTheNext) {
  Installation installation;
  AddDefaultUserData(installation);
  installation.Run();
  const std::wstring cfg = installation.PerUserFolder() + L"\\Config\\cfg.ini";
  ASSERT_TRUE(WriteBytes(cfg + L".vxtmp", "[Options]\n"));
  installation.Run();
  EXPECT_FALSE(IsFile(cfg + L".vxtmp"));
  EXPECT_NE(ReadBytes(cfg).find("Grid=1"), std::string::npos);
}

TEST(Platform, MissingFolderFallsBackOnceToTheDefault) {
  Installation installation;
  AddDefaultUserData(installation);
  installation.WriteText(L"Bin\\velmora.ini", std::string(kCopyList) + kPlatformSettings +
                                                  "[\\Configuration\\nPlat\\gone]\nDir=sgone\n");
  installation.Run(L"-b gone");
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_ADD_PATH="), installation.Bin() + L"\\x64");
  const std::string cfg = ReadBytes(installation.PerUserFolder() + L"\\Config\\cfg.ini");
  EXPECT_NE(cfg.find("nPlat=sx64"), std::string::npos);
  EXPECT_EQ(cfg.find("nPlat=sgone"), std::string::npos);
}

TEST(Platform, NoUsablePlatformEndsWithMessageFifteen) {
  struct Case {
    const char* name;
    const char* settings;
  };
  const Case cases[] = {
      {"default folder missing", "[\\Configuration]\nnPlat=sgone\n[\\Configuration\\nPlat\\gone]\nDir=sgone\n"},
      {"no Dir", "[\\Configuration]\nnPlat=sx64\n[\\Configuration\\nPlat\\x64]\nMcDataDir=sx64\n"},
      {"default is a tag alone", "[\\Configuration]\nnPlat=s\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Installation installation;
    installation.WriteText(L"Bin\\velmora.ini", c.settings);
    const ChildResult result = installation.Run();
    EXPECT_EQ(result.exitCode, 255u);
    EXPECT_EQ(result.output, "Error: 55.\r\nReinstall application to fix this problem.\r\n");
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_FALSE(installation.Recorded(L"main:loaded"));
  }
}

TEST(Platform, McDataDirFolderIsPublishedAndAppended) {
  Installation installation;
  installation.WriteText(L"Bin\\velmora.ini", "[\\Configuration]\nnPlat=sx64\n[\\Configuration\\nPlat\\x64]\nDir=sx64\nMcDataDir=sdata\n");
  installation.WriteText(L"Bin\\data\\placeholder.txt", "");
  installation.Run();
  const std::wstring data = installation.Bin() + L"\\data";
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_ADD_PATH="), data);
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="),
            installation.Bin() + L";" + installation.Bin() + L"\\x64;" + data + L";");
}

TEST(Platform, MainModuleInThePlatformFolderIsFoundThroughPath) {
  Installation installation;
  installation.RemoveFile(L"Bin\\velmora.dll");
  installation.CopyModule(L"test_main.dll", L"Bin\\x64\\velmora.dll");
  installation.WriteText(L"Bin\\x64\\main.ini", "[Main]\nExitCode=9\n");
  EXPECT_EQ(installation.Run().exitCode, 9u);
  // Searched before the platform pass, so the starter only knows its bare name.
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllNameW="), L"velmora.dll");
  EXPECT_EQ(installation.RecordedValue(L"main:env:PATH=").rfind(installation.Bin() + L";" + installation.Bin() +
                                                                     L"\\x64;", 0),
            0u);
}

TEST(Package, OptionGAppliesAPackageOnceIntoItsOwnFolder) {
  Installation installation;
  installation.WriteText(L"Packages\\Furniture\\furniture.package",
                         "<ApplicationPackage><Components><ConfigEntry FileType=\"INI\" FileName=\"furniture.ini\"/>"
                         "</Components></ApplicationPackage>");
  installation.WriteText(L"Packages\\Furniture\\furniture.ini", "[\\UserData\\CopyToAppData]\nBlocks=Library\n");
  installation.WriteText(L"Packages\\Furniture\\Blocks\\chair.blk", "chair");
  const std::wstring package = installation.Root() + L"\\Packages\\Furniture\\furniture.package";
  installation.Run(L"-g \"" + package + L"\"");
  const std::wstring copied = installation.PerUserFolder() + L"\\furniture\\Library\\chair.blk";
  EXPECT_EQ(ReadBytes(copied), "chair");

  installation.Run(L"-unregister -g \"" + package + L"\"");
  EXPECT_FALSE(IsFile(copied));
}

}  // namespace
}  // namespace velmora::testing
