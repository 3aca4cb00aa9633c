/* The main module: the library that holds the application. The starter's last act is to load it
 * into its own process and run the application in it, on its own main thread.
 *
 * File: the starter's built-in main module name (the starter's own file name with the extension
 * "dll", velmora.dll, unless the starter was built with another), looked up along the module
 * search path before the platform folder is known; when it is not found there, the bare name is
 * loaded with the system's search order (the current folder excluded), in which PATH by then
 * holds the platform folder too. GetMainDllNameW (velmora/starter_exports.h) answers the path
 * the starter uses.
 *
 * When: at the end of an application start (never in a -register or -unregister run), after
 * the environment, the per-user data, the start screen, the platform folders and the pre-loaded
 * modules (the settings file's \PreLoadedModules list) are in place. On the main thread:
 *   1. the starter loads the module; it is never unloaded;
 *   2. it looks up RunAppW; without it the start ends with the report "Main application component
 *      is corrupted" and the reinstall line, exit code 255 (so does a module that does not load,
 *      with "Some of application components are missing or corrupted");
 *   3. if the module exports SetStartScreenThreadId, the starter calls it once;
 *   4. it lets the crash-report module install its handlers (velmora/crash_report.h);
 *   5. it calls RunAppW once; the application runs inside it.
 *
 * Exit code of the starter's process: what RunAppW answers; 1 when RunAppW is left by a C++
 * exception (of GCC-built or MSVC-built code; the starter stops its unwinding). A structured
 * exception (an access violation, for instance) is not caught: it goes to the crash-report
 * module's handlers and the system.
 */
#ifndef VELMORA_MAIN_MODULE_H
#define VELMORA_MAIN_MODULE_H

#include "velmora/platform.h"

/* Exported by the main module under these exact names. */
#define VELMORA_RUN_APP_EXPORT "RunAppW"
#define VELMORA_SET_START_SCREEN_THREAD_ID_EXPORT "SetStartScreenThreadId"

/* The application command line ends with one space, a slash, this marker and the full path of the
 * starter's settings file in double quotes: ... /_VxIniFileName_:"C:\...\velmora.ini". Before it
 * come the starter's own arguments, each in double quotes and followed by one space, as the user
 * gave them (not escaped); without arguments the command line begins with the space. */
#define VELMORA_SETTINGS_FILE_MARKER L"_VxIniFileName_:"

VELMORA_BEGIN_C

/* Required. Runs the application; called once, on the starter's main thread, with
 *   instance:    the main module's own handle;
 *   previous:    always null;
 *   commandLine: the application command line (above), writable, valid until RunAppW returns;
 *   showCommand: the show-window value the starter received (SW_SHOWDEFAULT, 10, unless the
 *                process was started with one).
 * Its answer becomes the starter's exit code. */
VELMORA_ENTRY_POINT int WINAPI RunAppW(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

/* Optional. Called once, before RunAppW, on the main thread, with the identifier of the start
 * screen's main thread, or 0 when no start screen was started. The starter ignores the answer
 * (the kit declares int: answer 0). Without it the module simply does not learn the identifier. */
VELMORA_ENTRY_POINT int SetStartScreenThreadId(DWORD threadId);

typedef int(WINAPI* VelmoraRunAppW)(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
typedef int (*VelmoraSetStartScreenThreadId)(DWORD threadId);

VELMORA_END_C

#endif /* VELMORA_MAIN_MODULE_H */
