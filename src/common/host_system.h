#pragma once

namespace velmora {

// True when the starter runs under Wine, whose ntdll exports wine_get_version and Windows' never
// does. Only for the few places where Wine does something Windows does not and the starter must
// not let it (see the README's list of differences).
bool RunsUnderWine();

}  // namespace velmora
