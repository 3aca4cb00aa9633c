#include "files/tree_copy.h"

#include <windows.h>

#include "common/host_system.h"
#include "common/paths.h"
#include "common/platform_calls.h"
#include "common/refusal_retry.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "files/file_replace.h"
#include "files/folder_links.h"

namespace velmora {
namespace {

constexpr DWORD kKeepsOwnFoldersOut = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

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

bool IsFolderEntry(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// A junction or symbolic link to a folder may lead back into the tree (or anywhere else): the walk
// never follows one, so it ends, and it never copies or deletes outside the tree it was given.
bool IsFolderLink(const WIN32_FIND_DATAW& entry) {
  return TreatAsFolderLink(entry.dwFileAttributes, entry.dwReserved0);
}

// A link to a file or a folder: a name surrogate, or a reparse point that tells no tag.
bool IsLinkEntry(const WIN32_FIND_DATAW& entry) {
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  return entry.dwReserved0 == 0 || IsReparseTagNameSurrogate(entry.dwReserved0);
}

// The path's own entry, not that of what it may link to.
bool LookAt(const std::wstring& path, WIN32_FIND_DATAW& entry) {
  if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos) return false;
  return static_cast<bool>(UniqueFindHandle(::FindFirstFileW(path.c_str(), &entry)));
}

// Removes the link itself: RemoveDirectoryW and DeleteFileW act on a reparse point, never on its
// target.
bool RemoveLink(const std::wstring& path, const WIN32_FIND_DATAW& entry) {
  // Wine's links are the host's: RemoveDirectoryW there removes the folder a link names when that
  // folder is empty, and leaves the link. The link stays; the caller takes another name.
  if (IsFolderEntry(entry) && RunsUnderWine()) {
    TraceRefusal(L"link at " + path, L"Wine cannot remove a folder link without touching what it names");
    return false;
  }
  TraceRefusal(L"link at " + path, L"removed as a link, not followed");
  const bool removed = WithRetries(path.c_str(), [&] {
    return (IsFolderEntry(entry) ? Platform().removeDirectory(path.c_str()) : Platform().deleteFile(path.c_str())) !=
           FALSE;
  });
  if (!removed) TraceFailure(L"removal of the link at " + path, ::GetLastError());
  return removed;
}

bool RemoveOwnEntry(const std::wstring& path, const WIN32_FIND_DATAW& entry);

// Everything in a folder of the starter's own; the path capacity bounds the depth.
bool EmptyOwnFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return true;
  bool emptied = true;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    const std::wstring path = folder + L'\\' + entry.cFileName;
    emptied = Fits(path, kPathCapacity) && RemoveOwnEntry(path, entry) && emptied;
  } while (::FindNextFileW(find.Get(), &entry));
  return emptied;
}

bool RemoveOwnEntry(const std::wstring& path, const WIN32_FIND_DATAW& entry) {
  if (IsLinkEntry(entry)) return RemoveLink(path, entry);
  if (!IsFolderEntry(entry)) return RemoveOwnFile(path);
  const bool emptied = EmptyOwnFolder(path);
  if (entry.dwFileAttributes & kKeepsOwnFoldersOut) {
    Platform().setFileAttributes(path.c_str(), entry.dwFileAttributes & ~kKeepsOwnFoldersOut);  // keeps DIRECTORY
  }
  return emptied && WithRetries(path.c_str(), [&] { return Platform().removeDirectory(path.c_str()) != FALSE; });
}

// One walk of a source folder. A destination known to be new holds nothing yet, so its entries
// need no existence test or comparison: a first copy does no more than a plain copy would.
class TreeWalk {
 public:
  TreeWalk(TreeMode mode, const StarterOutputTest& starterOutput) : mode_(mode), starterOutput_(starterOutput) {}

  bool Complete() const { return complete_; }

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
  // cannot be listed to its end gives no folder (false).
  bool BuildFolder(const std::wstring& source, const std::wstring& destination) {
    const std::wstring building = TemporaryNameOf(destination);
    if (!RemoveOwnFolder(building) || !CreateFolderWithRetries(building)) return BuildInPlace(source, destination);
    buildSpoiled_ = false;
    if (!Walk(source, building, true)) {
      RemoveOwnFolder(building);
      return false;
    }
    if (buildSpoiled_) {
      RemoveOwnFolder(building);
      return BuildInPlace(source, destination);
    }
    if (MoveWithRetries(building, destination, 0)) return true;
    PlaceBuiltFiles(source, building, destination);
    if (!RemoveOwnFolder(building)) Lacking(L"removal of " + building);
    return true;
  }

