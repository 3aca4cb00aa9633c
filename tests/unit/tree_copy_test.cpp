#include "files/tree_copy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::IsFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A source tree: a.txt, Sub\b.txt, Sub\Deeper\c.txt, and an empty folder.
void MakeSource(const std::wstring& source) {
  for (const wchar_t* folder : {L"", L"\\Sub", L"\\Sub\\Deeper", L"\\Empty"}) {
    ::CreateDirectoryW((source + folder).c_str(), nullptr);
  }
  WriteBytes(source + L"\\a.txt", "alpha");
  WriteBytes(source + L"\\Sub\\b.txt", "beta");
  WriteBytes(source + L"\\Sub\\Deeper\\c.txt", "gamma");
}

bool CopyLastWriteTime(const std::wstring& from, const std::wstring& to) {
  HANDLE source = ::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE target = ::CreateFileW(to.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME time{};
  const bool done = ::GetFileTime(source, nullptr, nullptr, &time) && ::SetFileTime(target, nullptr, nullptr, &time);
  ::CloseHandle(source);
  ::CloseHandle(target);
  return done;
}

TEST(CopyTree, CopiesOnceAndKeepsTheUsersVersionOfAChangedFileAsBak) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring target = folder / L"dst";
  MakeSource(source);
  ::CreateDirectoryW(target.c_str(), nullptr);

  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\Sub\\Deeper\\c.txt"), "gamma");
  EXPECT_TRUE(IsFolder(target + L"\\Empty"));
  EXPECT_TRUE(SameFile(source + L"\\Sub\\b.txt", target + L"\\Sub\\b.txt"));

  WriteBytes(target + L"\\Sub\\b.txt", "edited by the user");
  // Same size and time, other content: counts as unchanged.
  WriteBytes(target + L"\\a.txt", "ALPHA");
  ASSERT_TRUE(CopyLastWriteTime(source + L"\\a.txt", target + L"\\a.txt"));

  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\Sub\\b.txt"), "beta");
  EXPECT_EQ(ReadBytes(target + L"\\Sub\\b.txt.bak"), "edited by the user");
  EXPECT_EQ(ReadBytes(target + L"\\a.txt"), "ALPHA");
  EXPECT_FALSE(IsFile(target + L"\\a.txt.bak"));

  // Nothing left to do: the backup stays as it is.
  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\Sub\\b.txt.bak"), "edited by the user");
}

// A start ended while copying a folder the user did not have leaves it half-filled under its
// temporary name only; the next copy builds it anew, and a removal takes it away.
TEST(CopyTree, AFolderIsBuiltUnderItsTemporaryNameAndAnEndedBuildIsDoneAgain) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring target = folder / L"dst";
  MakeSource(source);
  ::CreateDirectoryW(target.c_str(), nullptr);
  for (const wchar_t* left : {L"\\Sub.vxtmp", L"\\Sub.vxtmp\\Deeper"}) ::CreateDirectoryW((target + left).c_str(), nullptr);
  WriteBytes(target + L"\\Sub.vxtmp\\Deeper\\c.txt", "gam");
  WriteBytes(target + L"\\Sub.vxtmp\\stale.txt", "from an older source");

  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_FALSE(IsFolder(target + L"\\Sub.vxtmp"));
  EXPECT_EQ(ReadBytes(target + L"\\Sub\\Deeper\\c.txt"), "gamma");
  EXPECT_FALSE(IsFile(target + L"\\Sub\\stale.txt"));
  EXPECT_FALSE(IsFile(target + L"\\Sub\\Deeper\\c.txt.bak"));

  ::CreateDirectoryW((target + L"\\Empty.vxtmp").c_str(), nullptr);
  WriteBytes(target + L"\\Empty.vxtmp\\part.txt", "p");
  EXPECT_TRUE(CopyTree(source, target, true));
  EXPECT_FALSE(IsFolder(target + L"\\Empty.vxtmp"));
  EXPECT_FALSE(IsFolder(target + L"\\Sub"));
}

