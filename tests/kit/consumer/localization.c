/* The localization library, in C: exported under the decorated names by the kit's .def. */
#include <windows.h>

#include <velmora/localization.h>

int Supp_Init(LPCWSTR translationFile) { return translationFile != NULL; }

LPCWSTR Supp_Translate(LPCWSTR english) { return english; }