 private:
  // What the walk could not place, or could not take away of its own, goes to the trace, and the
  // walk counts as incomplete.
  void Lacking(const std::wstring& what, DWORD error = ::GetLastError()) {
    TraceFailure(what, error);
    complete_ = false;
  }

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
    const bool sourceIsReadOnly = IsReadOnlyEntry(entry);
    if (destinationIsNew) {
      if (IsFolderEntry(entry)) {
        VisitNewFolder(source, destination);
      } else if (!CopyToOwnName(source, destination, sourceIsReadOnly)) {
        Lacking(L"copy to " + destination);
        // Part of the copy could not be taken away: the folder must not take its name with it.
        if (Exists(destination)) buildSpoiled_ = true;
      }
      return;
    }
    const DWORD attributes = ::GetFileAttributesW(destination.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (IsFolderEntry(entry)) {
      VisitFolder(source, destination, exists, (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } else if (mode_ == TreeMode::kRemove) {
      // A start ended midway may have left a copy under its temporary name.
      RemoveLeftoverTemporary(destination);
      if (exists) RemoveIfUntouched(source, destination, attributes);
    } else if (!exists) {
      if (!CopyIntoPlace(source, destination, sourceIsReadOnly, false)) CheckPlaced(destination);
    } else {
      if (!RemoveLeftoverTemporary(destination)) Lacking(L"removal of " + TemporaryNameOf(destination));
      if (mode_ == TreeMode::kCopy) VisitExistingFile(source, destination, attributes, sourceIsReadOnly);
    }
  }

  void VisitNewFolder(const std::wstring& source, const std::wstring& destination) {
    if (!CreateFolderWithRetries(destination)) {
      Lacking(L"folder " + destination);
    } else if (!Walk(source, destination, true)) {
      Lacking(L"listing of " + source);
    }
  }

  void VisitFolder(const std::wstring& source, const std::wstring& destination, bool exists, bool isFolder) {
    if (mode_ == TreeMode::kRemove) {
      RemoveOwnFolder(TemporaryNameOf(destination));
      if (Walk(source, destination, false)) Platform().removeDirectory(destination.c_str());
    } else if (!exists) {
      if (!BuildFolder(source, destination)) Lacking(L"listing of " + source);
    } else if (isFolder) {
      if (!RemoveOwnFolder(TemporaryNameOf(destination))) Lacking(L"removal of " + TemporaryNameOf(destination));
      if (!Walk(source, destination, false)) Lacking(L"listing of " + source);
    }
    // A file of the user's where the source has a folder stays: it is the user's in its place.
  }

  // The temporary name cannot be had (a link there that cannot be removed, a leftover file that is
  // held open): the folder is made under its own name and filled file by file, each copy under its
  // own temporary name.
  bool BuildInPlace(const std::wstring& source, const std::wstring& destination) {
    if (!CreateFolderWithRetries(destination)) {
      Lacking(L"folder " + destination);
      return true;
    }
    return Walk(source, destination, false);
  }

  // Windows refuses to rename a folder while a file in it is open elsewhere (a search indexer or a
  // virus scanner looking at a new copy) for longer than the retries wait. Every file still reaches
  // its place: moved where it can be, copied again from the source where it cannot. The walk goes
  // over the source, so a file whose copy into the folder being built failed is copied here too.
  void PlaceBuiltFiles(const std::wstring& source, const std::wstring& building, const std::wstring& destination) {
    if (!CreateFolderWithRetries(destination)) {
      Lacking(L"folder " + destination);
      return;
    }
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle find(::FindFirstFileW((source + L"\\*").c_str(), &entry));
    if (!find) {
      Lacking(L"listing of " + source);
      return;
    }
    do {
      const std::wstring from = building + L'\\' + entry.cFileName;
      const std::wstring to = destination + L'\\' + entry.cFileName;
      const std::wstring original = source + L'\\' + entry.cFileName;
      if (IsDotEntry(entry.cFileName) || IsFolderLink(entry) || !Fits(original, kPathCapacity) ||
          !Fits(TemporaryNameOf(from), kPathCapacity) || !Fits(TemporaryNameOf(to), kPathCapacity)) {
        continue;
      }
      if (IsFolderEntry(entry)) {
        PlaceBuiltFiles(original, from, to);
      } else if (!MoveWithRetries(from, to, 0) && !CopyIntoPlace(original, to, IsReadOnlyEntry(entry), false)) {
        CheckPlaced(to);
      }
    } while (::FindNextFileW(find.Get(), &entry));
  }

  // The starter's own copies are writable: a read-only file was made so by the user or an
  // administrator and is never deleted.
  void RemoveIfUntouched(const std::wstring& source, const std::wstring& destination, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0 && Untouched(source, destination)) {
      WithRetries(destination.c_str(), [&] { return Platform().deleteFile(destination.c_str()) != FALSE; });
    }
  }

  void VisitExistingFile(const std::wstring& source, const std::wstring& destination, DWORD attributes,
                         bool sourceIsReadOnly) {
    const std::wstring backup = destination + L".bak";
    if (DecideExistingFile(attributes, ::GetFileAttributesW(backup.c_str())) == ExistingFileAction::kLeave ||
        Untouched(source, destination)) {
      return;
    }
    // The starter's own output over an older default holds nothing of the user's: it makes no
    // ".bak" over one that may.
    const bool replaced = CarriesStarterWriteMark(destination) && Exists(backup)
                              ? CopyIntoPlace(source, destination, sourceIsReadOnly, true)
                              : ReplaceKeepingBackup(source, destination, backup, sourceIsReadOnly);
    if (!replaced) CheckPlaced(destination);
  }

  // After a copy or replacement that failed: the name must hold a file (the user's, when the
  // replacement failed), and no temporary copy may be left beside it.
  void CheckPlaced(const std::wstring& destination) {
    const DWORD error = ::GetLastError();
    if (!Exists(destination)) Lacking(L"copy to " + destination, error);
    if (Exists(TemporaryNameOf(destination))) Lacking(L"removal of " + TemporaryNameOf(destination), error);
  }

  // The starter's own writes never make a file count as the user's: a ".bak" of such a file would
  // replace the one that holds the user's content.
  bool Untouched(const std::wstring& source, const std::wstring& destination) const {
    return SameFile(source, destination) || (starterOutput_ && starterOutput_(source, destination));
  }

  TreeMode mode_;
  const StarterOutputTest& starterOutput_;
  bool complete_ = true;
  bool buildSpoiled_ = false;
};

}  // namespace

