#include "userdata/installation.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "userdata/per_user_lock.h"

#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::IsFolder;
using testing::TempFolder;
using testing::TestCompanyKey;
using testing::Utf8;

TEST(UserFolderUnder, CreatesCompanyAndTitleFoldersOnlyWhenAsked) {
  TempFolder base;
  const std::wstring company = base / L"Co";
  const std::wstring folder = company + L"\\Velmora 25.2";

  EXPECT_EQ(UserFolderUnder(base.Path(), L"Co", L"Velmora 25.2", false), L"");
  EXPECT_FALSE(IsFolder(company));
  ASSERT_TRUE(::CreateDirectoryW(company.c_str(), nullptr));
  EXPECT_EQ(UserFolderUnder(base.Path(), L"Co", L"Velmora 25.2", false), L"");
  EXPECT_FALSE(IsFolder(folder));

  EXPECT_EQ(UserFolderUnder(base.Path() + L"\\", L"Co", L"Velmora 25.2", true), folder);
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_EQ(UserFolderUnder(base.Path(), L"Co", L"Velmora 25.2", false), folder);

  EXPECT_EQ(UserFolderUnder(base.Path(), L"New Co", L"Velmora 25.2", true), base / L"New Co\\Velmora 25.2");
  EXPECT_TRUE(IsFolder(base / L"New Co\\Velmora 25.2"));
}

TEST(UserFolderUnder, GivesTheBaseForAMissingBaseAndNothingForMissingOrOverlongNames) {
  TempFolder parent;
  const std::wstring missing = parent / L"missing";
  // company + title + base + 3 may reach 260, not exceed it.
  const std::wstring fitting(260 - 3 - missing.size() - 2, L't');
  const struct {
    std::wstring company;
    std::wstring title;
    std::wstring expected;
  } cases[] = {
      {L"Co", L"Velmora 25.2", missing + L"\\"},
      {L"Co", fitting, missing + L"\\"},
      {L"Co", fitting + L"t", L""},
      {L"", L"Velmora 25.2", L""},
      {L"Co", L"", L""},
  };
  for (const auto& c : cases) {
    for (const bool create : {false, true}) {
      EXPECT_EQ(UserFolderUnder(missing, c.company, c.title, create), c.expected) << Utf8(c.title) << create;
    }
  }
  EXPECT_FALSE(IsFolder(missing));
}

TEST(ProductKeyOf, NamesCompanyProductAndVersion) {
  EXPECT_EQ(ProductKeyOf({L"Company", L"Product", 25, 2}), L"SOFTWARE\\Company\\Product\\25.2");
  EXPECT_EQ(ProductKeyOf({L"C", L"P", 65535, 0}), L"SOFTWARE\\C\\P\\65535.0");
  EXPECT_EQ(ProductKeyOf({L"", L"P", 1, 0}), L"");
  EXPECT_EQ(ProductKeyOf({L"C", L"", 1, 0}), L"");
  // SOFTWARE\ + company + \P\1.0 is 259 characters with a company of 244, 260 with 245.
  EXPECT_EQ(ProductKeyOf({std::wstring(244, L'c'), L"P", 1, 0}).size(), 259u);
  EXPECT_EQ(ProductKeyOf({std::wstring(245, L'c'), L"P", 1, 0}), L"");
}

TEST(TranslationFilePathOf, ReplacesTheTextFromTheLastDot) {
  const std::wstring folder(510, L'f');
  const struct {
    std::wstring mainModule;
    std::wstring expected;
  } cases[] = {
      {L"C:\\App\\velmora.dll", L"C:\\App\\velmora.wld"},
      {L"velmora.dll", L"velmora.wld"},
      {L"C:\\App\\lib.v2.dll", L"C:\\App\\lib.v2.wld"},
      {L"C:\\App\\velmora", L"C:\\App\\velmora.wld"},
      {L"C:\\My.App\\velmora", L"C:\\My.wld"},
      {folder + L"\\a.dll", folder + L"\\a.wld"},  // 516 characters
      {folder + L"\\abcd", folder + L"\\abcd.wld"},  // 519
      {folder + L"\\abcde", L""},  // 520 does not fit
  };
  for (const auto& c : cases) EXPECT_EQ(TranslationFilePathOf(c.mainModule), c.expected);
}

TEST(ReadProvisioningNeeded, ComparesThePerUserFolderWithTheStoredUserDataDir) {
  const std::wstring folder = L"C:\\users\\u\\AppData\\Roaming\\Co\\P 1.0";
  const std::wstring longText = folder + std::wstring(300 - folder.size(), L'x');
  const std::wstring withNul = folder + L'\0';
  // The platform counts a terminator that follows the given bytes in: '#' keeps it out.
  const std::wstring unterminated = folder + L'#';
  const struct {
    const wchar_t* label;
    const std::wstring* stored;  // null: the product key does not exist
    DWORD bytes;
    std::wstring perUserFolder;
    bool needed;
  } cases[] = {
      {L"no key", nullptr, 0, folder, true},
      {L"no key, no folder", nullptr, 0, L"", false},
      {L"equal", &withNul, DWORD(withNul.size() * 2), folder, false},
      {L"stored without terminator", &unterminated, DWORD(folder.size() * 2), folder, false},
      {L"differs in case", &withNul, DWORD(withNul.size() * 2), L"C:\\USERS\\u\\AppData\\Roaming\\Co\\P 1.0", true},
      {L"differs", &withNul, DWORD(withNul.size() * 2), folder + L"\\", true},
      // Longer than 520 bytes counts as missing, even when its beginning matches.
      {L"too long", &longText, DWORD(longText.size() * 2), longText.substr(0, 259), true},
      {L"too long, no folder", &longText, DWORD(longText.size() * 2), L"", false},
  };
  for (const auto& c : cases) {
    TestCompanyKey company;
    InstallationNames names;
    names.productKey = company.SubKey(L"P\\1.0");
    names.perUserFolder = c.perUserFolder;
    if (c.stored) {
      ASSERT_TRUE(company.SetValue(L"P\\1.0", L"UserDataDir", REG_SZ, c.stored->data(), c.bytes));
    }
    EXPECT_EQ(ReadProvisioningNeeded(names), c.needed) << Utf8(c.label);
  }
}

TEST(PerUserLock, IsHeldByOneStartAtATimeAndWaitedForOnlyAsLongAsAllowed) {
  const std::wstring folder = L"C:\\Users\\u\\AppData\\Roaming\\" + testing::UniqueName(L"Lock-");
  EXPECT_EQ(PerUserLockName(folder), PerUserLockName(folder));
  EXPECT_NE(PerUserLockName(folder), PerUserLockName(folder + L"x"));
  EXPECT_LE(PerUserLockName(std::wstring(2000, L'x')).size(), static_cast<std::size_t>(MAX_PATH));

  HANDLE taken = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread other([&] {
    const PerUserLock lock(folder);
    ::SetEvent(taken);
    ::WaitForSingleObject(done, INFINITE);
  });
  ::WaitForSingleObject(taken, INFINITE);
  EXPECT_FALSE(PerUserLock(folder, 50).Held());
  EXPECT_TRUE(PerUserLock(folder + L"\\other", 50).Held());
  ::SetEvent(done);
  other.join();
  EXPECT_TRUE(PerUserLock(folder, 50).Held());
  ::CloseHandle(taken);
  ::CloseHandle(done);
}

}  // namespace
}  // namespace velmora
