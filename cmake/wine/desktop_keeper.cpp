// Keeps the Wine desktop open while tests and benchmarks run. Wine closes its desktop about a
// second after the last program using it ends, and the next program then waits for a new one:
// some 100 ms, and now and then a 10 s time-out when a program starts while the old desktop is
// closing. Windows, whose desktop is always there, has neither. This program holds the desktop
// until it is ended, or for the given number of seconds (default 900). wine-run starts it.
//
//   desktop_keeper.exe [<seconds>]
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  ::GetDesktopWindow();
  HDC screen = ::GetDC(nullptr);
  const unsigned long seconds = std::wcstoul(arguments, nullptr, 10);
  ::Sleep((seconds != 0 ? seconds : 900) * 1000);
  ::ReleaseDC(nullptr, screen);
  return 0;
}
