#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "common/com.h"
#include "common/paths.h"
#include "files/tree_copy.h"
#include "startscreen/start_screen.h"

namespace velmora {
namespace {

// S_OK with the first element at the path below the root; the selection's status otherwise.
HRESULT SelectElement(IXMLDOMElement& root, const wchar_t* path, ComPtr<IXMLDOMNode>& node) {
  const UniqueBstr query(path);
  if (!query) return E_OUTOFMEMORY;
  const HRESULT status = root.selectSingleNode(query.Get(), node.Put());
  if (status == S_OK && !node) return E_POINTER;
  return status;
}

HRESULT ReadElementText(IXMLDOMElement& root, const wchar_t* path, std::wstring& text) {
  ComPtr<IXMLDOMNode> node;
  HRESULT status = SelectElement(root, path, node);
  if (status != S_OK) return status;
  UniqueBstr value;
  status = node->get_text(value.Put());
  if (status == S_OK) text = value.Text();
  return status;
}

// Replaces the element's whole content with the text; the document escapes what XML would read
// as markup.
HRESULT SetElementText(IXMLDOMElement& root, const wchar_t* path, const std::wstring& text) {
  ComPtr<IXMLDOMNode> node;
  const HRESULT status = SelectElement(root, path, node);
  if (status != S_OK) return status;
  const UniqueBstr value(text);
  if (!value) return E_OUTOFMEMORY;
  return node->put_text(value.Get());
}

HRESULT CopyElementText(IXMLDOMElement& root, const wchar_t* sourcePath, const wchar_t* targetPath) {
  std::wstring text;
  const HRESULT status = ReadElementText(root, sourcePath, text);
  if (status != S_OK) return status;
  return SetElementText(root, targetPath, text);
}

// The caption and the status line are rebuilt from base texts that are never written, so that the
// build suffix never accumulates over starts.
HRESULT WriteRows(IXMLDOMElement& root, const StartScreenInfo& info, const std::wstring& workspace) {
  HRESULT status = S_OK;
  const auto set = [&](const wchar_t* path, const std::wstring& text) {
    if (status == S_OK) status = SetElementText(root, path, text);
  };
  const auto copy = [&](const wchar_t* sourcePath, const wchar_t* targetPath) {
    if (status == S_OK) status = CopyElementText(root, sourcePath, targetPath);
  };
  set(L"MainAppParams/Name", info.productTitle);
  set(L"MainAppParams/Version", info.versionText);
  copy(L"MainAppParams/AppNames/StartCaption", L"MainAppParams/AppNames/Caption");
  set(L"MainAppParams/UserInfo/UserName", info.userName);
  set(L"MainAppParams/UserInfo/CompanyName", info.companyName);
  set(L"MainAppParams/DdeServer/AppName", info.ddeAppName);
  set(L"MainAppParams/PagesPath/HTMLsPath", workspace + L"\\htmls");
  set(L"MainAppParams/Dirs/VmSsFilesSource", info.commonDataDir + L"\\ss20\\vmss_files");
  set(L"MainAppParams/Dirs/SamplesPath", info.userFolder + L"\\Samples");
  set(L"MainAppParams/Dirs/TestDrivePath", info.userFolder + L"\\TestDrive");
  set(L"MainAppParams/Dirs/KelptrxPath", info.userFolder + L"\\kelptrx");
  if (info.installerBuild.empty()) {
    copy(L"MainAppParams/Status/StartString", L"MainAppParams/Status/String");
  } else if (status == S_OK) {
    std::wstring line;
    status = ReadElementText(root, L"MainAppParams/Status/StartString", line);
    set(L"MainAppParams/Status/String", line + L" (" + info.installerBuild + L")");
  }
  set(L"MainAppParams/Status/Value", L"1");
  set(L"MainAppParams/Commands/ShowTab", L"");
  set(L"MainAppParams/Commands/ShowHtmlPage", L"");
  set(L"MainAppParams/Commands/ShowHtmlElementById", L"");
  return status;
}

// Tells the debugger why the parameter file did not parse.
void ReportParseError(IXMLDOMDocument& document, const std::wstring& parameterFile) {
  std::wstring reason;
  long line = 0;
  long position = 0;
  ComPtr<IXMLDOMParseError> error;
  if (SUCCEEDED(document.get_parseError(error.Put())) && error) {
    UniqueBstr text;
    if (SUCCEEDED(error->get_reason(text.Put()))) reason = text.Text();
    error->get_line(&line);
    error->get_linepos(&position);
  }
  for (wchar_t& c : reason) {
    if (c == L'\n') c = L' ';
  }
  // Room for both texts, two numbers of at most 11 characters and the fixed words.
  std::wstring message(parameterFile.size() + reason.size() + 80, L'\0');
  const int length = std::swprintf(message.data(), message.size(), L"can't load '%ls' - '%ls' at line %ld at %ld\r\n",
                                   parameterFile.c_str(), reason.c_str(), line, position);
  if (length > 0) ::OutputDebugStringW(message.c_str());
}

HRESULT UpdateParameterFile(const StartScreenInfo& info, const std::wstring& parameterFile,
                            const std::wstring& workspace) {
  ComPtr<IXMLDOMDocument> document;
  HRESULT loaded = LoadXmlDocument(parameterFile, document);
  if (FAILED(loaded)) return loaded;
  if (loaded != S_OK) {
    // A file that does not load is replaced by the template, without a backup.
    const std::wstring templateFile = info.commonDataDir + L"\\ss20\\vmss_files\\ini.xml";
    if (info.commonDataDir.empty() || !Fits(templateFile, kPathCapacity) ||
        !CopyFileForUser(templateFile, parameterFile)) {
      return E_FAIL;
    }
    loaded = LoadXmlDocument(parameterFile, document);
    if (FAILED(loaded)) return loaded;
  }

  ComPtr<IXMLDOMElement> root;
  HRESULT status = document->get_documentElement(root.Put());
  if (status != S_OK) return status;
  if (!root) return E_POINTER;
  if (loaded != S_OK) {
    ReportParseError(*document.Get(), parameterFile);
    return E_FAIL;
  }

  status = WriteRows(*root.Get(), info, workspace);
  if (status != S_OK) return status;
  UniqueBstr pathText(parameterFile);
  if (!pathText) return E_OUTOFMEMORY;
  UniqueVariant path;
  path.SetText(std::move(pathText));
  return document->save(path.Get());
}

}  // namespace

long WriteStartScreenParams(const StartScreenInfo& info, const std::wstring& parameterFile,
                            const std::wstring& workspace) {
  // COM is initialised only for as long as the document lives, and exactly that is undone.
  const ScopedComApartment apartment;
  return UpdateParameterFile(info, parameterFile, workspace);
}

}  // namespace velmora
