#include "environment/process_environment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/paths.h"
#include "common/unique_handle.h"
#include "environment/dll_search.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

const PlaceholderValues kValues = {L"v1", L"v2", L"v3", L"v4", L"%5", L"v6", L"v7", L"v8"};

TEST(ExpandPlaceholders, FillsInsertsOneToEightAndFollowsTheFormatterEscapes) {
  const struct {
    std::wstring text;
    std::wstring expected;
  } cases[] = {
      {L"%1;%2;%3;%4;%6;%7;%8", L"v1;v2;v3;v4;v6;v7;v8"},
      {L"%2\\%5;%2", L"v2\\%5;v2"},  // %5 survives for the platform pass
      {L"a%9b%10c%99d", L"abcd"},    // never read past the inserts given
      {L"100%%", L"100%"},
      {L"before%0after", L"before"},
      {L"C:\\App;D:\\Tools", L"C:\\App;D:\\Tools"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandPlaceholders(c.text, kValues), c.expected) << ::testing::PrintToString(c.text);
}

TEST(ExpandPlaceholders, KeepsInsertedTextAsItIsAndRefusesAnExpansionOverTheBuffer) {
  PlaceholderValues values = kValues;
  values[0] = L"50%1%%";
  EXPECT_EQ(ExpandPlaceholders(L"%1", values), L"50%1%%");
  values[0] = std::wstring(8319, L'x');
  EXPECT_EQ(ExpandPlaceholders(L"%1", values), values[0]);
  EXPECT_EQ(ExpandPlaceholders(L"%1;", values), L"");
  values[0] = std::wstring(5000, L'x');
  EXPECT_EQ(ExpandPlaceholders(L"%1;%1", values), L"");
}

TEST(ExpandPlaceholders, RefusesEveryInsertSpecificationButAPlainString) {
  const struct {
    std::wstring text;
    std::wstring expected;
  } cases[] = {
      {L"%1!s!;%12!s!", L"v1;"},
      {L"%%1!n!;%%9!d!", L"%1!n!;%9!d!"},  // escaped: plain text, not inserts
      {L"%1;%n%t", L"v1;\r\n\t"},
      {L"%9!n!", L""},  // writes through the insert
      {L"%1!d!", L""},
      {L"%1!x!", L""},
      {L"%1!S!", L""},
      {L"%1!ls!", L""},
      {L"%1!10s!", L""},
      {L"%1!*s!", L""},  // width and precision taken from the following inserts
      {L"%99!.*s!", L""},
      {L"%2;%1!s", L""},  // unterminated
      {L"%1!!", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandPlaceholders(c.text, kValues), c.expected) << ::testing::PrintToString(c.text);
}

TEST(ComposeSearchPath, PathAloneWinsElsePrefixAndSuffixSurroundTheTemplate) {
  const struct {
    const wchar_t* path;
    const wchar_t* prefix;
    const wchar_t* suffix;
    std::wstring expected;
  } cases[] = {
      {L"", L"", L"", L"%2;%2\\%5"},
      {L"C:\\Only", L"C:\\Pre", L"C:\\Suf", L"C:\\Only"},
      {L"", L"C:\\Pre", L"", L"C:\\Pre;%2;%2\\%5"},
      {L"", L"", L"C:\\Suf", L"%2;%2\\%5;C:\\Suf"},
      {L"", L"C:\\Pre", L"C:\\Suf", L"C:\\Pre;%2;%2\\%5;C:\\Suf"},
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeSearchPath(L"%2;%2\\%5", c.path, c.prefix, c.suffix), c.expected);
}

TEST(StarterFolderInserts, GiveTheFolderAboveAndTheStarterFolder) {
  const struct {
    const wchar_t* starter;
    const wchar_t* current;
    std::wstring one;
    std::wstring two;
  } cases[] = {
      {L"C:\\App\\Bin\\velmora.exe", L"D:\\Work", L"C:\\App", L"C:\\App\\Bin"},
      {L"C:\\velmora.exe", L"D:\\Work", L"C:", L"C:"},  // nothing further to cut at
      {L"velmora.exe", L"D:\\Work\\Here", L"D:\\Work", L"D:\\Work\\Here"},
  };
  for (const auto& c : cases) {
    const auto inserts = StarterFolderInserts(c.starter, c.current);
    EXPECT_EQ(inserts[0], c.one);
    EXPECT_EQ(inserts[1], c.two);
  }
  const auto app = StarterFolderInserts(L"C:\\App\\Bin\\velmora.exe", L"D:\\Work");
  EXPECT_EQ(ExpandPlaceholders(L"%2\\bin;%1\\common", {app[0], app[1]}), L"C:\\App\\Bin\\bin;C:\\App\\common");
}

TEST(PathWithSearchPath, PutsTheSearchPathInFrontUnlessPathAlreadyHoldsIt) {
  const std::wstring longPath = L"C:\\Win;" + std::wstring(30000, L'p');
  const struct {
    std::wstring previous;
    std::optional<std::wstring> expected;
  } cases[] = {
      {L"C:\\Win;C:\\App;C:\\Tools", std::nullopt},
      {L"C:\\App\\Bin;C:\\Win", std::nullopt},  // a plain substring counts
      {L"c:\\app;C:\\Win", L"C:\\App;c:\\app;C:\\Win"},
      {L"C:\\Win", L"C:\\App;C:\\Win"},
      {L"", L"C:\\App;"},
      {longPath, L"C:\\App;" + longPath},  // never cut
  };
  for (const auto& c : cases) EXPECT_EQ(PathWithSearchPath(c.previous, L"C:\\App"), c.expected);
}

TEST(FitModuleSearchPath, KeepsOnlyWholeFoldersThatFit) {
  auto folders = [](int count, std::size_t width) {
    std::wstring list;
    for (int i = 0; i < count; ++i) list += (i ? L";C:\\" : L"C:\\") + std::wstring(width - 3, wchar_t(L'a' + i % 26));
    return list;
  };
  const std::wstring exact = std::wstring(3119, L'x');
  const struct {
    std::wstring searchPath;
    std::wstring expected;
  } cases[] = {
      {L"C:\\App;C:\\App\\%5", L"C:\\App;C:\\App\\%5"},
      {exact, exact},
      {folders(31, 100), folders(30, 100)},  // 3130 characters: the 31st folder is dropped whole
      {exact + L";C:\\y", exact},
      {std::wstring(3120, L'x'), L""},  // one folder that cannot fit
  };
  for (const auto& c : cases) EXPECT_EQ(FitModuleSearchPath(c.searchPath), c.expected);
}

TEST(DllDirectoryFor, NamesTheStartersFolderOnlyForTheLoaderThatIgnoresTheEmptyText) {
  const struct {
    DllLoader loader;
    std::wstring starterPath;
    std::wstring expected;
  } cases[] = {
      {DllLoader::kWindows, L"C:\\Program Files\\Velmora\\Bin\\velmora.exe", L""},
      {DllLoader::kWindows, L"", L""},
      {DllLoader::kWine, L"C:\\Program Files\\Velmora\\Bin\\velmora.exe", L"C:\\Program Files\\Velmora\\Bin"},
      {DllLoader::kWine, L"\\\\server\\share\\velmora.exe", L"\\\\server\\share"},
      {DllLoader::kWine, L"C:\\velmora.exe", L"C:\\"},  // never "C:", the drive's current folder
      {DllLoader::kWine, L"velmora.exe", L""},         // a bare name would be taken relative to the current folder
      {DllLoader::kWine, L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DllDirectoryFor(c.loader, c.starterPath), c.expected) << ::testing::PrintToString(c.starterPath);
  }
}

TEST(LoaderOf, TellsWinesNtdllByItsOwnExport) {
  // kernel32 never exports wine_get_version, on Windows or under Wine.
  EXPECT_EQ(LoaderOf(::GetModuleHandleW(L"kernel32.dll")), DllLoader::kWindows);
  EXPECT_EQ(LoaderOf(nullptr), DllLoader::kWindows);
  // Wine's kernel32 has an export of its own that Windows lacks: the running system, told apart
  // independently of the export the starter looks at.
  const bool underWine = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name") != nullptr;
  EXPECT_EQ(LoaderOf(::GetModuleHandleW(L"ntdll.dll")), underWine ? DllLoader::kWine : DllLoader::kWindows);
}

TEST(KeepCurrentFolderOutOfDllSearch, AModuleInTheCurrentFolderIsNoLongerFoundByName) {
  const std::wstring testProgram = ModuleFileName(nullptr, kLongestPathCapacity).value_or(L"");
  testing::TempFolder folder;
  const std::wstring planted = testing::UniqueName(L"planted-") + L".dll";
  const std::wstring source = testing::TestBinaryFolder() + L"\\test_plain.dll";
  ASSERT_TRUE(::CopyFileW(source.c_str(), (folder / planted).c_str(), FALSE));
  wchar_t previous[MAX_PATH] = {};
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(folder.Path().c_str()));
  // Loaded by plain name, as the starter loads every module it does not find itself.
  const auto loads = [](const std::wstring& name) { return UniqueModule(::LoadLibraryW(name.c_str())).IsValid(); };
  ::SetDllDirectoryW(nullptr);
  const bool foundByDefault = loads(planted);
  KeepCurrentFolderOutOfDllSearch(testProgram);
  const bool foundAfterwards = loads(planted);
  const bool besideTheProgramFound = loads(L"test_plain.dll");
  ::SetDllDirectoryW(nullptr);
  ::SetCurrentDirectoryW(previous);
  EXPECT_TRUE(foundByDefault) << "the default search includes the current folder";
  EXPECT_FALSE(foundAfterwards);
  EXPECT_TRUE(besideTheProgramFound);
}

}  // namespace
}  // namespace velmora
