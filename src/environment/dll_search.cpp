#include "environment/dll_search.h"

#include <windows.h>

#include "common/paths.h"

namespace velmora {

namespace {
constexpr std::size_t kLongestPath = 32768;
}  // namespace

void KeepCurrentFolderOutOfDllSearch() {
  const auto starterPath = ModuleFileName(nullptr, kLongestPath);
  if (!starterPath) return;
  ::SetDllDirectoryW(CutAtLastBackslash(*starterPath).c_str());
}

}  // namespace velmora
