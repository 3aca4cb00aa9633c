#include "files/file_replace.h"

#include <windows.h>

#include <cwctype>

#include "common/paths.h"
#include "common/platform_calls.h"
#include "common/refusal_retry.h"
#include "common/unique_handle.h"

namespace velmora {
namespace {

constexpr DWORD kKeepsOwnFilesOut = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

bool HasAttribute(std::uint32_t attributes, DWORD attribute) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute) != 0;
}

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// One copy attempt; what a failed copy left under the target's name goes with it.
bool CopyOnce(const std::wstring& source, const std::wstring& target) {
  if (Platform().copyFile(source.c_str(), target.c_str(), FALSE)) return true;
  const DWORD error = ::GetLastError();
  RemoveOwnFile(target);
  ::SetLastError(error);
  return false;
}

}  // namespace

std::wstring TemporaryNameOf(const std::wstring& destination) { return destination + kTemporarySuffix; }

bool IsTemporaryName(std::wstring_view name) {
  constexpr std::wstring_view suffix = kTemporarySuffix;
  if (name.size() < suffix.size()) return false;
  const std::wstring_view end = name.substr(name.size() - suffix.size());
  for (std::size_t at = 0; at < suffix.size(); ++at) {
    if (std::towlower(end[at]) != suffix[at]) return false;
  }
  return true;
}

ExistingFileAction DecideExistingFile(std::uint32_t destinationAttributes, std::uint32_t backupAttributes) {
  constexpr DWORD kKeepsOut = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
  if (destinationAttributes == INVALID_FILE_ATTRIBUTES || HasAttribute(destinationAttributes, kKeepsOut) ||
      HasAttribute(backupAttributes, kKeepsOut)) {
    return ExistingFileAction::kLeave;
  }
  return ExistingFileAction::kReplaceKeepingBackup;
}

bool MoveWithRetries(const std::wstring& from, const std::wstring& to, unsigned long flags) {
  return WithRetries(from.c_str(), [&] { return Platform().moveFile(from.c_str(), to.c_str(), flags) != FALSE; });
}

bool CreateFolderWithRetries(const std::wstring& folder) {
  // A folder of that name whose deletion is still pending (a scanner holds a file that was in it)
  // refuses the creation until the deletion is done.
  return WithRetries(folder.c_str(), [&] {
    if (Platform().createDirectory(folder.c_str(), nullptr)) return true;
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (HasAttribute(attributes, FILE_ATTRIBUTE_DIRECTORY)) return true;
    ::SetLastError(error);
    return false;
  });
}

bool RemoveOwnFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsGone(::GetLastError());
  if (HasAttribute(attributes, kKeepsOwnFilesOut)) {
    // No attribute at all would mean "unchanged" to the file system: normal says none.
    const DWORD kept = attributes & ~kKeepsOwnFilesOut;
    Platform().setFileAttributes(path.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
  }
  return WithRetries(path.c_str(), [&] { return Platform().deleteFile(path.c_str()) || IsGone(::GetLastError()); });
}

bool CopyToOwnName(const std::wstring& source, const std::wstring& target, bool sourceMayBeReadOnly) {
  if (!Fits(target, kPathCapacity)) return false;
  // A leftover of that name that Windows will not copy over (read-only, hidden, system) answers
  // with a refusal too: it is gone after the first failed attempt, and a real refusal is retried.
  if (!WithRetries(target.c_str(), [&] { return CopyOnce(source, target); })) return false;
  // Default data the user could not change, save over or refresh would be of no use in the user's
  // folder. A walk knows the source's attributes from its listing and spends no call otherwise.
  if (sourceMayBeReadOnly) MakeWritable(target);
  return true;
}

