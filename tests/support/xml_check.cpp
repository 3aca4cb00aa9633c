#include "support/xml_check.h"

#include <windows.h>

#include "common/com.h"
#include "support/child_process.h"
#include "support/files.h"

namespace velmora::testing {
namespace {

constexpr wchar_t kXmllint[] = L"Z:\\usr\\bin\\xmllint";
// Well below the 32,767 characters of a command line.
constexpr std::size_t kLongestCommandLine = 24000;

// xmllint's verdict on the files: exit code 0 when all are well-formed.
bool XmllintAccepts(const std::vector<std::wstring>& hostPaths) {
  std::wstring commandLine = L"xmllint --noout --nonet";
  for (const std::wstring& path : hostPaths) commandLine += L" \"" + path + L"\"";
  const ChildResult result = RunChild(kXmllint, commandLine);
  return result.started && result.exitCode == 0;
}

std::vector<std::wstring> NotWellFormedToXmllint(const std::vector<std::wstring>& files) {
  std::vector<std::wstring> rejected;
  std::vector<std::wstring> batch;
  std::vector<std::wstring> batchFiles;
  std::size_t length = 0;
  const auto check = [&] {
    // A batch refused names no file: each of its files is asked again on its own.
    if (!batch.empty() && !XmllintAccepts(batch)) {
      for (std::size_t i = 0; i < batch.size(); ++i) {
        if (batch.size() == 1 || !XmllintAccepts({batch[i]})) rejected.push_back(batchFiles[i]);
      }
    }
    batch.clear();
    batchFiles.clear();
    length = 0;
  };
  for (const std::wstring& file : files) {
    const std::wstring hostPath = HostPath(file);
    if (length + hostPath.size() + 3 > kLongestCommandLine) check();
    batch.push_back(hostPath);
    batchFiles.push_back(file);
    length += hostPath.size() + 3;
  }
  check();
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
