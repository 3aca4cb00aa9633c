#include "launcher/product_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::TestBinaryFolder;
using testing::Utf8;
using testing::WriteBytes;

TEST(FormatProductTitle, PrintsNameMajorAndMinorAndRefusesATitleThatDoesNotFit) {
  EXPECT_EQ(FormatProductTitle(L"Velmora", {25, 2}), L"Velmora 25.2");
  EXPECT_EQ(FormatProductTitle(L"Velmora", {65535, 0}), L"Velmora 65535.0");
  EXPECT_EQ(FormatProductTitle(nullptr, {25, 2}), L"");
  EXPECT_EQ(FormatProductTitle(L"", {25, 2}), L"");
  const std::wstring fits(254, L'n');  // 259 characters with " 25.2"
  EXPECT_EQ(FormatProductTitle(fits.c_str(), {25, 2}), fits + L" 25.2");
  EXPECT_EQ(FormatProductTitle((fits + L"n").c_str(), {25, 2}), L"");
}

// An installation folder with a copy of a test identity module, its answers and a record file
// that the module appends its calls to.
class IdentityInstallation {
 public:
  IdentityInstallation(const wchar_t* module, const std::string& answers) : record_(folder_ / L"record.txt") {
    path_ = folder_ / L"test_identity.dll";
    ::CopyFileW((TestBinaryFolder() + L"\\" + module).c_str(), path_.c_str(), FALSE);
    WriteBytes(folder_ / L"identity.ini", "[Identity]\r\n" + answers);
    ::SetEnvironmentVariableW(L"VELMORA_TEST_RECORD", record_.c_str());
  }
  ~IdentityInstallation() { ::SetEnvironmentVariableW(L"VELMORA_TEST_RECORD", nullptr); }

  const std::wstring& ModulePath() const { return path_; }
  bool ModuleLoaded() const { return ::GetModuleHandleW(path_.c_str()) != nullptr; }

  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    const std::string text = ReadBytes(record_);
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      lines.push_back(text.substr(at, end - at));
    }
    return lines;
  }

 private:
  TempFolder folder_;
  std::wstring record_;
  std::wstring path_;
};

TEST(ProductIdentity, AnswersFromTheModuleWithTheMajorInTheLowHalf) {
  const struct {
    std::string answers;
    std::uint16_t major;
    std::uint16_t minor;
    std::wstring title;
    const wchar_t* company;
  } cases[] = {
      {"Version=0x00020019\r\nProduct=Velmora\r\nCompany=Example Co\r\n", 25, 2, L"Velmora 25.2", L"Example Co"},
      {"Version=0xFFFF0001\r\nProduct=Draft\r\nCompany=Other\r\n", 1, 65535, L"Draft 1.65535", L"Other"},
      {"Version=0x00000000\r\nProduct=Velmora\r\nNullCompany=1\r\n", 0, 0, L"Velmora 0.0", nullptr},
  };
  for (const auto& c : cases) {
    IdentityInstallation installation(L"test_identity.dll", c.answers);
    const auto identity = ProductIdentity::Load(installation.ModulePath());
    ASSERT_TRUE(identity) << c.answers;
    EXPECT_EQ(identity->Version().major, c.major) << c.answers;
    EXPECT_EQ(identity->Version().minor, c.minor) << c.answers;
    EXPECT_EQ(identity->ProductTitle(), c.title);
    if (c.company == nullptr) {
      EXPECT_EQ(identity->CompanyName(), nullptr);
    } else {
      ASSERT_NE(identity->CompanyName(), nullptr);
      EXPECT_STREQ(identity->CompanyName(), c.company);
    }
  }
}

TEST(ProductIdentity, LoadGivesNothingWithoutAnObjectAndLeavesNoModuleLoaded) {
  const struct {
    const wchar_t* module;
    std::string answers;
    std::vector<std::string> calls;
  } cases[] = {
      {L"test_identity_nofactory.dll", "", {"identity:loaded", "identity:unloaded"}},
      {L"test_identity.dll", "NullObject=1\r\n", {"identity:loaded", "identity:new_IOemInfo", "identity:unloaded"}},
  };
  for (const auto& c : cases) {
    IdentityInstallation installation(c.module, c.answers);
    EXPECT_FALSE(ProductIdentity::Load(installation.ModulePath())) << Utf8(c.module);
    EXPECT_FALSE(installation.ModuleLoaded()) << Utf8(c.module);
    EXPECT_EQ(installation.Calls(), c.calls) << Utf8(c.module);
  }
  TempFolder empty;
  EXPECT_FALSE(ProductIdentity::Load(empty / L"test_identity.dll"));
  EXPECT_FALSE(ProductIdentity::Load(L""));
}

TEST(ProductIdentity, TheLastOwnerClosesReleasesAndUnloadsOnce) {
  IdentityInstallation installation(L"test_identity.dll", "Version=0x00020019\r\nProduct=Velmora\r\n");
  {
    auto loaded = ProductIdentity::Load(installation.ModulePath());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->ProductTitle(), L"Velmora 25.2");
    {
      const ProductIdentity owner(std::move(*loaded));
      loaded.reset();  // the moved-from object makes no call
      EXPECT_TRUE(installation.ModuleLoaded());
    }
    EXPECT_FALSE(installation.ModuleLoaded());
  }
  EXPECT_EQ(installation.Calls(),
            (std::vector<std::string>{"identity:loaded", "identity:new_IOemInfo", "identity:GetProductVersion",
                                      "identity:GetProductVersion", "identity:GetProductName", "identity:Close",
                                      "identity:Release", "identity:unloaded"}));
}

}  // namespace
}  // namespace velmora
