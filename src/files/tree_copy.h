#pragma once

#include <string>

namespace velmora {

// Brings a destination tree up to its source (copy mode), or takes out of it exactly the files
// still identical to the source and the folders that become empty (remove mode). In copy mode a
// destination file that differs from its source is first saved beside it with ".bak" appended, and
// replaced only when that succeeded. Folder links (junctions, symbolic links) in the source are
// not followed.
// True when the source folder could be listed to its end. Entries whose paths would not fit 259
// characters are skipped.
bool CopyTree(const std::wstring& source, const std::wstring& destination, bool remove);

// Both files can be opened and have the same size and the same last-write time. Contents are not
// compared: copies keep their source's last-write time.
bool SameFile(const std::wstring& first, const std::wstring& second);

// Creates a folder and any of its missing parents. True when it exists afterwards.
bool CreateFolderWithParents(const std::wstring& folder);

}  // namespace velmora
