#include "userdata/upgrade.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::FileExists;
using testing::IsFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::TestBinaryFolder;
using testing::TestCompanyKey;
using testing::WriteBytes;

const std::wstring kResetEnglish =
    L"Reset custom settings to the default state:\n- backup copy of all custom settings will be saved in %s\\Config "
    L"folder in the file with .BAK extension;\n- backup copy of Tool Palettes will be saved in %s\\ToolPalette folder.";

std::wstring Filled(std::wstring text, const std::wstring& folder) {
  for (std::size_t at; (at = text.find(L"%s")) != std::wstring::npos;) text.replace(at, 2, folder);
  return text;
}

// What the dialog seam was shown; it answers with a given result and button.
struct Shown {
  int calls = 0;
  TASKDIALOGCONFIG config{};
  std::wstring title, instruction, content, keep, reset;
  std::vector<int> ids;
};

// A user with two .cfg files and a settings file, the upgrade marker and two stored profiles. The
// texts come from the string table of the fatal report probe, which carries the starter's.
class Upgrade {
 public:
  Upgrade() : resources_(::LoadLibraryExW((TestBinaryFolder() + L"\\fatal_report_probe.exe").c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE)) {
    names.perUserFolder = user.Path();
    names.userConfigFolder = user / L"Config";
    names.userSettingsFile = user / L"Config\\cfg.ini";
    names.productKey = company.SubKey(L"Velmora\\25.2");
    names.productTitle = L"Velmora Test 25.2";
    names.translationFilePath = user / L"velmora.wld";
    ::CreateDirectoryW(names.userConfigFolder.c_str(), nullptr);
    for (const wchar_t* file : {L"cfg.ini", L"a.cfg", L"b.cfg"}) WriteBytes(names.userConfigFolder + L"\\" + file, "x");
    SetMarker(2);
    company.SetValue(L"Velmora\\25.2\\Profiles\\P1", nullptr, 0, nullptr, 0);
    company.SetValue(L"Velmora\\25.2\\Profiles\\P2", nullptr, 0, nullptr, 0);
  }

  void SetMarker(DWORD bytes) const {
    const std::vector<BYTE> data(bytes, 0);
    company.SetValue(L"Velmora\\25.2", L"JustUpgraded", REG_SZ, data.data(), bytes);
  }

  Shown Run(HRESULT result, int button) {
    Shown shown;
    const auto dialog = [&](const TASKDIALOGCONFIG& config, int& pressed) {
      ++shown.calls;
      shown.config = config;
      shown.title = config.pszWindowTitle;
      shown.instruction = config.pszMainInstruction;
      shown.content = config.pszContent;
      shown.keep = config.pButtons[0].pszButtonText;
      shown.reset = config.pButtons[1].pszButtonText;
      shown.ids = {config.pButtons[0].nButtonID, config.pButtons[1].nButtonID};
      pressed = button;
      return result;
    };
    HKEY key = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, names.productKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    HandleUpgrade(key, names, static_cast<HINSTANCE>(resources_.Get()), dialog);
    ::RegCloseKey(key);
    return shown;
  }

  // The value's text, "<none>" when absent, "<type>" when it is not a string.
  std::wstring Value(const std::wstring& below, const wchar_t* name) const {
    wchar_t text[600] = {};
    DWORD type = 0, size = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, company.SubKey(below).c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                       text, &size) != ERROR_SUCCESS) {
      return L"<none>";
    }
    return type == REG_SZ ? text : L"<type>";
  }
  bool ProfilesMarked() const {
    return Value(L"Velmora\\25.2\\Profiles\\P1", L"JustUpgraded") == L"" &&
           Value(L"Velmora\\25.2\\Profiles\\P2", L"JustUpgraded") == L"";
  }

  TestCompanyKey company;
  TempFolder user;
  InstallationNames names;

 private:
  UniqueModule resources_;
};

TEST(HandleUpgrade, ActsOnTheChoiceAndAlwaysClearsTheMarkerAndMarksProfiles) {
  const struct {
    HRESULT result;
    int button;
    bool kept, reset;
  } cases[] = {{S_OK, IDYES, true, false}, {S_OK, -1, true, false}, {S_OK, IDNO, false, true},
               {E_FAIL, IDNO, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "result " << c.result << ", button " << c.button);
    Upgrade upgrade;
    EXPECT_EQ(upgrade.Run(c.result, c.button).calls, 1);
    EXPECT_EQ(upgrade.Value(L"Velmora\\25.2", L"UserDataDir"), c.kept ? upgrade.user.Path() : L"<none>");
    EXPECT_EQ(FileExists(upgrade.user / L"Config\\BackUpCfg01\\a.cfg"), c.reset);
    EXPECT_EQ(FileExists(upgrade.user / L"Config\\BackUpCfg01\\b.cfg"), c.reset);
    EXPECT_EQ(FileExists(upgrade.user / L"Config\\a.cfg"), !c.reset);
    EXPECT_TRUE(FileExists(upgrade.user / L"Config\\cfg.ini"));
    EXPECT_EQ(upgrade.Value(L"Velmora\\25.2", L"JustUpgraded"), L"<none>");
    EXPECT_TRUE(upgrade.ProfilesMarked());
  }
}