TEST(CopyTree, RemoveTakesOutOnlyUntouchedCopiesAndTheFoldersLeftEmpty) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring target = folder / L"dst";
  MakeSource(source);
  ::CreateDirectoryW(target.c_str(), nullptr);
  ASSERT_TRUE(CopyTree(source, target, false));
  WriteBytes(target + L"\\a.txt", "edited");
  WriteBytes(target + L"\\Sub\\mine.txt", "the user's own");

  EXPECT_TRUE(CopyTree(source, target, true));
  EXPECT_EQ(ReadBytes(target + L"\\a.txt"), "edited");
  EXPECT_TRUE(IsFile(target + L"\\Sub\\mine.txt"));
  EXPECT_FALSE(IsFile(target + L"\\Sub\\b.txt"));
  EXPECT_FALSE(IsFolder(target + L"\\Sub\\Deeper"));
  EXPECT_FALSE(IsFolder(target + L"\\Empty"));
}

TEST(CopyTree, ReportsAnUnreadableSourceAndToleratesAMissingDestination) {
  TempFolder folder;
  EXPECT_FALSE(CopyTree(folder / L"missing", folder / L"dst", false));
  EXPECT_FALSE(IsFolder(folder / L"dst"));

  MakeSource(folder / L"src");
  EXPECT_TRUE(CopyTree(folder / L"src", folder / L"nowhere", true));
  EXPECT_FALSE(IsFolder(folder / L"nowhere"));
  EXPECT_TRUE(CopyTree(folder / L"src\\Empty", folder / L"dst", false));
}

TEST(CopyTree, SkipsEntriesWhosePathsWouldNotFit) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring target = folder / L"dst";
  ::CreateDirectoryW(source.c_str(), nullptr);
  ::CreateDirectoryW(target.c_str(), nullptr);
  // Fits below the source, but the temporary name of its destination would pass 259 characters.
  const std::wstring longName(253 - target.size(), L'n');  // destination + ".vxtmp": 260 characters
  const std::wstring longestName(252 - target.size(), L'm');
  ASSERT_TRUE(WriteBytes(source + L"\\" + longName, "long"));
  ASSERT_TRUE(WriteBytes(source + L"\\" + longestName, "longest"));
  ASSERT_TRUE(WriteBytes(source + L"\\short.txt", "short"));

  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\short.txt"), "short");
  EXPECT_EQ(ReadBytes(target + L"\\" + longestName), "longest");
  EXPECT_FALSE(IsFile(target + L"\\" + longName));
}

TEST(CreateFolderWithParents, MakesEveryMissingLevel) {
  TempFolder folder;
  EXPECT_TRUE(CreateFolderWithParents(folder / L"a\\b\\c"));
  EXPECT_TRUE(IsFolder(folder / L"a\\b\\c"));
  EXPECT_TRUE(CreateFolderWithParents(folder / L"a\\b"));
  EXPECT_FALSE(CreateFolderWithParents(L""));
}

TEST(CopyTree, MakesItsCopiesWritableAndNeverReplacesOrDeletesAReadOnlyFile) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring target = folder / L"dst";
  MakeSource(source);
  ::CreateDirectoryW(target.c_str(), nullptr);
  ASSERT_TRUE(testing::SetReadOnly(source + L"\\a.txt"));
  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\a.txt"), "alpha");
  EXPECT_FALSE(testing::IsReadOnly(target + L"\\a.txt"));

  // A read-only file of the user's, and a file whose ".bak" is read-only, stay as they are.
  WriteBytes(target + L"\\Sub\\b.txt", "the user's, read-only");
  ASSERT_TRUE(testing::SetReadOnly(target + L"\\Sub\\b.txt"));
  WriteBytes(target + L"\\a.txt", "edited");
  WriteBytes(target + L"\\a.txt.bak", "older edit");
  ASSERT_TRUE(testing::SetReadOnly(target + L"\\a.txt.bak"));
  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\Sub\\b.txt"), "the user's, read-only");
  EXPECT_FALSE(IsFile(target + L"\\Sub\\b.txt.bak"));
  EXPECT_EQ(ReadBytes(target + L"\\a.txt"), "edited");
  EXPECT_EQ(ReadBytes(target + L"\\a.txt.bak"), "older edit");

  // Remove mode keeps a read-only copy even when it is identical.
  ASSERT_TRUE(testing::SetReadOnly(target + L"\\Sub\\Deeper\\c.txt"));
  EXPECT_TRUE(CopyTree(source, target, true));
  EXPECT_TRUE(IsFile(target + L"\\Sub\\Deeper\\c.txt"));
}

}  // namespace
}  // namespace velmora
