#include <windows.h>

#include "common/paths.h"
#include "common/trace.h"
#include "environment/dll_search.h"
#include "launcher/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  velmora::BeginTrace();
  const std::wstring starterPath =
      velmora::ModuleFileName(nullptr, velmora::kLongestPathCapacity).value_or(std::wstring());
  // Before anything can load a module: never from the folder the user happened to start us in.
  velmora::KeepCurrentFolderOutOfDllSearch(starterPath);
  return velmora::RunStarter(instance, starterPath, showCommand);
}
