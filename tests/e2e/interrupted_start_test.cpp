// Starts ended abruptly inside their slowest step (as Task Manager, a log-off or a power cut ends
// them), each followed by one complete start: the user's content survives, and the per-user folder
// and the product's registry key end exactly as after one uninterrupted start.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "e2e/installation.h"
#include "files/tree_copy.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

// A default file large enough that copying it takes a measurable while under Wine.
constexpr std::size_t kLargeFileBytes = 24u << 20;
constexpr int kManyFiles = 100;
constexpr double kEndPoints[] = {0.0, 0.15, 0.35, 0.6};

// Relative path to content (a digest for large files), and "<folder>" for folders; registry
// values under "key|name".
using Snapshot = std::map<std::wstring, std::string>;

std::string Digest(const std::string& bytes) {
  if (bytes.size() < 64) return bytes;
  return std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
}

void AddFolder(const std::wstring& root, Snapshot& snapshot) {
  for (const auto& [path, content] : ListFolder(root)) {
    snapshot[L"\\" + path] = content == kFolderEntry ? content : Digest(content);
  }
}

void AddKey(HKEY parent, const std::wstring& path, Snapshot& snapshot) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD nameLength = 256;
    BYTE data[1024] = {};
    DWORD size = sizeof(data);
    if (::RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
    snapshot[path + L"|" + name] = std::string(reinterpret_cast<const char*>(data), size);
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD nameLength = 256;
    if (::RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    AddKey(parent, path + L"\\" + name, snapshot);
  }
  ::RegCloseKey(key);
}

// The entries where two snapshots differ, one a line; empty when they are equal.
std::string Differences(const Snapshot& found, const Snapshot& expected) {
  std::string lines;
  const auto describe = [](const Snapshot& snapshot, const std::wstring& name) {
    const auto entry = snapshot.find(name);
    return entry == snapshot.end() ? std::string("<missing>") : "\"" + entry->second + "\"";
  };
  Snapshot names = found;
  names.insert(expected.begin(), expected.end());
  for (const auto& [name, unused] : names) {
    if (describe(found, name) != describe(expected, name)) {
      lines += Utf8(name) + ": " + describe(found, name) + ", expected " + describe(expected, name) + "\n";
    }
  }
  return lines;
}

bool HoldsTemporaryName(const Snapshot& snapshot) {
  for (const auto& [name, content] : snapshot) {
    if (name.ends_with(L".vxtmp")) return true;
  }
  return false;
}

// One way a start changes the user's folders, and how to tell that its slow step has begun.
struct Scenario {
  std::function<void()> prepare;
  std::function<bool()> begun;
  std::wstring arguments;
  int answer = IDOK;
};

class InterruptedStart : public ::testing::Test {
 protected:
  Snapshot Take() const {
    Snapshot snapshot;
    AddFolder(user, snapshot);
    AddKey(HKEY_CURRENT_USER, L"SOFTWARE\\" + installation.Company(), snapshot);
    return snapshot;
  }

  void Reset() const {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"SOFTWARE\\" + installation.Company()).c_str());
    RemoveTree(RoamingAppData() + L"\\" + installation.Company());
  }

  bool CompleteStart(const Scenario& scenario) const {
    return installation.RunAndEnd(scenario.arguments, [] { return true; }, kNoEnd, scenario.answer).begun;
  }

  // An uninterrupted start gives the expected result and how long it runs once the slow step has
  // begun; then each start ended at a point spread over that time (the step fills most of it) is
  // followed by one complete start.
  void ExpectEachInterruptedStartFinished(const Scenario& scenario) {
    Reset();
    scenario.prepare();
    const EndedChild reference = installation.RunAndEnd(scenario.arguments, scenario.begun, kNoEnd, scenario.answer);
    ASSERT_TRUE(reference.begun) << "the step under test never began";
    ASSERT_FALSE(reference.ended);
    const Snapshot expected = Take();
    ASSERT_FALSE(HoldsTemporaryName(expected));

    int endedInside = 0;
    for (const double point : kEndPoints) {
      const auto delayMs = static_cast<unsigned long>(point * reference.stepMs);
      SCOPED_TRACE("ended " + std::to_string(delayMs) + " ms into a step of " + std::to_string(reference.stepMs));
      Reset();
      scenario.prepare();
      const EndedChild cut = installation.RunAndEnd(scenario.arguments, scenario.begun, delayMs, scenario.answer);
      ASSERT_TRUE(cut.begun);
      if (cut.ended && Take() != expected) ++endedInside;
      ASSERT_TRUE(CompleteStart(scenario));
      EXPECT_EQ(Differences(Take(), expected), "");
    }
    // Had every start ended before or after the step, the test would have shown nothing.
    EXPECT_GE(endedInside, 2);
  }

  Installation installation;
  const std::wstring user = installation.PerUserFolder();
};

