// A start-screen program that records how it was started and what environment it inherited,
// then ends at once.
#include <windows.h>

#include <string>

#include "modules/record.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using velmora::testing::RecordLine;
  for (const wchar_t* name : {L"PATH", L"VX_WI_DIR_TREE", L"VX_ADD_PATH"}) {
    RecordLine(std::wstring(L"startscreen:env:") + name + L"=" + velmora::testing::EnvironmentText(name));
  }
  RecordLine(std::wstring(L"startscreen:commandLine=") + ::GetCommandLineW());
  // Last, so that a test waiting for it finds the lines above already there.
  RecordLine(L"startscreen:thread=" + velmora::testing::ThreadLabel());
  return 0;
}
