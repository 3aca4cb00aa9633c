#include "launcher/fatal_error.h"

#include <gtest/gtest.h>

#include <string>

#include "environment/display_check.h"
#include "launcher/crash_report.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::RunChild;
using testing::TestBinaryFolder;
using testing::Utf8;

constexpr unsigned long kReportReturned = 7;  // the probe's exit code when the report returns

std::wstring ProbePath() { return TestBinaryFolder() + L"\\fatal_report_probe.exe"; }

testing::ChildResult RunProbe(const FatalMessage& message) {
  return RunChild(ProbePath(), L"\"" + ProbePath() + L"\" " + std::to_wstring(message.id) +
                                   (message.reinstallLine ? L" 1" : L" 0"));
}

TEST(ReportFatalError, ShowsOneBoxEchoesTheTextAndEndsWith255) {
  const std::wstring reinstall = L".\nReinstall application to fix this problem.";
  const struct {
    FatalMessage message;
    std::wstring text;
  } cases[] = {
      {MessageFor(FailureReason::kMainModuleNotLoaded),
       L"Error: Some of application components are missing or corrupted" + reinstall},
      {MessageFor(FailureReason::kNoRunApp), L"Error: Main application component is corrupted" + reinstall},
      {MessageFor(FailureReason::kUnsupportedDisplay),
       L"Error: Unsupported display settings.\n256 or more colors required."},
      {MessageFor(FailureReason::kNoPlatform), L"Error: 55" + reinstall},
      {{9, false}, L"Error: Some of application components are missing or corrupted"},
  };
  for (const auto& c : cases) {
    const auto result = RunProbe(c.message);
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 255u) << c.message.id;
    // The standard output is in text mode: each line feed goes out as CR LF.
    std::string echoed;
    for (const char ch : Utf8(c.text + L"\n")) echoed += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(result.output, echoed) << c.message.id;
    ASSERT_EQ(result.boxes.size(), 1u) << c.message.id;
    EXPECT_EQ(result.boxes[0].caption, ProbePath()) << c.message.id;
    EXPECT_EQ(result.boxes[0].text, c.text) << c.message.id;
  }
}

TEST(ReportFatalError, ReturnsWithoutABoxWhenTheMessageHasNoText) {
  const auto result = RunProbe({13, true});
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exitCode, kReportReturned);
  EXPECT_EQ(result.output, "");
  EXPECT_TRUE(result.boxes.empty());
}

TEST(StartFailure, MapsEachReasonToItsMessageAndEveryReportToOneExitCode) {
  const struct {
    FailureReason reason;
    UINT message;
    bool reinstallLine;
  } cases[] = {
      {FailureReason::kNoCommandLine, 10, true},        {FailureReason::kUnsupportedDisplay, 14, false},
      {FailureReason::kNoIdentity, 9, true},            {FailureReason::kNoPlatform, 15, true},
      {FailureReason::kMainModuleNotLoaded, 9, true},   {FailureReason::kNoRunApp, 10, true},
      {FailureReason::kNoApplicationCommandLine, 10, true},
  };
  for (const auto& c : cases) {
    const int reason = static_cast<int>(c.reason);
    EXPECT_EQ(MessageFor(c.reason).id, c.message) << reason;
    EXPECT_EQ(MessageFor(c.reason).reinstallLine, c.reinstallLine) << reason;
    EXPECT_EQ(ExitCodeFor({c.reason, ERROR_MOD_NOT_FOUND}, true), 255) << reason;
    // Without its texts the report cannot be shown: only a failed main-module load keeps its code.
    const int unreported = c.reason == FailureReason::kMainModuleNotLoaded ? ERROR_MOD_NOT_FOUND : 255;
    EXPECT_EQ(ExitCodeFor({c.reason, ERROR_MOD_NOT_FOUND}, false), unreported) << reason;
  }
}

TEST(DisplayDepthSupported, NeedsMoreThanFourBitsPerPixel) {
  for (const int bits : {0, 1, 4}) EXPECT_FALSE(DisplayDepthSupported(bits)) << bits;
  for (const int bits : {5, 8, 16, 24, 32}) EXPECT_TRUE(DisplayDepthSupported(bits)) << bits;
  // No screen to ask (GetDC failed): the check cannot be made and passes.
  EXPECT_TRUE(DisplayDepthSupported(std::nullopt));
}

TEST(IsMsvcCppException, RecognisesWhatMsvcsCatchAllWouldCatch) {
  const struct {
    DWORD code;
    DWORD parameters;
    ULONG_PTR magic;
    bool expected;
  } cases[] = {{0xE06D7363, 4, 0x19930520, true},  {0xE06D7363, 4, 0x19930521, true},
               {0xE06D7363, 4, 0x19930522, true},  {0xE06D7363, 4, 0x19930523, false},
               {0xE06D7363, 3, 0x19930520, false}, {0x20474343, 4, 0x19930520, false},
               {EXCEPTION_ACCESS_VIOLATION, 2, 0, false}};
  for (const auto& c : cases) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = c.code;
    record.NumberParameters = c.parameters;
    record.ExceptionInformation[0] = c.magic;
    EXPECT_EQ(IsMsvcCppException(record), c.expected) << std::hex << c.code << " " << c.parameters << " " << c.magic;
  }
}

}  // namespace
}  // namespace velmora
