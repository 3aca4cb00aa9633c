#pragma once

#include <string>
#include <vector>

#include "support/child_process.h"

namespace velmora::testing {

// The installation's platform: x64, in Bin\x64. Every settings file written through
// WriteSettings ends with it.
inline constexpr char kPlatformSettings[] = "\n[\\Configuration]\nnPlat=sx64\n[\\Configuration\\nPlat\\x64]\nDir=sx64\n";

// A temporary installation of the real starter with recording test modules, used by one test.
// Each gets its own folder and its own company name, so per-user folders and registry keys never
// collide; all of it is removed again when the installation goes.
class Installation {
 public:
  // variant: the folder under tests/bin/variants holding the starter build to install.
  explicit Installation(const std::wstring& variant = L"standard");
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  ~Installation();

  const std::wstring& Root() const { return root_; }
  const std::wstring& Bin() const { return bin_; }
  std::wstring Starter() const { return bin_ + L"\\velmora.exe"; }
  const std::wstring& Company() const { return company_; }

  // Copies a test module from the test folder into the installation under a relative name.
  void CopyModule(const std::wstring& testModule, const std::wstring& relativeTarget) const;
  void RemoveFile(const std::wstring& relativePath) const;
  // Writes a text file (UTF-8 as given) at a path relative to the installation's root.
  void WriteText(const std::wstring& relativePath, const std::string& content) const;
  std::string ReadText(const std::wstring& relativePath) const;
  void WriteSettings(const std::string& content) const { WriteText(L"Bin\\velmora.ini", content + kPlatformSettings); }
  void SetIdentity(const std::string& identityIni) const { WriteText(L"Bin\\identity.ini", identityIni); }

  // Starts the installed starter with these arguments after its quoted path.
  ChildResult Run(const std::wstring& arguments = {}, const std::wstring& workingFolder = {}) const;

  // Starts the installed starter and ends it abruptly `delayMs` after `begun` holds (see
  // RunChildAndEnd); the arguments as for Run.
  EndedChild RunAndEnd(const std::wstring& arguments, const std::function<bool()>& begun, unsigned long delayMs,
                       int answer = 1) const;

  // The lines the test modules recorded during the runs so far.
  std::vector<std::wstring> Record() const;
  bool Recorded(const std::wstring& line) const;
  // The value of the first recorded line that starts with the prefix; "<none>" when there is none.
  std::wstring RecordedValue(const std::wstring& prefix) const;
  // Waits until a line with the prefix is recorded (by a process that outlives the starter), for a
  // few seconds at most; its value, or "<none>".
  std::wstring AwaitRecordedValue(const std::wstring& prefix) const;

  // Deletes the record of the default user data, so that the next start provisions again.
  void ForgetProvisioning() const;

  // The per-user folder the starter derives for this installation's company and product title.
  std::wstring PerUserFolder(const std::wstring& productTitle = L"Velmora 25.2") const;
  // The all-users folder, C:\ProgramData\<company>\Velmora 25.2; created by the test when needed.
  std::wstring AllUsersFolder() const;

 private:
  std::wstring root_;
  std::wstring bin_;
  std::wstring company_;
  std::wstring record_;
};

// The roaming application-data folder of the current user.
std::wstring RoamingAppData();

}  // namespace velmora::testing
