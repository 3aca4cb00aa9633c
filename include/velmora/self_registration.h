/* Self-registering modules: modules that register and unregister themselves when the installer
 * runs the starter with -register or -unregister.
 *
 * Which modules: the entries of the section \SelfRegModules of the starter's settings file, in
 * file order (a name, with or without a folder; text after "=" is ignored; lines that begin with
 * "@=" are comments). Each is looked up along the module search path (no default extension; a
 * folder that contains the platform placeholder finds nothing, as the platform is not chosen in
 * these runs) and loaded; it is never unloaded.
 *
 * When: "velmora.exe -register" registers, "velmora.exe -unregister" (also together with
 * -register) unregisters; no application starts, no start screen. Everything runs on the
 * starter's main thread, one module after the other. Every call receives as `host` the full path
 * of the running starter and as `reserved` the integer 0. The starter ends with exit code 0
 * whatever the modules answer.
 *
 * Registration of one module:
 *   - if it exports VxDllInstallW: five calls, (install 1, scope "user"), (0, ""), (0, ""),
 *     (1, "") and (1, "user"); when the fourth or the fifth answers zero or more, the module is
 *     registered;
 *   - otherwise (no VxDllInstallW, or both of those answers negative): VxDllRegisterServerW,
 *     zero or more is success.
 *   Failures are written to the debugger output as Starter::RegisterModule("<name>") followed by
 *   " - unable to load module", " - unable to find register entry point" or " - registering
 *   failed".
 * Unregistration of one module (silent):
 *   - if it exports VxDllInstallW: three calls, (install 0, scope "user"), (0, ""), (0, ""); when
 *     the first or the third answers zero or more, the module is unregistered;
 *   - otherwise: VxDllUnRegisterServerW, when exported.
 * A module needs either VxDllInstallW or the pair of server entry points; all three may be there.
 */
#ifndef VELMORA_SELF_REGISTRATION_H
#define VELMORA_SELF_REGISTRATION_H

#include "velmora/platform.h"

/* Exported by a self-registering module under these exact names. */
#define VELMORA_INSTALL_EXPORT "VxDllInstallW"
#define VELMORA_REGISTER_SERVER_EXPORT "VxDllRegisterServerW"
#define VELMORA_UNREGISTER_SERVER_EXPORT "VxDllUnRegisterServerW"

/* The scopes VxDllInstallW receives: the current user, or the empty text for the whole machine. */
#define VELMORA_SCOPE_USER L"user"
#define VELMORA_SCOPE_MACHINE L""

VELMORA_BEGIN_C

/* install: 1 to install (register), 0 to uninstall; scope: VELMORA_SCOPE_USER or
 * VELMORA_SCOPE_MACHINE. Answers zero or more on success, a negative value (an HRESULT failure,
 * for instance) otherwise. */
VELMORA_ENTRY_POINT int VxDllInstallW(LPCWSTR host, int reserved, int install, LPCWSTR scope);

/* Registers the module; zero or more on success. */
VELMORA_ENTRY_POINT int VxDllRegisterServerW(LPCWSTR host, int reserved);

/* Unregisters the module; zero or more on success. */
VELMORA_ENTRY_POINT int VxDllUnRegisterServerW(LPCWSTR host, int reserved);

typedef int (*VelmoraVxDllInstallW)(LPCWSTR host, int reserved, int install, LPCWSTR scope);
typedef int (*VelmoraVxDllServerW)(LPCWSTR host, int reserved);

VELMORA_END_C

#endif /* VELMORA_SELF_REGISTRATION_H */
