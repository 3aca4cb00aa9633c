/* The module kit: every contract between the starter (velmora.exe) and the modules it loads or
 * starts, one header each.
 *
 *   velmora/identity.h           the product identity module (new_IOemInfo and its table)
 *   velmora/main_module.h        the main module (RunAppW, SetStartScreenThreadId)
 *   velmora/starter_exports.h    what the main module may ask the starter (GetMainDllNameW, ...)
 *   velmora/crash_report.h       the crash-report module (SetProcessHandlers, SetThreadHandlers)
 *   velmora/localization.h       the localization library (Supp_Init, Supp_Translate), with
 *                                velmora/localization.def for its decorated export names
 *   velmora/self_registration.h  modules registered by -register and -unregister
 *   velmora/start_screen.h       the start-screen program and its parameter file
 *
 * Every module defines the entry points of its kind after including the header and exports them
 * itself (__declspec(dllexport) on the definition, or a module-definition file): the declarations
 * fix their types, so a definition that does not match does not compile.
 */
#ifndef VELMORA_MODULES_H
#define VELMORA_MODULES_H

#include "velmora/platform.h"

#include "velmora/crash_report.h"
#include "velmora/identity.h"
#include "velmora/localization.h"
#include "velmora/main_module.h"
#include "velmora/self_registration.h"
#include "velmora/start_screen.h"
#include "velmora/starter_exports.h"

#endif /* VELMORA_MODULES_H */
