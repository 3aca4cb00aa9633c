#pragma once

#include <windows.h>

namespace velmora {

// Whether a window station with these attribute flags is one a person sees. `flagsRead` is false
// when the flags could not be read: a box there could wait for an answer nobody can give, so such
// a station counts as not visible.
bool IsVisibleStation(bool flagsRead, DWORD flags);

// Whether the process's own window station is visible (WSF_VISIBLE). It is not when the starter
// runs as a service or as the installer's system account in session 0: a box shown there is never
// seen and never answered, so the starter shows none.
bool ProcessWindowStationIsVisible();

}  // namespace velmora
