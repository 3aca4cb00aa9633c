#include "support/xml_check.h"

#include <windows.h>

#include <cstdlib>
#include <optional>

#include "common/com.h"
#include "support/child_process.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

constexpr DWORD kPatienceMs = 120000;
constexpr DWORD kPollMs = 20;

// A host path in single quotes for the shell.
std::string ShellQuoted(const std::wstring& hostPath) {
  std::string quoted = "'";
  for (const char c : Utf8(hostPath)) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// xmllint's exit code for the files (0: all well-formed). Wine starts a host program without a
// process handle to wait on or to ask for its exit code, so a shell script runs xmllint and leaves
// the exit code in a file, which is awaited. Nothing when no answer came.
std::optional<int> XmllintExitCode(const std::vector<std::wstring>& files) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  static unsigned counter = 0;
  const std::wstring base = std::wstring(folder) + L"velmora-xmllint-" + std::to_wstring(::GetCurrentProcessId()) +
                            L"-" + std::to_wstring(++counter);
  const std::wstring script = base + L".sh";
  const std::wstring result = base + L".result";
  std::string text = "/usr/bin/xmllint --noout --nonet --nowarning";
  for (const std::wstring& file : files) {
    text += ' ';
    text += ShellQuoted(HostPath(file));
  }
  const std::string part = ShellQuoted(HostPath(result) + L".part");
  text.append(" 2>/dev/null\necho $? > ").append(part).append(" && /bin/mv ").append(part).append(" ");
  text.append(ShellQuoted(HostPath(result))).append("\n");
  if (!WriteBytes(script, text)) return std::nullopt;
  RunChild(L"Z:\\bin\\sh", L"sh \"" + HostPath(script) + L"\"");
  std::optional<int> exitCode;
  for (DWORD waited = 0; waited < kPatienceMs && !exitCode; waited += kPollMs) {
    const std::string answer = ReadBytes(result);
    if (!answer.empty()) exitCode = std::atoi(answer.c_str());
    else ::Sleep(kPollMs);
  }
  ::DeleteFileW(script.c_str());
  ::DeleteFileW(result.c_str());
  return exitCode;
}

std::vector<std::wstring> NotWellFormedToXmllint(const std::vector<std::wstring>& files) {
  if (files.empty() || XmllintExitCode(files) == 0) return {};
  // The files are asked one by one only when some is not well-formed, to name it.
  std::vector<std::wstring> rejected;
  for (const std::wstring& file : files) {
    if (XmllintExitCode({file}) != 0) rejected.push_back(file);
  }
  return rejected;
}

std::vector<std::wstring> NotWellFormedToDocumentService(const std::vector<std::wstring>& files) {
  const ScopedComApartment apartment;
  std::vector<std::wstring> rejected;
  for (const std::wstring& file : files) {
    ComPtr<IXMLDOMDocument> document;
    if (LoadXmlDocument(file, document) != S_OK) rejected.push_back(file);
  }
  return rejected;
}

}  // namespace

std::vector<std::wstring> NotWellFormed(const std::vector<std::wstring>& files) {
  return HostPath(L"C:\\").empty() ? NotWellFormedToDocumentService(files) : NotWellFormedToXmllint(files);
}

}  // namespace velmora::testing
