#include "startscreen/start_screen.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "common/com.h"
#include "common/paths.h"
#include "files/tree_copy.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::DocumentServiceTextAt;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::string ParameterXml(bool withShowTab) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<StartScreen><MainAppParams>") +
         "<Name/><Version/><AppNames><StartCaption>Welcome</StartCaption><Caption>old</Caption></AppNames>"
         "<UserInfo><UserName/><CompanyName/></UserInfo><DdeServer><AppName/></DdeServer>"
         "<PagesPath><HTMLsPath/></PagesPath>"
         "<Dirs><VmSsFilesSource/><SamplesPath/><TestDrivePath/><KelptrxPath/></Dirs>"
         "<Status><StartString>Release 3</StartString><String>Release 3 (1)</String><Value>0</Value></Status>"
         "<Commands>" + (withShowTab ? "<ShowTab>tab</ShowTab>" : "") +
         "<ShowHtmlPage>page</ShowHtmlPage><ShowHtmlElementById>id</ShowHtmlElementById></Commands>"
         "</MainAppParams></StartScreen>\r\n";
}

// A per-user folder and an all-users source (template, "ssini.xml", version 12, a page) for the
// profile "Site A/B: draft".
struct StartScreenBed {
  StartScreenBed() {
    for (const wchar_t* folder : {L"user", L"common", L"common\\ss20", L"common\\ss20\\vmss_files",
                                  L"common\\ss20\\vmss_files\\htmls"}) {
      ::CreateDirectoryW((temp / folder).c_str(), nullptr);
    }
    const std::pair<const wchar_t*, std::string> files[] = {
        {L"ini.xml", ParameterXml(true)}, {L"ssini.xml", "<ss/>"}, {L"last.version", "12"},
        {L"htmls\\index.html", "<p/>"}};
    for (const auto& [name, bytes] : files) WriteBytes(Source(name), bytes);
    info = {.commonDataDir = temp / L"common", .userFolder = temp / L"user", .ddeAppName = L"VelmoraDde",
            .userName = L"Ann", .companyName = L"A & B <Ltd>", .profileName = L"Site A/B: draft",
            .productTitle = L"Velmora 2.1", .versionText = L"2.1", .installerBuild = L""};
  }

  std::wstring Source(const std::wstring& name) const { return temp / (L"common\\ss20\\vmss_files\\" + name); }
  std::wstring Workspace() const { return temp / L"user\\ss20\\profiles\\Site A$B$ draft"; }
  std::wstring Workspace(const std::wstring& name) const { return Workspace() + L"\\" + name; }
  bool Prepare() const { return PrepareStartScreenWorkspace(info).has_value(); }
  long Write() const { return WriteStartScreenParams(info, Workspace(L"ini.xml"), Workspace()); }

  TempFolder temp;
  StartScreenInfo info;
};

// Writes the file, or removes it when there is no content.
bool Put(const std::wstring& path, const std::optional<std::string>& bytes) {
  ::DeleteFileW(path.c_str());
  return !bytes || WriteBytes(path, *bytes);
}

TEST(SanitizeProfileName, ReplacesEachForbiddenCharacterAndNothingElse) {
  EXPECT_EQ(SanitizeProfileName(L"<<Default>>"), L"$$Default$$");
  EXPECT_EQ(SanitizeProfileName(L"Site A/B: draft"), L"Site A$B$ draft");
  EXPECT_EQ(SanitizeProfileName(L"<>/\\\":;?*|,=`"), std::wstring(13, L'$'));
  EXPECT_EQ(SanitizeProfileName(L"v1.2 \u00DCbung_~!#%&'()[]{}+-@^"), L"v1.2 \u00DCbung_~!#%&'()[]{}+-@^");
}

