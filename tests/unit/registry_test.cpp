#include "common/registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::TestCompanyKey;
using testing::Utf8;

TEST(ReadRegistryText, ReadsAtMost520BytesAndAlwaysEndsTheText) {
  const std::wstring text259(259, L'a');
  const std::wstring text260(260, L'b');
  const std::wstring inner = std::wstring(L"ab\0cd", 5);
  const struct {
    const wchar_t* name;
    std::wstring data;
    DWORD bytes;
    std::optional<std::wstring> expected;
  } cases[] = {
      {L"Terminated", std::wstring(L"abc", 4), 8, L"abc"},
      // The platform counts a terminator that follows the given bytes in: '#' keeps it out.
      {L"Unterminated", L"abc#", 6, L"abc"},
      {L"Empty", std::wstring(1, L'\0'), 2, L""},
      {L"NoData", L"", 0, L""},
      {L"InnerNul", inner, 10, L"ab"},
      {L"Full259", text259 + L'\0', 520, text259},
      {L"Full260", text260 + L'#', 520, text260},
      {L"Over", text260 + L'\0', 522, std::nullopt},
      {L"WayOver", std::wstring(1000, L'c'), 2000, std::nullopt},
  };
  TestCompanyKey company;
  for (const auto& c : cases) ASSERT_TRUE(company.SetValue(L"Values", c.name, REG_SZ, c.data.data(), c.bytes));
  const UniqueRegistryKey key = OpenRegistryKey(HKEY_CURRENT_USER, company.SubKey(L"Values"), kReadAccess);
  ASSERT_TRUE(key);
  for (const auto& c : cases) EXPECT_EQ(ReadRegistryText(key.Get(), c.name), c.expected) << Utf8(c.name);
  EXPECT_EQ(ReadRegistryText(key.Get(), L"Missing"), std::nullopt);
}

TEST(OpenRegistryKey, OpensExistingKeysAndRefusesAnEmptySubkey) {
  TestCompanyKey company;
  ASSERT_TRUE(company.SetValue(L"P\\1.0", nullptr, REG_SZ, nullptr, 0));
  EXPECT_TRUE(OpenRegistryKey(HKEY_CURRENT_USER, company.SubKey(L"P\\1.0"), kReadAccess));
  EXPECT_TRUE(OpenRegistryKey(HKEY_CURRENT_USER, company.SubKey(L"P"), kFullAccess));
  EXPECT_FALSE(OpenRegistryKey(HKEY_CURRENT_USER, company.SubKey(L"P\\2.0"), kReadAccess));
  // An empty subkey would open the hive itself.
  EXPECT_FALSE(OpenRegistryKey(HKEY_CURRENT_USER, L"", kReadAccess));
}

}  // namespace
}  // namespace velmora
