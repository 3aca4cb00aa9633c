#include "files/folder_links.h"

namespace velmora {

bool TreatAsFolderLink(DWORD attributes, DWORD reparseTag) {
  constexpr DWORD kReparseFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if ((attributes & kReparseFolder) != kReparseFolder) return false;
  return reparseTag == 0 || IsReparseTagNameSurrogate(reparseTag);
}

}  // namespace velmora
