// The sample start screen closes by itself after the time its environment gives it, so that the
// start-up benchmark never has to end one.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "support/child_process.h"

namespace velmora::testing {
namespace {

constexpr wchar_t kCloseAfterVariable[] = L"VELMORA_SAMPLE_START_SCREEN_MS";
constexpr char kParameters[] =
    "<?xml version=\"1.0\"?>\n<StartScreen><MainAppParams><Name>Velmora 25.2</Name><Version>25.2</Version>"
    "<Status><StartString>Ready</StartString></Status></MainAppParams></StartScreen>\n";

// Sets the variable for the children started while it lives, and takes it away again.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) { ::SetEnvironmentVariableW(name, value); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable() { ::SetEnvironmentVariableW(name_, nullptr); }

 private:
  const wchar_t* name_;
};

TEST(SampleStartScreen, StaysOpenAsLongAsTheVariableSaysAndFiveSecondsOtherwise) {
  struct Case {
    const wchar_t* value;
    bool closesWithinTwoSeconds;
  };
  const Case cases[] = {{L"0", true}, {L"300", true}, {L"600001", false}, {L"2x", false}};
  Installation installation;
  installation.WriteText(L"ini.xml", kParameters);
  const std::wstring program = TestBinaryFolder() + L"\\sample_start_screen.exe";
  const std::wstring commandLine = L"vuvevorodidaviz.exe \"" + installation.Root() + L"\\ini.xml\"";
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.value));
    const ScopedVariable variable(kCloseAfterVariable, c.value);
    const ChildResult result = RunChild(program, commandLine, {}, 2000);
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, c.closesWithinTwoSeconds ? 0u : kTimedOutExitCode) << result.output;
  }
}

}  // namespace
}  // namespace velmora::testing
