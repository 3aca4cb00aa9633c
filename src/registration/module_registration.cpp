#include "registration/module_registration.h"

namespace velmora {

// Not built yet: no module is registered or unregistered.
void RegisterModules(const std::wstring&, const std::wstring&, bool) {}

}  // namespace velmora
