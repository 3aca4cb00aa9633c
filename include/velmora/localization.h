/* The localization library: translates the starter's upgrade question into the application's
 * language.
 *
 * File: VELMORA_LOCALIZATION_LIBRARY. The starter never loads it: it uses it only when a module
 * loaded earlier in the start (the identity module, for instance, from new_IOemInfo) has already
 * brought it into the process (GetModuleHandleW).
 *
 * When: in an application start, on the starter's main thread, only when the starter asks the
 * user after an upgrade whether to keep or reset the custom settings (the installer left the
 * JustUpgraded marker and the user has a settings file). Then:
 *   1. the starter looks up Supp_Init under VELMORA_SUPP_INIT_EXPORT; without it the library is
 *      not used at all (Supp_Translate is not even looked up);
 *   2. it calls Supp_Init once with the translation file: the main module's path with its
 *      extension replaced by "wld" (velmora.wld beside velmora.dll); the answer is ignored;
 *   3. it looks up Supp_Translate under VELMORA_SUPP_TRANSLATE_EXPORT; without it the English
 *      texts are shown;
 *   4. it translates four English texts, in this order: the reset choice (a template holding "%s"
 *      twice, both filled with the per-user folder after translation), the keep choice, the main
 *      instruction and the content. The dialog's title (the product title) is not translated.
 *
 * Both are exported under their decorated names only, as an MSVC-built C++ library exports
 * int Supp_Init(const wchar_t*) and const wchar_t* Supp_Translate(const wchar_t*). The kit
 * declares them with C linkage; velmora/localization.def exports these definitions under the
 * decorated names, with MinGW's linker and with MSVC's:
 *   add_library(strata SHARED strata.c ${VelmoraStarter_LOCALIZATION_DEF})
 * Do not export them under their plain names as well: nothing looks those up.
 */
#ifndef VELMORA_LOCALIZATION_H
#define VELMORA_LOCALIZATION_H

#include "velmora/platform.h"

#define VELMORA_LOCALIZATION_LIBRARY L"strata.dll"

/* The export names the starter looks up. */
#define VELMORA_SUPP_INIT_EXPORT "?Supp_Init@@YAHPEB_W@Z"
#define VELMORA_SUPP_TRANSLATE_EXPORT "?Supp_Translate@@YAPEB_WPEB_W@Z"

VELMORA_BEGIN_C

/* Initialises the library with the language file. The starter ignores the answer; a failed
 * initialisation shows whatever Supp_Translate then answers. */
int Supp_Init(LPCWSTR translationFile);

/* The text to show for an English text: a terminated string owned by the library that stays valid
 * at least until the dialog has closed, or the text itself when the library does not know it.
 * A translated reset choice must keep both "%s" ("%%" shows one "%"); one that does not fit the
 * dialog's 520 characters once filled leaves the question unasked and the settings as they are.
 * A null answer shows the English text. */
LPCWSTR Supp_Translate(LPCWSTR english);

typedef int (*VelmoraSuppInit)(LPCWSTR translationFile);
typedef LPCWSTR (*VelmoraSuppTranslate)(LPCWSTR english);

VELMORA_END_C

#endif /* VELMORA_LOCALIZATION_H */
