#include "common/paths.h"

#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace velmora {

std::wstring FittedOrEmpty(std::wstring text, std::size_t capacity) {
  if (!Fits(text, capacity)) return {};
  return text;
}

std::wstring CutAtLastBackslash(std::wstring_view path) {
  const auto slash = path.rfind(L'\\');
  return std::wstring(slash == std::wstring_view::npos ? path : path.substr(0, slash));
}

std::wstring FileNameOf(std::wstring_view path) {
  const auto slash = path.rfind(L'\\');
  return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

std::wstring WithExtension(std::wstring_view path, std::wstring_view extension) {
  const auto dot = path.rfind(L'.');
  std::wstring result(dot == std::wstring_view::npos ? path : path.substr(0, dot));
  result += L'.';
  result += extension;
  return result;
}

std::optional<std::wstring> ModuleFileName(void* module, std::size_t capacity) {
  std::wstring buffer(capacity, L'\0');
  const DWORD length = ::GetModuleFileNameW(static_cast<HMODULE>(module), buffer.data(),
                                            static_cast<DWORD>(capacity));
  if (length == 0 || length >= capacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsAbsoluteFolder(std::wstring_view folder) {
  if (folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == L':' && IsSeparator(folder[2])) return true;
  return folder.size() >= 3 && IsSeparator(folder[0]) && IsSeparator(folder[1]) && !IsSeparator(folder[2]);
}

bool IsDotsAndSpacesOnly(std::wstring_view segment) {
  return !segment.empty() && segment.find_first_not_of(L". ") == std::wstring_view::npos;
}

}  // namespace

bool StaysBelowRoot(std::wstring_view relativePath) {
  if (relativePath.empty()) return true;
  if (IsSeparator(relativePath.front()) || relativePath.find(L':') != std::wstring_view::npos) return false;
  std::size_t start = 0;
  while (start <= relativePath.size()) {
    std::size_t end = start;
    while (end < relativePath.size() && !IsSeparator(relativePath[end])) ++end;
    if (IsDotsAndSpacesOnly(relativePath.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::wstring AbsoluteFoldersOnly(std::wstring_view folders) {
  std::wstring kept;
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = std::min(folders.find(L';', start), folders.size());
    const std::wstring_view folder = folders.substr(start, end - start);
    if (IsAbsoluteFolder(folder)) {
      if (!kept.empty()) kept += L';';
      kept += folder;
    }
    start = end + 1;
  }
  return kept;
}

std::optional<std::wstring> SearchAlongPath(const std::wstring& folders, const std::wstring& fileName,
                                            std::size_t capacity) {
  const std::wstring searched = AbsoluteFoldersOnly(folders);
  // An empty list would make the platform search its default places.
  if (searched.empty() || fileName.empty()) return std::nullopt;
  std::wstring buffer(capacity, L'\0');
  const DWORD length = ::SearchPathW(searched.c_str(), fileName.c_str(), nullptr,
                                     static_cast<DWORD>(capacity), buffer.data(), nullptr);
  if (length == 0 || length >= capacity) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

bool PathEntry::IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

std::optional<PathEntry> ProbePath(const std::wstring& path) {
  if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return PathEntry{data.dwFileAttributes, (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
}

bool Exists(const std::wstring& path) { return ProbePath(path).has_value(); }

std::optional<std::wstring> EnvironmentValue(const wchar_t* name) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::wstring();
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(length, L'\0');
  }
}

bool AssignEnvironment(std::wstring_view name, std::wstring_view value) {
  std::wstring assignment(name);
  assignment += L'=';
  assignment += value;
  return ::_wputenv(assignment.c_str()) == 0;
}

}  // namespace velmora