TEST(ReadVersionNumber, TakesTheLeadingNumberOfTheFirst1023Bytes) {
  const std::optional<std::int32_t> none;
  const struct {
    const char* label;
    std::string bytes;
    std::optional<std::int32_t> number;
  } cases[] = {
      {"blanks and line end", "  12\r\n", 12}, {"line ends and tab first", "\r\n\t7", 7}, {"plain", "12", 12},
      {"plus", "+12", 12}, {"minus", "-3", -3}, {"trailing text", "12abc", 12}, {"letters only", "abc", none},
      {"sign only", "-", none}, {"blank after sign", "+ 1", none}, {"byte-order mark", "\xEF\xBB\xBF" "12", none},
      {"empty", "", none}, {"null byte first", std::string(1, '\0') + "5", none},
      {"largest", "2147483647", INT32_MAX}, {"smallest", "-2147483648", INT32_MIN},
      {"too large", "2147483648", none}, {"too small", "-2147483649", none},
      {"far too large", "99999999999999999999", none}, {"last digit in byte 1023", std::string(1022, ' ') + "7", 7},
      {"digit past byte 1023", std::string(1023, ' ') + "7", none},
  };
  TempFolder temp;
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteBytes(temp / L"last.version", c.bytes));
    EXPECT_EQ(ReadVersionNumber(temp / L"last.version"), c.number) << c.label;
  }
  EXPECT_EQ(ReadVersionNumber(temp / L"missing.version"), none);
}

TEST(PrepareStartScreenWorkspace, FillsAnAbsentWorkspaceAndCompletesAnIncompleteOne) {
  const StartScreenBed bed;
  const auto result = PrepareStartScreenWorkspace(bed.info);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->workspace, bed.Workspace());
  EXPECT_EQ(result->source, bed.info.commonDataDir + L"\\ss20\\vmss_files");
  EXPECT_EQ(result->parameterFile, bed.Workspace(L"ini.xml"));
  EXPECT_EQ(ReadBytes(bed.Workspace(L"htmls\\index.html")), "<p/>");

  // Without "ssini.xml" the tree is copied again over what is there.
  ASSERT_TRUE(::DeleteFileW(bed.Workspace(L"ssini.xml").c_str()));
  ASSERT_TRUE(WriteBytes(bed.Workspace(L"ini.xml"), "changed"));
  EXPECT_TRUE(bed.Prepare());
  EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml")), ParameterXml(true));
  EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml.bak")), "changed");
  EXPECT_EQ(ReadBytes(bed.Workspace(L"ssini.xml")), "<ss/>");
}

TEST(PrepareStartScreenWorkspace, BuildsANewWorkspaceUnderItsTemporaryNameOverALeftoverOne) {
  const StartScreenBed bed;
  // A start ended while building left a workspace that has its parameter files but no pages.
  const std::wstring building = bed.Workspace() + L".vxtmp";
  ASSERT_TRUE(CreateFolderWithParents(building));
  ASSERT_TRUE(WriteBytes(building + L"\\ini.xml", ParameterXml(true)));
  ASSERT_TRUE(WriteBytes(building + L"\\ssini.xml", "<ss/>"));
  ASSERT_TRUE(WriteBytes(building + L"\\stale.txt", "stale"));
  EXPECT_TRUE(bed.Prepare());
  EXPECT_EQ(ReadBytes(bed.Workspace(L"htmls\\index.html")), "<p/>");
  EXPECT_EQ(ReadBytes(bed.Workspace(L"last.version")), "12");
  EXPECT_FALSE(Exists(bed.Workspace(L"stale.txt")));
  EXPECT_FALSE(Exists(building));

}

