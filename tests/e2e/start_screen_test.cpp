// The start screen: its workspace, parameter file and process, as the real starter prepares them.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "files/tree_copy.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

constexpr char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<StartScreen><MainAppParams><Name/><Version/>"
    "<AppNames><StartCaption>Welcome</StartCaption><Caption/></AppNames>"
    "<UserInfo><UserName/><CompanyName/></UserInfo><DdeServer><AppName/></DdeServer>"
    "<PagesPath><HTMLsPath/></PagesPath><Dirs><VmSsFilesSource/><SamplesPath/><TestDrivePath/><KelptrxPath/></Dirs>"
    "<Status><StartString>Ready</StartString><String/><Value/></Status>"
    "<Commands><ShowTab/><ShowHtmlPage/><ShowHtmlElementById/></Commands></MainAppParams></StartScreen>\n";

// The installation's start-screen program and the all-users source of its workspace.
void AddStartScreen(const Installation& installation) {
  installation.CopyModule(L"test_start_screen.exe", L"Bin\\vuvevorodidaviz.exe");
  const std::wstring source = installation.AllUsersFolder() + L"\\ss20\\vmss_files";
  ASSERT_TRUE(CreateFolderWithParents(source));
  ASSERT_TRUE(WriteBytes(source + L"\\ini.xml", kTemplate));
  ASSERT_TRUE(WriteBytes(source + L"\\ssini.xml", "<Settings/>"));
}

TEST(StartScreen, StartsWithTheQuotedParameterFileAndTheEnvironmentBeforeThePlatformPass) {
  Installation installation;
  AddStartScreen(installation);
  installation.Run(L"-p \"Site A/B: draft\"");
  const std::wstring parameterFile =
      installation.PerUserFolder() + L"\\ss20\\profiles\\Site A$B$ draft\\ini.xml";
  // The main module learns the start screen's main thread.
  const std::wstring handedOver = installation.RecordedValue(L"main:SetStartScreenThreadId=");
  EXPECT_EQ(installation.AwaitRecordedValue(L"startscreen:thread="), handedOver.substr(0, handedOver.find(L' ')));
  EXPECT_EQ(installation.RecordedValue(L"startscreen:commandLine="), L"vuvevorodidaviz.exe \"" + parameterFile + L"\"");
  EXPECT_EQ(installation.RecordedValue(L"startscreen:env:VX_WI_DIR_TREE="),
            installation.Bin() + L";" + installation.Bin() + L"\\%5");
  EXPECT_EQ(installation.RecordedValue(L"startscreen:env:VX_ADD_PATH="), L"<unset>");
  const std::string parameters = ReadBytes(parameterFile);
  EXPECT_NE(parameters.find("<Name>Velmora 25.2</Name>"), std::string::npos) << parameters;
  EXPECT_NE(parameters.find("<Caption>Welcome</Caption>"), std::string::npos) << parameters;
}

TEST(StartScreen, MissingProgramGivesZeroAndTheStartGoesOn) {
  Installation installation;
  AddStartScreen(installation);
  installation.RemoveFile(L"Bin\\vuvevorodidaviz.exe");
  // One planted beside the drawing the user opened must not be started either.
  installation.CopyModule(L"test_start_screen.exe", L"Drawings\\vuvevorodidaviz.exe");
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=6\n");
  EXPECT_EQ(installation.Run(L"plan.dwg", installation.Root() + L"\\Drawings").exitCode, 6u);
  EXPECT_EQ(installation.RecordedValue(L"main:SetStartScreenThreadId=").substr(0, 1), L"0");
  EXPECT_TRUE(FileExists(installation.PerUserFolder() + L"\\ss20\\profiles\\$$Default$$\\ini.xml"));
}

// COM and OLE automation serve only packages, the XML reader only the parameter file: the
// application finds in its process only what the start needed.
TEST(StartScreen, WithoutAStartScreenNoXmlLibraryIsLoaded) {
  Installation installation;
  // The user's folder is there, as after any first start; the start screen's source is not.
  ASSERT_TRUE(CreateFolderWithParents(installation.PerUserFolder()));
  installation.Run(L"plan.dwg");
  EXPECT_EQ(installation.RecordedValue(L"main:documentServiceLoaded="), L"no");
  EXPECT_EQ(installation.RecordedValue(L"main:xmlReaderLoaded="), L"no");
  EXPECT_TRUE(installation.Recorded(L"main:loaded"));
  EXPECT_FALSE(FileExists(installation.PerUserFolder() + L"\\ss20\\profiles\\$$Default$$.vxtmp"));
}

TEST(StartScreen, TheParameterFileIsWrittenWithoutCom) {
  Installation installation;
  AddStartScreen(installation);
  installation.Run(L"plan.dwg");
  const std::string parameters =
      ReadBytes(installation.PerUserFolder() + L"\\ss20\\profiles\\$$Default$$\\ini.xml");
  EXPECT_NE(parameters.find("<Name>Velmora 25.2</Name>"), std::string::npos) << parameters;
  EXPECT_EQ(installation.RecordedValue(L"main:documentServiceLoaded="), L"no");
  EXPECT_EQ(installation.RecordedValue(L"main:xmlReaderLoaded="), L"yes");
}

TEST(StartScreen, RegistrationRunsPrepareNoWorkspace) {
  for (const wchar_t* arguments : {L"-register", L"-unregister"}) {
    SCOPED_TRACE(Utf8(arguments));
    Installation installation;
    AddStartScreen(installation);
    installation.Run(arguments);
    EXPECT_FALSE(FileExists(installation.PerUserFolder() + L"\\ss20"));
  }
}

}  // namespace
}  // namespace velmora::testing
