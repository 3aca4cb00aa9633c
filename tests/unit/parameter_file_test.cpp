// The parameter file's update over real files: what it keeps, what it refuses, and that what it
// writes reads back through the document service, an independent parser.
#include "startscreen/parameter_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/com.h"
#include "common/unique_handle.h"
#include "files/file_replace.h"
#include "startscreen/start_screen.h"
#include "support/utf8.h"
#include "support/xml_check.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::DocumentServiceTextAt;
using testing::ReadBytes;
using testing::TempFolder;
using testing::Utf8;
using testing::Wide;
using testing::WriteBytes;

// The sixteen elements as a template holds them, and as the update leaves them.
constexpr char kRows[] =
    "<MainAppParams><Name/><Version/><AppNames><StartCaption>Welcome</StartCaption><Caption/></AppNames>"
    "<UserInfo><UserName/><CompanyName/></UserInfo><DdeServer><AppName/></DdeServer><PagesPath><HTMLsPath/></PagesPath>"
    "<Dirs><VmSsFilesSource/><SamplesPath/><TestDrivePath/><KelptrxPath/></Dirs>"
    "<Status><StartString>Ready</StartString><String>Ready (1)</String><Value>0</Value></Status>"
    "<Commands><ShowTab>tab</ShowTab><ShowHtmlPage/><ShowHtmlElementById>id</ShowHtmlElementById></Commands>"
    "</MainAppParams>";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string Utf16Le(const std::string& utf8) {
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : Wide(utf8)) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// An all-users folder with a template, and a workspace whose parameter file the cases write.
struct ParameterBed {
  ParameterBed() {
    for (const wchar_t* folder : {L"common", L"common\\ss20", L"common\\ss20\\vmss_files", L"work"}) {
      ::CreateDirectoryW((temp / folder).c_str(), nullptr);
    }
    info = {.commonDataDir = temp / L"common", .userFolder = L"C:\\Users\\Zo\u00EB", .ddeAppName = L"VelmoraDde",
            .userName = L"Zo\u00EB", .companyName = L"A & B <Ltd>", .profileName = L"", .productTitle = L"Velmora 2.1",
            .versionText = L"2.1", .installerBuild = L"4711"};
    WriteBytes(Template(), TemplateText());
  }

  std::wstring Template() const { return temp / L"common\\ss20\\vmss_files\\ini.xml"; }
  std::wstring File() const { return temp / L"work\\ini.xml"; }
  long Write() const { return WriteStartScreenParams(info, File(), temp / L"work"); }

