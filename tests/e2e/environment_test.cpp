// The settings file, the module search path and the environment the application finds.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "common/paths.h"
#include "e2e/installation.h"

namespace velmora::testing {
namespace {

// Sets a variable of this test process, which the starter inherits, for the scope.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const std::optional<std::wstring>& value)
      : name_(name), previous_(EnvironmentValue(name)) {
    ::SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
  }
  ~ScopedVariable() { ::SetEnvironmentVariableW(name_, previous_ ? previous_->c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::optional<std::wstring> previous_;
};

// Without %5 in the search path the platform pass does not run, and the first pass shows alone.
constexpr char kSearchPathWithoutPlatform[] = "[Starter]\nPath=%2;%2\\lib\n";

std::wstring SearchPathOf(const Installation& installation) {
  return installation.Bin() + L";" + installation.Bin() + L"\\lib";
}

TEST(Environment, SearchPathGoesInFrontOfPathAndIntoTheTreeVariable) {
  Installation installation;
  installation.WriteSettings(kSearchPathWithoutPlatform);
  ScopedVariable path(L"PATH", L"C:\\windows\\system32;C:\\Tools %TEMP% 100%");
  ScopedVariable tree(L"VX_WI_DIR_TREE", std::nullopt);
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:env:PATH="),
            SearchPathOf(installation) + L";C:\\windows\\system32;C:\\Tools %TEMP% 100%");
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="), SearchPathOf(installation));
}

TEST(Environment, PathAlreadyHoldingTheSearchPathIsLeftAlone) {
  Installation installation;
  installation.WriteSettings(kSearchPathWithoutPlatform);
  const std::wstring inherited = L"C:\\first;" + SearchPathOf(installation) + L";C:\\last";
  ScopedVariable path(L"PATH", inherited);
  ScopedVariable tree(L"VX_WI_DIR_TREE", std::nullopt);
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:env:PATH="), inherited);
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="), L"<unset>");
  // The search path is still used for the main module.
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllNameW="), installation.Bin() + L"\\velmora.dll");
}

TEST(Environment, LongInheritedPathIsKeptWhole) {
  Installation installation;
  installation.WriteSettings(kSearchPathWithoutPlatform);
  std::wstring inherited = L"C:\\windows\\system32";
  while (inherited.size() < 20000) inherited += L";C:\\Some\\Rather\\Long\\Folder\\Name\\" + std::to_wstring(inherited.size());
  ScopedVariable path(L"PATH", inherited);
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:env:PATH="), SearchPathOf(installation) + L";" + inherited);
}

TEST(Environment, SettingsKeysShapeTheSearchPath) {
  struct Case {
    const char* settings;
    std::wstring expected;  // with {bin} for the installation's Bin folder
  };
  const Case cases[] = {
      {"[Starter]\nPathPrefix=C:\\pre\nPathSuffix=C:\\suf\n", L"C:\\pre;{bin};{bin}\\x64;C:\\suf"},
      {"[Starter]\nPathPrefix=C:\\pre\n", L"C:\\pre;{bin};{bin}\\x64"},
      {"[Starter]\nPathSuffix=C:\\suf\n", L"{bin};{bin}\\x64;C:\\suf"},
      {"[Starter]\nPath=%2\\x;%1\\y\nPathPrefix=C:\\pre\nPathSuffix=C:\\suf\n", L"{bin}\\x;{root}\\y"},
      // A %5 key cannot take the platform's place: the platform pass fills it in.
      {"[Starter]\nPath=%2\\%5;%4;%6%7%8\n%4=four\n%5=five\n%6=six\n%7=seven\n%8=eight\n",
       L"{bin}\\x64;four;sixseveneight"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    Installation installation;
    installation.WriteSettings(c.settings);
    ScopedVariable tree(L"VX_WI_DIR_TREE", std::nullopt);
    installation.Run();
    std::wstring expected = c.expected;
    for (const auto& [key, value] : {std::pair{L"{bin}", installation.Bin()}, std::pair{L"{root}", installation.Root()}}) {
      for (auto at = expected.find(key); at != std::wstring::npos; at = expected.find(key)) {
        expected.replace(at, std::wstring_view(key).size(), value);
      }
    }
    EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="), expected);
  }
}

TEST(Environment, QtPluginVariableOfTheParentIsRemoved) {
  Installation installation;
  ScopedVariable qt(L"QT_QPA_PLATFORM_PLUGIN_PATH", L"C:\\elsewhere\\plugins");
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:env:QT_QPA_PLATFORM_PLUGIN_PATH="), L"<unset>");
}

TEST(Environment, RunningNeverChangesTheSettingsFile) {
  Installation installation;
  const std::string settings = "[Starter]\r\nPathSuffix=C:\\suf\r\n\r\n[\\PreLoadedModules]\r\n@=none\r\n";
  installation.WriteSettings(settings);
  installation.Run(L"-profiler a.dwg");
  installation.Run(L"-register");
  EXPECT_EQ(installation.ReadText(L"Bin\\velmora.ini"), settings + kPlatformSettings);
}

TEST(Environment, NamedSettingsFileIsUsedOnlyWhenItHoldsSomething) {
  Installation installation(L"named_settings");
  installation.WriteText(L"Bin\\custom.ini", std::string("[Starter]\nPathSuffix=C:\\custom\n") + kPlatformSettings);
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:commandLine="),
            L" /_VxIniFileName_:\"" + installation.Bin() + L"\\custom.ini\"");

  installation.WriteText(L"Bin\\custom.ini", "");
  installation.WriteText(L"record.txt", "");
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:commandLine="),
            L" /_VxIniFileName_:\"" + installation.Bin() + L"\\velmora.ini\"");
}

TEST(Environment, WithoutATemplateNoSearchPathIsBuilt) {
  Installation installation(L"no_template");
  installation.WriteSettings("[Starter]\nPath=C:\\ignored\n");
  ScopedVariable path(L"PATH", L"C:\\windows\\system32;C:\\windows");
  ScopedVariable tree(L"VX_WI_DIR_TREE", std::nullopt);
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:env:PATH="), L"C:\\windows\\system32;C:\\windows");
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="), L"<unset>");
  // The modules beside the starter are still found by the platform's own search.
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllNameW="), L"velmora.dll");
  EXPECT_TRUE(installation.Recorded(L"main:loaded"));
}

TEST(Environment, BuiltInNamesAndTemplateFindTheModulesWhereTheySay) {
  Installation installation(L"explicit");
  installation.RemoveFile(L"Bin\\oeminfo.dll");
  installation.RemoveFile(L"Bin\\velmora.dll");
  installation.CopyModule(L"test_identity.dll", L"Shared\\identity.dll");
  installation.CopyModule(L"test_main.dll", L"Bin\\lib\\app.dll");
  installation.WriteText(L"Shared\\identity.ini",
                         "[Identity]\nCompany=" + Utf8(installation.Company()) + "\nVersion=0x00020019\n");
  // %4 to %8 hold at most 31 characters each.
  installation.WriteSettings("[Starter]\n%4=C:\\Four\n%6=Shared\n");
  installation.Run();
  EXPECT_EQ(installation.RecordedValue(L"main:GetMainDllNameW="), installation.Bin() + L"\\lib\\app.dll");
  EXPECT_EQ(installation.RecordedValue(L"main:env:VX_WI_DIR_TREE="),
            installation.Bin() + L"\\lib;C:\\Four;" + installation.Root() + L"\\Shared");
}

}  // namespace
}  // namespace velmora::testing
