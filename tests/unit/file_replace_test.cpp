#include "files/file_replace.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "files/tree_copy.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::IsFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

constexpr DWORD kNone = INVALID_FILE_ATTRIBUTES;

bool HasAttribute(const std::wstring& path, DWORD attribute) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute) != 0;
}

TEST(DecideExistingFile, LeavesWhatIsReadOnlyOrAFolderAndReplacesEverythingElse) {
  struct Case {
    DWORD destination;
    DWORD backup;
    ExistingFileAction action;
  } const cases[] = {
      {FILE_ATTRIBUTE_NORMAL, kNone, ExistingFileAction::kReplaceKeepingBackup},
      {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE, ExistingFileAction::kReplaceKeepingBackup},
      {FILE_ATTRIBUTE_HIDDEN, kNone, ExistingFileAction::kReplaceKeepingBackup},
      {FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN, ExistingFileAction::kReplaceKeepingBackup},
      {FILE_ATTRIBUTE_READONLY, kNone, ExistingFileAction::kLeave},
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, kNone, ExistingFileAction::kLeave},
      {FILE_ATTRIBUTE_DIRECTORY, kNone, ExistingFileAction::kLeave},
      {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY, ExistingFileAction::kLeave},
      {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_DIRECTORY, ExistingFileAction::kLeave},
      {kNone, kNone, ExistingFileAction::kLeave},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.destination) + " / " + std::to_string(c.backup));
    EXPECT_EQ(DecideExistingFile(c.destination, c.backup), c.action);
  }
}

// A source file, a destination beside it, and what the replace step leaves.
struct ReplaceBed {
  TempFolder folder;
  const std::wstring source = folder / L"source.cfg";
  const std::wstring destination = folder / L"user.cfg";
  const std::wstring backup = destination + L".bak";
  const std::wstring temporary = destination + L".vxtmp";

  ReplaceBed() { WriteBytes(source, "new default"); }
  bool Replace() const { return ReplaceKeepingBackup(source, destination, backup, false); }
};

TEST(ReplaceKeepingBackup, TheUsersFileBecomesTheBackupAndTheCompleteCopyTakesItsPlace) {
  ReplaceBed bed;
  WriteBytes(bed.destination, "the user's edit");
  WriteBytes(bed.backup, "an older edit");
  // A leftover of a start ended midway, read-only as its source may have been, is written anew.
  WriteBytes(bed.temporary, "cut sh");
  ASSERT_TRUE(testing::SetReadOnly(bed.temporary));
  EXPECT_TRUE(bed.Replace());
  EXPECT_EQ(ReadBytes(bed.destination), "new default");
  EXPECT_EQ(ReadBytes(bed.backup), "the user's edit");
  EXPECT_FALSE(testing::FileExists(bed.temporary));
}

