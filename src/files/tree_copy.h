#pragma once

#include <string>

#include "files/file_replace.h"  // DeleteFileOfUser, and the replace step the copies go through

namespace velmora {

// Brings a destination tree up to its source (copy mode), or takes out of it exactly the files
// still identical to the source and the folders that become empty (remove mode). In copy mode a
// destination file that differs from its source becomes its ".bak" and the complete copy takes its
// place (ReplaceKeepingBackup); every copy is written under its temporary name first, a folder the
// destination lacks as a whole (filled under its temporary name, then renamed). Copies are
// writable; a read-only destination file is neither replaced nor deleted. Folder links (junctions,
// symbolic links) in the source are not followed.
// True when the source folder could be listed to its end. Entries whose paths, or temporary names,
// would not fit 259 characters are skipped.
bool CopyTree(const std::wstring& source, const std::wstring& destination, bool remove);

// Copies a source folder to a destination the user does not have, built whole under the
// destination's temporary name (see above); what an ended start left there goes first. False, with
// no destination, when the source is missing or cannot be listed to its end.
bool CopyTreeAsNewFolder(const std::wstring& source, const std::wstring& destination);

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
