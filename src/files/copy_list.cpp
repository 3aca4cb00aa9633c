#include "files/copy_list.h"

#include "common/paths.h"
#include "common/trace.h"

namespace velmora {

bool ApplyCopyList(const std::vector<SectionEntry>& copyList, const std::wstring& sourceRoot,
                   const std::wstring& destinationRoot, TreeMode mode, const StarterOutputTest& starterOutput) {
  // Nothing is ever put relative to an empty root: it would land at the top of the current drive.
  if (sourceRoot.empty() || destinationRoot.empty()) return true;
  bool complete = true;
  for (const SectionEntry& entry : copyList) {
    // An entry that leaves its roots would copy, or in remove mode delete, elsewhere.
    if (!StaysBelowRoot(entry.name) || !StaysBelowRoot(entry.value)) {
      TraceRefusal(L"copy-list entry " + entry.name + L'=' + entry.value, L"it would leave its root");
      continue;
    }
    const std::wstring source = sourceRoot + L'\\' + entry.name;
    const std::wstring destination = entry.value.empty() ? destinationRoot : destinationRoot + L'\\' + entry.value;
    // The tree copy creates only the folders below its destination.
    if (mode != TreeMode::kRemove && !CreateFolderWithParents(destination)) {
      TraceFailure(L"folder " + destination, ::GetLastError());
      complete = false;
      continue;
    }
    complete = WalkTree(source, destination, mode, starterOutput).complete && complete;
  }
  return complete;
}

}  // namespace velmora