// Default user data: the user settings file, a large template and many small blocks.
void AddDefaultUserData(const Installation& installation) {
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\nTemplates=Drawing\\Templates\n");
  installation.WriteText(L"Bin\\UserData\\Config\\cfg.ini", "[Options]\nGrid=1\n");
  installation.WriteText(L"Bin\\Templates\\large.dwt", std::string(kLargeFileBytes, 'd'));
  for (int i = 0; i < kManyFiles; ++i) {
    installation.WriteText(L"Bin\\Templates\\Blocks\\block" + std::to_wstring(i) + L".blk", "block");
  }
}

TEST_F(InterruptedStart, FirstProvisioningIsFinishedByTheNextStart) {
  AddDefaultUserData(installation);
  ExpectEachInterruptedStartFinished({[] {}, [this] { return FileExists(user + L"\\Config"); }, L""});
}

TEST_F(InterruptedStart, ReprovisioningKeepsEveryEditOfTheUser) {
  AddDefaultUserData(installation);
  const std::wstring large = user + L"\\Drawing\\Templates\\large.dwt";
  const auto prepare = [&] {
    installation.Run();
    WriteBytes(large, "the user's own template");
    WriteBytes(user + L"\\Config\\cfg.ini", "[Options]\nGrid=0\n");
    installation.ForgetProvisioning();
  };
  const auto begun = [&] { return FileExists(large + L".vxtmp") || FileExists(large + L".bak"); };
  ExpectEachInterruptedStartFinished({prepare, begun, L""});
  EXPECT_EQ(ReadBytes(large + L".bak"), "the user's own template");
  EXPECT_EQ(ReadBytes(user + L"\\Config\\cfg.ini.bak"), "[Options]\nGrid=0\n");
}

TEST_F(InterruptedStart, PackageIsFinishedByTheNextStart) {
  installation.WriteText(L"Packages\\Furniture\\furniture.package",
                         "<ApplicationPackage><Components><ConfigEntry FileType=\"INI\" FileName=\"furniture.ini\"/>"
                         "</Components></ApplicationPackage>");
  installation.WriteText(L"Packages\\Furniture\\furniture.ini", "[\\UserData\\CopyToAppData]\nBlocks=Library\n");
  installation.WriteText(L"Packages\\Furniture\\Blocks\\large.blk", std::string(kLargeFileBytes, 'p'));
  for (int i = 0; i < kManyFiles; ++i) {
    installation.WriteText(L"Packages\\Furniture\\Blocks\\chair" + std::to_wstring(i) + L".blk", "chair");
  }
  const std::wstring package = installation.Root() + L"\\Packages\\Furniture\\furniture.package";
  ExpectEachInterruptedStartFinished(
      {[] {}, [this] { return FileExists(user + L"\\furniture\\Library"); }, L"-g \"" + package + L"\""});
}

TEST_F(InterruptedStart, UpgradeResetIsFinishedByTheNextStart) {
  installation.WriteSettings("[\\UserData\\CopyToAppData]\nUserData\n");
  installation.WriteText(L"Bin\\UserData\\Config\\default.cfg", "default");
  const std::wstring key = L"SOFTWARE\\" + installation.Company() + L"\\Velmora\\25.2";
  const auto prepare = [&] {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"JustUpgraded", REG_SZ, L"1", 4);
    CreateFolderWithParents(user + L"\\Config");
    WriteBytes(user + L"\\Config\\cfg.ini", "[Options]\n");
    for (int i = 0; i < kManyFiles; ++i) {
      WriteBytes(user + L"\\Config\\tool" + std::to_wstring(i) + L".cfg", "tool " + std::to_string(i));
    }
  };
  const auto begun = [&] {
    WIN32_FIND_DATAW entry{};
    const HANDLE find = ::FindFirstFileW((user + L"\\Config\\BackUpCfg*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    return true;
  };
  ExpectEachInterruptedStartFinished({prepare, begun, L"", IDNO});
  EXPECT_EQ(ReadBytes(user + L"\\Config\\BackUpCfg01\\tool7.cfg"), "tool 7");
}

}  // namespace
}  // namespace velmora::testing
