#include "files/settings_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::Utf8;
using testing::WriteBytes;

TEST(LocateSettingsFile, UsesTheNamedFileOnlyWhenItExistsAndIsNotEmpty) {
  TempFolder folder;
  const std::wstring starter = folder / L"velmora.exe";
  const std::wstring fallback = folder / L"velmora.ini";
  ASSERT_TRUE(WriteBytes(folder / L"custom.ini", "[Starter]\r\n"));
  ASSERT_TRUE(WriteBytes(folder / L"empty.ini", ""));
  const struct {
    std::wstring name;
    std::wstring expected;
  } cases[] = {
      {L"custom.ini", folder / L"custom.ini"},
      {L"empty.ini", fallback},
      {L"missing.ini", fallback},
      // A name beginning with '*' selects the default, and no wildcard is ever looked up (it would
      // match custom.ini).
      {L"*", fallback},
      {L"*custom.ini", fallback},
      {L"cust?m.ini", fallback},
      {L"c*.ini", fallback},
  };
  for (const auto& c : cases) EXPECT_EQ(LocateSettingsFile(starter, c.name), c.expected) << Utf8(c.name);
}

TEST(LocateSettingsFile, RefusesAStarterPathThatDoesNotFit) {
  const std::wstring folder = L"C:\\" + std::wstring(248, L'f') + L"\\";  // 252 characters
  EXPECT_EQ(LocateSettingsFile(folder + L"abc.exe", L"*"), folder + L"abc.ini");  // 259
  EXPECT_EQ(LocateSettingsFile(folder + L"abcd.exe", L"*"), L"");  // 260
  EXPECT_EQ(LocateSettingsFile(folder + L"abcd.exe", L"velmora.ini"), L"");
}

// A settings file holding every kind of entry the readers meet.
std::string SampleIni() {
  return "[Starter]\r\nPath=C:\\App\r\nShort=" + std::string(31, 'x') + "\r\nExact=" + std::string(32, 'x') +
         "\r\nLong=" + std::string(40, 'x') + "\r\n" +
         "[\\Configuration]\r\nnPlat=sC:\\Data\r\nTagOnly=s\r\nOtherTag=x64\r\nMost=s" + std::string(258, 'm') +
         "\r\nTooMuch=s" + std::string(259, 'm') + "\r\n" +
         "[\\PreLoadedModules]\r\nFirst.dll\r\n@=skipped\r\n@x=1\r\nMod.dll=xyz\r\na=b=c\r\nLast.dll=\r\n" +
         "[\\Lengths]\r\n" + std::string(255, 'k') + "=abc\r\n" + std::string(256, 'k') + "=abc\r\nAfter=1\r\n" +
         "[\\Empty]\r\n";
}

std::vector<std::wstring> Flatten(const std::vector<SectionEntry>& entries) {
  std::vector<std::wstring> flat;
  for (const auto& entry : entries) flat.push_back(entry.name + L"|" + entry.value);
  return flat;
}

TEST(SettingsReaders, ReadValuesListsAndTypedValuesWithoutChangingTheFile) {
  TempFolder folder;
  const std::wstring file = folder / L"velmora.ini";
  ASSERT_TRUE(WriteBytes(file, SampleIni()));
  const std::string bytesBefore = ReadBytes(file);
  WIN32_FILE_ATTRIBUTE_DATA before{};
  ASSERT_TRUE(::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &before));

  EXPECT_EQ(ReadSettingsValue(file, L"Starter", L"Path", 8320), L"C:\\App");
  EXPECT_EQ(ReadSettingsValue(file, L"starter", L"path", 8320), L"C:\\App");
  EXPECT_EQ(ReadSettingsValue(file, L"Starter", L"Short", 32), std::wstring(31, L'x'));
  EXPECT_EQ(ReadSettingsValue(file, L"Starter", L"Exact", 32), L"");
  EXPECT_EQ(ReadSettingsValue(file, L"Starter", L"Long", 32), L"");
  EXPECT_EQ(ReadSettingsValue(file, L"Starter", L"Missing", 32), L"");
  EXPECT_EQ(ReadSettingsValue(folder / L"missing.ini", L"Starter", L"Path", 8320), L"");

  EXPECT_EQ(ReadTypedValue(file, L"\\Configuration", L"nPlat"), L"C:\\Data");
  EXPECT_EQ(ReadTypedValue(file, L"\\Configuration", L"TagOnly"), L"");
  EXPECT_EQ(ReadTypedValue(file, L"\\Configuration", L"OtherTag"), L"64");
  EXPECT_EQ(ReadTypedValue(file, L"\\Configuration", L"Most"), std::wstring(258, L'm'));
  EXPECT_EQ(ReadTypedValue(file, L"\\Configuration", L"TooMuch"), L"");
  EXPECT_EQ(ReadTypedValue(file, L"\\Configuration", L"Missing"), L"");
  EXPECT_EQ(ReadTypedValue(file, L"\\Nowhere", L"nPlat"), L"");

  EXPECT_EQ(Flatten(ReadSectionList(file, L"\\PreLoadedModules")),
            (std::vector<std::wstring>{L"First.dll|", L"@x|1", L"Mod.dll|xyz", L"a|b=c", L"Last.dll|"}));
  // An entry holds 259 characters: a longer one is skipped, not cut, and the list goes on.
  EXPECT_EQ(Flatten(ReadSectionList(file, L"\\Lengths")),
            (std::vector<std::wstring>{std::wstring(255, L'k') + L"|abc", L"After|1"}));
  EXPECT_TRUE(ReadSectionList(file, L"\\Empty").empty());
  EXPECT_TRUE(ReadSectionList(file, L"\\Missing").empty());
  EXPECT_TRUE(ReadSectionList(folder / L"missing.ini", L"\\PreLoadedModules").empty());
  EXPECT_EQ(LocateSettingsFile(folder / L"velmora.exe", L"velmora.ini"), file);

  WIN32_FILE_ATTRIBUTE_DATA after{};
  ASSERT_TRUE(::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &after));
  EXPECT_EQ(ReadBytes(file), bytesBefore);
  EXPECT_EQ(::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
}

