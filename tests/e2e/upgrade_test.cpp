// The question after an upgrade, end to end: the real starter, its real task dialog (invisible
// under the test prefix, answered by the test driver pressing a command link) and real keys.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "files/tree_copy.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

// An installation just upgraded: the marker in the product key, two stored profiles, and a user
// with a settings file and one .cfg file. The installation's default user data adds default.cfg
// when the user's folder is provisioned.
class Upgraded {
 public:
  Upgraded() {
    installation.WriteText(L"Bin\\UserData\\Config\\default.cfg", "default");
    installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\n");
    SetValue(L"", L"JustUpgraded", L"1");
    SetValue(L"\\Profiles\\Drafting", nullptr, nullptr);
    SetValue(L"\\Profiles\\Modeling", nullptr, nullptr);
    CreateFolderWithParents(user + L"\\Config");
    WriteBytes(user + L"\\Config\\cfg.ini", "[Options]\n");
    WriteBytes(user + L"\\Config\\tools.cfg", "tools");
  }

  void SetValue(const std::wstring& below, const wchar_t* name, const wchar_t* text) const {
    HKEY opened = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (key + below).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &opened, nullptr),
              ERROR_SUCCESS);
    if (name) ::RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 4);
    ::RegCloseKey(opened);
  }
  std::wstring Value(const std::wstring& below, const wchar_t* name) const {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_CURRENT_USER, (key + below).c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
      return L"<none>";
    }
    return value;
  }
  bool ProfilesMarked() const {
    return Value(L"\\Profiles\\Drafting", L"JustUpgraded") == L"" &&
           Value(L"\\Profiles\\Modeling", L"JustUpgraded") == L"";
  }
  ChildResult Run(const std::wstring& arguments, int answer) const {
    const std::wstring commandLine = L"\"" + installation.Starter() + L"\"" + arguments;
    ChildResult result = RunChild(installation.Starter(), commandLine, installation.Bin(), 60000, answer);
    EXPECT_NE(result.exitCode, kTimedOutExitCode);
    return result;
  }

  Installation installation;
  const std::wstring key = L"SOFTWARE\\" + installation.Company() + L"\\Velmora\\25.2";
  const std::wstring user = installation.PerUserFolder();
};

TEST(Upgrade, TheDialogsCommandLinksKeepOrResetTheSettings) {
  const struct {
    int link;
    bool keep;
  } cases[] = {{IDYES, true}, {IDNO, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    Upgraded upgraded;
    const ChildResult result = upgraded.Run(L"", c.link);
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].caption, L"Velmora 25.2");
    EXPECT_EQ(upgraded.Value(L"", L"JustUpgraded"), L"<none>");
    EXPECT_TRUE(upgraded.ProfilesMarked());
    // Kept: nothing left to provision. Reset: provisioned again from the defaults, and recorded.
    EXPECT_EQ(FileExists(upgraded.user + L"\\Config\\default.cfg"), !c.keep);
    EXPECT_EQ(upgraded.Value(L"", L"UserDataDir"), upgraded.user);
    EXPECT_EQ(FileExists(upgraded.user + L"\\Config\\tools.cfg"), c.keep);
    EXPECT_EQ(ReadBytes(upgraded.user + L"\\Config\\BackUpCfg01\\tools.cfg"), c.keep ? "" : "tools");
    if (c.keep) continue;

    // The next upgrade's reset goes into the next folder.
    WriteBytes(upgraded.user + L"\\Config\\tools.cfg", "tools 2");
    upgraded.SetValue(L"", L"JustUpgraded", L"1");
    EXPECT_EQ(upgraded.Run(L"", IDNO).boxes.size(), 1u);
    EXPECT_EQ(ReadBytes(upgraded.user + L"\\Config\\BackUpCfg02\\tools.cfg"), "tools 2");
  }
}

TEST(Upgrade, WithoutAUserSettingsFileNothingIsAskedButTheMarkerMoves) {
  Upgraded upgraded;
  ::DeleteFileW((upgraded.user + L"\\Config\\cfg.ini").c_str());
  EXPECT_TRUE(upgraded.Run(L"", IDNO).boxes.empty());
  EXPECT_EQ(upgraded.Value(L"", L"JustUpgraded"), L"<none>");
  EXPECT_TRUE(upgraded.ProfilesMarked());
  EXPECT_TRUE(FileExists(upgraded.user + L"\\Config\\tools.cfg"));
}

TEST(Upgrade, RegisteringAndUnregisteringLeaveTheMarker) {
  for (const wchar_t* switchText : {L" -register", L" -unregister"}) {
    SCOPED_TRACE(Utf8(switchText));
    Upgraded upgraded;
    EXPECT_EQ(upgraded.Run(switchText, IDNO).exitCode, 0u);
    EXPECT_EQ(upgraded.Value(L"", L"JustUpgraded"), L"1");
    EXPECT_EQ(upgraded.Value(L"\\Profiles\\Drafting", L"JustUpgraded"), L"<none>");
    EXPECT_TRUE(FileExists(upgraded.user + L"\\Config\\tools.cfg"));
  }
}

}  // namespace
}  // namespace velmora::testing