bool CopyIntoPlace(const std::wstring& source, const std::wstring& destination, bool sourceMayBeReadOnly,
                   bool replaceExisting) {
  const std::wstring temporary = TemporaryNameOf(destination);
  if (!CopyToOwnName(source, temporary, sourceMayBeReadOnly)) return false;
  if (MoveWithRetries(temporary, destination, replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
  RemoveOwnFile(temporary);
  return false;
}

bool ReplaceKeepingBackup(const std::wstring& source, const std::wstring& destination, const std::wstring& backup,
                          bool sourceMayBeReadOnly) {
  const std::wstring temporary = TemporaryNameOf(destination);
  if (!CopyToOwnName(source, temporary, sourceMayBeReadOnly)) return false;
  // A file open without delete sharing, or a ".bak" that cannot be written over, refuses the
  // rename: the user's file stays where it is.
  if (!MoveWithRetries(destination, backup, MOVEFILE_REPLACE_EXISTING)) {
    RemoveOwnFile(temporary);
    return false;
  }
  if (MoveWithRetries(temporary, destination, 0)) return true;
  // The name could not be taken: the user's file goes back to it if it can. If not, it is kept
  // as ".bak" and the name stays free, which the caller counts as a file still to place.
  MoveWithRetries(backup, destination, 0);
  RemoveOwnFile(temporary);
  return false;
}

void MakeWritable(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (HasAttribute(attributes, FILE_ATTRIBUTE_READONLY)) {
    Platform().setFileAttributes(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
}

bool DeleteFileOfUser(const std::wstring& path) {
  MakeWritable(path);
  return WithRetries(path.c_str(), [&] { return Platform().deleteFile(path.c_str()) != FALSE; });
}

bool ReplaceFileContent(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = TemporaryNameOf(path);
  if (!Fits(temporary, kPathCapacity) || bytes.size() > MAXDWORD) return false;
  // Windows refuses CREATE_ALWAYS with normal attributes over a hidden or system file: a leftover
  // of that kind would keep the file from ever being written again.
  if (!RemoveOwnFile(temporary)) return false;
  UniqueKernelHandle file;
  WithRetries(temporary.c_str(), [&] {
    file = UniqueKernelHandle(Platform().createFile(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
  });
  if (!file) return false;
  DWORD written = 0;
  const bool complete = bytes.empty() || (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                      &written, nullptr) &&
                                          written == bytes.size());
  if (complete) MarkAsStarterWrite(file.Get());
  file.Reset();
  if (complete && MoveWithRetries(temporary, path, MOVEFILE_REPLACE_EXISTING)) return true;
  const DWORD error = ::GetLastError();
  RemoveOwnFile(temporary);
  ::SetLastError(error);
  return false;
}

namespace {
constexpr ULONGLONG kUnitsPerSecond = 10'000'000;

ULONGLONG FileTimeUnits(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }
}  // namespace

void MarkAsStarterWrite(void* openFile) {
  FILETIME lastWrite{};
  if (!::GetFileTime(openFile, nullptr, nullptr, &lastWrite)) return;
  const ULONGLONG units = FileTimeUnits(lastWrite);
  const ULONGLONG marked = units - units % kUnitsPerSecond + kStarterWriteMark;
  lastWrite.dwLowDateTime = static_cast<DWORD>(marked);
  lastWrite.dwHighDateTime = static_cast<DWORD>(marked >> 32);
  ::SetFileTime(openFile, nullptr, nullptr, &lastWrite);
}

bool CarriesStarterWriteMark(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
         FileTimeUnits(data.ftLastWriteTime) % kUnitsPerSecond == kStarterWriteMark;
}

bool RemoveLeftoverTemporary(const std::wstring& destination) {
  const std::wstring temporary = TemporaryNameOf(destination);
  return !Fits(temporary, kPathCapacity) || RemoveOwnFile(temporary);
}

std::optional<std::string> ReadFileContent(const std::wstring& path, std::size_t capacity) {
  const UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  // One ReadFile call reads it all, so the size must also fit its count.
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart > MAXDWORD ||
      static_cast<std::uint64_t>(size.QuadPart) > capacity) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size())) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace velmora
