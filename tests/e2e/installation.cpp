#include "e2e/installation.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <sstream>

#include "common/paths.h"
#include "files/tree_copy.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

std::wstring CurrentTestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return L"NoTest";
  return Wide(std::string(info->test_suite_name()) + "." + info->name());
}

std::wstring TemporaryFolder() {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return CutAtLastBackslash(folder);
}

}  // namespace

std::wstring RoamingAppData() {
  wchar_t folder[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return folder;
}

Installation::Installation(const std::wstring& variant)
    : company_(L"VelmoraE2E " + CurrentTestName()) {
  const std::wstring base = TemporaryFolder() + L"\\velmora-e2e";
  ::CreateDirectoryW(base.c_str(), nullptr);
  root_ = base + L"\\" + CurrentTestName();
  RemoveTree(root_);
  ::CreateDirectoryW(root_.c_str(), nullptr);
  bin_ = root_ + L"\\Bin";
  ::CreateDirectoryW(bin_.c_str(), nullptr);
  ::CreateDirectoryW((bin_ + L"\\x64").c_str(), nullptr);
  record_ = root_ + L"\\record.txt";
  ::SetEnvironmentVariableW(L"VELMORA_TEST_RECORD", record_.c_str());

  const std::wstring starter = TestBinaryFolder() + L"\\variants\\" + variant + L"\\velmora.exe";
  EXPECT_TRUE(::CopyFileW(starter.c_str(), Starter().c_str(), FALSE)) << Utf8(starter);
  CopyModule(L"test_identity.dll", L"Bin\\oeminfo.dll");
  CopyModule(L"test_main.dll", L"Bin\\velmora.dll");
  SetIdentity("[Identity]\nCompany=" + Utf8(company_) + "\nProduct=Velmora\nVersion=0x00020019\n");
  WriteSettings("[Starter]\n");
}

Installation::~Installation() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"SOFTWARE\\" + company_).c_str());
  RemoveTree(RoamingAppData() + L"\\" + company_);
  RemoveTree(CutAtLastBackslash(AllUsersFolder()));
  RemoveTree(root_);
}

void Installation::CopyModule(const std::wstring& testModule, const std::wstring& relativeTarget) const {
  const std::wstring source = TestBinaryFolder() + L"\\" + testModule;
  const std::wstring target = root_ + L"\\" + relativeTarget;
  CreateFolderWithParents(CutAtLastBackslash(target));
  EXPECT_TRUE(::CopyFileW(source.c_str(), target.c_str(), FALSE)) << Utf8(source);
}

void Installation::RemoveFile(const std::wstring& relativePath) const {
  EXPECT_TRUE(::DeleteFileW((root_ + L"\\" + relativePath).c_str())) << Utf8(relativePath);
}

void Installation::WriteText(const std::wstring& relativePath, const std::string& content) const {
  const std::wstring path = root_ + L"\\" + relativePath;
  CreateFolderWithParents(CutAtLastBackslash(path));
  EXPECT_TRUE(WriteBytes(path, content)) << Utf8(path);
}

std::string Installation::ReadText(const std::wstring& relativePath) const {
  return ReadBytes(root_ + L"\\" + relativePath);
}

ChildResult Installation::Run(const std::wstring& arguments, const std::wstring& workingFolder) const {
  std::wstring commandLine = L"\"" + Starter() + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  ChildResult result = RunChild(Starter(), commandLine, workingFolder.empty() ? bin_ : workingFolder);
  EXPECT_TRUE(result.started) << "the starter did not start";
  EXPECT_NE(result.exitCode, kTimedOutExitCode) << "the starter did not end in time";
  return result;
}

EndedChild Installation::RunAndEnd(const std::wstring& arguments, const std::function<bool()>& begun,
                                  unsigned long delayMs, int answer) const {
  std::wstring commandLine = L"\"" + Starter() + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  return RunChildAndEnd(Starter(), commandLine, bin_, begun, delayMs, answer);
}

std::vector<std::wstring> Installation::Record() const {
  std::vector<std::wstring> lines;
  std::istringstream content(ReadText(L"record.txt"));
  for (std::string line; std::getline(content, line);) lines.push_back(Wide(line));
  return lines;
}

bool Installation::Recorded(const std::wstring& line) const {
  for (const auto& recorded : Record()) {
    if (recorded == line) return true;
  }
  return false;
}

std::wstring Installation::RecordedValue(const std::wstring& prefix) const {
  for (const auto& recorded : Record()) {
    if (recorded.starts_with(prefix)) return recorded.substr(prefix.size());
  }
  return L"<none>";
}

std::wstring Installation::AwaitRecordedValue(const std::wstring& prefix) const {
  constexpr DWORD kPollMs = 20;
  constexpr DWORD kPatienceMs = 10000;
  for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
    if (const std::wstring value = RecordedValue(prefix); value != L"<none>") return value;
    ::Sleep(kPollMs);
  }
  return RecordedValue(prefix);
}

void Installation::ForgetProvisioning() const {
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, (L"SOFTWARE\\" + company_ + L"\\Velmora\\25.2").c_str(), L"UserDataDir");
}

std::wstring Installation::AllUsersFolder() const {
  wchar_t common[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
  return std::wstring(common) + L"\\" + company_ + L"\\Velmora 25.2";
}

std::wstring Installation::PerUserFolder(const std::wstring& productTitle) const {
  return RoamingAppData() + L"\\" + company_ + L"\\" + productTitle;
}

}  // namespace velmora::testing
