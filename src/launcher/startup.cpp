#include "launcher/startup.h"

#include <optional>
#include <variant>

#include "common/registry.h"
#include "common/trace.h"
#include "environment/display_check.h"
#include "environment/platform_choice.h"
#include "environment/platform_directories.h"
#include "environment/process_environment.h"
#include "files/file_replace.h"
#include "launcher/builtin_strings.h"
#include "launcher/command_line.h"
#include "launcher/fatal_error.h"
#include "launcher/main_module.h"
#include "launcher/product_identity.h"
#include "registration/module_registration.h"
#include "startscreen/start_screen.h"
#include "userdata/installation.h"
#include "userdata/per_user_lock.h"
#include "userdata/provisioning.h"
#include "userdata/upgrade.h"

namespace velmora {
namespace {

constexpr int kRegistrationExitCode = 0;

// What the steps every mode shares hand to the steps of its own.
struct Start {
  const std::wstring& starterPath;
  const ProductIdentity& identity;
  PreparedEnvironment environment;
  std::wstring commandLineText;
  InstallationNames names;
  Options options;
};

std::wstring TextOrEmpty(const wchar_t* text) { return text ? text : L""; }

const wchar_t* DescribeUserDataState(UserDataState state) {
  switch (state) {
    case UserDataState::kNeeded:
      return L"provisioning needed";
    case UserDataState::kRepairNeeded:
      return L"repair needed";
    case UserDataState::kProvisioned:
      break;
  }
  return L"provisioned before";
}

// Provisioning when the per-user folder needs it, the repair walk when files of it are missing.
std::wstring BringUserDataInLine(const std::wstring& settingsFile, const InstallationNames& names,
                                 UserDataState state) {
  switch (state) {
    case UserDataState::kNeeded:
      return DescribeUserDataOutcome(ProvisionUserData(settingsFile, names, false));
    case UserDataState::kRepairNeeded:
      return std::wstring(L"repair ") + DescribeUserDataOutcome(RepairUserData(settingsFile, names));
    case UserDataState::kProvisioned:
      break;
  }
  return L"skipped";
}

void TracePackageStep(const Options& options) { TraceStep(L"package", options.g.empty() ? L"none" : options.g); }

// The product key's facts, asked in the provider's order: the version, the product name, the
// company name.
ProductFacts AskProductKeyFacts(const ProductIdentity& identity) {
  ProductFacts facts;
  const ProductVersion version = identity.Version();
  facts.productName = TextOrEmpty(identity.ProductName());
  facts.companyName = TextOrEmpty(identity.CompanyName());
  facts.major = version.major;
  facts.minor = version.minor;
  return facts;
}

// The provider keeps the answers, the starter does not: it is asked for the company name once for
// each folder and again for the product key.
InstallationNames DeriveInstallationNames(const ProductIdentity& identity, const std::wstring& productTitle,
                                          const PreparedEnvironment& environment, const std::wstring& starterPath) {
  InstallationNames names;
  names.productTitle = productTitle;
  names.perUserFolder = PerUserFolderOf(TextOrEmpty(identity.CompanyName()), productTitle);
  names.allUsersFolder = AllUsersFolderOf(TextOrEmpty(identity.CompanyName()), productTitle);
  names.productKey = ProductKeyOf(AskProductKeyFacts(identity));
  DeriveFileNames(environment.moduleSearchPath, environment.mainModuleName, starterPath, names);
  return names;
}

StartScreenInfo DescribeStartScreen(const Start& start) {
  StartScreenInfo info;
  info.commonDataDir = start.names.allUsersFolder;
  info.userFolder = start.names.perUserFolder;
  info.productTitle = start.names.productTitle;
  info.ddeAppName = start.options.a.empty() ? info.productTitle : start.options.a;
  info.userName = TextOrEmpty(start.identity.UserInfoName());
  info.companyName = TextOrEmpty(start.identity.UserInfoCompany());
  info.profileName = !start.options.p.empty()   ? start.options.p
                     : !start.options.r.empty() ? start.options.r
                                                : L"<<Default>>";
  info.versionText = start.identity.VersionText();
  if (const UniqueRegistryKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, start.names.productKey, kReadAccess)) {
    info.installerBuild = ReadRegistryText(key.Get(), L"InstallerBuild").value_or(std::wstring());
  }
  return info;
}

RegistrationHost HostOf(const Start& start) { return {start.environment.moduleSearchPath, start.starterPath}; }

// The upgrade question, provisioning, the package and the start screen's workspace change the
// user's folders and product key. Gives the start screen's thread identifier, 0 when none was
// started.
std::uint32_t PreparePerUserState(const Start& start) {
  AskAboutUpgrade(start.names);
  TraceStep(L"upgrade question", L"done");
  const UserDataState userData = ReadUserDataState(start.names);
  TraceStep(L"registry state", DescribeUserDataState(userData));
  const std::uint32_t startScreenThreadId =
      LaunchStartScreen(DescribeStartScreen(start), start.names.starterFolder);
  TraceStep(L"start screen", startScreenThreadId != 0 ? L"launched" : L"not launched");
  TraceStep(L"provisioning", BringUserDataInLine(start.environment.settingsFile, start.names, userData));
  ApplyPackageOption(start.options.g, start.names, false);
  TracePackageStep(start.options);
  return startScreenThreadId;
}

// Under the same lock: the default user data and the package taken out again.
void RemovePerUserState(const Start& start) {
  const PerUserLock lock(start.names.perUserFolder);
  if (!lock.Held()) return;
  ProvisionUserData(start.environment.settingsFile, start.names, true);
  TraceStep(L"provisioning", L"removed");
  ApplyPackageOption(start.options.g, start.names, true);
  TracePackageStep(start.options);
}

// The platform's folders in place of %5; false when there is no usable platform or folder. The
// user settings file is written only under the per-user lock.
bool ResolvePlatform(Start& start, bool lockHeld) {
  if (!lockHeld) {
    TraceRefusal(L"platform choice in " + start.names.userSettingsFile,
                 L"the per-user lock was not had; the choice holds for this start only");
  }
  const auto platform = ChoosePlatform(start.environment.settingsFile, start.names.userSettingsFile,
                                       start.options.b, start.options.r, lockHeld);
  return platform && ResolvePlatformDirectories(start.environment.settingsFile, *platform,
                                                lockHeld ? start.names.userSettingsFile : std::wstring(),
                                                start.environment.moduleSearchPath);
}

int RunRegistration(const Start& start, bool unregistering) {
  RegisterModules(start.environment.settingsFile, HostOf(start), unregistering);
  TraceStep(unregistering ? L"unregistration" : L"registration", L"done");
  return kRegistrationExitCode;
}

int RunUnregistration(const Start& start) {
  RemovePerUserState(start);
  return RunRegistration(start, true);
}

// The per-user steps and the platform step, which may write the user settings file, hold one lock:
// two starts at once must not interleave their changes to the user's folders and product key, nor
// write that file together (a double-click on a new user's first start would), and a copy that a
// start ended while writing it left beside it goes before anyone writes it again. Gives the start
// screen's thread identifier (0 when none was started), or the failure when no platform is usable.
std::variant<std::uint32_t, StartFailure> PreparePerUserStateAndPlatform(Start& start) {
  const PerUserLock lock(start.names.perUserFolder);
  std::uint32_t startScreenThreadId = 0;
  if (lock.Held()) {
    startScreenThreadId = PreparePerUserState(start);
    RemoveLeftoverTemporary(start.names.userSettingsFile);
  }
  if (UsesPlatformPlaceholder(start.environment.moduleSearchPath)) {
    if (!ResolvePlatform(start, lock.Held())) return StartFailure{FailureReason::kNoPlatform};
    TraceStep(L"platform", L"folders in place");
  }
  return startScreenThreadId;
}

StartOutcome RunApplicationStart(Start& start, int showCommand) {
  const auto prepared = PreparePerUserStateAndPlatform(start);
  if (const StartFailure* failure = std::get_if<StartFailure>(&prepared)) return *failure;
  const std::uint32_t startScreenThreadId = std::get<std::uint32_t>(prepared);

  PreloadModules(start.environment.settingsFile, start.environment.moduleSearchPath);
  TraceStep(L"pre-loaded modules", L"done");

  return HandOff({start.names.mainModulePath, std::move(start.commandLineText), start.environment.settingsFile,
                  startScreenThreadId, showCommand});
}

// Only here does a failed start end the process, through its report.
int Conclude(const StartOutcome& outcome, const std::wstring& starterPath) {
  if (const StartFailure* failure = std::get_if<StartFailure>(&outcome)) {
    return ReportStartFailure(*failure, starterPath);
  }
  return std::get<int>(outcome);
}

}  // namespace

