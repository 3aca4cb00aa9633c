// Every change a start makes to files, folders and registry values goes through the platform-call
// table; these tests make the changes fail there, as a full disk, a denied write or a scanner
// holding a file would on Windows, and check what the next start makes of it.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <type_traits>

#include "common/paths.h"
#include "common/platform_calls.h"
#include "common/refusal_retry.h"
#include "common/unique_handle.h"
#include "environment/platform_choice.h"
#include "files/file_replace.h"
#include "userdata/provisioning.h"
#include "userdata/upgrade.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::TestBinaryFolder;
using testing::TestCompanyKey;
using testing::Utf8;
using testing::WriteBytes;

enum class Fault { kNone, kOnce, kFromHereOn, kRefusedThenAllowed, kRefusedForGood };

// Puts a hook in an entry of the platform-call table (inside Injector).
#define VX_HOOK(entry, registry) \
  calls.entry = Hook<decltype(calls.entry)>::Change<&PlatformCalls::entry, registry>

// Fails the changes of one start as planned, counting them from 1. Refusals are made only of file
// changes (they are what a scanner causes); a failed copy leaves half its destination behind, as
// CopyFileW may on a full disk.
class Injector {
 public:
  Injector(Fault fault, int at) : fault_(fault), at_(at), saved_(Platform()) {
    current_ = this;
    ResetRefusalPatience();
    PlatformCalls& calls = Platform();
    VX_HOOK(createDirectory, false);
    VX_HOOK(removeDirectory, false);
    VX_HOOK(moveFile, false);
    VX_HOOK(deleteFile, false);
    VX_HOOK(setFileAttributes, false);
    VX_HOOK(createFile, false);
    VX_HOOK(writeProfileString, false);
    VX_HOOK(regCreateKey, true);
    VX_HOOK(regSetValue, true);
    VX_HOOK(regDeleteValue, true);
    calls.copyFile = CopyFileFake;
    calls.sleep = SleepFake;
  }
  Injector(const Injector&) = delete;
  Injector& operator=(const Injector&) = delete;
  ~Injector() {
    Platform() = saved_;
    current_ = nullptr;
  }

  int Changes() const { return changes_; }
  int FileChanges() const { return fileChanges_; }
  DWORD PausedMs() const { return pausedMs_; }

 private:
  static bool RefusalsOnly() {
    return current_->fault_ == Fault::kRefusedThenAllowed || current_->fault_ == Fault::kRefusedForGood;
  }

  // The error the change fails with, or 0 when it goes ahead.
  static DWORD Verdict(bool registry) {
    Injector& self = *current_;
    if (!registry) ++self.fileChanges_;
    if (registry && RefusalsOnly()) return 0;
    const int number = ++self.changes_;
    if (number < self.at_) return 0;
    const DWORD failure = registry ? ERROR_ACCESS_DENIED : ERROR_DISK_FULL;
    switch (self.fault_) {
      case Fault::kNone:
        return 0;
      case Fault::kOnce:
        return number == self.at_ ? failure : 0;
      case Fault::kFromHereOn:
        return failure;
      case Fault::kRefusedThenAllowed:
        return self.refusals_++ < 3 ? ERROR_SHARING_VIOLATION : 0;
      case Fault::kRefusedForGood:
        return ERROR_SHARING_VIOLATION;
    }
    return 0;
  }

  template <class Result>
  static Result Failed(DWORD error) {
    ::SetLastError(error);
    if constexpr (std::is_same_v<Result, HANDLE>) {
      return INVALID_HANDLE_VALUE;
    } else if constexpr (std::is_same_v<Result, LSTATUS>) {
      return static_cast<LSTATUS>(error);
    } else {
      return FALSE;
    }
  }

