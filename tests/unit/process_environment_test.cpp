#include "environment/process_environment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/paths.h"
#include "environment/dll_search.h"

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

TEST(NamesCurrentFolder, FindsTheDotElementOnly) {
  EXPECT_TRUE(NamesCurrentFolder(L"C:\\App;.;C:\\Windows\\system32"));
  EXPECT_TRUE(NamesCurrentFolder(L"."));
  EXPECT_FALSE(NamesCurrentFolder(L"C:\\App;.\\lib;C:\\.hidden;"));
  EXPECT_FALSE(NamesCurrentFolder(L""));
}

TEST(KeepCurrentFolderOutOfDllSearch, LeavesTheCurrentFolderOutOfTheLoadersSearch) {
  ::SetDllDirectoryW(nullptr);
  if (!LoaderSearchesCurrentFolder()) GTEST_SKIP() << "this loader does not report the current folder";
  KeepCurrentFolderOutOfDllSearch(ModuleFileName(nullptr, kLongestPathCapacity).value_or(L""));
  EXPECT_FALSE(LoaderSearchesCurrentFolder());
  ::SetDllDirectoryW(nullptr);
}

}  // namespace
}  // namespace velmora
