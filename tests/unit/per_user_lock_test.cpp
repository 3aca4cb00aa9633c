#include "userdata/per_user_lock.h"

#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "common/unique_handle.h"
#include "support/utf8.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

TEST(PerUserLockRefusal, HoldsAfterAWaitAndNamesTheCauseOtherwise) {
  const struct {
    const char* label;
    PerUserLockAttempt attempt;
    std::wstring reasonStart;  // empty: held
  } cases[] = {
      {"had", {0, WAIT_OBJECT_0, 0}, L""},
      {"abandoned by a start that ended midway", {0, WAIT_ABANDONED, 0}, L""},
      {"another start still busy", {0, WAIT_TIMEOUT, 0}, L"the per-user lock was not had in time"},
      {"mutex of a start the user may not wait for",
       {ERROR_ACCESS_DENIED, WAIT_FAILED, 0},
       L"the per-user lock cannot be opened, 5 "},
      {"wait failed", {0, WAIT_FAILED, ERROR_INVALID_HANDLE}, L"waiting for the per-user lock failed, 6 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto refusal = PerUserLockRefusal(c.attempt);
    if (c.reasonStart.empty()) {
      EXPECT_FALSE(refusal.has_value());
    } else {
      ASSERT_TRUE(refusal.has_value());
      EXPECT_TRUE(refusal->starts_with(c.reasonStart)) << testing::Utf8(*refusal);
      // After an error's number, the system's text for it.
      if (c.reasonStart.ends_with(L' ')) {
        EXPECT_GT(refusal->size(), c.reasonStart.size()) << testing::Utf8(*refusal);
      }
    }
  }
}

std::wstring CurrentUserSidText() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const UniqueKernelHandle owned(token);
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (!::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
    return {};
  }
  const UniqueLocalMemory ownedText(text);
  return text;
}

// A lock mutex made beforehand with the given security, as another start (or another build of the
// starter) would leave it.
UniqueKernelHandle MutexMadeBeforehand(const std::wstring& folder, const std::wstring& security) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(security.c_str(), SDDL_REVISION_1, &descriptor,
                                                                     nullptr));
  const UniqueLocalMemory owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  return UniqueKernelHandle(::CreateMutexExW(&attributes, PerUserLockName(folder).c_str(), 0, kLockAccess));
}

std::wstring LockFolder() { return L"C:\\Users\\u\\AppData\\Roaming\\" + testing::UniqueName(L"Lock-"); }

TEST(PerUserLock, GrantsTheUserExactlyWaitingAndReleasing) {
  const std::wstring folder = LockFolder();
  const PerUserLock lock(folder);
  ASSERT_TRUE(lock.Held());
  // The owner may always read the security of what it created.
  const UniqueKernelHandle reader(::OpenMutexW(READ_CONTROL, FALSE, PerUserLockName(folder).c_str()));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  wchar_t* text = nullptr;
  ASSERT_EQ(::GetSecurityInfo(reader.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  const UniqueLocalMemory ownedDescriptor(descriptor);
  ASSERT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                     DACL_SECURITY_INFORMATION, &text, nullptr));
  const UniqueLocalMemory ownedText(text);
  EXPECT_EQ(std::wstring(text), L"D:P(A;;0x100001;;;" + CurrentUserSidText() + L")");
}

TEST(PerUserLock, IsHadThroughAMutexThatGrantsNoMoreThanWaitingAndReleasing) {
  // As an elevated start leaves it for the user's normal start: owned by someone else, waiting and
  // releasing granted to the user. Asking for full access, as CreateMutexW does, would be refused.
  const std::wstring folder = LockFolder();
  const UniqueKernelHandle other =
      MutexMadeBeforehand(folder, L"O:SYD:(A;;0x00100001;;;" + CurrentUserSidText() + L")");
  ASSERT_TRUE(other);
  {
    const PerUserLock lock(folder, 50);
    EXPECT_TRUE(lock.Held());
  }
  // Released, not abandoned, through the limited handle.
  EXPECT_EQ(::WaitForSingleObject(other.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ::ReleaseMutex(other.Get());
}

}  // namespace
}  // namespace velmora
