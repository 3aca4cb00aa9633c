#include "files/tree_copy.h"

#include <windows.h>

#include "common/paths.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "files/folder_links.h"

namespace velmora {
namespace {

struct FileIdentity {
  ULARGE_INTEGER size{};
  FILETIME lastWrite{};
};

bool ReadFileIdentity(const std::wstring& path, FileIdentity& identity) {
  UniqueKernelHandle file(::CreateFileW(path.c_str(), FILE_READ_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  identity.size.LowPart = ::GetFileSize(file.Get(), &identity.size.HighPart);
  if (identity.size.LowPart == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(file.Get(), &information)) return false;
  identity.lastWrite = information.ftLastWriteTime;
  return true;
}

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void MakeWritable(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
}

// The platform's copy keeps the source's read-only attribute; default data the user could not
// change, save over or refresh would be of no use in the user's folder. A walk knows the source's
// attributes from its listing and spends no further call on a source that is not read-only.
bool CopyWritable(const std::wstring& source, const std::wstring& destination, bool sourceMayBeReadOnly) {
  if (!::CopyFileW(source.c_str(), destination.c_str(), FALSE)) return false;
  if (sourceMayBeReadOnly) MakeWritable(destination);
  return true;
}

bool IsReadOnlyEntry(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0; }

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A junction or symbolic link to a folder may lead back into the tree (or anywhere else): the walk
// never follows one, so it ends, and it never copies or deletes outside the tree it was given.
bool IsFolderLink(const WIN32_FIND_DATAW& entry) {
  return TreatAsFolderLink(entry.dwFileAttributes, entry.dwReserved0);
}

// One walk of a source folder. A destination known to be new holds nothing yet, so its entries
// need no existence test or comparison: a first copy does no more than a plain copy would.
class TreeWalk {
 public:
  explicit TreeWalk(bool remove) : remove_(remove) {}

  bool Walk(const std::wstring& source, const std::wstring& destination, bool destinationIsNew) {
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle find(::FindFirstFileW((source + L"\\*").c_str(), &entry));
    if (!find) return false;
    do {
      if (!IsDotEntry(entry.cFileName)) Visit(entry, source, destination, destinationIsNew);
    } while (::FindNextFileW(find.Get(), &entry));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
  }

 private:
  void Visit(const WIN32_FIND_DATAW& entry, const std::wstring& sourceFolder, const std::wstring& destinationFolder,
             bool destinationIsNew) {
    const std::wstring source = sourceFolder + L'\\' + entry.cFileName;
    const std::wstring destination = destinationFolder + L'\\' + entry.cFileName;
    // ".bak" companions must fit too, so that a backup is never written under a cut name.
    if (!Fits(source, kPathCapacity) || !Fits(destination + L".bak", kPathCapacity)) return;
    if (IsFolderLink(entry)) {
      TraceRefusal(L"folder link " + source, L"folder links are not followed");
      return;
    }
    const bool exists = !destinationIsNew && Exists(destination);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      VisitFolder(source, destination, exists);
    } else if (exists) {
      VisitExistingFile(source, destination, IsReadOnlyEntry(entry));
    } else if (!remove_) {
      CopyWritable(source, destination, IsReadOnlyEntry(entry));
    }
  }

  void VisitFolder(const std::wstring& source, const std::wstring& destination, bool exists) {
    if (remove_) {
      if (Walk(source, destination, false)) ::RemoveDirectoryW(destination.c_str());
      return;
    }
    if (!exists && !::CreateDirectoryW(destination.c_str(), nullptr)) return;
    Walk(source, destination, !exists);
  }

  void VisitExistingFile(const std::wstring& source, const std::wstring& destination, bool sourceIsReadOnly) {
    // The starter's own copies are writable: a read-only file, or ".bak", was made so by the user
    // or an administrator and is neither replaced nor deleted (as Windows would refuse anyway).
    if (IsReadOnly(destination)) return;
    const bool same = SameFile(source, destination);
    const std::wstring backup = destination + L".bak";
    if (remove_) {
      if (same) ::DeleteFileW(destination.c_str());
    } else if (!same && !IsReadOnly(backup) && CopyWritable(destination, backup, false)) {
      // Replaced only once the user's content is safe in the ".bak": a ".bak" that is a folder or
      // locked leaves the file as it is.
      CopyWritable(source, destination, sourceIsReadOnly);
    }
  }

  bool remove_;
};

}  // namespace

bool CopyFileForUser(const std::wstring& source, const std::wstring& destination) {
  return CopyWritable(source, destination, true);
}

bool DeleteFileOfUser(const std::wstring& path) {
  MakeWritable(path);
  return ::DeleteFileW(path.c_str()) != FALSE;
}

bool SameFile(const std::wstring& first, const std::wstring& second) {
  FileIdentity a;
  FileIdentity b;
  if (!ReadFileIdentity(first, a) || !ReadFileIdentity(second, b)) return false;
  return a.size.QuadPart == b.size.QuadPart && a.lastWrite.dwLowDateTime == b.lastWrite.dwLowDateTime &&
         a.lastWrite.dwHighDateTime == b.lastWrite.dwHighDateTime;
}

bool CopyTree(const std::wstring& source, const std::wstring& destination, bool remove) {
  return TreeWalk(remove).Walk(source, destination, false);
}

bool CreateFolderWithParents(const std::wstring& folder) {
  if (folder.empty()) return false;
  if (Exists(folder)) return true;
  const auto slash = folder.rfind(L'\\');
  if (slash != std::wstring::npos && slash > 0) CreateFolderWithParents(folder.substr(0, slash));
  return ::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace velmora
