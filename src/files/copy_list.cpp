#include "files/copy_list.h"

#include "common/paths.h"
#include "common/trace.h"
#include "files/tree_copy.h"

namespace velmora {

void ApplyCopyList(const std::vector<SectionEntry>& copyList, const std::wstring& sourceRoot,
                   const std::wstring& destinationRoot, bool remove) {
  // Nothing is ever put relative to an empty root: it would land at the top of the current drive.
  if (sourceRoot.empty() || destinationRoot.empty()) return;
  for (const SectionEntry& entry : copyList) {
    // An entry that leaves its roots would copy, or in remove mode delete, elsewhere.
    if (!StaysBelowRoot(entry.name) || !StaysBelowRoot(entry.value)) {
      TraceRefusal(L"copy-list entry " + entry.name + L'=' + entry.value, L"it would leave its root");
      continue;
    }
    const std::wstring source = sourceRoot + L'\\' + entry.name;
    const std::wstring destination = entry.value.empty() ? destinationRoot : destinationRoot + L'\\' + entry.value;
    // The tree copy creates only the folders below its destination.
    if (!remove) CreateFolderWithParents(destination);
    CopyTree(source, destination, remove);
  }
}

}  // namespace velmora
