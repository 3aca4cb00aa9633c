#pragma once

// Real files and registry keys for the unit tests. Every name is unique per process and call, so
// that tests run in parallel never meet.

#include <windows.h>

#include <optional>
#include <string>

#include "common/com.h"
#include "support/child_process.h"
#include "support/files.h"

namespace velmora::testing {

inline std::wstring UniqueName(const wchar_t* prefix) {
  static unsigned counter = 0;
  return prefix + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64()) + L"-" +
         std::to_wstring(++counter);
}

// A fresh folder under %TEMP%, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + UniqueName(L"velmora-unit-");
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { RemoveTree(path_); }

  // The folder, without a trailing backslash.
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

inline bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

inline bool SetReadOnly(const std::wstring& path) {
  return ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

inline bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// Windows refuses writes to a read-only file; Wine does only when it does not run with root's
// power to override file permissions (the test command takes that power away).
inline bool ReadOnlyIsEnforced(const std::wstring& folder) {
  const std::wstring probe = folder + L"\\read-only-probe";
  const bool enforced = WriteBytes(probe, "x") && SetReadOnly(probe) && !WriteBytes(probe, "y");
  ::SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(probe.c_str());
  return enforced;
}

// HKCU\SOFTWARE\<unique company>, deleted with its whole tree at the end of the test.
class TestCompanyKey {
 public:
  TestCompanyKey() : company_(UniqueName(L"VelmoraUnit-")) {}
  TestCompanyKey(const TestCompanyKey&) = delete;
  TestCompanyKey& operator=(const TestCompanyKey&) = delete;
  ~TestCompanyKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, (L"SOFTWARE\\" + company_).c_str()); }

  const std::wstring& Company() const { return company_; }
  std::wstring SubKey(const std::wstring& below) const { return L"SOFTWARE\\" + company_ + L"\\" + below; }

  // Creates HKCU\SOFTWARE\<company>\<below> and stores a value of that type and exact bytes.
  bool SetValue(const std::wstring& below, const wchar_t* name, DWORD type, const void* data, DWORD bytes) const {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, SubKey(below).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                          nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    const LONG status = data == nullptr ? ERROR_SUCCESS
                                        : ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
  }

 private:
  std::wstring company_;
};

// The text of the element at that path below the root, as the document service (a reader
// independent of the starter's own) sees the file; nothing when it does not load or has no such
// element.
inline std::optional<std::wstring> DocumentServiceTextAt(const std::wstring& file, const std::wstring& path) {
  const ScopedComApartment apartment;
  ComPtr<IXMLDOMDocument> document;
  ComPtr<IXMLDOMElement> root;
  ComPtr<IXMLDOMNode> node;
  UniqueBstr text;
  const UniqueBstr query(path);
  if (LoadXmlDocument(file, document) != S_OK || document->get_documentElement(root.Put()) != S_OK ||
      root->selectSingleNode(query.Get(), node.Put()) != S_OK || node->get_text(text.Put()) != S_OK) {
    return std::nullopt;
  }
  return text.Text();
}

}  // namespace velmora::testing
