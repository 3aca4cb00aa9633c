#include <gtest/gtest.h>

#include "environment/platform_choice.h"
#include "environment/platform_directories.h"
#include "files/settings_file.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(ReplacePlatformPlaceholder, ReplacesOnlyThePlaceholder) {
  EXPECT_EQ(ReplacePlatformPlaceholder(L"C:\\App\\%5;%TEMP%;100%;%%5;%5", L"x64"),
            L"C:\\App\\x64;%TEMP%;100%;%x64;x64");
  EXPECT_EQ(ReplacePlatformPlaceholder(L"no placeholder %1", L"x64"), L"no placeholder %1");
}

TEST(PlatformElement, IsTheFirstElementHoldingThePlaceholder) {
  EXPECT_EQ(PlatformElement(L"C:\\App;;C:\\App\\%5;C:\\Other\\%5"), L"C:\\App\\%5");
  EXPECT_EQ(PlatformElement(L"C:\\App;C:\\Lib"), L"");
}

TEST(IsFolder, AcceptsNoTrailingBackslashOrWildcard) {
  TempFolder folder;
  EXPECT_TRUE(IsFolder(folder.Path()));
  EXPECT_FALSE(IsFolder(folder.Path() + L"\\"));
  EXPECT_FALSE(IsFolder(folder.Path().substr(0, folder.Path().size() - 1) + L"?"));
  ASSERT_TRUE(WriteBytes(folder / L"file", ""));
  EXPECT_FALSE(IsFolder(folder / L"file"));
}

TEST(ChoosePlatform, PrefersOptionThenTheUsersChoiceThenTheDefault) {
  struct Case {
    const char* name;
    bool userFile;
    const char* userIni;  // content of the user settings file when it exists
    std::wstring optionB;
    std::wstring optionR;
    std::wstring expectedName;
    bool expectedFromUser;
    const char* expectedWrite;  // a line the user settings file holds afterwards; null: unchanged
  };
  const Case cases[] = {
      {"default, no user file", false, "", L"", L"", L"x64", false, nullptr},
      {"default remembered", true, "", L"", L"", L"x64", false, "nPlat=sx64"},
      {"user's choice", true, "[\\Configuration]\nnPlat=sarm\n", L"", L"", L"arm", true, nullptr},
      {"tag alone is no choice", true, "[\\Configuration]\nnPlat=s\n", L"", L"", L"x64", false, "nPlat=sx64"},
      {"option without user file", false, "", L"arm", L"", L"arm", true, nullptr},
      {"option remembered", true, "[\\Configuration]\nnPlat=sx64\n", L"arm", L"", L"arm", true, "nPlat=sarm"},
      {"profile section", true, "[\\Configuration\\Work]\nnPlat=sarm\n", L"", L"Work=rest", L"arm", true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::wstring settings = folder / L"velmora.ini";
    const std::wstring user = folder / L"cfg.ini";
    WriteBytes(settings, "[\\Configuration]\nnPlat=sx64\n");
    if (c.userFile) WriteBytes(user, c.userIni);
    const auto choice = ChoosePlatform(settings, user, c.optionB, c.optionR);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->name, c.expectedName);
    EXPECT_EQ(choice->fromUserSide, c.expectedFromUser);
    if (c.expectedWrite != nullptr) {
      EXPECT_NE(ReadBytes(user).find(c.expectedWrite), std::string::npos) << ReadBytes(user);
    } else if (c.userFile) {
      EXPECT_EQ(ReadBytes(user), c.userIni);
    }
  }
}

TEST(ChoosePlatform, WritesNoNameTheUserSettingsFileCannotGiveBack) {
  const std::wstring outside = L"\u03a9\u0416";  // outside the ANSI code page of the test prefix
  ASSERT_FALSE(SurvivesCodePage(outside, CP_ACP));
  const std::string ansi = "[\\Configuration]\r\nnPlat=sx64\r\n";
  const struct {
    const char* name;
    bool utf16;
    std::wstring optionB, optionR, expectedName, expectedStored;  // stored: nPlat of the user section
  } cases[] = {
      {"platform name", false, L"x64" + outside, L"", L"x64" + outside, L"sx64"},
      {"profile name", false, L"", L"Work" + outside, L"x64", L""},
      {"UTF-16 file", true, L"x64" + outside, L"Work" + outside, L"x64" + outside, L"sx64" + outside},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::wstring user = folder / L"cfg.ini";
    WriteBytes(folder / L"velmora.ini", "[\\Configuration]\nnPlat=sx64\n");
    if (c.utf16) {
      std::string bytes = "\xFF\xFE";
      for (const char ch : ansi) bytes += {ch, '\0'};
      WriteBytes(user, bytes);
    } else {
      WriteBytes(user, ansi);
    }
    const auto choice = ChoosePlatform(folder / L"velmora.ini", user, c.optionB, c.optionR);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->name, c.expectedName);
    EXPECT_EQ(ReadSettingsValue(user, UserSection(c.optionR).c_str(), L"nPlat", 260), c.expectedStored);
    if (!c.utf16) {
      EXPECT_EQ(ReadBytes(user), ansi);
    }
  }
}

TEST(SurvivesCodePage, OnlyTextTheCodePageRepresentsExactly) {
  EXPECT_TRUE(SurvivesCodePage(L"", 1252));
  EXPECT_TRUE(SurvivesCodePage(L"sx64 Caf\u00e9", 1252));
  EXPECT_FALSE(SurvivesCodePage(L"sx64\u03a9", 1252));
  EXPECT_FALSE(SurvivesCodePage(L"\u0142", 1252));  // best fit would store 'l'
  EXPECT_TRUE(SurvivesCodePage(L"sx64\u03a9\u0142", CP_UTF8));
}

TEST(ChoosePlatform, GivesNothingWithoutAnyUsablePlatform) {
  TempFolder folder;
  WriteBytes(folder / L"velmora.ini", "[\\Configuration]\nnPlat=s\n");
  EXPECT_FALSE(ChoosePlatform(folder / L"velmora.ini", folder / L"cfg.ini", L"", L"").has_value());
  EXPECT_FALSE(ChoosePlatform(folder / L"missing.ini", L"", L"", L"").has_value());
}

}  // namespace
}  // namespace velmora