TEST(ReplaceKeepingBackup, AHiddenFileIsReplacedAndAHiddenBackupNeverBlocksTheNextOne) {
  ReplaceBed bed;
  WriteBytes(bed.destination, "hidden edit");
  WriteBytes(bed.backup, "hidden older edit");
  ASSERT_TRUE(::SetFileAttributesW(bed.destination.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(::SetFileAttributesW(bed.backup.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(bed.Replace());
  EXPECT_EQ(ReadBytes(bed.destination), "new default");
  EXPECT_FALSE(HasAttribute(bed.destination, FILE_ATTRIBUTE_HIDDEN));
  // The user's file keeps its own attributes as the backup.
  EXPECT_EQ(ReadBytes(bed.backup), "hidden edit");
  EXPECT_TRUE(HasAttribute(bed.backup, FILE_ATTRIBUTE_HIDDEN));

  WriteBytes(bed.source, "newer default");
  EXPECT_TRUE(bed.Replace());
  EXPECT_EQ(ReadBytes(bed.backup), "new default");
}

TEST(ReplaceKeepingBackup, WhatCannotBeFinishedLeavesTheUsersFilesExactlyAsTheyWere) {
  ReplaceBed bed;
  WriteBytes(bed.destination, "the user's edit");
  WriteBytes(bed.backup, "an older edit");
  const auto expectUntouched = [&] {
    EXPECT_EQ(ReadBytes(bed.destination), "the user's edit");
    EXPECT_EQ(ReadBytes(bed.backup), "an older edit");
    EXPECT_FALSE(testing::FileExists(bed.temporary));
  };
  {
    SCOPED_TRACE("the source is gone");
    EXPECT_FALSE(ReplaceKeepingBackup(bed.folder / L"missing", bed.destination, bed.backup, false));
    expectUntouched();
  }
  {
    SCOPED_TRACE("the copy cannot be written (its temporary name is taken by a folder)");
    ASSERT_TRUE(::CreateDirectoryW(bed.temporary.c_str(), nullptr));
    EXPECT_FALSE(bed.Replace());
    EXPECT_EQ(ReadBytes(bed.destination), "the user's edit");
    EXPECT_EQ(ReadBytes(bed.backup), "an older edit");
    ::RemoveDirectoryW(bed.temporary.c_str());
  }
  {
    SCOPED_TRACE("the file is in use by a program that does not share deletion");
    const HANDLE open = ::CreateFileW(bed.destination.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bed.Replace());
    ::CloseHandle(open);
    expectUntouched();
  }
}

TEST(CopyTree, ReplacesThroughTheBackupAndLeavesReadOnlyFilesAndFolderBackupsAlone) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring target = folder / L"dst";
  ::CreateDirectoryW(source.c_str(), nullptr);
  ::CreateDirectoryW(target.c_str(), nullptr);
  for (const wchar_t* name : {L"missing.cfg", L"equal.cfg", L"changed.cfg", L"readonly.cfg", L"folderbak.cfg"}) {
    WriteBytes(source + L"\\" + name, "default");
  }
  ASSERT_TRUE(::CopyFileW((source + L"\\equal.cfg").c_str(), (target + L"\\equal.cfg").c_str(), FALSE));
  WriteBytes(target + L"\\changed.cfg", "edited");
  WriteBytes(target + L"\\readonly.cfg", "edited, read-only");
  ASSERT_TRUE(testing::SetReadOnly(target + L"\\readonly.cfg"));
  WriteBytes(target + L"\\folderbak.cfg", "edited, its backup a folder");
  ::CreateDirectoryW((target + L"\\folderbak.cfg.bak").c_str(), nullptr);

  EXPECT_TRUE(CopyTree(source, target, false));
  EXPECT_EQ(ReadBytes(target + L"\\missing.cfg"), "default");
  EXPECT_TRUE(SameFile(source + L"\\equal.cfg", target + L"\\equal.cfg"));
  EXPECT_FALSE(testing::FileExists(target + L"\\equal.cfg.bak"));
  EXPECT_EQ(ReadBytes(target + L"\\changed.cfg"), "default");
  EXPECT_EQ(ReadBytes(target + L"\\changed.cfg.bak"), "edited");
  EXPECT_EQ(ReadBytes(target + L"\\readonly.cfg"), "edited, read-only");
  EXPECT_FALSE(testing::FileExists(target + L"\\readonly.cfg.bak"));
  EXPECT_EQ(ReadBytes(target + L"\\folderbak.cfg"), "edited, its backup a folder");
  EXPECT_TRUE(IsFolder(target + L"\\folderbak.cfg.bak"));
  for (const wchar_t* name : {L"missing.cfg", L"equal.cfg", L"changed.cfg", L"readonly.cfg", L"folderbak.cfg"}) {
    EXPECT_FALSE(testing::FileExists(target + L"\\" + name + L".vxtmp"));
  }
}

TEST(CopyFileForUser, ReplacesAHiddenFileWholeAndLeavesAReadOnlyOne) {
  TempFolder folder;
  const std::wstring source = folder / L"template.xml";
  const std::wstring destination = folder / L"ini.xml";
  WriteBytes(source, "<template/>");
  ASSERT_TRUE(testing::SetReadOnly(source));
  WriteBytes(destination, "<damaged");
  ASSERT_TRUE(::SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(CopyFileForUser(source, destination));
  EXPECT_EQ(ReadBytes(destination), "<template/>");
  EXPECT_FALSE(testing::IsReadOnly(destination));
  EXPECT_FALSE(testing::FileExists(destination + L".vxtmp"));

  WriteBytes(destination, "kept");
  ASSERT_TRUE(testing::SetReadOnly(destination));
  EXPECT_FALSE(CopyFileForUser(source, destination));
  EXPECT_EQ(ReadBytes(destination), "kept");
  EXPECT_FALSE(testing::FileExists(destination + L".vxtmp"));
}

}  // namespace
}  // namespace velmora
