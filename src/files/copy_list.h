#pragma once

#include <string>
#include <vector>

#include "files/settings_file.h"
#include "files/tree_copy.h"

namespace velmora {

// Walks a copy list: every entry name[=value] brings the folder name below the source root into
// the destination root, or into its subfolder value, in the given mode. In copy and repair mode
// the destination folder is created first, with any missing parents. An entry whose name or value
// would leave its root is skipped. True when every entry's walk was complete (a source folder
// that is not there is no failure).
bool ApplyCopyList(const std::vector<SectionEntry>& copyList, const std::wstring& sourceRoot,
                   const std::wstring& destinationRoot, TreeMode mode, const StarterOutputTest& starterOutput = {});

}  // namespace velmora
