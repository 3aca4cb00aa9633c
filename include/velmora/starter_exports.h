/* The starter's exports: what the main module and the libraries it loads may ask the starter.
 *
 * Call them directly through the starter's import library (the CMake target
 * VelmoraStarter::exports: libvelmora.exe.a with MinGW, velmora.lib with MSVC), or look them up
 * with GetProcAddress(GetModuleHandleW(NULL), <export name>). A module linked with the import
 * library imports from the starter's file name (velmora.exe) and loads only into that program;
 * a module that must load elsewhere too looks them up instead.
 *
 * They may be called from any thread, any time after the main module has been loaded (its
 * DllMain included); they only read values that no longer change by then.
 */
#ifndef VELMORA_STARTER_EXPORTS_H
#define VELMORA_STARTER_EXPORTS_H

#include "velmora/platform.h"

/* The starter defines these functions itself and exports them through its module-definition file;
 * everywhere else they are imported. */
#ifdef VELMORA_STARTER_DEFINES_EXPORTS
#define VELMORA_STARTER_IMPORT
#else
#define VELMORA_STARTER_IMPORT __declspec(dllimport)
#endif

#define VELMORA_GET_MAIN_DLL_INSTANCE_EXPORT "GetMainDllInstance"
#define VELMORA_GET_MAIN_DLL_NAME_EXPORT "GetMainDllNameW"
/* AddModuleToTrace is exported under its decorated C++ name only. */
#define VELMORA_ADD_MODULE_TO_TRACE_EXPORT "?AddModuleToTrace@@YAXXZ"

VELMORA_BEGIN_C

/* The main module's handle; null before the main module is loaded. */
VELMORA_STARTER_IMPORT HMODULE GetMainDllInstance(void);

/* The path the starter loads the main module from: its full path when the starter found it along
 * the module search path, else its bare file name. A UTF-16 string of at most 519 characters in
 * the starter's own buffer, valid for the life of the process; never free or change it. */
VELMORA_STARTER_IMPORT LPCWSTR GetMainDllNameW(void);

typedef HMODULE (*VelmoraGetMainDllInstance)(void);
typedef LPCWSTR (*VelmoraGetMainDllNameW)(void);
typedef void (*VelmoraAddModuleToTrace)(void);

/* Does nothing; kept for modules that call it. GCC and clang give the declaration the decorated
 * name (GCC's assembler wants it quoted), through the import library's call stub. */
#if defined(__clang__)
void AddModuleToTrace(void) __asm__("?AddModuleToTrace@@YAXXZ");
#elif defined(__GNUC__)
void AddModuleToTrace(void) __asm__("\"?AddModuleToTrace@@YAXXZ\"");
#endif

VELMORA_END_C

/* MSVC's C++ gives a C++ declaration that very name; its C has no way to spell it: C modules built
 * with MSVC look the export up by VELMORA_ADD_MODULE_TO_TRACE_EXPORT. */
#if defined(_MSC_VER) && !defined(__clang__) && defined(__cplusplus)
VELMORA_STARTER_IMPORT void AddModuleToTrace(void);
#endif

#endif /* VELMORA_STARTER_EXPORTS_H */
