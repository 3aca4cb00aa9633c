// A profile's parameter file holding bytes that once ended a start inside the XML reader, and texts
// the starter writes holding characters XML cannot carry: the start ends normally and in time, the
// start screen starts, and the file left behind is well-formed to a strict parser.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "e2e/installation.h"
#include "files/tree_copy.h"
#include "support/files.h"
#include "support/xml_check.h"

namespace velmora::testing {
namespace {

constexpr unsigned long kStartBoundMs = 20000;

const std::string& Template() {
  static const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- kept -->\n<StartScreen><MainAppParams><Name/><Version/>"
      "<AppNames><StartCaption>Welcome</StartCaption><Caption/></AppNames>"
      "<UserInfo><UserName/><CompanyName/></UserInfo><DdeServer><AppName/></DdeServer>"
      "<PagesPath><HTMLsPath/></PagesPath><Dirs><VmSsFilesSource/><SamplesPath/><TestDrivePath/><KelptrxPath/></Dirs>"
      "<Status><StartString>Ready</StartString><String/><Value/></Status>"
      "<Commands><ShowTab/><ShowHtmlPage/><ShowHtmlElementById/></Commands></MainAppParams></StartScreen>\n";
  return text;
}

std::string Utf16Le(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// An installation whose start screen ran once, so that the profile's workspace and parameter file
// are there; the record of that start is gone.
struct StartedOnce {
  StartedOnce() {
    installation.CopyModule(L"test_start_screen.exe", L"Bin\\vuvevorodidaviz.exe");
    const std::wstring source = installation.AllUsersFolder() + L"\\ss20\\vmss_files";
    EXPECT_TRUE(CreateFolderWithParents(source));
    EXPECT_TRUE(WriteBytes(source + L"\\ini.xml", Template()));
    EXPECT_TRUE(WriteBytes(source + L"\\ssini.xml", "<Settings/>"));
    installation.Run();
    EXPECT_NE(installation.AwaitRecordedValue(L"startscreen:thread="), L"<none>");
    installation.RemoveFile(L"record.txt");
  }
  std::wstring ParameterFile() const {
    return installation.PerUserFolder() + L"\\ss20\\profiles\\$$Default$$\\ini.xml";
  }
  ChildResult Start(const std::wstring& arguments = {}) const {
    const std::wstring commandLine = L"\"" + installation.Starter() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    return RunChild(installation.Starter(), commandLine, installation.Bin(), kStartBoundMs);
  }

  Installation installation;
};

TEST(HostileParameterFile, BytesThatEndedTheReaderLeaveAStartThatEndsNormally) {
  const std::string rows = Template().substr(Template().find("<StartScreen>"));
  const struct {
    const char* label;
    std::string file;
  } cases[] = {
      {"declaration holding a null character", "<?xml" + std::string(1, '\0') + "?>" + rows},
      {"byte-order mark and a lone <", "\xEF\xBB\xBF<"},
      {"UTF-16 with a text of 15,000 characters",
       Utf16Le(rows.substr(0, rows.size() - 15) + std::string(15000, 'x') + "</StartScreen>\n")},
      {"UTF-16 with a text of 60,000 characters",
       Utf16Le(rows.substr(0, rows.size() - 15) + std::string(60000, 'x') + "</StartScreen>\n")},
      {"well-formed, 690 KB, a long comment",
       "<?xml version=\"1.0\"?>\n<!--" + std::string(690000, 'c') + "-->\n" + rows},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const StartedOnce bed;
    ASSERT_TRUE(WriteBytes(bed.ParameterFile(), c.file));
    const ChildResult result = bed.Start();
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_NE(bed.installation.AwaitRecordedValue(L"startscreen:thread="), L"<none>");
    EXPECT_TRUE(NotWellFormed({bed.ParameterFile()}).empty()) << ReadBytes(bed.ParameterFile()).substr(0, 200);
    EXPECT_NE(ReadBytes(bed.ParameterFile()).find("<Name>Velmora 25.2</Name>"), std::string::npos);
  }
}

TEST(HostileParameterFile, ControlCharactersInTheDdeNameAreNotWrittenAsTheyAre) {
  const StartedOnce bed;
  const ChildResult result = bed.Start(L"-a \"Dde\x01\x1B\x7F" L"name\"");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(NotWellFormed({bed.ParameterFile()}).empty()) << ReadBytes(bed.ParameterFile());
  EXPECT_NE(ReadBytes(bed.ParameterFile()).find("<AppName>Dde\xEF\xBF\xBD\xEF\xBF\xBD\x7Fname</AppName>"),
            std::string::npos)
      << ReadBytes(bed.ParameterFile());
}

}  // namespace
}  // namespace velmora::testing
