#pragma once

#include <string>
#include <vector>

#include "files/settings_file.h"

namespace velmora {

// Walks a copy list: every entry name[=value] brings the folder name below the source root into
// the destination root, or into its subfolder value. In copy mode the destination folder is
// created first, with any missing parents. An entry whose name or value would leave its root is
// skipped.
void ApplyCopyList(const std::vector<SectionEntry>& copyList, const std::wstring& sourceRoot,
                   const std::wstring& destinationRoot, bool remove);

}  // namespace velmora