  static std::string TemplateText() { return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>") + kRows + "</Root>\n"; }

  std::string UpdatedRows() const {
    std::string rows = kRows;
    const std::string user = "C:\\Users\\Zo\xC3\xAB";
    const std::pair<std::string, std::string> changes[] = {
        {"<Name/>", "<Name>Velmora 2.1</Name>"}, {"<Version/>", "<Version>2.1</Version>"},
        {"<Caption/>", "<Caption>Welcome</Caption>"}, {"<UserName/>", "<UserName>Zo\xC3\xAB</UserName>"},
        {"<CompanyName/>", "<CompanyName>A &amp; B &lt;Ltd&gt;</CompanyName>"},
        {"<AppName/>", "<AppName>VelmoraDde</AppName>"},
        {"<HTMLsPath/>", "<HTMLsPath>" + Utf8(temp / L"work") + "\\htmls</HTMLsPath>"},
        {"<VmSsFilesSource/>", "<VmSsFilesSource>" + Utf8(info.commonDataDir) + "\\ss20\\vmss_files</VmSsFilesSource>"},
        {"<SamplesPath/>", "<SamplesPath>" + user + "\\Samples</SamplesPath>"},
        {"<TestDrivePath/>", "<TestDrivePath>" + user + "\\TestDrive</TestDrivePath>"},
        {"<KelptrxPath/>", "<KelptrxPath>" + user + "\\kelptrx</KelptrxPath>"},
        {"<String>Ready (1)</String>", "<String>Ready (4711)</String>"}, {"<Value>0</Value>", "<Value>1</Value>"},
        {"<ShowTab>tab</ShowTab>", "<ShowTab></ShowTab>"},
        {"<ShowHtmlElementById>id</ShowHtmlElementById>", "<ShowHtmlElementById></ShowHtmlElementById>"},
    };
    for (const auto& [from, to] : changes) rows = Replaced(rows, from, to);
    return rows;
  }

  std::string Expanded(const std::string& text) const { return Replaced(Replaced(text, "{rows}", kRows), "{updated}", UpdatedRows()); }

  TempFolder temp;
  StartScreenInfo info;
};

// The update's status, or nothing when it did not end within the bound.
std::optional<long> WriteWithin(const ParameterBed& bed, DWORD milliseconds) {
  struct Shared {
    const ParameterBed* bed;
    long status = E_FAIL;
  };
  auto shared = std::make_unique<Shared>(Shared{&bed});
  const auto run = [](void* parameter) -> DWORD {
    auto* state = static_cast<Shared*>(parameter);
    state->status = state->bed->Write();
    return 0;
  };
  const UniqueKernelHandle thread(::CreateThread(nullptr, 0, run, shared.get(), 0, nullptr));
  if (!thread) return std::nullopt;
  if (::WaitForSingleObject(thread.Get(), milliseconds) != WAIT_OBJECT_0) {
    // A thread that never ends keeps its state: it is left running, and the test fails.
    shared.release();
    return std::nullopt;
  }
  return shared->status;
}

TEST(WriteStartScreenParams, KeepsEverythingButTheSixteenElementsAndWritesWhatAnotherParserReads) {
  const struct {
    const char* label;
    std::string file;      // {rows}: the elements as in the template
    std::string expected;  // {updated}: the elements after the update
    bool utf16 = false;
    std::string startCaption = "Welcome";  // the base text as written, and as text content
    std::string caption = "Welcome";
  } cases[] = {
      {"declaration with encoding", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>{rows}</Root>\n",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>{updated}</Root>\n"},
      {"declaration in single quotes, standalone", "<?xml version='1.0' encoding='utf-8' standalone='yes'?><Root>{rows}</Root>",
       "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><Root>{updated}</Root>"},
      {"no declaration, CR LF and indentation", "<Root>\r\n\t {rows}\r\n</Root>\r\n", "<Root>\r\n\t {updated}\r\n</Root>\r\n"},
      {"comments and instructions everywhere",
       "<?xml version=\"1.0\"?>\n<!-- before -->\n<?app one  two?>\n<Root><!--in \xC3\xBC \xF0\x9F\x98\x80--><?empty?>{rows}</Root>\n<!--after-->",
       "<?xml version=\"1.0\"?>\n<!-- before -->\n<?app one  two?>\n<Root><!--in \xC3\xBC \xF0\x9F\x98\x80--><?empty?>{updated}</Root>\n<!--after-->"},
      {"CDATA kept and read as text", "<Root>{rows}<Extra><![CDATA[a<b & c]]></Extra></Root>",
       "<Root>{updated}<Extra><![CDATA[a<b & c]]></Extra></Root>", false, "<![CDATA[We<come>]]>", "We&lt;come&gt;"},
      {"attributes with entities",
       "<Root a=\"x &amp; &lt;y&gt; &quot;q&quot; &apos;\" b='it\"s' c=\"&#65;\" xmlns:p=\"urn:p\" p:d=\"\">{rows}</Root>",
       "<Root a=\"x &amp; &lt;y&gt; &quot;q&quot; '\" b=\"it&quot;s\" c=\"A\" xmlns:p=\"urn:p\" p:d=\"\">{updated}</Root>"},
      {"non-ASCII names, values and text",
       "<Wurzel \xC3\xBC=\"\xC3\xB6\">{rows}<Gr\xC3\xBC\xC3\x9F" "e>\xE2\x98\x83 \xF0\x9F\x98\x80</Gr\xC3\xBC\xC3\x9F" "e></Wurzel>",
       "<Wurzel \xC3\xBC=\"\xC3\xB6\">{updated}<Gr\xC3\xBC\xC3\x9F" "e>\xE2\x98\x83 \xF0\x9F\x98\x80</Gr\xC3\xBC\xC3\x9F" "e></Wurzel>"},
      {"text and references between elements", "<Root>a &lt;&amp;&gt; \"q\" 'b' &#x42;{rows}tail</Root>",
       "<Root>a &lt;&amp;&gt; \"q\" 'b' B{updated}tail</Root>"},
      {"UTF-8 with byte-order mark", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Root>{rows}</Root>",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Root>{updated}</Root>"},
      {"UTF-16 LE with byte-order mark", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Root>\xE2\x98\x83{rows}</Root>",
       "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Root>\xE2\x98\x83{updated}</Root>", true},
      {"UTF-16 LE without declaration", "<Root>{rows}</Root>", "<Root>{updated}</Root>", true},
      {"second match of a path",
       "<Root><Other><Name>x</Name></Other>{rows}<MainAppParams><Name>second</Name><Status><Value>7</Value></Status>"
       "</MainAppParams></Root>",
       "<Root><Other><Name>x</Name></Other>{updated}<MainAppParams><Name>second</Name><Status><Value>7</Value></Status>"
       "</MainAppParams></Root>"},
  };
  for (const auto& c : cases) {
    const ParameterBed bed;
    const std::string startCaption = "<StartCaption>" + c.startCaption + "<";
    const std::string rows = Replaced(kRows, "<StartCaption>Welcome<", startCaption);
    const std::string updated = Replaced(Replaced(bed.UpdatedRows(), "<StartCaption>Welcome<", startCaption),
                                         "<Caption>Welcome<", "<Caption>" + c.caption + "<");
    const std::string file = Replaced(c.file, "{rows}", rows);
    const std::string expected = Replaced(c.expected, "{updated}", updated);
    ASSERT_TRUE(WriteBytes(bed.File(), c.utf16 ? Utf16Le(file) : file)) << c.label;
    EXPECT_EQ(WriteWithin(bed, 10000), S_OK) << c.label;
    EXPECT_EQ(ReadBytes(bed.File()), c.utf16 ? Utf16Le(expected) : expected) << c.label;
    EXPECT_EQ(DocumentServiceTextAt(bed.File(), L"MainAppParams/UserInfo/CompanyName"), L"A & B <Ltd>") << c.label;
    EXPECT_EQ(DocumentServiceTextAt(bed.File(), L"MainAppParams/UserInfo/UserName"), L"Zo\u00EB") << c.label;
    EXPECT_FALSE(testing::FileExists(bed.File() + L".vxtmp")) << c.label;
  }
}

TEST(WriteStartScreenParams, ReplacesEveryBrokenFileByTheTemplateWithinABoundOfTime) {
  const std::string rows = std::string("<Root>") + kRows;
  const struct {
    const char* label;
    std::string file;
  } cases[] = {
      {"empty", ""},
      {"declaration only", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
      {"declaration only, with byte-order mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?>"},
      {"declaration and a line end", "<?xml version=\"1.0\"?>\r\n"},
      {"declaration and a comment", "<?xml version=\"1.0\"?><!-- no root -->"},
      {"cut in the declaration", "<?xml version=\"1.0\""},
      {"cut in a text", rows + "<Extra>cut"},
      {"cut in a comment", rows + "<!-- cut"},
      {"cut in a CDATA section", rows + "<Extra><![CDATA[cut"},
      {"cut after a start tag", rows + "<Extra>"},
      {"cut in a start tag", rows + "<Extra a=\"1"},
      {"end tag of the root missing", rows},
      {"end tag of the root missing, white space after", rows + "\n\n"},
      {"inner end tag missing", rows + "<Extra></Root>"},
      {"mismatched tags", rows + "<Extra></Other></Root>"},
      {"undeclared entity in a text", rows + "<Extra>&nbsp;</Extra></Root>"},
      {"undeclared entity in an attribute", std::string("<Root a=\"&foo;\">") + kRows + "</Root>"},
      {"null character reference", rows + "<Extra>&#0;</Extra></Root>"},
      {"document type", std::string("<!DOCTYPE Root><Root>") + kRows + "</Root>"},
      {"document type declaring an entity", std::string("<!DOCTYPE Root [<!ENTITY e \"x\">]><Root>") + kRows + "&e;</Root>"},
      {"unsupported encoding", std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Root>") + kRows + "</Root>"},
      {"another encoding than declared", std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?><Root>") + kRows + "</Root>"},
      {"UTF-16 BE", std::string("\xFE\xFF\0<\0R\0/\0>", 10)},
      {"invalid UTF-8", rows + "<Extra>\xC3</Extra></Root>"},
      {"null character", rows + std::string(1, '\0') + "</Root>"},
      {"two root elements", rows + "</Root><Root/>"},
      {"text after the root", rows + "</Root>text"},
      {"comment holding --", rows + "<!-- a -- b --></Root>"},
      {"larger than 1 MiB", rows + "</Root>" + std::string(kParameterFileCapacity, ' ')},
      // Each of these once aborted, hung or crashed a reader, or was written back ill-formed.
      {"null character in the declaration", "<?xml" + std::string(1, '\0') + "?>" + rows + "</Root>"},
      {"null character in a comment", rows + "<!--" + std::string(1, '\0') + "--></Root>"},
      {"null character in a CDATA section", rows + "<![CDATA[" + std::string(1, '\0') + "]]></Root>"},
      {"null character in an instruction", rows + "<?app " + std::string(1, '\0') + "?></Root>"},
      {"byte-order mark and a lone <", "\xEF\xBB\xBF<"},
      {"declaration and a lone <", "<?xml version=\"1.0\"?><"},
      {"declaration and a start tag only", "<?xml version=\"1.0\"?><Root>"},
      {"mismatched quotes in the declaration", "<?xml version=\"1.0' encoding='UTF-8\"?>" + rows + "</Root>"},
      {"duplicate attribute", std::string("<Root a=\"1\" a=\"2\">") + kRows + "</Root>"},
      {"control character in a text", rows + "<Extra>\x01</Extra></Root>"},
      {"control character in a comment", rows + "<!--\x1B--></Root>"},
      {"U+FFFE in an attribute", std::string("<Root a=\"\xEF\xBF\xBE\">") + kRows + "</Root>"},
      {"lone surrogate as a reference", rows + "<Extra>&#xD800;</Extra></Root>"},
      {"element name starting with a digit", rows + "<1a/></Root>"},
  };
  for (const auto& c : cases) {
    const ParameterBed bed;
    ASSERT_TRUE(WriteBytes(bed.File(), c.file)) << c.label;
    const auto begin = ::GetTickCount64();
    EXPECT_EQ(WriteWithin(bed, 10000), S_OK) << c.label;
    EXPECT_LT(::GetTickCount64() - begin, 5000u) << c.label;
    EXPECT_EQ(ReadBytes(bed.File()), bed.Expanded(Replaced(ParameterBed::TemplateText(), kRows, "{updated}"))) << c.label;
  }
}

// Not every reader decodes such a reference whole (Wine's keeps 16 bits): where the probe finds it
// cut, the file counts as not loaded rather than being written back changed.
TEST(WriteStartScreenParams, KeepsACharacterBeyondU_FFFFOrTakesTheTemplate) {
  const ParameterBed bed;
  ASSERT_TRUE(WriteBytes(bed.File(), std::string("<Root>") + kRows + "<Extra>&#x1F600;</Extra></Root>"));
  EXPECT_EQ(WriteWithin(bed, 10000), S_OK);
  const std::string written = ReadBytes(bed.File());
  const auto extra = DocumentServiceTextAt(bed.File(), L"Extra");
  if (extra) {
    EXPECT_EQ(*extra, L"\U0001F600");
  } else {
    EXPECT_EQ(written, bed.Expanded(Replaced(ParameterBed::TemplateText(), kRows, "{updated}")));
  }
}

// Wine's reader reads a UTF-16 file whole only within its first read; beyond it, it misreads,
// crashes or hangs. Windows' reads any size.
TEST(WriteStartScreenParams, UnderWineALargerUtf16FileIsReplacedByTheTemplate) {
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) GTEST_SKIP();
  for (const std::size_t characters : {15000u, 60000u}) {
    const ParameterBed bed;
    ASSERT_TRUE(WriteBytes(bed.File(), Utf16Le("<Root>" + std::string(kRows) + "<Extra>" + std::string(characters, 'x') +
                                               "</Extra></Root>")));
    EXPECT_EQ(WriteWithin(bed, 10000), S_OK) << characters;
    EXPECT_EQ(ReadBytes(bed.File()), bed.Expanded(Replaced(ParameterBed::TemplateText(), kRows, "{updated}")));
  }
}

// Texts from the identity module, the command line or the registry may hold anything: what XML
// cannot carry becomes U+FFFD, a carriage return a line end, and the file stays well-formed.
TEST(WriteStartScreenParams, WritesTextsWithCharactersXmlCannotCarryWellFormed) {
  ParameterBed bed;
  bed.info.companyName = std::wstring(L"A\x01" L"B\x1F\xFFFE\xD800" L"C\r\nD", 10);
  bed.info.installerBuild = std::wstring(1, L'\0') + L"\xFFFF";
  EXPECT_EQ(WriteWithin(bed, 10000), S_OK);
  EXPECT_TRUE(testing::NotWellFormed({bed.File()}).empty()) << ReadBytes(bed.File());
  EXPECT_EQ(DocumentServiceTextAt(bed.File(), L"MainAppParams/UserInfo/CompanyName"), L"A\xFFFD" L"B\xFFFD\xFFFD\xFFFD" L"C\nD");
  EXPECT_EQ(DocumentServiceTextAt(bed.File(), L"MainAppParams/Status/String"), L"Ready (\xFFFD\xFFFD)");
}

// The strict parser the tests trust must refuse, or every check through it passes.
TEST(StrictXmlCheck, NamesExactlyTheFilesThatAreNotWellFormed) {
  TempFolder temp;
  const std::wstring good = temp / L"good.xml";
  const std::wstring control = temp / L"control.xml";
  const std::wstring twice = temp / L"twice.xml";
  ASSERT_TRUE(WriteBytes(good, "<a b=\"1\">x</a>"));
  ASSERT_TRUE(WriteBytes(control, "<a>x\x01</a>"));
  ASSERT_TRUE(WriteBytes(twice, "<a b=\"1\" b=\"2\"/>"));
  EXPECT_EQ(testing::NotWellFormed({good, control, twice}), (std::vector<std::wstring>{control, twice}));
  EXPECT_TRUE(testing::NotWellFormed({good}).empty());
}

TEST(ReplaceFileContent, MovesACompleteTemporaryIntoPlaceOrLeavesTheFileAsItWas) {
  TempFolder temp;
  const std::wstring file = temp / L"ini.xml";
  ASSERT_TRUE(WriteBytes(file, "old"));
  EXPECT_TRUE(ReplaceFileContent(file, "new"));
  EXPECT_EQ(ReadBytes(file), "new");
  EXPECT_FALSE(testing::FileExists(file + L".vxtmp"));

  // A folder in the temporary's place: nothing is written.
  ASSERT_TRUE(::CreateDirectoryW((file + L".vxtmp").c_str(), nullptr));
  EXPECT_FALSE(ReplaceFileContent(file, "newer"));
  EXPECT_EQ(ReadBytes(file), "new");
  ASSERT_TRUE(::RemoveDirectoryW((file + L".vxtmp").c_str()));

  // A folder in the file's place: the temporary is written, cannot be moved, and is removed.
  const std::wstring folder = temp / L"folder.xml";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_FALSE(ReplaceFileContent(folder, "new"));
  EXPECT_TRUE(testing::IsFolder(folder));
  EXPECT_FALSE(testing::FileExists(folder + L".vxtmp"));
}

// No apartment is needed: a thread that initialised COM as a multithreaded apartment writes the
// file too, and keeps its apartment as it was.
TEST(WriteStartScreenParams, WritesInAMultithreadedApartmentAndLeavesItSo) {
  const ParameterBed bed;
  long status = E_FAIL;
  HRESULT afterwards = E_FAIL;
  std::thread([&] {
    const HRESULT initialised = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    status = bed.Write();
    afterwards = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(afterwards)) ::CoUninitialize();
    if (SUCCEEDED(initialised)) ::CoUninitialize();
  }).join();
  EXPECT_EQ(status, S_OK);
  EXPECT_EQ(afterwards, RPC_E_CHANGED_MODE);
}

}  // namespace
}  // namespace velmora
