// The sample installation's localization library. The sample ships English only, so it keeps
// every text as it is; a translated installation would look the text up in the language file
// named at initialisation.
#include <windows.h>

#include <velmora/localization.h>

namespace {

wchar_t g_languageFile[MAX_PATH] = {};

}  // namespace

// Exported under the decorated names the starter looks up by the kit's localization.def.
int Supp_Init(LPCWSTR languageFile) {
  ::lstrcpynW(g_languageFile, languageFile != nullptr ? languageFile : L"", MAX_PATH);
  return 1;
}

LPCWSTR Supp_Translate(LPCWSTR text) { return text; }