bool IsLinkAt(const std::wstring& path) {
  WIN32_FIND_DATAW entry{};
  return LookAt(path, entry) && IsLinkEntry(entry);
}

bool RemoveOwnFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  if (!LookAt(folder, entry)) return true;
  return RemoveOwnEntry(folder, entry);
}

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

TreeOutcome WalkTree(const std::wstring& source, const std::wstring& destination, TreeMode mode,
                     const StarterOutputTest& starterOutput) {
  TreeWalk walk(mode, starterOutput);
  const bool listed = walk.Walk(source, destination, false);
  return {listed, walk.Complete()};
}

bool CopyTree(const std::wstring& source, const std::wstring& destination, bool remove) {
  return WalkTree(source, destination, remove ? TreeMode::kRemove : TreeMode::kCopy).listedToEnd;
}

TreeOutcome CopyTreeAsNewFolder(const std::wstring& source, const std::wstring& destination) {
  if (!Exists(source)) return {false, true};
  const StarterOutputTest none;
  TreeWalk walk(TreeMode::kCopy, none);
  const bool listed = walk.BuildFolder(source, destination);
  return {listed, walk.Complete()};
}

bool CreateFolderWithParents(const std::wstring& folder) {
  if (folder.empty()) return false;
  if (Exists(folder)) return true;
  const auto slash = folder.rfind(L'\\');
  if (slash != std::wstring::npos && slash > 0) CreateFolderWithParents(folder.substr(0, slash));
  return CreateFolderWithRetries(folder);
}

}  // namespace velmora