  // A change through one entry of the table: failed as planned, else passed on to the platform.
  template <class Call>
  struct Hook;
  template <class Result, class... Arguments>
  struct Hook<Result(WINAPI*)(Arguments...)> {
    template <Result (WINAPI* PlatformCalls::*Entry)(Arguments...), bool Registry>
    static Result WINAPI Change(Arguments... arguments) {
      const DWORD error = Verdict(Registry);
      return error ? Failed<Result>(error) : (current_->saved_.*Entry)(arguments...);
    }
  };
  static BOOL WINAPI CopyFileFake(LPCWSTR source, LPCWSTR destination, BOOL failIfExists) {
    const DWORD error = Verdict(false);
    if (error == 0) return current_->saved_.copyFile(source, destination, failIfExists);
    if (error == ERROR_DISK_FULL && !(failIfExists && testing::FileExists(destination))) {
      const std::string content = ReadBytes(source);
      WriteBytes(destination, content.substr(0, content.size() / 2));
    }
    return Failed<BOOL>(error);
  }
  static void WINAPI SleepFake(DWORD milliseconds) { current_->pausedMs_ += milliseconds; }

  static inline Injector* current_ = nullptr;
  Fault fault_;
  int at_;
  PlatformCalls saved_;
  int changes_ = 0;
  int fileChanges_ = 0;
  int refusals_ = 0;
  DWORD pausedMs_ = 0;
};

#undef VX_HOOK

enum class Scenario { kFirstProvisioning, kReprovisioningOverEdits, kPackage, kReset };

using Tree = testing::FolderContents;

// An installation with default user data and a package, and the string table the upgrade
// question takes its texts from, shared by the beds of a test.
class Installation {
 public:
  Installation()
      : resources_(::LoadLibraryExW((TestBinaryFolder() + L"\\fatal_report_probe.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE)) {
    for (const wchar_t* folder : {L"Defaults", L"Defaults\\Config", L"Defaults\\Templates", L"Defaults\\Templates\\Sub",
                                  L"pkg", L"pkg\\Parts", L"pkg\\Parts\\Sub"}) {
      ::CreateDirectoryW((folder_ / folder).c_str(), nullptr);
    }
    Write(L"velmora.ini", "[\\UserData\\CopyToAppData]\r\nDefaults\r\n[\\Configuration]\r\nnPlat=sx64\r\n");
    Write(L"Defaults\\Config\\cfg.ini", "[\\Configuration]\r\nnUnits=s1\r\n");
    Write(L"Defaults\\Config\\a.cfg", "default settings a");
    Write(L"Defaults\\Templates\\t1.dwt", "template one, default");
    Write(L"Defaults\\Templates\\Sub\\t2.dwt", "template two, default");
    Write(L"pkg\\Furniture.package",
          "<?xml version=\"1.0\"?><ApplicationPackage><Components><ConfigEntry FileType=\"INI\" "
          "FileName=\"furniture.ini\"/></Components></ApplicationPackage>");
    Write(L"pkg\\furniture.ini", "[\\UserData\\CopyToAppData]\r\nParts=Library\r\n");
    Write(L"pkg\\Parts\\chair.blk", "chair block");
    Write(L"pkg\\Parts\\Sub\\table.blk", "table block");
  }

  const std::wstring& Folder() const { return folder_.Path(); }
  HINSTANCE Resources() const { return static_cast<HINSTANCE>(resources_.Get()); }

 private:
  void Write(const std::wstring& relative, const std::string& bytes) { WriteBytes(folder_ / relative, bytes); }

  TempFolder folder_;
  UniqueModule resources_;
};

// A user with a per-user folder and a product key, brought to the state the scenario starts from
// by uninterrupted starts.
class Bed {
 public:
  Bed(const Installation& installation, Scenario scenario) : installation_(installation), scenario_(scenario) {
    names_.perUserFolder = user_.Path();
    names_.userConfigFolder = user_ / L"Config";
    names_.userSettingsFile = user_ / L"Config\\cfg.ini";
    names_.productKey = company_.SubKey(L"Velmora\\1.0");
    names_.productTitle = L"Velmora 1.0";
    names_.starterFolder = installation.Folder();
    names_.translationFilePath = user_ / L"velmora.wld";
    if (scenario_ != Scenario::kFirstProvisioning) Start(false);
    PrepareUser();
  }

  // The per-user steps of a start, in the start-up sequence's order.
  void Start(bool withPackage) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, names_.productKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      const auto reset = [](const TASKDIALOGCONFIG&, int& button) {
        button = IDNO;
        return S_OK;
      };
      HandleUpgrade(key, names_, installation_.Resources(), reset);
      ::RegCloseKey(key);
    }
    const std::wstring settingsFile = installation_.Folder() + L"\\velmora.ini";
    switch (ReadUserDataState(names_)) {
      case UserDataState::kNeeded:
        ProvisionUserData(settingsFile, names_, false);
        break;
      case UserDataState::kRepairNeeded:
        RepairUserData(settingsFile, names_);
        break;
      case UserDataState::kProvisioned:
        break;
    }
    if (withPackage) ApplyPackageOption(installation_.Folder() + L"\\pkg\\Furniture.package", names_, false);
    RemoveLeftoverTemporary(names_.userSettingsFile);
    ChoosePlatform(settingsFile, names_.userSettingsFile, L"", L"", true);
  }
  void Start() { Start(scenario_ == Scenario::kPackage); }

