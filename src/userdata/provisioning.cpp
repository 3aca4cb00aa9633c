#include "userdata/provisioning.h"

namespace velmora {

// Not built yet: the per-user folder is left as the derived names made it.
void ProvisionUserData(const std::wstring&, const InstallationNames&, bool) {}

// Not built yet: packages named on the command line are not applied.
void ApplyPackageOption(const std::wstring&, const InstallationNames&, bool) {}

}  // namespace velmora
