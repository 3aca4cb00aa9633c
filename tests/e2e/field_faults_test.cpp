// What a user's folder holds that the starter did not put there, end to end: links planted where
// the starter builds its own folders, leftovers with attributes, files that only look like
// settings, and the starter's own writes after a second provisioning.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "files/tree_copy.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

constexpr char kDefaultSettings[] = "[Options]\nGrid=1\n";

// A folder outside every place of the starter's, with a file that must outlive every start.
class Bystander {
 public:
  explicit Bystander(const Installation& installation) : folder_(installation.Root() + L"\\Bystander") {
    CreateFolderWithParents(folder_);
    WriteBytes(File(), "not the starter's");
  }
  const std::wstring& Folder() const { return folder_; }
  std::wstring File() const { return folder_ + L"\\keep.txt"; }
  // Nothing taken away and nothing put in.
  void ExpectUntouched() const {
    EXPECT_EQ(ReadBytes(File()), "not the starter's");
    WIN32_FIND_DATAW entry{};
    const HANDLE find = ::FindFirstFileW((folder_ + L"\\*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int entries = 0;
    do {
      ++entries;
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    EXPECT_EQ(entries, 3) << "., .. and keep.txt only";
  }

 private:
  std::wstring folder_;
};

void AddDefaultUserData(const Installation& installation) {
  installation.WriteText(L"Bin\\UserData\\Config\\cfg.ini", kDefaultSettings);
  installation.WriteText(L"Bin\\UserData\\Config\\default.cfg", "default");
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\n");
}

void SetJustUpgraded(const Installation& installation) {
  const std::wstring key = L"SOFTWARE\\" + installation.Company() + L"\\Velmora\\25.2";
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"JustUpgraded", REG_SZ, L"1", 4), ERROR_SUCCESS);
}

// Resets the settings the way the question after an upgrade does when the user picks reset.
ChildResult RunAndReset(const Installation& installation) {
  SetJustUpgraded(installation);
  const std::wstring commandLine = L"\"" + installation.Starter() + L"\"";
  return RunChild(installation.Starter(), commandLine, installation.Bin(), 60000, IDNO);
}

TEST(FieldFaults, TwoProvisioningsInARowKeepTheUsersEditOfTheSettings) {
  Installation installation;
  AddDefaultUserData(installation);
  installation.Run();
  const std::wstring cfg = installation.PerUserFolder() + L"\\Config\\cfg.ini";
  ASSERT_TRUE(WriteBytes(cfg, "[Options]\nGrid=0\n"));

  for (int provisioning = 1; provisioning <= 2; ++provisioning) {
    SCOPED_TRACE(provisioning);
    installation.ForgetProvisioning();
    EXPECT_EQ(installation.Run().exitCode, 0u);
    EXPECT_TRUE(installation.Recorded(L"main:loaded"));
    EXPECT_EQ(ReadBytes(cfg + L".bak"), "[Options]\nGrid=0\n");
    EXPECT_NE(ReadBytes(cfg).find("Grid=1"), std::string::npos);
  }
}

// A link where the starter builds a folder the user lacks (Config.vxtmp), and where a reset
// gathers the user's settings (BackUpCfg01.vxtmp): what it names stays as it was, and the starter's
// work is done in folders of its own. Windows removes such a link as a link; Wine, whose links are
// the host's, cannot, so there the link stays until the user takes it away and a later start
// finishes the work.
TEST(FieldFaults, ALinkWhereTheStarterBuildsItsOwnFolderIsNeverFollowed) {
  {
    SCOPED_TRACE("folder being built");
    Installation installation;
    AddDefaultUserData(installation);
    const Bystander bystander(installation);
    const std::wstring user = installation.PerUserFolder();
    ASSERT_TRUE(CreateFolderWithParents(user));
    ASSERT_TRUE(CreateFolderLink(user + L"\\Config.vxtmp", bystander.Folder()));
    EXPECT_EQ(installation.Run().exitCode, 0u);
    EXPECT_TRUE(installation.Recorded(L"main:loaded"));
    bystander.ExpectUntouched();
    EXPECT_TRUE(RemoveFolderLink(user + L"\\Config.vxtmp"));
    installation.Run();
    EXPECT_EQ(ReadBytes(user + L"\\Config\\default.cfg"), "default");
    bystander.ExpectUntouched();
  }
  {
    SCOPED_TRACE("link to an empty folder");
    Installation installation;
    AddDefaultUserData(installation);
    const std::wstring empty = installation.Root() + L"\\Empty";
    const std::wstring user = installation.PerUserFolder();
    ASSERT_TRUE(CreateFolderWithParents(empty));
    ASSERT_TRUE(CreateFolderWithParents(user));
    ASSERT_TRUE(CreateFolderLink(user + L"\\Config.vxtmp", empty));
    installation.Run();
    EXPECT_TRUE(FileExists(empty));
    RemoveFolderLink(user + L"\\Config.vxtmp");
  }
  {
    SCOPED_TRACE("reset's backup folder");
    Installation installation;
    AddDefaultUserData(installation);
    const Bystander bystander(installation);
    const std::wstring config = installation.PerUserFolder() + L"\\Config";
    installation.Run();
    ASSERT_TRUE(WriteBytes(config + L"\\tools.cfg", "the user's tools"));
    ASSERT_TRUE(CreateFolderLink(config + L"\\BackUpCfg01.vxtmp", bystander.Folder()));
    EXPECT_EQ(RunAndReset(installation).exitCode, 0u);
    EXPECT_TRUE(installation.Recorded(L"main:loaded"));
    bystander.ExpectUntouched();
    EXPECT_FALSE(FileExists(config + L"\\tools.cfg"));
    // In the first number's folder where the link could go, else in the next.
    const std::wstring backup = FileExists(config + L"\\BackUpCfg01") ? L"\\BackUpCfg01" : L"\\BackUpCfg02";
    const DWORD kinds = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    EXPECT_EQ(::GetFileAttributesW((config + backup).c_str()) & kinds, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(ReadBytes(config + backup + L"\\tools.cfg"), "the user's tools");
    RemoveFolderLink(config + L"\\BackUpCfg01.vxtmp");
  }
}

// A parameter file with every element the starter fills; `name` in the first.
std::string Parameters(const std::string& name) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<StartScreen><MainAppParams><Name>" + name +
         "</Name><Version/><AppNames><StartCaption/><Caption/></AppNames><UserInfo><UserName/><CompanyName/>"
         "</UserInfo><DdeServer><AppName/></DdeServer><PagesPath><HTMLsPath/></PagesPath><Dirs><VmSsFilesSource/>"
         "<SamplesPath/><TestDrivePath/><KelptrxPath/></Dirs><Status><StartString/><String/><Value/></Status>"
         "<Commands><ShowTab/><ShowHtmlPage/><ShowHtmlElementById/></Commands></MainAppParams></StartScreen>\n";
}

TEST(FieldFaults, AProtectedLeftoverParameterFileGoesBeforeTheNewOne) {
  Installation installation;
  installation.CopyModule(L"test_start_screen.exe", L"Bin\\vuvevorodidaviz.exe");
  const std::wstring source = installation.AllUsersFolder() + L"\\ss20\\vmss_files";
  ASSERT_TRUE(CreateFolderWithParents(source));
  ASSERT_TRUE(WriteBytes(source + L"\\ini.xml", Parameters("")));
  ASSERT_TRUE(WriteBytes(source + L"\\ssini.xml", "<Settings/>"));
  installation.Run();
  const std::wstring parameterFile = installation.PerUserFolder() + L"\\ss20\\profiles\\$$Default$$\\ini.xml";
  const std::wstring leftover = parameterFile + L".vxtmp";
  ASSERT_TRUE(WriteBytes(leftover, "half of an old write"));
  ASSERT_TRUE(::SetFileAttributesW(leftover.c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(parameterFile, Parameters("Old")));

  EXPECT_EQ(installation.Run().exitCode, 0u);
  EXPECT_FALSE(FileExists(leftover));
  const std::string parameters = ReadBytes(parameterFile);
  EXPECT_NE(parameters.find("<Name>Velmora 25.2</Name>"), std::string::npos) << parameters;
}

TEST(FieldFaults, AResetMovesOnlyFilesWhoseLongNameEndsInCfg) {
  Installation installation;
  AddDefaultUserData(installation);
  installation.Run();
  const std::wstring config = installation.PerUserFolder() + L"\\Config";
  const struct {
    const wchar_t* name;
    bool moved;
  } files[] = {{L"tools.cfg", true}, {L"UPPER.CFG", true}, {L"settings.cfgx", false}, {L"a.cfg_old", false},
               {L"notes.cfg.txt", false}};
  for (const auto& file : files) ASSERT_TRUE(WriteBytes(config + L"\\" + file.name, "the user's"));

  EXPECT_EQ(RunAndReset(installation).exitCode, 0u);
  for (const auto& file : files) {
    SCOPED_TRACE(Utf8(file.name));
    EXPECT_EQ(FileExists(config + L"\\BackUpCfg01\\" + file.name), file.moved);
    EXPECT_EQ(ReadBytes(config + (file.moved ? L"\\BackUpCfg01\\" : L"\\") + file.name), "the user's");
  }
}

}  // namespace
}  // namespace velmora::testing
