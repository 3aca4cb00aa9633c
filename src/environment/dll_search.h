#pragma once

namespace velmora {

// Takes the current folder out of the DLL search order before any module is loaded. A file
// association starts the starter in the folder of the drawing the user opened, and a DLL planted
// beside that drawing must never be loaded. Naming the starter's own folder does this on Windows
// and under Wine (an empty text does not under Wine) and adds nothing new: that folder is searched
// first anyway.
void KeepCurrentFolderOutOfDllSearch();

}  // namespace velmora
