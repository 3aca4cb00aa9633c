#include <windows.h>

#include "environment/dll_search.h"
#include "launcher/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Before anything can load a module: never from the folder the user happened to start us in.
  velmora::KeepCurrentFolderOutOfDllSearch();
  return velmora::RunStarter(instance, showCommand);
}
