#include "launcher/startup.h"

#include <optional>

#include "common/registry.h"
#include "environment/platform_directories.h"
#include "environment/process_environment.h"
#include "launcher/builtin_strings.h"
#include "launcher/command_line.h"
#include "launcher/fatal_error.h"
#include "launcher/main_module.h"
#include "launcher/product_identity.h"
#include "registration/module_registration.h"
#include "startscreen/start_screen.h"
#include "userdata/installation.h"
#include "userdata/per_user_lock.h"
#include "userdata/platform_choice.h"
#include "userdata/provisioning.h"

namespace velmora {
namespace {

constexpr int kRegistrationExitCode = 0;

std::wstring TextOrEmpty(const wchar_t* text) { return text ? text : L""; }

ProductFacts AskProductFacts(const ProductIdentity& identity) {
  ProductFacts facts;
  facts.productTitle = identity.ProductTitle();
  facts.companyName = TextOrEmpty(identity.CompanyName());
  facts.productName = TextOrEmpty(identity.ProductName());
  const ProductVersion version = identity.Version();
  facts.major = version.major;
  facts.minor = version.minor;
  return facts;
}

StartScreenInfo DescribeStartScreen(const ProductIdentity& identity, const InstallationNames& names,
                                    const Options& options) {
  StartScreenInfo info;
  info.commonDataDir = names.allUsersFolder;
  info.userFolder = names.perUserFolder;
  info.productTitle = identity.ProductTitle();
  info.ddeAppName = options.a.empty() ? info.productTitle : options.a;
  info.userName = TextOrEmpty(identity.UserInfoName());
  info.companyName = TextOrEmpty(identity.UserInfoCompany());
  info.profileName = !options.p.empty() ? options.p : !options.r.empty() ? options.r : L"<<Default>>";
  info.versionText = identity.VersionText();
  if (const UniqueRegistryKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, names.productKey, kReadAccess)) {
    info.installerBuild = ReadRegistryText(key.Get(), L"InstallerBuild").value_or(std::wstring());
  }
  return info;
}

// The upgrade question, provisioning, the package and the start screen's workspace change the
// user's folders and product key; two starts at once must not interleave them. Gives the start
// screen's thread identifier, 0 when none was started.
std::uint32_t PreparePerUserState(const ProductIdentity& identity, const std::wstring& settingsFile,
                                  const InstallationNames& names, const Options& options, bool unregistering) {
  const PerUserLock lock(names.perUserFolder);
  if (!lock.Held()) return 0;
  const bool provisioningNeeded = !unregistering && ReadProvisioningNeeded(names, false);
  const std::uint32_t startScreenThreadId =
      unregistering ? 0 : LaunchStartScreen(DescribeStartScreen(identity, names, options));
  if (provisioningNeeded || unregistering) ProvisionUserData(settingsFile, names, unregistering);
  ApplyPackageOption(options.g, names, unregistering);
  return startScreenThreadId;
}

}  // namespace

int RunStarter(HINSTANCE starter, int showCommand) {
  std::optional<std::wstring> commandLineText = BuildCommandLineText();
  if (!commandLineText) {
    ReportFatalError(FatalMessage::kCorruptMainModule);
    return kFatalExitCode;
  }

  PreparedEnvironment environment = PrepareEnvironment(starter, kBuiltinStrings);

  const Switches switches = DetectSwitches(*commandLineText);
  ApplyImmediateSwitches(switches);

  // Every name the installation keeps state under comes from the identity module; without it the
  // start cannot go on. Dropping it at the end of the start is the teardown: the object is closed
  // and released and its module unloaded. The main and pre-loaded modules stay loaded.
  const std::optional<ProductIdentity> identity = ProductIdentity::Load(environment.identityModulePath);
  if (!identity) {
    ReportFatalError(FatalMessage::kMissingComponents);
    return kFatalExitCode;
  }

  const InstallationNames names =
      DeriveInstallationNames(AskProductFacts(*identity), environment.moduleSearchPath, environment.mainModuleName);
  SetMainModulePath(names.mainModulePath);

  const Options options = ParseOptions(*commandLineText);

  if (switches.registerModules) {
    RegisterModules(environment.settingsFile, environment.moduleSearchPath, switches.unregisterModules);
    return kRegistrationExitCode;
  }

  const std::uint32_t startScreenThreadId =
      PreparePerUserState(*identity, environment.settingsFile, names, options, switches.unregisterModules);

  if (switches.unregisterModules) {
    RegisterModules(environment.settingsFile, environment.moduleSearchPath, true);
    return kRegistrationExitCode;
  }

  if (UsesPlatformPlaceholder(environment.moduleSearchPath)) {
    const auto platform = ChoosePlatform(environment.settingsFile, names.userSettingsFile, options.b, options.r);
    if (!platform || !ResolvePlatformDirectories(environment.settingsFile, *platform, names.userSettingsFile,
                                                 environment.moduleSearchPath)) {
      ReportFatalError(FatalMessage::kNoPlatform);
      return kFatalExitCode;
    }
  }

  PreloadModules(environment.settingsFile, environment.moduleSearchPath);

  return HandOff({std::move(*commandLineText), environment.settingsFile, startScreenThreadId, showCommand});
}

}  // namespace velmora