  Tree Files() const { return testing::ListFolder(names_.perUserFolder); }

  std::wstring Value(const std::wstring& name) const {
    wchar_t text[600] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, names_.productKey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, text,
                       &size) != ERROR_SUCCESS) {
      return L"<none>";
    }
    return text;
  }
  // The values beside the records, the per-user folder in them written as "<user>".
  std::map<std::wstring, std::wstring> Records() const {
    std::map<std::wstring, std::wstring> values;
    for (const wchar_t* name : {L"UserDataDir", L"UserDataDirIncomplete", L"UserDataDir_Furniture",
                                L"UserDataDirIncomplete_Furniture", L"JustUpgraded"}) {
      std::wstring value = Value(name);
      if (value.starts_with(names_.perUserFolder)) value.replace(0, names_.perUserFolder.size(), L"<user>");
      values[name] = value;
    }
    return values;
  }

  // What the user had before the start under test, by relative path.
  const Tree& UsersOwn() const { return usersOwn_; }
  Scenario Kind() const { return scenario_; }

 private:
  void Own(const std::wstring& relative, const std::string& bytes) {
    WriteBytes(user_ / relative, bytes);
    usersOwn_[relative] = bytes;
  }

  void PrepareUser() {
    switch (scenario_) {
      case Scenario::kFirstProvisioning:
      case Scenario::kPackage:
        break;
      case Scenario::kReprovisioningOverEdits:
        Own(L"Config\\cfg.ini", ReadBytes(names_.userSettingsFile) + "nGrid=s5\r\n");
        Own(L"Templates\\t1.dwt", "template one, the user's");
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, names_.productKey.c_str(), L"UserDataDir");
        break;
      case Scenario::kReset:
        Own(L"Config\\a.cfg", "settings a, the user's");
        Own(L"Config\\mine.cfg", "the user's own settings");
        Own(L"Config\\settings.cfgx", "not a settings file of the reset");
        company_.SetValue(L"Velmora\\1.0", L"JustUpgraded", REG_SZ, L"", sizeof(wchar_t));
        break;
    }
  }

  const Installation& installation_;
  Scenario scenario_;
  TempFolder user_;
  TestCompanyKey company_;
  InstallationNames names_;
  Tree usersOwn_;
};

bool IsBackup(const std::wstring& path) {
  return path.ends_with(L".bak") || path.find(L"\\BackUpCfg") != std::wstring::npos;
}

// What a start after a failed one must leave, against what an uninterrupted start leaves.
void ExpectNothingLostNoHoleNoPartial(const Bed& bed, const Tree& uninterrupted, const std::string& label) {
  const Tree files = bed.Files();
  std::set<std::string> wholeContents{testing::kFolderEntry};
  for (const auto& [path, content] : uninterrupted) wholeContents.insert(content);
  for (const auto& [path, content] : bed.UsersOwn()) wholeContents.insert(content);
  for (const auto& [path, content] : files) {
    EXPECT_FALSE(IsTemporaryName(path)) << label << " left " << Utf8(path);
    EXPECT_TRUE(wholeContents.contains(content)) << label << " partial " << Utf8(path) << ": " << content;
  }
  for (const auto& [path, content] : uninterrupted) {
    if (IsBackup(path)) continue;
    const auto found = files.find(path);
    const auto own = bed.UsersOwn().find(path);
    const bool usersInItsPlace = own != bed.UsersOwn().end() && found != files.end() && found->second == own->second;
    EXPECT_TRUE(found != files.end() && (found->second == content || usersInItsPlace))
        << label << " hole at " << Utf8(path);
  }
  for (const auto& [path, content] : bed.UsersOwn()) {
    bool kept = false;
    for (const auto& [where, found] : files) {
      const bool backedUp =
          where.find(L"\\BackUpCfg") != std::wstring::npos && where.ends_with(L"\\" + FileNameOf(path));
      const bool sameName = where == path || where == path + L".bak" || backedUp;
      kept = kept || (sameName && found == content);
    }
    EXPECT_TRUE(kept) << label << " lost the user's " << Utf8(path);
  }
  const auto records = bed.Records();
  EXPECT_EQ(records.at(L"UserDataDirIncomplete"), L"<none>") << label;
  EXPECT_EQ(records.at(L"UserDataDirIncomplete_Furniture"), L"<none>") << label;
  EXPECT_NE(records.at(L"UserDataDir"), L"<none>") << label;
  EXPECT_EQ(records.at(L"JustUpgraded"), L"<none>") << label;
  if (bed.Kind() == Scenario::kPackage) {
    EXPECT_NE(records.at(L"UserDataDir_Furniture"), L"<none>") << label;
  }
}

