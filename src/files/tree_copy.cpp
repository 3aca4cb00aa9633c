#include "files/tree_copy.h"

#include <windows.h>

#include "common/paths.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "files/folder_links.h"
#include "files/file_replace.h"

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

bool IsReadOnlyEntry(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0; }

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A junction or symbolic link to a folder may lead back into the tree (or anywhere else): the walk
// never follows one, so it ends, and it never copies or deletes outside the tree it was given.
bool IsFolderLink(const WIN32_FIND_DATAW& entry) {
  return TreatAsFolderLink(entry.dwFileAttributes, entry.dwReserved0);
}

// Takes away a folder that a start ended midway was building, with all that is in it: only the
// starter's own copies are there. A link inside is removed, never followed; the path capacity
// bounds the depth.
void RemoveBuiltFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring path = folder + L'\\' + entry.cFileName;
    if (IsDotEntry(entry.cFileName) || !Fits(path, kPathCapacity)) continue;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileOfUser(path);
    } else if (IsFolderLink(entry)) {
      ::RemoveDirectoryW(path.c_str());
    } else {
      RemoveBuiltFolder(path);
    }
  } while (::FindNextFileW(find.Get(), &entry));
  find.Reset();
  ::RemoveDirectoryW(folder.c_str());
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

  // A folder the user does not have yet is filled under its temporary name and takes its own name
  // once filled: a start ended midway leaves no half-filled folder, nor a half-written file, under
  // a name the next start would take for the user's, and a first copy spends one rename a folder
  // rather than one a file. What an ended start left there holds only its own copies. A source that
  // cannot be listed to its end gives no folder. True when the destination exists afterwards.
  bool BuildFolder(const std::wstring& source, const std::wstring& destination) {
    const std::wstring building = TemporaryNameOf(destination);
    RemoveBuiltFolder(building);
    if (!::CreateDirectoryW(building.c_str(), nullptr)) return false;
    if (!Walk(source, building, true)) {
      RemoveBuiltFolder(building);
      return false;
    }
    if (::MoveFileExW(building.c_str(), destination.c_str(), 0)) return true;
    MoveBuiltContents(building, destination);
    return Exists(destination);
  }

 private:
  void Visit(const WIN32_FIND_DATAW& entry, const std::wstring& sourceFolder, const std::wstring& destinationFolder,
             bool destinationIsNew) {
    const std::wstring source = sourceFolder + L'\\' + entry.cFileName;
    const std::wstring destination = destinationFolder + L'\\' + entry.cFileName;
    // The temporary name, longer than the ".bak" companion, must fit too, so that neither a copy
    // nor a backup is ever written under a cut name.
    if (!Fits(source, kPathCapacity) || !Fits(TemporaryNameOf(destination), kPathCapacity)) return;
    if (IsFolderLink(entry)) {
      TraceRefusal(L"folder link " + source, L"folder links are not followed");
      return;
    }
    const bool exists = !destinationIsNew && Exists(destination);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      VisitFolder(source, destination, exists, destinationIsNew);
    } else if (remove_) {
      // A start ended midway may have left a copy under its temporary name.
      ::DeleteFileW(TemporaryNameOf(destination).c_str());
      if (exists) RemoveIfUntouched(source, destination);
    } else if (exists) {
      VisitExistingFile(source, destination, IsReadOnlyEntry(entry));
    } else if (destinationIsNew) {
      CopyIntoFolderBeingBuilt(source, destination, IsReadOnlyEntry(entry));
    } else {
      CopyIntoPlace(source, destination, IsReadOnlyEntry(entry), false);
    }
  }

  void VisitFolder(const std::wstring& source, const std::wstring& destination, bool exists, bool parentIsNew) {
    if (remove_) {
      RemoveBuiltFolder(TemporaryNameOf(destination));
      if (Walk(source, destination, false)) ::RemoveDirectoryW(destination.c_str());
    } else if (exists) {
      RemoveBuiltFolder(TemporaryNameOf(destination));
      Walk(source, destination, false);
    } else if (parentIsNew) {
      if (::CreateDirectoryW(destination.c_str(), nullptr)) Walk(source, destination, true);
    } else {
      BuildFolder(source, destination);
    }
  }

  // Windows can refuse to rename a folder while a file in it is open elsewhere (a search indexer or a
  // virus scanner looking at a new copy). The copies are complete: they move into a folder of the
  // real name one by one, and what cannot move now is copied again by a later start, which also
  // takes away what is left of the folder being built.
  static void MoveBuiltContents(const std::wstring& building, const std::wstring& destination) {
    if (!::CreateDirectoryW(destination.c_str(), nullptr) && !Exists(destination)) return;
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle find(::FindFirstFileW((building + L"\\*").c_str(), &entry));
    if (!find) return;
    do {
      const std::wstring from = building + L'\\' + entry.cFileName;
      const std::wstring to = destination + L'\\' + entry.cFileName;
      if (IsDotEntry(entry.cFileName) || !Fits(from, kPathCapacity)) continue;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::MoveFileExW(from.c_str(), to.c_str(), 0);
      } else if (!IsFolderLink(entry)) {
        MoveBuiltContents(from, to);
      }
    } while (::FindNextFileW(find.Get(), &entry));
    find.Reset();
    ::RemoveDirectoryW(building.c_str());
  }

  // Nobody takes a file inside a folder being built for the user's: the file is copied under its
  // own name.
  static void CopyIntoFolderBeingBuilt(const std::wstring& source, const std::wstring& destination,
                                       bool sourceIsReadOnly) {
    if (::CopyFileW(source.c_str(), destination.c_str(), TRUE) && sourceIsReadOnly) MakeWritable(destination);
  }

  // The starter's own copies are writable: a read-only file was made so by the user or an
  // administrator and is never deleted.
  static void RemoveIfUntouched(const std::wstring& source, const std::wstring& destination) {
    const DWORD attributes = ::GetFileAttributesW(destination.c_str());
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0 && SameFile(source, destination)) {
      ::DeleteFileW(destination.c_str());
    }
  }

  static void VisitExistingFile(const std::wstring& source, const std::wstring& destination, bool sourceIsReadOnly) {
    const std::wstring backup = destination + L".bak";
    const DWORD attributes = ::GetFileAttributesW(destination.c_str());
    if (DecideExistingFile(attributes, ::GetFileAttributesW(backup.c_str())) == ExistingFileAction::kLeave ||
        SameFile(source, destination)) {
      return;
    }
    ReplaceKeepingBackup(source, destination, backup, sourceIsReadOnly);
  }

  bool remove_;
};

}  // namespace

bool CopyFileForUser(const std::wstring& source, const std::wstring& destination) {
  const DWORD attributes = ::GetFileAttributesW(destination.c_str());
  constexpr DWORD kKeepsOut = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kKeepsOut) != 0) return false;
  return CopyIntoPlace(source, destination, true, true);
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

bool CopyTreeAsNewFolder(const std::wstring& source, const std::wstring& destination) {
  return Exists(source) && TreeWalk(false).BuildFolder(source, destination);
}

bool CreateFolderWithParents(const std::wstring& folder) {
  if (folder.empty()) return false;
  if (Exists(folder)) return true;
  const auto slash = folder.rfind(L'\\');
  if (slash != std::wstring::npos && slash > 0) CreateFolderWithParents(folder.substr(0, slash));
  return ::CreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace velmora