TEST(HandleUpgrade, AResetEndedMidwayIsFinishedInItsFolderWhateverTheNextAnswer) {
  for (const int button : {IDNO, IDYES}) {
    SCOPED_TRACE(::testing::Message() << "button " << button);
    Upgrade upgrade;
    // The earlier reset moved a.cfg into its gathering folder before it was ended.
    const std::wstring config = upgrade.names.userConfigFolder;
    ASSERT_TRUE(::CreateDirectoryW((config + L"\\BackUpCfg01.vxtmp").c_str(), nullptr));
    ASSERT_TRUE(::MoveFileW((config + L"\\a.cfg").c_str(), (config + L"\\BackUpCfg01.vxtmp\\a.cfg").c_str()));
    upgrade.Run(S_OK, button);
    EXPECT_TRUE(FileExists(config + L"\\BackUpCfg01\\a.cfg"));
    EXPECT_EQ(FileExists(config + L"\\BackUpCfg01\\b.cfg"), button == IDNO);
    EXPECT_FALSE(FileExists(config + L"\\BackUpCfg01.vxtmp"));
    EXPECT_FALSE(FileExists(config + L"\\BackUpCfg02"));
  }
}

TEST(HandleUpgrade, AsksWithTheConfiguredTaskDialogInEnglish) {
  Upgrade upgrade;
  const Shown shown = upgrade.Run(S_OK, IDYES);
  const TASKDIALOGCONFIG& c = shown.config;
  EXPECT_EQ(c.cbSize, 160u);
  EXPECT_EQ(c.hwndParent, nullptr);
  EXPECT_NE(c.hInstance, nullptr);
  EXPECT_EQ(c.dwFlags, 0x01000010);
  EXPECT_EQ(c.dwCommonButtons, 0);
  EXPECT_EQ(c.pszMainIcon, MAKEINTRESOURCEW(0xFFFF));
  EXPECT_EQ(c.nDefaultButton, IDYES);
  EXPECT_EQ(c.cRadioButtons + c.cxWidth, 0u);
  EXPECT_EQ(c.pfCallback, nullptr);
  EXPECT_EQ(c.pszVerificationText, nullptr);
  EXPECT_EQ(c.pszFooter, nullptr);
  EXPECT_EQ(shown.ids, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(shown.title, L"Velmora Test 25.2");
  EXPECT_EQ(shown.instruction, L"Keep custom settings after upgrade");
  EXPECT_TRUE(shown.content.starts_with(L"You can keep custom options"));
  EXPECT_TRUE(shown.keep.starts_with(L"Keep custom settings:\n- program settings"));
  EXPECT_EQ(shown.reset, Filled(kResetEnglish, upgrade.user.Path()));
}

TEST(HandleUpgrade, PassesTheTextsThroughALoadedLocalizationLibraryWithInit) {
  const struct {
    const wchar_t* module;  // copied as strata.dll and loaded; none: no library in the process
    bool translated;
  } cases[] = {{nullptr, false}, {L"test_strata_noinit.dll", false}, {L"test_strata.dll", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Utf8(c.module ? c.module : L"none"));
    Upgrade upgrade;
    UniqueModule strata;
    if (c.module) {
      const std::wstring copy = upgrade.user / L"strata.dll";
      ASSERT_TRUE(::CopyFileW((TestBinaryFolder() + L"\\" + c.module).c_str(), copy.c_str(), FALSE));
      strata.Reset(::LoadLibraryW(copy.c_str()));
      ASSERT_TRUE(strata);
    }
    const Shown shown = upgrade.Run(S_OK, IDYES);
    const std::wstring folder = upgrade.user.Path();
    if (c.translated) {
      EXPECT_EQ(shown.reset, L"Zur\u00fccksetzen: " + folder + L"\\Config, " + folder + L"\\ToolPalette, 100%");
      EXPECT_EQ(shown.instruction, L"T:Keep custom settings after upgrade");
      EXPECT_TRUE(shown.keep.starts_with(L"T:Keep custom settings:\n"));
      EXPECT_TRUE(shown.content.starts_with(L"T:You can keep"));
    } else {
      EXPECT_EQ(shown.reset, Filled(kResetEnglish, folder));
      EXPECT_EQ(shown.instruction, L"Keep custom settings after upgrade");
    }
    EXPECT_EQ(shown.title, L"Velmora Test 25.2");
    if (strata) {
      using Log = const wchar_t* (*)();
      const auto log = reinterpret_cast<Log>(reinterpret_cast<void*>(::GetProcAddress(strata.Get(), "TestStrataLog")));
      ASSERT_NE(log, nullptr);
      EXPECT_EQ(std::wstring(log()), c.translated ? L"Init:" + upgrade.names.translationFilePath +
                                                        L"\nTranslate:Reset\nTranslate:Keep\nTranslate:Keep\n"
                                                        L"Translate:You\n"
                                                  : L"");
    }
  }
}

TEST(HandleUpgrade, AsksNothingWithoutASettingsFileAndDoesNothingForAnOverlongMarker) {
  const struct {
    const char* name;
    bool settingsFolder, overlongMarker, acted;
  } cases[] = {{"no settings file", false, false, true},
               {"settings file is a folder", true, false, true},
               {"marker of 522 bytes", false, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Upgrade upgrade;
    ::DeleteFileW(upgrade.names.userSettingsFile.c_str());
    if (c.settingsFolder) ::CreateDirectoryW(upgrade.names.userSettingsFile.c_str(), nullptr);
    if (c.overlongMarker) upgrade.SetMarker(522);
    EXPECT_EQ(upgrade.Run(S_OK, IDYES).calls, 0);
    EXPECT_EQ(upgrade.Value(L"Velmora\\25.2", L"JustUpgraded") == L"<none>", c.acted);
    EXPECT_EQ(upgrade.ProfilesMarked(), c.acted);
    EXPECT_EQ(upgrade.Value(L"Velmora\\25.2", L"UserDataDir"), L"<none>");
  }
}

TEST(AskWithMessageBox, ShowsTheTextsInOrderAndAnswersYesForKeepAndNoForReset) {
  const std::wstring probe = TestBinaryFolder() + L"\\fatal_report_probe.exe";
  for (const int answer : {IDYES, IDNO}) {
    const testing::ChildResult result = testing::RunChild(probe, L"\"" + probe + L"\" ask", {}, 60000, answer);
    EXPECT_EQ(result.exitCode, static_cast<unsigned long>(answer));
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes[0].caption, L"Probe 25.2");
    EXPECT_EQ(result.boxes[0].text, L"Instruction\n\nContent\n\nKeep:\n- this\n\nReset:\n- that");
  }
}

TEST(BackupFiles, UsesTheLowestFreeNumberedFolderAndKeepsFilesItCouldNotCopy) {
  TempFolder folder;
  WriteBytes(folder / L"a.cfg", "1");
  EXPECT_TRUE(BackupFiles(folder.Path(), L"*.cfg", {}, false));
  EXPECT_TRUE(BackupFiles(folder.Path(), L"*.cfg", {}, true));
  EXPECT_EQ(ReadBytes(folder / L"BackUpCfg01\\a.cfg"), "1");
  EXPECT_EQ(ReadBytes(folder / L"BackUpCfg02\\a.cfg"), "1");
  EXPECT_FALSE(FileExists(folder / L"a.cfg"));

  // No match: false, and a new empty folder stays.
  EXPECT_FALSE(BackupFiles(folder.Path(), L"*.cfg", {}, true));
  EXPECT_TRUE(IsFolder(folder / L"BackUpCfg03"));

  // All 99 taken: the 99th, replacing a file of the same name.
  for (int n = 4; n <= 99; ++n) {
    ::CreateDirectoryW((folder / (n < 10 ? L"BackUpCfg0" : L"BackUpCfg") + std::to_wstring(n)).c_str(), nullptr);
  }
  WriteBytes(folder / L"BackUpCfg99\\a.cfg", "old");
  WriteBytes(folder / L"a.cfg", "new");
  EXPECT_TRUE(BackupFiles(folder.Path(), L"*.cfg", {}, true));
  EXPECT_EQ(ReadBytes(folder / L"BackUpCfg99\\a.cfg"), "new");

  // A given target; a copy that fails (a folder of that name is in the way) leaves its source.
  TempFolder target;
  WriteBytes(folder / L"a.cfg", "a");
  WriteBytes(folder / L"b.cfg", "b");
  ::CreateDirectoryW((target / L"b.cfg").c_str(), nullptr);
  EXPECT_TRUE(BackupFiles(folder.Path(), L"*.cfg", target.Path(), true));
  EXPECT_EQ(ReadBytes(target / L"a.cfg"), "a");
  EXPECT_FALSE(FileExists(folder / L"a.cfg"));
  EXPECT_EQ(ReadBytes(folder / L"b.cfg"), "b");

  // A read-only setting is reset too, into a writable copy.
  TempFolder readOnly;
  WriteBytes(readOnly / L"c.cfg", "c");
  ASSERT_TRUE(testing::SetReadOnly(readOnly / L"c.cfg"));
  EXPECT_TRUE(BackupFiles(readOnly.Path(), L"*.cfg", {}, true));
  EXPECT_FALSE(FileExists(readOnly / L"c.cfg"));
  EXPECT_EQ(ReadBytes(readOnly / L"BackUpCfg01\\c.cfg"), "c");
  EXPECT_FALSE(testing::IsReadOnly(readOnly / L"BackUpCfg01\\c.cfg"));

  EXPECT_FALSE(BackupFiles(L"", L"*.cfg", {}, true));
}

}  // namespace
}  // namespace velmora
