#include "localization/translation.h"

#include <velmora/localization.h>

#include <type_traits>

#include "common/entry_point.h"
#include "resources/string_ids.h"

namespace velmora {
namespace {

static_assert(std::is_same_v<decltype(&Supp_Init), VelmoraSuppInit>);
static_assert(std::is_same_v<decltype(&Supp_Translate), VelmoraSuppTranslate>);

const wchar_t* Translated(VelmoraSuppTranslate translate, const wchar_t* english) {
  const wchar_t* translated = translate(english);
  return translated != nullptr ? translated : english;
}

}  // namespace

void LoadUpgradeTexts(HINSTANCE resources, const std::wstring& translationFilePath, UpgradeTexts& texts) {
  ::LoadStringW(resources, IDS_UPGRADE_KEEP_CHOICE, texts.englishKeepChoice, UpgradeTexts::kLongCapacity);
  ::LoadStringW(resources, IDS_UPGRADE_RESET_TEMPLATE, texts.englishResetTemplate, UpgradeTexts::kLongCapacity);
  ::LoadStringW(resources, IDS_UPGRADE_INSTRUCTION, texts.englishInstruction, UpgradeTexts::kShortCapacity);
  ::LoadStringW(resources, IDS_UPGRADE_CONTENT, texts.englishContent, UpgradeTexts::kShortCapacity);

  const HMODULE library = ::GetModuleHandleW(VELMORA_LOCALIZATION_LIBRARY);
  if (library == nullptr) return;
  const auto init = FindEntryPoint<VelmoraSuppInit>(library, VELMORA_SUPP_INIT_EXPORT);
  if (init == nullptr) return;
  init(translationFilePath.c_str());
  const auto translate = FindEntryPoint<VelmoraSuppTranslate>(library, VELMORA_SUPP_TRANSLATE_EXPORT);
  if (translate == nullptr) return;
  texts.resetTemplate = Translated(translate, texts.englishResetTemplate);
  texts.keepChoice = Translated(translate, texts.englishKeepChoice);
  texts.instruction = Translated(translate, texts.englishInstruction);
  texts.content = Translated(translate, texts.englishContent);
}

}  // namespace velmora
