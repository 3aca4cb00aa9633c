// Module self-registration end to end: the entry-point calls the modules record, the lines the
// starter writes to the debugger output, and the exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/installation.h"
#include "support/debug_output.h"

namespace velmora::testing {
namespace {

using Lines = std::vector<std::wstring>;

struct RegistrationRun {
  DebuggedResult result;
  Lines record;
  std::wstring debugText;  // the debugger output joined
};

// Runs the installed starter as its debugger, after checking what every registration start must do.
RegistrationRun RunRegistration(const Installation& installation, const std::wstring& arguments) {
  RegistrationRun run;
  run.result = RunCollectingDebugOutput(installation.Starter(), L"\"" + installation.Starter() + L"\" " + arguments,
                                        installation.Bin());
  EXPECT_TRUE(run.result.started);
  EXPECT_EQ(run.result.exitCode, 0u);
  for (const auto& text : run.result.debugOutput) run.debugText += text;
  for (const auto& line : installation.Record()) {
    EXPECT_NE(line, L"main:loaded");
    if (line.starts_with(L"selfreg:")) run.record.push_back(line);
  }
  return run;
}

Lines Calls(const Installation& installation, const std::wstring& module, Lines calls) {
  // "Entry arguments" becomes what the module records: "selfreg:<module>:Entry host=<starter> 0 arguments".
  for (auto& call : calls) {
    const auto space = call.find(L' ');
    call = L"selfreg:" + module + L":" + call.substr(0, space) + L" host=" + installation.Starter() + L" 0" +
           (space == std::wstring::npos ? L"" : call.substr(space));
  }
  return calls;
}

const Lines kInstall = {L"VxDllInstallW install=1 scope=user", L"VxDllInstallW install=0 scope=",
                        L"VxDllInstallW install=0 scope=", L"VxDllInstallW install=1 scope=",
                        L"VxDllInstallW install=1 scope=user"};
const Lines kUninstall = {L"VxDllInstallW install=0 scope=user", L"VxDllInstallW install=0 scope=",
                          L"VxDllInstallW install=0 scope="};

Lines Joined(Lines first, const Lines& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::wstring LogLine(const std::wstring& module, const std::wstring& ending) {
  return L"Starter::RegisterModule(\"" + module + L"\") - " + ending + L"\r\n";
}

TEST(Registration, EachKindOfModuleGetsItsCallsInBothDirections) {
  struct Case {
    const wchar_t* testModule;  // empty: the listed module is nowhere
    const wchar_t* arguments;
    Lines calls;
    const wchar_t* logEnding;  // empty: no debugger line
  };
  const Case cases[] = {
      {L"test_selfreg_install.dll", L"-register", kInstall, L""},
      {L"test_selfreg_install.dll", L"-unregister", kUninstall, L""},
      {L"test_selfreg_install.dll", L"-register -unregister", kUninstall, L""},
      {L"test_selfreg_install_fails.dll", L"-register", Joined(kInstall, {L"VxDllRegisterServerW"}), L""},
      {L"test_selfreg_install_fails.dll", L"-unregister", Joined(kUninstall, {L"VxDllUnRegisterServerW"}), L""},
      {L"test_selfreg_install_user.dll", L"-register", kInstall, L""},
      {L"test_selfreg_install_user.dll", L"-unregister", kUninstall, L""},
      {L"test_selfreg_server.dll", L"/register", {L"VxDllRegisterServerW"}, L""},
      {L"test_selfreg_server.dll", L"-register -unregister", {L"VxDllUnRegisterServerW"}, L""},
      {L"test_selfreg_server_fails.dll", L"-register", {L"VxDllRegisterServerW"}, L"registering failed"},
      {L"test_selfreg_server_fails.dll", L"-unregister", {L"VxDllUnRegisterServerW"}, L""},
      {L"test_selfreg_none.dll", L"-register", {}, L"unable to find register entry point"},
      {L"test_selfreg_none.dll", L"-unregister", {}, L""},
      {L"", L"-register", {}, L"unable to load module"},
      {L"", L"-unregister", {}, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(std::wstring(c.testModule) + L" " + c.arguments));
    Installation installation;
    if (*c.testModule != L'\0') installation.CopyModule(c.testModule, L"Bin\\vmselfreg.dll");
    installation.WriteSettings("[\\SelfRegModules]\nvmselfreg.dll\n");
    const RegistrationRun run = RunRegistration(installation, c.arguments);
    EXPECT_EQ(run.record, Calls(installation, L"vmselfreg.dll", c.calls));
    EXPECT_EQ(run.debugText, *c.logEnding == L'\0' ? L"" : LogLine(L"vmselfreg.dll", c.logEnding));
  }
}

TEST(Registration, TheWholeListIsWorkedThroughInOrderWhateverFails) {
  Installation installation;
  installation.CopyModule(L"test_selfreg_none.dll", L"Bin\\vmfirst.dll");
  installation.CopyModule(L"test_selfreg_server_fails.dll", L"Bin\\x64\\vmsecond.dll");
  installation.CopyModule(L"test_selfreg_server.dll", L"Bin\\vmthird.dll");
  installation.WriteSettings(
      "[\\SelfRegModules]\n@=modules that register themselves\nvmfirst.dll=ignored\nvmmissing.dll\n"
      "x64\\vmsecond.dll=\nvmthird.dll=@=x\n");

  const RegistrationRun registering = RunRegistration(installation, L"-register");
  EXPECT_EQ(registering.record, Joined(Calls(installation, L"vmsecond.dll", {L"VxDllRegisterServerW"}),
                                       Calls(installation, L"vmthird.dll", {L"VxDllRegisterServerW"})));
  // Each failure is one line written in three pieces, the module named as listed.
  EXPECT_EQ(registering.result.debugOutput.size(), 9u);
  EXPECT_EQ(registering.debugText, LogLine(L"vmfirst.dll", L"unable to find register entry point") +
                                       LogLine(L"vmmissing.dll", L"unable to load module") +
                                       LogLine(L"x64\\vmsecond.dll", L"registering failed"));
}

TEST(Registration, WithoutASearchPathNoModuleIsFound) {
  Installation installation(L"no_template");
  installation.CopyModule(L"test_selfreg_install.dll", L"Bin\\vmselfreg.dll");
  installation.WriteSettings("[\\SelfRegModules]\nvmselfreg.dll\n");
  const RegistrationRun run = RunRegistration(installation, L"-register");
  EXPECT_TRUE(run.record.empty());
  EXPECT_EQ(run.debugText, LogLine(L"vmselfreg.dll", L"unable to load module"));
}

}  // namespace
}  // namespace velmora::testing
