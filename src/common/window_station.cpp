#include "common/window_station.h"

namespace velmora {

bool IsVisibleStation(bool flagsRead, DWORD flags) { return flagsRead && (flags & WSF_VISIBLE) != 0; }

bool ProcessWindowStationIsVisible() {
  // The handle belongs to the process and must not be closed.
  const HWINSTA station = ::GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  const bool read = station != nullptr &&
                    ::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed) != FALSE;
  return IsVisibleStation(read, flags.dwFlags);
}

}  // namespace velmora
