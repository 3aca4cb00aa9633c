#pragma once

// Test modules append what they receive, one line at a time, to the file named by the
// environment variable VELMORA_TEST_RECORD, so that a test can read what happened in the
// starter's process after it ended.

#include <windows.h>

#include <string>
#include <string_view>

#include "support/utf8.h"

namespace velmora::testing {

inline void RecordLine(std::wstring_view line) {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"VELMORA_TEST_RECORD", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::wstring text(line);
  text += L'\n';
  const std::string utf8 = Utf8(text);
  HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(file);
}

// The folder of the module that holds `address`, with a trailing backslash.
inline std::wstring FolderOfModule(const void* address) {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<const wchar_t*>(address), &module);
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.rfind(L'\\') + 1);
}

inline std::wstring FileNameOfModule(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring name(path);
  return name.substr(name.rfind(L'\\') + 1);
}

inline std::wstring IniText(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                            const wchar_t* fallback) {
  wchar_t value[1024] = {};
  ::GetPrivateProfileStringW(section, key, fallback, value, 1024, file.c_str());
  return value;
}

// The value of an environment variable, or "<unset>".
inline std::wstring EnvironmentText(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return L"<unset>";
  std::wstring value(size, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

inline std::wstring ThreadLabel() { return std::to_wstring(::GetCurrentThreadId()); }

template <typename Entry>
Entry StarterExport(const char* name) {
  return reinterpret_cast<Entry>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(nullptr), name)));
}

}  // namespace velmora::testing