TEST(PrepareStartScreenWorkspace, EmptiesAndRefillsOnlyWhenTheSourceVersionIsNewer) {
  const struct {
    const char* label;
    std::optional<std::string> workspaceVersion;
    std::optional<std::string> sourceVersion;
    bool refilled;
  } cases[] = {
      {"source newer", "11", "12", true}, {"workspace without version", std::nullopt, "12", true},
      {"compared signed", "-1", "0", true}, {"equal", "  12\r\n", "12", false}, {"workspace newer", "13", "12", false},
      {"workspace letters only", "abc", "12", false}, {"workspace byte-order mark", "\xEF\xBB\xBF" "11", "12", false},
      {"source without version", "11", std::nullopt, false}, {"source letters only", "11", "new", false},
  };
  for (const auto& c : cases) {
    const StartScreenBed bed;
    ASSERT_TRUE(bed.Prepare()) << c.label;
    ASSERT_TRUE(WriteBytes(bed.Workspace(L"old.txt"), "old"));
    ASSERT_TRUE(WriteBytes(bed.Workspace(L"ini.xml"), "changed"));
    ASSERT_TRUE(Put(bed.Workspace(L"last.version"), c.workspaceVersion));
    ASSERT_TRUE(Put(bed.Source(L"last.version"), c.sourceVersion));

    EXPECT_TRUE(bed.Prepare()) << c.label;
    EXPECT_EQ(Exists(bed.Workspace(L"old.txt")), !c.refilled) << c.label;
    EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml")), c.refilled ? ParameterXml(true) : "changed") << c.label;
    EXPECT_FALSE(Exists(bed.Workspace(L"ini.xml.bak"))) << c.label;
  }
}

TEST(PrepareStartScreenWorkspace, WithoutASourceKeepsOnlyACompleteWorkspace) {
  for (const bool emptyCommonDataDir : {false, true}) {
    for (const bool complete : {true, false}) {
      StartScreenBed bed;
      ASSERT_TRUE(bed.Prepare());
      ASSERT_TRUE(complete || ::DeleteFileW(bed.Workspace(L"ssini.xml").c_str()));
      bed.info.commonDataDir = emptyCommonDataDir ? L"" : bed.info.commonDataDir + L"\\missing";
      EXPECT_EQ(bed.Prepare(), complete) << emptyCommonDataDir << complete;
      EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml")), ParameterXml(true)) << emptyCommonDataDir << complete;
    }
  }
}

TEST(PrepareStartScreenWorkspace, RefusesAnEmptyUserFolderAndNamesOfNoFolderOfTheirOwn) {
  const StartScreenBed bed;
  ASSERT_TRUE(bed.Prepare());
  ASSERT_FALSE(Exists(L"\\ss20"));
  StartScreenInfo info = bed.info;
  info.userFolder.clear();
  EXPECT_FALSE(PrepareStartScreenWorkspace(info));
  EXPECT_FALSE(Exists(L"\\ss20"));
  // These would name the profiles folder or the root, which a version change would then delete.
  info = bed.info;
  for (const wchar_t* name : {L"", L"..", L" . "}) {
    info.profileName = name;
    EXPECT_FALSE(PrepareStartScreenWorkspace(info)) << name;
    EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml")), ParameterXml(true)) << name;
  }
}

TEST(WriteStartScreenParams, WritesAllSixteenRowsFromTheBaseTextsAtEveryStart) {
  for (const std::wstring build : {L"", L"4711"}) {
    StartScreenBed bed;
    bed.info.installerBuild = build;
    ASSERT_TRUE(bed.Prepare());
    EXPECT_EQ(bed.Write(), S_OK);
    EXPECT_EQ(bed.Write(), S_OK);
    const ScopedComApartment apartment;  // one for all the reads below
    const std::wstring user = bed.info.userFolder;
    const std::pair<const wchar_t*, std::wstring> rows[] = {
        {L"Name", L"Velmora 2.1"}, {L"Version", L"2.1"}, {L"AppNames/Caption", L"Welcome"},
        {L"AppNames/StartCaption", L"Welcome"}, {L"UserInfo/UserName", L"Ann"},
        {L"UserInfo/CompanyName", L"A & B <Ltd>"}, {L"DdeServer/AppName", L"VelmoraDde"},
        {L"PagesPath/HTMLsPath", bed.Workspace(L"htmls")},
        {L"Dirs/VmSsFilesSource", bed.info.commonDataDir + L"\\ss20\\vmss_files"},
        {L"Dirs/SamplesPath", user + L"\\Samples"}, {L"Dirs/TestDrivePath", user + L"\\TestDrive"},
        {L"Dirs/KelptrxPath", user + L"\\kelptrx"},
        {L"Status/String", build.empty() ? L"Release 3" : L"Release 3 (4711)"},
        {L"Status/StartString", L"Release 3"}, {L"Status/Value", L"1"}, {L"Commands/ShowTab", L""},
        {L"Commands/ShowHtmlPage", L""}, {L"Commands/ShowHtmlElementById", L""},
    };
    for (const auto& [path, text] : rows) {
      EXPECT_EQ(DocumentServiceTextAt(bed.Workspace(L"ini.xml"), std::wstring(L"MainAppParams/") + path), text) << path;
    }
  }
}

