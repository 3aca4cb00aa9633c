// A start-screen program that records how it was started and what environment it inherited,
// then ends at once.
#include <windows.h>

#include <string>

#include "modules/record.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return L"<unset>";
  std::wstring value(size, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using velmora::testing::RecordLine;
  for (const wchar_t* name : {L"PATH", L"VX_WI_DIR_TREE", L"VX_ADD_PATH"}) {
    RecordLine(std::wstring(L"startscreen:env:") + name + L"=" + Variable(name));
  }
  RecordLine(std::wstring(L"startscreen:commandLine=") + ::GetCommandLineW());
  // Last, so that a test waiting for it finds the lines above already there.
  RecordLine(L"startscreen:thread=" + velmora::testing::ThreadLabel());
  return 0;
}
