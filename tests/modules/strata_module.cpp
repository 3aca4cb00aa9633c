// A stand-in for the application's localization library, copied into tests as strata.dll. It
// keeps a log of the calls it receives ("Init:<path>", then "Translate:<first word>") that tests
// read through TestStrataLog, and translates every text: the reset template into a text of its own
// that keeps both "%s", everything else with the prefix "T:".
#include <windows.h>

#include <velmora/localization.h>

#include <string>

namespace {

std::wstring g_log;
std::wstring g_translations[8];
int g_used = 0;

}  // namespace

extern "C" __declspec(dllexport) const wchar_t* TestStrataLog() { return g_log.c_str(); }

// Exported under the decorated names through the kit's localization.def (strata_module_noinit.def
// for the variant without Supp_Init).
#ifndef TEST_STRATA_WITHOUT_INIT
int Supp_Init(LPCWSTR path) {
  g_log += L"Init:" + std::wstring(path) + L"\n";
  return 0;
}
#endif

LPCWSTR Supp_Translate(LPCWSTR text) {
  const std::wstring english(text);
  g_log += L"Translate:" + english.substr(0, english.find_first_of(L" :")) + L"\n";
  if (g_used == 8) return text;
  std::wstring& translated = g_translations[g_used++];
  translated = english.starts_with(L"Reset") ? L"Zur\u00fccksetzen: %s\\Config, %s\\ToolPalette, 100%%" : L"T:" + english;
  return translated.c_str();
}
