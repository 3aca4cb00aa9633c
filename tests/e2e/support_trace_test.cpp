// The support trace: one debugger-output line per step, module load and refusal with
// VX_STARTER_TRACE=1, and not one line more than usual without it.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "e2e/installation.h"
#include "support/debug_output.h"
#include "userdata/per_user_lock.h"

namespace velmora::testing {
namespace {

constexpr wchar_t kTracePrefix[] = L"Starter trace +";

// Sets the variable for the starts of one test and removes it again.
class TraceVariable {
 public:
  explicit TraceVariable(const wchar_t* value) { ::SetEnvironmentVariableW(L"VX_STARTER_TRACE", value); }
  TraceVariable(const TraceVariable&) = delete;
  TraceVariable& operator=(const TraceVariable&) = delete;
  ~TraceVariable() { ::SetEnvironmentVariableW(L"VX_STARTER_TRACE", nullptr); }
};

// The trace lines of one start, each without its prefix and time: "<text>".
struct TracedStart {
  unsigned long exitCode = 0;
  std::vector<std::wstring> lines;
  bool timesInOrder = true;
};

TracedStart RunTraced(const Installation& installation) {
  const DebuggedResult result =
      RunCollectingDebugOutput(installation.Starter(), L"\"" + installation.Starter() + L"\"", installation.Bin());
  EXPECT_TRUE(result.started);
  TracedStart traced{result.exitCode, {}, true};
  unsigned long previousMs = 0;
  for (const std::wstring& text : result.debugOutput) {
    if (!text.starts_with(kTracePrefix)) continue;
    const std::size_t afterPrefix = std::wstring_view(kTracePrefix).size();
    const unsigned long ms = std::wcstoul(text.c_str() + afterPrefix, nullptr, 10);
    traced.timesInOrder = traced.timesInOrder && ms >= previousMs;
    previousMs = ms;
    const auto colon = text.find(L" ms: ");
    EXPECT_NE(colon, std::wstring::npos) << Utf8(text);
    EXPECT_TRUE(text.ends_with(L"\r\n")) << Utf8(text);
    if (colon != std::wstring::npos) traced.lines.push_back(text.substr(colon + 5, text.size() - colon - 7));
  }
  return traced;
}

std::size_t PositionOf(const TracedStart& traced, const std::wstring& start) {
  for (std::size_t at = 0; at < traced.lines.size(); ++at) {
    if (traced.lines[at].starts_with(start)) return at;
  }
  return traced.lines.size();
}

TEST(SupportTrace, NamesEveryStepInOrderWithItsLoadsAndRefusals) {
  Installation installation;
  installation.WriteSettings("[\\UserData\\CopyToAppData]\n..\\Outside\n");
  const TraceVariable on(L"1");
  const TracedStart traced = RunTraced(installation);
  EXPECT_EQ(traced.exitCode, 0u);
  EXPECT_TRUE(traced.timesInOrder);

  const std::vector<std::wstring> steps = {
      L"step command line: done",          L"step environment: settings file " + installation.Bin(),
      L"step display check: passed",       L"step switches: done",
      L"load " + installation.Bin() + L"\\oeminfo.dll: loaded",
      L"step product identity: Velmora 25.2",
      L"step derived names: per-user folder " + installation.PerUserFolder(),
      L"step registry state: provisioning needed",
      L"step start screen: not launched",  L"refused copy-list entry ..\\Outside=: it would leave its root",
      L"step provisioning: done",          L"step platform: folders in place",
      L"step pre-loaded modules: done",    L"load " + installation.Bin() + L"\\velmora.dll: loaded",
      L"step hand-off: running the application",
      L"load DiDevovEzovid.dll: failed, 126 "};
  std::size_t previous = 0;
  for (const auto& step : steps) {
    const std::size_t at = PositionOf(traced, step);
    ASSERT_LT(at, traced.lines.size()) << "missing: " << Utf8(step);
    EXPECT_GE(at, previous) << "out of order: " << Utf8(step);
    previous = at;
  }
  // The failed load names the system's reason, not only its number.
  const std::wstring& failedLoad = traced.lines[PositionOf(traced, L"load DiDevovEzovid.dll: failed, 126 ")];
  EXPECT_GT(failedLoad.size(), std::wstring(L"load DiDevovEzovid.dll: failed, 126 ").size());
}

TEST(SupportTrace, NamesWhyThePerUserLockCouldNotBeOpened) {
  // A lock mutex that grants this user nothing, as an elevated start of a build that gave its mutex
  // the default security would leave it: the start goes on without its per-user steps and says why.
  Installation installation;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SYD:(A;;GA;;;SY)", SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
  const UniqueLocalMemory ownedDescriptor(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const UniqueKernelHandle elevated(::CreateMutexExW(
      &attributes, PerUserLockName(installation.PerUserFolder()).c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
  ASSERT_TRUE(elevated);

  const TraceVariable on(L"1");
  const TracedStart traced = RunTraced(installation);
  EXPECT_EQ(traced.exitCode, 0u);
  const std::wstring refusal = L"refused per-user steps for " + installation.PerUserFolder() +
                               L": the per-user lock cannot be opened, 5 ";
  EXPECT_LT(PositionOf(traced, refusal), traced.lines.size());
  EXPECT_EQ(PositionOf(traced, L"step provisioning"), traced.lines.size());
  EXPECT_LT(PositionOf(traced, L"step hand-off: running the application"), traced.lines.size());
  // Nothing recorded as provisioned, so that a later start with the lock provisions.
  const std::wstring productKey = L"SOFTWARE\\" + installation.Company() + L"\\Velmora\\25.2";
  EXPECT_EQ(
      ::RegGetValueW(HKEY_CURRENT_USER, productKey.c_str(), L"UserDataDir", RRF_RT_ANY, nullptr, nullptr, nullptr),
      static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST(SupportTrace, StaysSilentUnlessTheVariableIsExactlyOne) {
  for (const wchar_t* value : {static_cast<const wchar_t*>(nullptr), L"0", L"11", L"yes"}) {
    SCOPED_TRACE(value ? Utf8(value) : "unset");
    Installation installation;
    const TraceVariable variable(value);
    const TracedStart traced = RunTraced(installation);
    EXPECT_EQ(traced.exitCode, 0u);
    EXPECT_TRUE(traced.lines.empty());
  }
}

}  // namespace
}  // namespace velmora::testing
