// Loading the main module, what it receives, the starter's exports, pre-loading, the crash-report
// hook, and the reports that end a start.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/installation.h"

namespace velmora::testing {
namespace {

constexpr char kReinstallLine[] = ".\r\nReinstall application to fix this problem.\r\n";

void ExpectFatalReport(const Installation& installation, const ChildResult& result, const std::string& message) {
  EXPECT_EQ(result.exitCode, 255u);
  EXPECT_EQ(result.output, "Error: " + message + kReinstallLine);
  ASSERT_EQ(result.boxes.size(), 1u);
  EXPECT_EQ(result.boxes[0].caption, installation.Starter());
  // No teardown after a fatal report.
  EXPECT_FALSE(installation.Recorded(L"identity:Close"));
}

TEST(HandOff, MainModuleReceivesTheMarkerCommandLineAndTheStartersAnswers) {
  Installation installation;
  installation.Run();
  const std::wstring settings = installation.Bin() + L"\\velmora.ini";
  EXPECT_EQ(installation.RecordedValue(L"main:commandLine="), L" /_VxIniFileName_:\"" + settings + L"\"");
  EXPECT_EQ(installation.RecordedValue(L"main:showCommand="), L"10");
  EXPECT_EQ(installation.RecordedValue(L"main:previous="), L"null");
  EXPECT_EQ(installation.RecordedValue(L"main:instance="), L"self");
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllNameW="), installation.Bin() + L"\\velmora.dll");
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllInstance="), L"self");
}

TEST(HandOff, ArgumentsReachTheApplicationRequotedBeforeTheMarker) {
  Installation installation;
  installation.Run(L"a.dwg -p \"My Profile\" \"\"");
  EXPECT_EQ(installation.RecordedValue(L"main:commandLine="),
            L"\"a.dwg\" \"-p\" \"My Profile\" \"\"  /_VxIniFileName_:\"" + installation.Bin() + L"\\velmora.ini\"");
}

TEST(HandOff, StartScreenThreadIdIsHandedOverBeforeRunAppWOnTheMainThread) {
  Installation installation;
  installation.Run();
  const auto record = installation.Record();
  const auto setThread = std::find_if(record.begin(), record.end(), [](const std::wstring& line) {
    return line.starts_with(L"main:SetStartScreenThreadId=");
  });
  const auto runApp = std::find_if(record.begin(), record.end(), [](const std::wstring& line) {
    return line.starts_with(L"main:RunAppW");
  });
  ASSERT_NE(setThread, record.end());
  ASSERT_NE(runApp, record.end());
  EXPECT_LT(setThread, runApp);
  // No start screen yet: the identifier is 0, given on the thread that then runs the application.
  const std::wstring thread = runApp->substr(runApp->find(L"thread="));
  EXPECT_EQ(*setThread, L"main:SetStartScreenThreadId=0 " + thread);
}

TEST(HandOff, MainModuleWithoutSetStartScreenThreadIdStillRuns) {
  Installation installation;
  installation.CopyModule(L"test_main_nothreadid.dll", L"Bin\\velmora.dll");
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=3\n");
  EXPECT_EQ(installation.Run().exitCode, 3u);
}

TEST(HandOff, MainModuleOffTheSearchPathIsLoadedByItsBareName) {
  Installation installation;
  installation.WriteSettings("[Starter]\nPath=%2\\lib\n");
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllNameW="), L"velmora.dll");
  EXPECT_TRUE(installation.Recorded(L"main:loaded"));
}

TEST(HandOff, MissingMainModuleEndsWithMessageNine) {
  Installation installation;
  installation.RemoveFile(L"Bin\\velmora.dll");
  ExpectFatalReport(installation, installation.Run(), "Some of application components are missing or corrupted");
}

TEST(HandOff, MainModuleWithoutRunAppWEndsWithMessageTen) {
  Installation installation;
  installation.CopyModule(L"test_main_norunapp.dll", L"Bin\\velmora.dll");
  ExpectFatalReport(installation, installation.Run(), "Main application component is corrupted");
}

TEST(HandOff, AnUnusableIdentityModuleEndsWithMessageNine) {
  struct Case {
    const char* name;
    const wchar_t* module;  // copied as oeminfo.dll; null: none at all
    const char* identityIni;
  };
  for (const Case& c : {Case{"missing", nullptr, ""},
                        Case{"no factory", L"test_identity_nofactory.dll", ""},
                        Case{"null object", L"test_identity.dll", "[Identity]\nNullObject=1\n"}}) {
    SCOPED_TRACE(c.name);
    Installation installation;
    installation.RemoveFile(L"Bin\\oeminfo.dll");
    if (c.module != nullptr) installation.CopyModule(c.module, L"Bin\\oeminfo.dll");
    installation.SetIdentity(c.identityIni);
    ExpectFatalReport(installation, installation.Run(), "Some of application components are missing or corrupted");
    EXPECT_FALSE(installation.Recorded(L"main:loaded"));
  }
}

TEST(HandOff, ModulesOfThePreloadListFoundAlongTheSearchPathLoadFirst) {
  Installation installation;
  installation.CopyModule(L"test_plain.dll", L"Bin\\first.dll");
  installation.CopyModule(L"test_plain.dll", L"Bin\\second.dll");
  installation.CopyModule(L"test_plain.dll", L"Bin\\elsewhere\\away.dll");
  installation.WriteSettings(
      "[\\PreLoadedModules]\n@=second.dll\nsecond.dll=ignored value\nmissing.dll\naway.dll\nfirst.dll\n");
  installation.Run();
  const std::wstring mainName = installation.Bin() + L"\\velmora.dll";
  const std::vector<std::wstring> expected = {
      L"plain:loaded second.dll mainInstance=null mainName=" + mainName,
      L"plain:loaded first.dll mainInstance=null mainName=" + mainName, L"main:loaded"};
  std::vector<std::wstring> loads;
  for (const auto& line : installation.Record()) {
    if (line.starts_with(L"plain:") || line == L"main:loaded") loads.push_back(line);
  }
  EXPECT_EQ(loads, expected);
}

TEST(HandOff, CrashReportHandlersAreInstalledOnTheMainThreadAroundTheApplication) {
  Installation installation;
  installation.CopyModule(L"test_crash.dll", L"Bin\\DiDevovEzovid.dll");
  installation.Run();
  std::vector<std::wstring> order;
  for (const auto& line : installation.Record()) {
    if (line.starts_with(L"crash:") || line.starts_with(L"main:RunAppW")) order.push_back(line);
  }
  ASSERT_EQ(order.size(), 5u);
  const std::wstring thread = order[3].substr(order[3].find(L"thread="));
  EXPECT_EQ(order[0], L"crash:loaded");
  EXPECT_EQ(order[1], L"crash:SetProcessHandlers " + thread);
  EXPECT_EQ(order[2], L"crash:SetThreadHandlers " + thread);
  EXPECT_EQ(order[4], L"crash:unloaded");
}

TEST(HandOff, CrashReportModuleWithoutProcessHandlersInstallsNothing) {
  Installation installation;
  installation.CopyModule(L"test_crash_noprocess.dll", L"Bin\\DiDevovEzovid.dll");
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=5\n");
  EXPECT_EQ(installation.Run().exitCode, 5u);
  EXPECT_EQ(installation.RecordedValue(L"crash:SetThreadHandlers"), L"<none>");
  EXPECT_TRUE(installation.Recorded(L"crash:unloaded"));
}

TEST(HandOff, AModulePlantedInTheCurrentFolderIsNeverLoaded) {
  // A drawing opened from its folder starts the starter there; a DLL beside the drawing that the
  // installation does not ship must not be picked up. Under Wine this holds only if the starter
  // tells Wine's loader apart and names its own folder; the empty text Windows gets is not run here.
  Installation installation;
  installation.CopyModule(L"test_crash.dll", L"Drawings\\DiDevovEzovid.dll");
  installation.WriteText(L"Drawings\\plan.dwg", "drawing");
  installation.WriteText(L"Bin\\main.ini", "[Main]\nExitCode=4\n");
  EXPECT_EQ(installation.Run(L"plan.dwg", installation.Root() + L"\\Drawings").exitCode, 4u);
  EXPECT_FALSE(installation.Recorded(L"crash:loaded"));
}

}  // namespace
}  // namespace velmora::testing
