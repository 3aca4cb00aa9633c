// The four run modes, their exit codes, and what each runs.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/installation.h"

namespace velmora::testing {
namespace {

constexpr wchar_t kMainLoaded[] = L"main:loaded";

void ExpectIdentityTornDown(const Installation& installation) {
  const auto record = installation.Record();
  const auto close = std::find(record.begin(), record.end(), L"identity:Close");
  ASSERT_NE(close, record.end());
  ASSERT_LT(close + 2, record.end());
  EXPECT_EQ(*(close + 1), L"identity:Release");
  EXPECT_EQ(*(close + 2), L"identity:unloaded");
}

TEST(RunModes, ApplicationStartEndsWithTheResultOfRunAppW) {
  Installation installation;
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=42\n");
  const ChildResult result = installation.Run();
  EXPECT_EQ(result.exitCode, 42u);
  EXPECT_TRUE(installation.Recorded(kMainLoaded));
  ExpectIdentityTornDown(installation);
}

TEST(RunModes, ACppExceptionOutOfRunAppWGivesOne) {
  // The main module's own (GCC) exception, and one raised as MSVC-built code throws.
  for (const char* how : {"1", "msvc"}) {
    SCOPED_TRACE(how);
    Installation installation;
    installation.WriteText(L"Bin\\main.ini", std::string("[Main]\nThrow=") + how + "\n");
    installation.CopyModule(L"test_crash.dll", L"Bin\\DiDevovEzovid.dll");
    EXPECT_EQ(installation.Run().exitCode, 1u);
    EXPECT_TRUE(installation.Recorded(L"crash:unloaded"));
    EXPECT_EQ(installation.RecordedValue(L"crash:unhandled="), L"<none>");
    ExpectIdentityTornDown(installation);
  }
}

TEST(RunModes, AStructuredExceptionOutOfRunAppWReachesTheCrashReportHandlers) {
  Installation installation;
  installation.WriteText(L"Bin\\main.ini", "[Main]\nThrow=access\n");
  installation.CopyModule(L"test_crash.dll", L"Bin\\DiDevovEzovid.dll");
  EXPECT_EQ(installation.Run().exitCode, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_EQ(installation.RecordedValue(L"crash:unhandled="), L"C0000005");
  EXPECT_FALSE(installation.Recorded(L"crash:unloaded"));
}

TEST(RunModes, RegistrationEndsWithZeroWithoutTheApplication) {
  for (const wchar_t* arguments : {L"-register", L"/REGISTER", L"-register -unregister", L"-unregister",
                                   L"C:\\drawings\\plan-register.dwg"}) {
    SCOPED_TRACE(Utf8(arguments));
    Installation installation;
    installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=42\n");
    EXPECT_EQ(installation.Run(arguments).exitCode, 0u);
    EXPECT_FALSE(installation.Recorded(kMainLoaded));
    // The identity is still asked for the names and released at the end.
    EXPECT_TRUE(installation.Recorded(L"identity:GetCompanyName"));
    ExpectIdentityTornDown(installation);
  }
}

std::vector<std::wstring> IdentityCalls(const Installation& installation) {
  std::vector<std::wstring> calls;
  for (const auto& line : installation.Record()) {
    if (line.starts_with(L"identity:")) calls.push_back(line.substr(9));
  }
  return calls;
}

TEST(RunModes, AskTheIdentityProviderInItsDocumentedOrder) {
  // The title, the per-user folder, the all-users folder, the product key: asked anew each time.
  const std::vector<std::wstring> names = {L"loaded",
                                           L"new_IOemInfo",
                                           L"GetProductVersion",
                                           L"GetProductVersion",
                                           L"GetProductName",
                                           L"GetCompanyName",
                                           L"GetCompanyName",
                                           L"GetProductVersion",
                                           L"GetProductVersion",
                                           L"GetProductName",
                                           L"GetCompanyName"};
  const std::vector<std::wstring> startScreen = {L"GetUserInfoName", L"GetUserInfoCompany", L"GetProductVersion",
                                                 L"GetProductVersion"};
  const std::vector<std::wstring> teardown = {L"Close", L"Release", L"unloaded"};
  const auto joined = [](std::vector<std::wstring> first, const std::vector<std::wstring>& second,
                         const std::vector<std::wstring>& third) {
    first.insert(first.end(), second.begin(), second.end());
    first.insert(first.end(), third.begin(), third.end());
    return first;
  };
  const struct {
    const wchar_t* arguments;
    std::vector<std::wstring> calls;
  } cases[] = {
      {L"", joined(names, startScreen, teardown)},
      {L"-register", joined(names, {}, teardown)},
      {L"-register -unregister", joined(names, {}, teardown)},
      {L"-unregister", joined(names, {}, teardown)},
  };
  for (const auto& c : cases) {
    Installation installation;
    EXPECT_EQ(installation.Run(c.arguments).exitCode, 0u) << Utf8(c.arguments);
    EXPECT_EQ(IdentityCalls(installation), c.calls) << Utf8(c.arguments);
  }
}

TEST(RunModes, MixedCaseSwitchesAreNotRecognised) {
  Installation installation;
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=7\n");
  EXPECT_EQ(installation.Run(L"-Register -Unregister").exitCode, 7u);
  EXPECT_TRUE(installation.Recorded(kMainLoaded));
}

TEST(RunModes, StopForConnectWaitsForItsBoxBeforeTheIdentityIsLoaded) {
  Installation installation;
  const ChildResult result = installation.Run(L"-stop_for_connect");
  EXPECT_EQ(result.exitCode, 0u);
  ASSERT_EQ(result.boxes.size(), 1u);
  EXPECT_EQ(result.boxes[0].caption, L"Velmora");
  EXPECT_EQ(result.boxes[0].text, L"stop_for_connect");
  EXPECT_TRUE(installation.Recorded(kMainLoaded));
}

TEST(RunModes, ProfilerSetsItsVariableForTheApplication) {
  Installation installation;
  installation.Run(L"-profiler");
  EXPECT_EQ(installation.RecordedValue(L"main:env:DEZUVAVARE="), L"1");

  Installation without;
  without.Run();
  EXPECT_EQ(without.RecordedValue(L"main:env:DEZUVAVARE="), L"<unset>");
}

TEST(RunModes, FirstStartCreatesThePerUserFolderButNoAllUsersFolder) {
  Installation installation;
  EXPECT_EQ(installation.Run().exitCode, 0u);
  EXPECT_NE(::GetFileAttributesW(installation.PerUserFolder().c_str()), INVALID_FILE_ATTRIBUTES);

  wchar_t common[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
  EXPECT_EQ(::GetFileAttributesW((std::wstring(common) + L"\\" + installation.Company()).c_str()),
            INVALID_FILE_ATTRIBUTES);
}

TEST(RunModes, WithoutACompanyNameNoPerUserFolderIsCreated) {
  Installation installation;
  installation.SetIdentity("[Identity]\nNullCompany=1\nProduct=Velmora\nVersion=0x00020019\n");
  EXPECT_EQ(installation.Run().exitCode, 0u);
  EXPECT_TRUE(installation.Recorded(kMainLoaded));
  // Nothing keyed by an empty company either: no title folder straight below application data.
  EXPECT_EQ(::GetFileAttributesW((RoamingAppData() + L"\\Velmora 25.2").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace velmora::testing
