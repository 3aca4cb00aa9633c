#pragma once

#include <windows.h>

namespace velmora {

// Whether a walk must not enter a folder it lists, from the attributes and the reparse tag that
// FindFirstFileW/FindNextFileW report for it (dwReserved0, defined only with the reparse-point
// attribute). A junction or symbolic link may lead back into the tree or anywhere else; its tag is
// a name surrogate. Other reparse-point folders hold their own content and are walked: cloud-file
// placeholders (OneDrive and other sync providers), deduplicated or projected folders. A tag of
// zero tells nothing (Wine reports the host's symbolic links so) and counts as a link.
bool TreatAsFolderLink(DWORD attributes, DWORD reparseTag);

}  // namespace velmora
