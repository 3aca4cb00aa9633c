/* The crash-report module: installs the handlers that report a crash of the application. It is
 * optional; what its handlers do is its own affair.
 *
 * File: VELMORA_CRASH_REPORT_MODULE, loaded by that bare name with the system's search order
 * (the current folder excluded), in which PATH holds the module search path and the platform
 * folder by then: put it beside the starter or beside the main module.
 *
 * When: in an application start only, right before RunAppW (velmora/main_module.h) and after
 * SetStartScreenThreadId, on the starter's main thread, the thread that then runs the
 * application:
 *   1. the starter loads the module;
 *   2. if it exports SetProcessHandlers, the starter calls it; only then, if the module also
 *      exports SetThreadHandlers, it calls that too;
 *   3. RunAppW runs;
 *   4. the starter unloads the module (FreeLibrary), also when RunAppW was left by a C++
 *      exception. Handlers must therefore not outlive RunAppW inside the module's code, or the
 *      module must keep itself loaded (GetModuleHandleExW with GET_MODULE_HANDLE_EX_FLAG_PIN).
 * A missing module, or one without SetProcessHandlers, installs nothing, shows no message and the
 * application runs as usual; a missing SetThreadHandlers only skips that call.
 */
#ifndef VELMORA_CRASH_REPORT_H
#define VELMORA_CRASH_REPORT_H

#include "velmora/platform.h"

#define VELMORA_CRASH_REPORT_MODULE L"DiDevovEzovid.dll"

/* Exported by the crash-report module under these exact names. */
#define VELMORA_SET_PROCESS_HANDLERS_EXPORT "SetProcessHandlers"
#define VELMORA_SET_THREAD_HANDLERS_EXPORT "SetThreadHandlers"

VELMORA_BEGIN_C

/* Installs the process-wide handlers (for instance SetUnhandledExceptionFilter). The starter
 * ignores the answer (the kit declares int: answer 0). */
VELMORA_ENTRY_POINT int SetProcessHandlers(void);

/* Installs the handlers of the calling thread, the one that runs the application. The starter
 * ignores the answer (int: answer 0). */
VELMORA_ENTRY_POINT int SetThreadHandlers(void);

typedef int (*VelmoraSetHandlers)(void);

VELMORA_END_C

#endif /* VELMORA_CRASH_REPORT_H */
