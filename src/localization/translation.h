#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// The four texts of the upgrade dialog. The English texts live in the buffers; the pointers name
// what to show, which is either a buffer or a text owned by strata.dll (valid while it is loaded).
// Not copyable: the pointers may point into the object itself.
struct UpgradeTexts {
  static constexpr int kShortCapacity = 260;
  static constexpr int kLongCapacity = 520;

  UpgradeTexts() = default;
  UpgradeTexts(const UpgradeTexts&) = delete;
  UpgradeTexts& operator=(const UpgradeTexts&) = delete;

  wchar_t englishResetTemplate[kLongCapacity] = {};  // string 19, "%s" twice
  wchar_t englishKeepChoice[kLongCapacity] = {};     // string 18
  wchar_t englishInstruction[kShortCapacity] = {};   // string 16
  wchar_t englishContent[kShortCapacity] = {};       // string 17

  const wchar_t* resetTemplate = englishResetTemplate;
  const wchar_t* keepChoice = englishKeepChoice;
  const wchar_t* instruction = englishInstruction;
  const wchar_t* content = englishContent;
};

// Loads strings 16 to 19 from the module's string table and, when the application's localization
// library is already in the process, passes them through it after initialising it with the
// translation file. Never loads the library; every miss leaves the English texts.
void LoadUpgradeTexts(HINSTANCE resources, const std::wstring& translationFilePath, UpgradeTexts& texts);

}  // namespace velmora
