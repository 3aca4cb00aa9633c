#pragma once

#include <string>

namespace velmora {

// Brings a destination tree up to its source (copy mode), or takes out of it exactly the files
// still identical to the source and the folders that become empty (remove mode). In copy mode a
// destination file that differs from its source is first saved beside it with ".bak" appended, and
// replaced only when that succeeded. Copies are writable; a read-only destination file is
// neither replaced nor deleted. Folder links (junctions, symbolic links) in the source are
// not followed.
// True when the source folder could be listed to its end. Entries whose paths would not fit 259
// characters are skipped.
bool CopyTree(const std::wstring& source, const std::wstring& destination, bool remove);

// CopyFileW allowing overwrite, with the read-only attribute taken off the copy, so that what the
// starter puts in the user's folders stays the user's to change. False when the copy failed.
bool CopyFileForUser(const std::wstring& source, const std::wstring& destination);

// Deletes a file even when it is read-only, for a removal the user asked for.
bool DeleteFileOfUser(const std::wstring& path);

// Both files can be opened and have the same size and the same last-write time. Contents are not
// compared: copies keep their source's last-write time.
bool SameFile(const std::wstring& first, const std::wstring& second);

// Creates a folder and any of its missing parents. True when it exists afterwards.
bool CreateFolderWithParents(const std::wstring& folder);

}  // namespace velmora