int RunStarter(HINSTANCE starter, const std::wstring& starterPath, int showCommand) {
  std::optional<std::wstring> commandLineText = BuildCommandLineText();
  if (!commandLineText) return Conclude(StartFailure{FailureReason::kNoCommandLine}, starterPath);
  TraceStep(L"command line", L"done");

  PreparedEnvironment environment = PrepareEnvironment(starter, starterPath, kBuiltinStrings);
  TraceStep(L"environment", L"settings file " + environment.settingsFile + L", search path " +
                                environment.moduleSearchPath);

  if (!DisplayDepthSupported(ScreenDepth())) {
    return Conclude(StartFailure{FailureReason::kUnsupportedDisplay}, starterPath);
  }
  TraceStep(L"display check", L"passed");

  const std::wstring identityModulePath =
      FindIdentityModule(environment.searchPath, kBuiltinStrings.identityModuleName);

  const Switches switches = DetectSwitches(*commandLineText);
  const RunMode mode = RunModeOf(switches);
  ApplyImmediateSwitches(switches);
  TraceStep(L"switches", L"done");

  // Every name the installation keeps state under comes from the identity module; without it the
  // start cannot go on. Dropping it at the end of the start is the teardown: the object is closed
  // and released and its module unloaded. The main and pre-loaded modules stay loaded.
  const std::optional<ProductIdentity> identity = ProductIdentity::Load(identityModulePath);
  if (!identity) {
    TraceStep(L"product identity", L"no identity object from " + identityModulePath);
    return Conclude(StartFailure{FailureReason::kNoIdentity}, starterPath);
  }
  const std::wstring productTitle = identity->ProductTitle();
  TraceStep(L"product identity", productTitle);

  InstallationNames names = DeriveInstallationNames(*identity, productTitle, environment, starterPath);
  PublishMainModulePath(names.mainModulePath);
  TraceStep(L"derived names", L"per-user folder " + names.perUserFolder + L", main module " + names.mainModulePath);

  Options options = ParseOptions(*commandLineText);

  Start start{starterPath,      *identity,         std::move(environment), std::move(*commandLineText),
              std::move(names), std::move(options)};
  switch (mode) {
    case RunMode::kRegistration:
      return RunRegistration(start, false);
    case RunMode::kReversedRegistration:
      return RunRegistration(start, true);
    case RunMode::kUnregistration:
      return RunUnregistration(start);
    case RunMode::kApplicationStart:
      break;
  }
  return Conclude(RunApplicationStart(start, showCommand), starterPath);
}

}  // namespace velmora
