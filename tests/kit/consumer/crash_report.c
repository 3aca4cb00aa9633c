/* The crash-report module, in C: says which of its entry points ran. */
#include <windows.h>

#include <velmora/crash_report.h>

static void Say(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)lstrlenA(text), &written, NULL);
}

__declspec(dllexport) int SetProcessHandlers(void) {
  Say("crash report: SetProcessHandlers\n");
  return 0;
}

__declspec(dllexport) int SetThreadHandlers(void) {
  Say("crash report: SetThreadHandlers\n");
  return 0;
}
