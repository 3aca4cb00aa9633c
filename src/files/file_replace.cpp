#include "files/file_replace.h"

#include <windows.h>

#include "common/paths.h"
#include "common/unique_handle.h"

namespace velmora {
namespace {

bool HasAttribute(std::uint32_t attributes, DWORD attribute) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute) != 0;
}

// A start ended midway may have left the temporary file, read-only or hidden as its source was;
// CopyFileW does not write over such a file on Windows, so it goes first and the copy is tried
// once more. A copy that failed partway (a full disk) leaves nothing behind. A temporary name too
// long to address is refused rather than cut.
bool CopyToTemporaryName(const std::wstring& source, const std::wstring& temporary, bool sourceMayBeReadOnly) {
  if (!Fits(temporary, kPathCapacity)) return false;
  if (!::CopyFileW(source.c_str(), temporary.c_str(), FALSE) &&
      !(DeleteFileOfUser(temporary) && ::CopyFileW(source.c_str(), temporary.c_str(), FALSE))) {
    DeleteFileOfUser(temporary);
    return false;
  }
  // Default data the user could not change, save over or refresh would be of no use in the user's
  // folder. A walk knows the source's attributes from its listing and spends no call otherwise.
  if (sourceMayBeReadOnly) MakeWritable(temporary);
  return true;
}

}  // namespace

std::wstring TemporaryNameOf(const std::wstring& destination) { return destination + kTemporarySuffix; }

ExistingFileAction DecideExistingFile(std::uint32_t destinationAttributes, std::uint32_t backupAttributes) {
  constexpr DWORD kKeepsOut = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
  if (destinationAttributes == INVALID_FILE_ATTRIBUTES || HasAttribute(destinationAttributes, kKeepsOut) ||
      HasAttribute(backupAttributes, kKeepsOut)) {
    return ExistingFileAction::kLeave;
  }
  return ExistingFileAction::kReplaceKeepingBackup;
}

bool CopyIntoPlace(const std::wstring& source, const std::wstring& destination, bool sourceMayBeReadOnly,
                   bool replaceExisting) {
  const std::wstring temporary = TemporaryNameOf(destination);
  if (!CopyToTemporaryName(source, temporary, sourceMayBeReadOnly)) return false;
  if (::MoveFileExW(temporary.c_str(), destination.c_str(), replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0)) {
    return true;
  }
  ::DeleteFileW(temporary.c_str());
  return false;
}

bool ReplaceKeepingBackup(const std::wstring& source, const std::wstring& destination, const std::wstring& backup,
                          bool sourceMayBeReadOnly) {
  const std::wstring temporary = TemporaryNameOf(destination);
  if (!CopyToTemporaryName(source, temporary, sourceMayBeReadOnly)) return false;
  // A file open without delete sharing, or a ".bak" that cannot be written over, refuses the
  // rename: the user's file stays where it is.
  if (!::MoveFileExW(destination.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  if (::MoveFileExW(temporary.c_str(), destination.c_str(), 0)) return true;
  // Something took the name in between: the user's file goes back to it if it can, and is kept
  // as ".bak" otherwise.
  ::MoveFileExW(backup.c_str(), destination.c_str(), 0);
  ::DeleteFileW(temporary.c_str());
  return false;
}

void MakeWritable(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (HasAttribute(attributes, FILE_ATTRIBUTE_READONLY)) {
    ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
}

bool DeleteFileOfUser(const std::wstring& path) {
  MakeWritable(path);
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool ReplaceFileContent(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = TemporaryNameOf(path);
  if (!Fits(temporary, kPathCapacity) || bytes.size() > MAXDWORD) return false;
  UniqueKernelHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool complete = bytes.empty() || (::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                      &written, nullptr) &&
                                          written == bytes.size());
  file.Reset();
  if (complete && ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  const DWORD error = ::GetLastError();
  ::DeleteFileW(temporary.c_str());
  ::SetLastError(error);
  return false;
}

void RemoveLeftoverTemporary(const std::wstring& destination) {
  const std::wstring temporary = TemporaryNameOf(destination);
  if (Fits(temporary, kPathCapacity)) DeleteFileOfUser(temporary);
}

}  // namespace velmora