struct Uninterrupted {
  Tree files;
  std::map<std::wstring, std::wstring> records;
  int changes = 0;
  int fileChanges = 0;
};

Uninterrupted RunUninterrupted(const Installation& installation, Scenario scenario) {
  Bed bed(installation, scenario);
  Uninterrupted result;
  {
    const Injector counting(Fault::kNone, 0);
    bed.Start();
    result.changes = counting.Changes();
    result.fileChanges = counting.FileChanges();
  }
  result.files = bed.Files();
  result.records = bed.Records();
  return result;
}

std::string Name(Scenario scenario) {
  const char* const names[] = {"first provisioning", "re-provisioning over edits", "package", "reset"};
  return names[static_cast<int>(scenario)];
}

const Scenario kScenarios[] = {Scenario::kFirstProvisioning, Scenario::kReprovisioningOverEdits, Scenario::kPackage,
                               Scenario::kReset};

// Each change failed once, in turn, and every change from each point on (a failed copy also leaving
// half its destination); then an uninterrupted start.
TEST(InjectedFailures, TheNextStartLosesNothingAndLeavesNoHoleNoPartialAndNoTemporaryFile) {
  const Installation installation;
  for (const Scenario scenario : kScenarios) {
    const Uninterrupted expected = RunUninterrupted(installation, scenario);
    ASSERT_GE(expected.changes, 5) << Name(scenario);
    for (const Fault fault : {Fault::kOnce, Fault::kFromHereOn}) {
      for (int at = 1; at <= expected.changes; ++at) {
        const std::string label = Name(scenario) + (fault == Fault::kOnce ? ", change " : ", from change ") +
                                  std::to_string(at) + " failed";
        Bed bed(installation, scenario);
        {
          const Injector failing(fault, at);
          bed.Start();
        }
        bed.Start();
        ExpectNothingLostNoHoleNoPartial(bed, expected.files, label);
      }
    }
  }
}

// A refusal that passes is waited out: the start ends as an uninterrupted one. One that outlasts
// the retries costs bounded pauses, and the next start makes up for it.
TEST(InjectedFailures, RefusalsThatPassChangeNothingAndRefusalsThatLastCostBoundedTime) {
  const Installation installation;
  for (const Scenario scenario : kScenarios) {
    const Uninterrupted expected = RunUninterrupted(installation, scenario);
    for (int at = 1; at <= expected.fileChanges; ++at) {
      const std::string label = Name(scenario) + ", refused at change " + std::to_string(at);
      Bed passing(installation, scenario);
      {
        const Injector refusing(Fault::kRefusedThenAllowed, at);
        passing.Start();
        EXPECT_GT(refusing.PausedMs(), 0u) << label;
      }
      EXPECT_EQ(passing.Files(), expected.files) << label;
      EXPECT_EQ(passing.Records(), expected.records) << label;

      Bed lasting(installation, scenario);
      {
        const Injector refusing(Fault::kRefusedForGood, at);
        lasting.Start();
        EXPECT_LE(refusing.PausedMs(), kStartRefusalPatienceMs) << label;
      }
      lasting.Start();
      ExpectNothingLostNoHoleNoPartial(lasting, expected.files, label + " for good");
    }
  }
}

}  // namespace
}  // namespace velmora
