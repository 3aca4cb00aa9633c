#include "common/window_station.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(WindowStation, OnlyAStationWhoseFlagsSayVisibleCountsAsVisible) {
  const struct {
    bool flagsRead;
    DWORD flags;
    bool visible;
  } cases[] = {
      {true, WSF_VISIBLE, true},
      {true, WSF_VISIBLE | 0x100, true},
      {true, 0, false},
      {true, 0x100, false},
      // Flags that could not be read say nothing: no box where nobody may answer it.
      {false, WSF_VISIBLE, false},
      {false, 0, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsVisibleStation(c.flagsRead, c.flags), c.visible) << c.flagsRead << " " << c.flags;
  }
}

TEST(WindowStation, TheTestsOwnInteractiveStationIsVisible) {
  // The test runs on WinSta0, the interactive station, as a user's programs do.
  EXPECT_TRUE(ProcessWindowStationIsVisible());
}

}  // namespace
}  // namespace velmora
