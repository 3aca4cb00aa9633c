#include "localization/translation.h"

#include "resources/string_ids.h"

namespace velmora {
namespace {

using SuppInit = int (*)(const wchar_t*);
using SuppTranslate = const wchar_t* (*)(const wchar_t*);

constexpr char kInitExport[] = "?Supp_Init@@YAHPEB_W@Z";
constexpr char kTranslateExport[] = "?Supp_Translate@@YAPEB_WPEB_W@Z";

const wchar_t* Translated(SuppTranslate translate, const wchar_t* english) {
  const wchar_t* translated = translate(english);
  return translated != nullptr ? translated : english;
}

}  // namespace

void LoadUpgradeTexts(HINSTANCE resources, const std::wstring& translationFilePath, UpgradeTexts& texts) {
  ::LoadStringW(resources, IDS_UPGRADE_KEEP_CHOICE, texts.englishKeepChoice, UpgradeTexts::kLongCapacity);
  ::LoadStringW(resources, IDS_UPGRADE_RESET_TEMPLATE, texts.englishResetTemplate, UpgradeTexts::kLongCapacity);
  ::LoadStringW(resources, IDS_UPGRADE_INSTRUCTION, texts.englishInstruction, UpgradeTexts::kShortCapacity);
  ::LoadStringW(resources, IDS_UPGRADE_CONTENT, texts.englishContent, UpgradeTexts::kShortCapacity);

  const HMODULE library = ::GetModuleHandleW(L"strata.dll");
  if (library == nullptr) return;
  const auto init = reinterpret_cast<SuppInit>(reinterpret_cast<void*>(::GetProcAddress(library, kInitExport)));
  if (init == nullptr) return;
  init(translationFilePath.c_str());
  const auto translate =
      reinterpret_cast<SuppTranslate>(reinterpret_cast<void*>(::GetProcAddress(library, kTranslateExport)));
  if (translate == nullptr) return;
  texts.resetTemplate = Translated(translate, texts.englishResetTemplate);
  texts.keepChoice = Translated(translate, texts.englishKeepChoice);
  texts.instruction = Translated(translate, texts.englishInstruction);
  texts.content = Translated(translate, texts.englishContent);
}

}  // namespace velmora
