// What Windows does in the field and Wine does not: refusals from programs that hold files for a
// moment, leftovers it will not write over, links planted under the starter's own names, short
// names matched by patterns. Refusals are made through the platform-call table.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/platform_calls.h"
#include "common/refusal_retry.h"
#include "common/registry.h"
#include "environment/platform_choice.h"
#include "files/file_replace.h"
#include "files/tree_copy.h"
#include "startscreen/start_screen.h"
#include "userdata/provisioning.h"
#include "userdata/upgrade.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::FileExists;
using testing::IsFolder;
using testing::ReadBytes;
using testing::TempFolder;
using testing::TestCompanyKey;
using testing::WriteBytes;

// Puts the platform's calls back, whatever a test swapped, and gives each test a fresh allowance
// of pauses that it spends without sleeping.
class SwappedCalls {
 public:
  SwappedCalls() : saved_(Platform()) {
    ResetRefusalPatience();
    Platform().sleep = [](DWORD) {};
  }
  SwappedCalls(const SwappedCalls&) = delete;
  SwappedCalls& operator=(const SwappedCalls&) = delete;
  ~SwappedCalls() { Platform() = saved_; }

  const PlatformCalls& System() const { return saved_; }

 private:
  PlatformCalls saved_;
};

TEST(RefusalRetry, RetriesOnlyRefusalsThatPassWithinTheFileAndStartAllowances) {
  const SwappedCalls calls;
  struct Case {
    const char* label;
    DWORD error;
    bool readOnly;
    int attempts;
  } cases[] = {
      {"sharing violation", ERROR_SHARING_VIOLATION, false, 8},
      {"lock violation", ERROR_LOCK_VIOLATION, false, 8},
      {"access denied", ERROR_ACCESS_DENIED, false, 8},
      {"access denied, read-only file", ERROR_ACCESS_DENIED, true, 1},
      {"full disk", ERROR_DISK_FULL, false, 1},
      {"missing folder", ERROR_PATH_NOT_FOUND, false, 1},
  };
  TempFolder folder;
  const std::wstring file = folder / L"held.txt";
  for (const Case& c : cases) {
    ResetRefusalPatience();
    WriteBytes(file, "x");
    ::SetFileAttributesW(file.c_str(), c.readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    int attempts = 0;
    EXPECT_FALSE(WithRetries(file.c_str(), [&] {
      ++attempts;
      ::SetLastError(c.error);
      return false;
    })) << c.label;
    EXPECT_EQ(::GetLastError(), c.error) << c.label;
    EXPECT_EQ(attempts, c.attempts) << c.label;
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  // About a second or two for one file; a start spends no more than its allowance, however many
  // files are held for good.
  ResetRefusalPatience();
  DWORD perFile = 0;
  for (const DWORD pause : kRefusalPausesMs) perFile += pause;
  EXPECT_GE(perFile, 1000u);
  EXPECT_LE(perFile, 2000u);
  for (int file = 0; file < 20; ++file) {
    WithRetries(L"x", [] {
      ::SetLastError(ERROR_SHARING_VIOLATION);
      return false;
    });
  }
  EXPECT_LE(RefusalPausesSpentMs(), kStartRefusalPatienceMs);
  int attempts = 0;
  WithRetries(L"x", [&] {
    ++attempts;
    ::SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  });
  EXPECT_EQ(attempts, 1);
}

// Windows refuses CREATE_ALWAYS with normal attributes over a hidden or system file, and a copy over
// a hidden or read-only one; Wine allows both, so the seam refuses them as Windows does.
HANDLE WINAPI CreateFileAsWindows(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile) {
  const DWORD attributes = ::GetFileAttributesW(path);
  if (disposition == CREATE_ALWAYS && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(path, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI CopyFileAsWindows(LPCWSTR source, LPCWSTR destination, BOOL failIfExists) {
  const DWORD attributes = ::GetFileAttributesW(destination);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY))) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::CopyFileW(source, destination, failIfExists);
}

TEST(Leftovers, AHiddenOrSystemLeftoverNeverFreezesAFileTheStarterWrites) {
  const SwappedCalls calls;
  Platform().createFile = CreateFileAsWindows;
  Platform().copyFile = CopyFileAsWindows;
  TempFolder folder;
  for (const DWORD attributes : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY}) {
    const std::wstring parameterFile = folder / L"ini.xml";
    ASSERT_TRUE(WriteBytes(parameterFile + L".vxtmp", "left by an ended start"));
    ::SetFileAttributesW((parameterFile + L".vxtmp").c_str(), attributes);
    EXPECT_TRUE(ReplaceFileContent(parameterFile, "<a/>")) << attributes;
    EXPECT_EQ(ReadBytes(parameterFile), "<a/>");

    const std::wstring copy = folder / L"copy.txt";
    ASSERT_TRUE(WriteBytes(copy + L".vxtmp", "left"));
    ::SetFileAttributesW((copy + L".vxtmp").c_str(), attributes);
    EXPECT_TRUE(CopyIntoPlace(parameterFile, copy, false, true)) << attributes;
    EXPECT_EQ(ReadBytes(copy), "<a/>");
    EXPECT_FALSE(FileExists(copy + L".vxtmp"));
  }
}

// A reset whose folder could not take its number is finished at the next start, into the next
// free number; an empty one beside it goes.
TEST(Reset, ALeftoverFolderIsFinishedAtTheNextStart) {
  TempFolder folder;
  const std::wstring config = folder / L"Config";
  ::CreateDirectoryW(config.c_str(), nullptr);
  ::CreateDirectoryW((config + L"\\BackUpCfg01").c_str(), nullptr);
  ::CreateDirectoryW((config + L"\\BackUpCfg01.vxtmp").c_str(), nullptr);
  WriteBytes(config + L"\\BackUpCfg01.vxtmp\\c.cfg", "the user's");
  ::CreateDirectoryW((config + L"\\BackUpCfg05.vxtmp").c_str(), nullptr);
  TestCompanyKey company;
  ASSERT_TRUE(company.SetValue(L"Velmora\\1.0", L"Other", REG_SZ, L"", sizeof(wchar_t)));
  InstallationNames names;
  names.perUserFolder = folder.Path();
  names.userConfigFolder = config;
  names.productKey = company.SubKey(L"Velmora\\1.0");
  AskAboutUpgrade(names);
  EXPECT_EQ(ReadBytes(config + L"\\BackUpCfg02\\c.cfg"), "the user's");
  EXPECT_FALSE(FileExists(config + L"\\BackUpCfg01.vxtmp"));
  EXPECT_FALSE(FileExists(config + L"\\BackUpCfg05.vxtmp"));
}

// Windows refuses to rename a folder while a file in it is open elsewhere; here that refusal lasts,
// and one file cannot be moved either.
BOOL WINAPI MoveRefusingFoldersAndOneFile(LPCWSTR from, LPCWSTR to, DWORD flags) {
  const std::wstring name = from;
  if (IsFolder(name) || name.ends_with(L"\\held.txt")) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return ::MoveFileExW(from, to, flags);
}

TEST(RefusedFolderRename, EveryFileStillReachesItsPlace) {
  TempFolder folder;
  const std::wstring source = folder / L"src";
  const std::wstring user = folder / L"user";
  for (const std::wstring& made : {source, source + L"\\Blocks", source + L"\\Blocks\\Sub", user}) {
    ::CreateDirectoryW(made.c_str(), nullptr);
  }
  WriteBytes(source + L"\\Blocks\\b.blk", "block");
  WriteBytes(source + L"\\Blocks\\held.txt", "held by a scanner");
  WriteBytes(source + L"\\Blocks\\Sub\\c.blk", "deeper block");
  TreeOutcome outcome;
  {
    const SwappedCalls calls;
    Platform().moveFile = MoveRefusingFoldersAndOneFile;
    outcome = WalkTree(source, user, TreeMode::kCopy);
  }
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(ReadBytes(user + L"\\Blocks\\b.blk"), "block");
  EXPECT_EQ(ReadBytes(user + L"\\Blocks\\Sub\\c.blk"), "deeper block");
  EXPECT_FALSE(IsFolder(user + L"\\Blocks.vxtmp"));
  // The copy that could not move is copied again from the source.
  EXPECT_EQ(ReadBytes(user + L"\\Blocks\\held.txt"), "held by a scanner");
  EXPECT_FALSE(FileExists(user + L"\\Blocks\\held.txt.vxtmp"));
}

// The default user data of an installation and a user of it, with the record in a product key.
class Provisioned {
 public:
  Provisioned() {
    for (const std::wstring& made : {install.Path(), install / L"Defaults", install / L"Defaults\\Config",
                                     install / L"Defaults\\Templates"}) {
      ::CreateDirectoryW(made.c_str(), nullptr);
    }
    WriteBytes(install / L"velmora.ini",
               "[\\UserData\\CopyToAppData]\r\nDefaults\r\n[\\Configuration]\r\nnPlat=sx64\r\n");
    WriteBytes(install / L"Defaults\\Config\\cfg.ini", "[\\Configuration]\r\nnUnits=s1\r\n");
    WriteBytes(install / L"Defaults\\Templates\\t1.dwt", "template one");
    WriteBytes(install / L"Defaults\\Templates\\t2.dwt", "template two");
    names.perUserFolder = user.Path();
    names.starterFolder = install.Path();
    names.userConfigFolder = user / L"Config";
    names.userSettingsFile = user / L"Config\\cfg.ini";
    names.productKey = company.SubKey(L"Velmora\\1.0");
  }
  std::wstring SettingsFile() const { return install / L"velmora.ini"; }
  void Provision() const { ProvisionUserData(SettingsFile(), names, false); }

  TempFolder install;
  TempFolder user;
  TestCompanyKey company;
  InstallationNames names;
};

BOOL WINAPI CopyFailingForSecondTemplate(LPCWSTR source, LPCWSTR destination, BOOL failIfExists) {
  if (std::wstring(source).ends_with(L"t2.dwt")) {
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return ::CopyFileW(source, destination, failIfExists);
}

// A walk that could not place a file is recorded with the repair mark; the repair walk places
// only what is missing, never replacing what the user has, and clears the mark.
TEST(RepairMark, ALaterStartPlacesOnlyWhatIsMissingAndClearsTheMark) {
  const Provisioned bed;
  {
    const SwappedCalls calls;
    Platform().copyFile = CopyFailingForSecondTemplate;
    EXPECT_EQ(ProvisionUserData(bed.SettingsFile(), bed.names, false), UserDataOutcome::kMarkedForRepair);
  }
  EXPECT_FALSE(FileExists(bed.user / L"Templates\\t2.dwt"));
  EXPECT_EQ(ReadUserDataState(bed.names), UserDataState::kRepairNeeded);
  WriteBytes(bed.user / L"Templates\\t1.dwt", "the user's template");

  EXPECT_EQ(RepairUserData(bed.SettingsFile(), bed.names), UserDataOutcome::kComplete);
  EXPECT_EQ(ReadBytes(bed.user / L"Templates\\t2.dwt"), "template two");
  EXPECT_EQ(ReadBytes(bed.user / L"Templates\\t1.dwt"), "the user's template");
  EXPECT_FALSE(FileExists(bed.user / L"Templates\\t1.dwt.bak"));
  EXPECT_EQ(ReadUserDataState(bed.names), UserDataState::kProvisioned);
}

TEST(PlatformChoice, WithoutThePerUserLockTheUserSettingsFileIsNotWritten) {
  const Provisioned bed;
  bed.Provision();
  const std::string before = ReadBytes(bed.names.userSettingsFile);
  for (const wchar_t* optionB : {L"", L"arm64"}) {
    const auto choice = ChoosePlatform(bed.SettingsFile(), bed.names.userSettingsFile, optionB, L"", false);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->name, *optionB ? optionB : L"x64");
    EXPECT_EQ(ReadBytes(bed.names.userSettingsFile), before);
  }
}

TEST(Workspace, CountsAsCompleteOnlyWhenNoBuildOfItIsLeft) {
  TempFolder all;
  TempFolder user;
  const std::wstring source = all / L"ss20\\vmss_files";
  ASSERT_TRUE(CreateFolderWithParents(source + L"\\htmls"));
  WriteBytes(source + L"\\ini.xml", "<StartScreen/>");
  WriteBytes(source + L"\\ssini.xml", "<ss/>");
  WriteBytes(source + L"\\htmls\\index.html", "<p/>");
  StartScreenInfo info;
  info.commonDataDir = all.Path();
  info.userFolder = user.Path();
  info.profileName = L"P";
  const auto prepared = PrepareStartScreenWorkspace(info);
  ASSERT_TRUE(prepared.has_value());
  // A build that could not be taken away, and a page that never reached the workspace.
  ASSERT_TRUE(::DeleteFileW((prepared->workspace + L"\\htmls\\index.html").c_str()));
  ASSERT_TRUE(::CreateDirectoryW((prepared->workspace + L".vxtmp").c_str(), nullptr));
  ASSERT_TRUE(PrepareStartScreenWorkspace(info).has_value());
  EXPECT_EQ(ReadBytes(prepared->workspace + L"\\htmls\\index.html"), "<p/>");
  EXPECT_FALSE(IsFolder(prepared->workspace + L".vxtmp"));
}

}  // namespace
}  // namespace velmora
