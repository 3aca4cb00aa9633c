#pragma once

#include <functional>
#include <string>

#include "files/file_replace.h"  // DeleteFileOfUser, and the replace step the copies go through

namespace velmora {

// Copy mode brings a destination tree up to its source: a destination file that differs from its
// source becomes its ".bak" and the complete copy takes its place (ReplaceKeepingBackup). Remove
// mode takes out of it exactly the files still identical to the source and the folders that become
// empty. Repair mode places only what the destination lacks and never touches a file it has.
enum class TreeMode { kCopy, kRemove, kRepair };

// Tells a destination file that differs from its source but holds only what the starter itself
// wrote into its copy (a settings entry, a file it fills at every start) from one the user
// changed; such a file counts as identical to its source. Asked only when the two differ.
using StarterOutputTest = std::function<bool(const std::wstring& source, const std::wstring& destination)>;

struct TreeOutcome {
  bool listedToEnd = false;  // the source folder could be listed to its end
  // Every file and folder of the source has its counterpart in the destination (the source's copy,
  // or the user's own file under its name), and nothing the walk made is left under a temporary
  // name. A copy, folder or rename that failed for good clears it.
  bool complete = true;
};

// Walks the source tree in the given mode. Every copy is written under its temporary name first;
// a folder the destination lacks is built whole (filled under its temporary name, then renamed;
// where Windows refuses that rename, each file moves on its own or is copied again from the
// source). Copies are writable; a read-only destination file is neither replaced nor deleted.
// Folder links (junctions, symbolic links) in the source are not followed, and a link found where
// the walk would build or empty a folder of its own is removed as a link. Entries whose paths, or
// temporary names, would not fit 259 characters are skipped.
TreeOutcome WalkTree(const std::wstring& source, const std::wstring& destination, TreeMode mode,
                     const StarterOutputTest& starterOutput = {});

// WalkTree in copy or remove mode; true when the source folder could be listed to its end.
bool CopyTree(const std::wstring& source, const std::wstring& destination, bool remove);

// Copies a source folder to a destination the user does not have, built whole under the
// destination's temporary name (see above); what an ended start left there goes first. Not listed
// to its end when the source is missing or cannot be listed; then there is no destination.
TreeOutcome CopyTreeAsNewFolder(const std::wstring& source, const std::wstring& destination);

// Takes away a file or folder of the starter's own making (a folder being built, a backup folder
// being gathered, a workspace) with everything in it. A link there is removed as a link, never
// followed, and a link inside is removed likewise. True when nothing is left under the name.
bool RemoveOwnFolder(const std::wstring& folder);

// True when the path itself is a junction, a symbolic link or another name surrogate (a reparse
// point without a tag counts as one).
bool IsLinkAt(const std::wstring& path);

// Copies a file over its destination as a whole (under the temporary name, then renamed), with the
// read-only attribute taken off the copy, so that what the starter puts in the user's folders
// stays the user's to change. A hidden destination is replaced; a read-only one, or a folder, is
// not. False when the copy failed; then the destination is as it was.
bool CopyFileForUser(const std::wstring& source, const std::wstring& destination);

// Both files can be opened and have the same size and the same last-write time. Contents are not
// compared: copies keep their source's last-write time.
bool SameFile(const std::wstring& first, const std::wstring& second);

// Creates a folder and any of its missing parents. True when it exists afterwards.
bool CreateFolderWithParents(const std::wstring& folder);

}  // namespace velmora
