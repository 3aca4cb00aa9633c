/* What every header of the module kit shares: the Windows declarations, the 64-bit check and the
 * C linkage of the entry points.
 *
 * The kit's headers compile as C (C11 and later) and as C++ (C++17 and later), with MinGW-w64
 * (GCC or clang) and with MSVC, before or after <windows.h>. They declare only what a module and
 * the starter exchange; nothing of the starter's own code.
 */
#ifndef VELMORA_PLATFORM_H
#define VELMORA_PLATFORM_H

/* The kit includes <windows.h> itself: define its configuration macros (WIN32_LEAN_AND_MEAN,
 * NOMINMAX, _WIN32_WINNT...) before the first include of either. */
#include <windows.h>

/* The starter is a Windows x64 program: it loads only x64 modules, and the entry points below
 * agree with it on the x64 calling convention. */
#if !defined(_WIN64) || !(defined(_M_X64) || defined(__x86_64__)) || defined(_M_ARM64EC)
#error "Modules of the starter are Windows x64 modules"
#endif

#ifdef __cplusplus
#define VELMORA_BEGIN_C extern "C" {
#define VELMORA_END_C }
#else
#define VELMORA_BEGIN_C
#define VELMORA_END_C
#endif

/* Compile-time checks in C and C++ alike. */
#ifdef __cplusplus
#define VELMORA_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define VELMORA_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* The contract's integers are 32 bits wide, as int is on Windows. */
VELMORA_STATIC_ASSERT(sizeof(int) == 4, "the entry points answer 32-bit integers");

/* Every entry point a module exports is looked up by the exact name given with it, as an 8-bit
 * text (GetProcAddress). A module exports its entry points itself, with __declspec(dllexport) on
 * its definitions or through a module-definition file; the declarations here carry neither
 * dllexport nor dllimport, so that a module's definition must match them. clang warns
 * (-Wdll-attribute-on-redeclaration) when a definition adds dllexport to a plain declaration,
 * GCC and MSVC do not: a module built with clang may define VELMORA_EXPORT_ENTRY_POINTS before
 * including the kit, and the declarations of the module entry points then carry dllexport
 * themselves (a declaration that the module does not define exports nothing). */
#ifdef VELMORA_EXPORT_ENTRY_POINTS
#define VELMORA_ENTRY_POINT __declspec(dllexport)
#else
#define VELMORA_ENTRY_POINT
#endif

#endif /* VELMORA_PLATFORM_H */
