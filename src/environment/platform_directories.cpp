#include "environment/platform_directories.h"

namespace velmora {

bool UsesPlatformPlaceholder(const std::wstring& moduleSearchPath) {
  return moduleSearchPath.find(L"%5") != std::wstring::npos;
}

// Not built yet: %5 stays in the search path as it is.
void ResolvePlatformDirectories(const std::wstring&, const Options&, const InstallationNames&, std::wstring&) {}

}  // namespace velmora