// Entry i of a big section: "M<5 digits>.dll=" and a value that makes it `width` characters long.
std::wstring BigEntryName(int i) {
  std::wstring digits = std::to_wstring(i);
  return L"M" + std::wstring(5 - digits.size(), L'0') + digits + L".dll";
}

std::string BigSection(const char* name, int count, std::size_t width) {
  std::string section = std::string("[") + name + "]\r\n";
  for (int i = 0; i < count; ++i) section += Utf8(BigEntryName(i)) + "=" + std::string(width - 11, 'v') + "\r\n";
  return section;
}

TEST(ReadSectionList, ReadsSectionsLargerThanTheFirstBufferWholeAndDropsTheCutEntryOfAHugeOne) {
  TempFolder folder;
  const std::wstring file = folder / L"velmora.ini";
  // 10,000 characters (second attempt), 40,000 (fifth) and 200,000 (more than the last attempt holds).
  ASSERT_TRUE(WriteBytes(file, BigSection("\\Ten", 500, 19) + BigSection("\\Forty", 1000, 39) +
                                   BigSection("\\Huge", 5000, 39)));
  const struct {
    const wchar_t* section;
    std::size_t width;
    std::size_t minimum;
    std::size_t maximum;
  } cases[] = {
      {L"\\Ten", 19, 500, 500},
      {L"\\Forty", 39, 1000, 1000},
      // 19 attempts hold 155,648 characters, 155,646 of them used, 40 an entry with its NUL; the
      // entry cut there is dropped.
      {L"\\Huge", 39, 155'646 / 40 - 1, 155'646 / 40},
  };
  for (const auto& c : cases) {
    const auto entries = ReadSectionList(file, c.section);
    EXPECT_GE(entries.size(), c.minimum) << Utf8(c.section);
    EXPECT_LE(entries.size(), c.maximum) << Utf8(c.section);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(entries[i].name, BigEntryName(static_cast<int>(i))) << Utf8(c.section);
      ASSERT_EQ(entries[i].value, std::wstring(c.width - 11, L'v')) << Utf8(c.section) << " " << i;
    }
  }
}

TEST(SplitSectionEntries, DropsTheLastEntryOfACutBlock) {
  using namespace std::string_view_literals;
  const struct {
    std::wstring_view block;
    bool cut;
    std::vector<std::wstring> expected;
  } cases[] = {
      {L"a=1\0b=2\0c\0\0"sv, false, {L"a|1", L"b|2", L"c|"}},
      {L"a=1\0b=2\0c\0\0"sv, true, {L"a|1", L"b|2"}},
      {L"a=1\0b=2\0ccc"sv, true, {L"a|1", L"b|2"}},
      {L"only\0\0"sv, true, {}},
      {L"\0"sv, false, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Flatten(SplitSectionEntries(c.block, c.cut)), c.expected);
}

TEST(WriteSettingsValue, ReplacesTheFileWholeAndNeverLeavesItsTemporaryCopy) {
  TempFolder folder;
  const std::wstring file = folder / L"cfg.ini";
  const std::wstring temporary = file + L".vxtmp";
  WriteBytes(file, "[Options]\r\nGrid=1\r\n");
  // A start ended while writing left its temporary copy: it is written anew, not taken as it is.
  WriteBytes(temporary, "[Options]\r\nGr");
  EXPECT_TRUE(WriteSettingsValue(file, L"\\Configuration", L"nPlat", L"sx64"));
  EXPECT_EQ(ReadBytes(file), "[Options]\r\nGrid=1\r\n[\\Configuration]\r\nnPlat=sx64\r\n");
  EXPECT_FALSE(testing::FileExists(temporary));

  // A new file is made whole too.
  const std::wstring fresh = folder / L"fresh.ini";
  EXPECT_TRUE(WriteSettingsValue(fresh, L"\\Configuration", L"nPlat", L"sarm"));
  EXPECT_EQ(ReadSettingsValue(fresh, L"\\Configuration", L"nPlat", 260), L"sarm");
  EXPECT_FALSE(testing::FileExists(fresh + L".vxtmp"));

  // A read-only file stays exactly as it is.
  if (!testing::ReadOnlyIsEnforced(folder.Path())) GTEST_SKIP() << "read-only files are not enforced here";
  ASSERT_TRUE(testing::SetReadOnly(file));
  EXPECT_FALSE(WriteSettingsValue(file, L"\\Configuration", L"nPlat", L"sarm"));
  EXPECT_EQ(ReadSettingsValue(file, L"\\Configuration", L"nPlat", 260), L"sx64");
  EXPECT_FALSE(testing::FileExists(temporary));
}

}  // namespace
}  // namespace velmora
