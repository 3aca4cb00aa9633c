// The sample installation's localization library. The sample ships English only, so it keeps
// every text as it is; a translated installation would look the text up in the language file
// named at initialisation.
#include <windows.h>

namespace {

wchar_t g_languageFile[MAX_PATH] = {};

}  // namespace

extern "C" int SuppInit(const wchar_t* languageFile) {
  ::lstrcpynW(g_languageFile, languageFile != nullptr ? languageFile : L"", MAX_PATH);
  return 1;
}

extern "C" const wchar_t* SuppTranslate(const wchar_t* text) { return text; }