TEST(WriteStartScreenParams, ReplacesAFileThatDoesNotLoadByTheTemplateAndSavesNothingWhenAnElementIsMissing) {
  const std::string broken = "<StartScreen><MainAppParams>";
  std::string declared = ParameterXml(true);
  declared.insert(declared.find("<StartScreen>"), "<!DOCTYPE StartScreen SYSTEM \"ini.dtd\">");
  const struct {
    const char* label;
    std::optional<std::string> file;       // nullopt: no parameter file
    std::optional<std::string> template_;  // nullopt: no template
    bool ok;
    std::string afterwards;  // the file's bytes when the update fails
  } cases[] = {
      {"not well-formed", broken, ParameterXml(true), true, ""},
      {"missing", std::nullopt, ParameterXml(true), true, ""},
      {"element missing", ParameterXml(false), ParameterXml(true), false, ParameterXml(false)},
      {"not well-formed, template without element", broken, ParameterXml(false), false, ParameterXml(false)},
      {"not well-formed, no template", broken, std::nullopt, false, broken},
      {"declares a document type", declared, ParameterXml(true), true, ""},
      {"template declares a document type", broken, declared, false, declared},
  };
  for (const auto& c : cases) {
    const StartScreenBed bed;
    ASSERT_TRUE(bed.Prepare()) << c.label;
    ASSERT_TRUE(Put(bed.Workspace(L"ini.xml"), c.file) && Put(bed.Source(L"ini.xml"), c.template_)) << c.label;

    const long status = bed.Write();
    EXPECT_EQ(status == S_OK, c.ok) << c.label << status;
    if (c.ok) {
      EXPECT_EQ(DocumentServiceTextAt(bed.Workspace(L"ini.xml"), L"MainAppParams/Name"), L"Velmora 2.1") << c.label;
      EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml")).find("DOCTYPE"), std::string::npos) << c.label;
    } else {
      EXPECT_EQ(ReadBytes(bed.Workspace(L"ini.xml")), c.afterwards) << c.label;
    }
  }
}

TEST(WriteStartScreenParams, AReadOnlyTemplateGivesAParameterFileThatCanBeSaved) {
  const StartScreenBed bed;
  if (!testing::ReadOnlyIsEnforced(bed.temp.Path())) GTEST_SKIP() << "read-only files are not enforced here";
  ASSERT_TRUE(testing::SetReadOnly(bed.Source(L"ini.xml")));
  ASSERT_TRUE(bed.Prepare());
  ASSERT_TRUE(WriteBytes(bed.Workspace(L"ini.xml"), "<StartScreen><MainAppParams>"));
  EXPECT_EQ(bed.Write(), S_OK);
  EXPECT_EQ(DocumentServiceTextAt(bed.Workspace(L"ini.xml"), L"MainAppParams/Name"), L"Velmora 2.1");
}

// The parameter file needs no COM: a thread where nobody initialised it writes the file and is left
// without an apartment.
TEST(WriteStartScreenParams, LeavesTheThreadWithoutComAsItFoundIt) {
  const StartScreenBed bed;
  ASSERT_TRUE(bed.Prepare());
  long status = E_FAIL;
  HRESULT afterwards = E_FAIL;
  std::thread([&] {
    status = bed.Write();
    afterwards = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // S_FALSE: one was left behind
    if (SUCCEEDED(afterwards)) ::CoUninitialize();
  }).join();
  EXPECT_EQ(status, S_OK);
  EXPECT_EQ(afterwards, S_OK);
}

}  // namespace
}  // namespace velmora
