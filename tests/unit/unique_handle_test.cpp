#include "common/unique_handle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::TempFolder;
using testing::TestBinaryFolder;

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE NewEvent() { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }

constexpr DWORD kCallersError = 0x2A2A;

// The error code after an owner closed its handle, by Reset or by going out of scope.
template <typename Owner>
DWORD ErrorAfterClosing(typename Owner::Handle handle, bool byReset) {
  std::optional<Owner> owner(std::in_place, handle);
  ::SetLastError(kCallersError);
  if (byReset) {
    owner->Reset();
  } else {
    owner.reset();
  }
  return ::GetLastError();
}

TEST(UniqueHandle, ClosingKeepsTheLastErrorCode) {
  // Closing a bogus handle fails and sets an error code of its own.
  const auto bogus = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7FF0));
  for (const bool byReset : {true, false}) {
    EXPECT_EQ(ErrorAfterClosing<UniqueKernelHandle>(bogus, byReset), kCallersError) << byReset;
    EXPECT_EQ(ErrorAfterClosing<UniqueModule>(reinterpret_cast<HMODULE>(bogus), byReset), kCallersError) << byReset;
  }

  TempFolder folder;
  const std::wstring module = folder / L"plain_copy.dll";
  ASSERT_TRUE(::CopyFileW((TestBinaryFolder() + L"\\test_plain.dll").c_str(), module.c_str(), FALSE));
  EXPECT_EQ(ErrorAfterClosing<UniqueModule>(::LoadLibraryW(module.c_str()), true), kCallersError);
  EXPECT_EQ(::GetModuleHandleW(module.c_str()), nullptr);
  const HANDLE event = NewEvent();
  EXPECT_EQ(ErrorAfterClosing<UniqueKernelHandle>(event, false), kCallersError);
  EXPECT_FALSE(IsOpen(event));
}

TEST(UniqueHandle, MovingTransfersOwnership) {
  const HANDLE first = NewEvent();
  const HANDLE second = NewEvent();
  {
    UniqueKernelHandle a(first);
    UniqueKernelHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.Get(), first);

    UniqueKernelHandle c(second);
    c = std::move(b);  // c's own handle is closed
    EXPECT_FALSE(IsOpen(second));
    EXPECT_FALSE(b);
    EXPECT_EQ(c.Get(), first);
    UniqueKernelHandle& same = c;
    c = std::move(same);
    EXPECT_EQ(c.Get(), first);
    EXPECT_TRUE(IsOpen(first));

    UniqueKernelHandle kept(c.Release());
    EXPECT_FALSE(c);
    EXPECT_EQ(kept.Get(), first);
  }
  EXPECT_FALSE(IsOpen(first));

  const HANDLE released = NewEvent();
  { UniqueKernelHandle owner(released); EXPECT_EQ(owner.Release(), released); }
  EXPECT_TRUE(IsOpen(released));
  ::CloseHandle(released);
}

}  // namespace
}  // namespace velmora
