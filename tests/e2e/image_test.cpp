// What the starter's file carries: exports, manifest, string table and version information.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/child_process.h"

namespace velmora::testing {
namespace {

std::wstring VariantStarter(const wchar_t* variant) {
  return TestBinaryFolder() + L"\\variants\\" + variant + L"\\velmora.exe";
}

// The starter mapped as an image, for its exports and resources; no code of it runs.
class StarterImage {
 public:
  explicit StarterImage(const wchar_t* variant)
      : module_(::LoadLibraryExW(VariantStarter(variant).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES)) {}
  ~StarterImage() {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }
  StarterImage(const StarterImage&) = delete;
  StarterImage& operator=(const StarterImage&) = delete;

  HMODULE Get() const { return module_; }

  std::wstring String(UINT id) const {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module_, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : L"<missing>";
  }

  std::string Manifest() const {
    HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(::LockResource(::LoadResource(module_, found)));
    return std::string(data, ::SizeofResource(module_, found));
  }

 private:
  HMODULE module_;
};

TEST(StarterImage, ExportsTheMainModuleQueriesAndTheTraceHookOnlyDecorated) {
  StarterImage image(L"standard");
  ASSERT_NE(image.Get(), nullptr);
  EXPECT_NE(::GetProcAddress(image.Get(), "GetMainDllInstance"), nullptr);
  EXPECT_NE(::GetProcAddress(image.Get(), "GetMainDllNameW"), nullptr);
  EXPECT_NE(::GetProcAddress(image.Get(), "?AddModuleToTrace@@YAXXZ"), nullptr);
  EXPECT_EQ(::GetProcAddress(image.Get(), "AddModuleToTrace"), nullptr);
}

TEST(StarterImage, CarriesTheEnglishTexts) {
  StarterImage image(L"standard");
  const std::pair<UINT, const wchar_t*> texts[] = {
      {1, L"%2;%2\\%5"},
      {9, L"Some of application components are missing or corrupted"},
      {10, L"Main application component is corrupted"},
      {11, L"Error: "},
      {12, L".\nReinstall application to fix this problem."},
      {14, L"Unsupported display settings.\n256 or more colors required."},
      {15, L"55"},
      {16, L"Keep custom settings after upgrade"},
      {17, L"You can keep custom options, design settings, interface in the renewed version or reset them to the "
           L"default state."},
      {18, L"Keep custom settings:\n- program settings from the Options dialog;\n- design settings from the Desing "
           L"Settings dialog;\n- customization settings (ribbon, menus, toolbars, etc.) from the Interface "
           L"dialog;\n- custom profiles including program settings and design settings;\n- aliases from Velm.pgp "
           L"file;\n- tools and their location on Tool Palettes bar."},
      {19, L"Reset custom settings to the default state:\n- backup copy of all custom settings will be saved in "
           L"%s\\Config folder in the file with .BAK extension;\n- backup copy of Tool Palettes will be saved in "
           L"%s\\ToolPalette folder."},
  };
  for (const auto& [id, text] : texts) EXPECT_EQ(image.String(id), text) << "string " << id;
  EXPECT_EQ(image.String(13), L"<missing>");
}

TEST(StarterImage, StringOneIsTheConfiguredTextOrAbsent) {
  EXPECT_EQ(StarterImage(L"explicit").String(1), L"%1\\Common;\"quoted\" %2");
  EXPECT_EQ(StarterImage(L"no_template").String(1), L"<missing>");
}

TEST(StarterImage, ManifestAsksForNothingButWhatTheStarterNeeds) {
  const std::string manifest = StarterImage(L"standard").Manifest();
  for (const char* part : {R"(name="starter" version="1.0.0.0" processorArchitecture="amd64")",
                           R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
                           R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
                           R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

TEST(StarterImage, NamesTheProductInItsVersionInformation) {
  const std::wstring starter = VariantStarter(L"standard");
  DWORD handle = 0;
  std::string data(::GetFileVersionInfoSizeW(starter.c_str(), &handle), '\0');
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(::GetFileVersionInfoW(starter.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  for (const auto& [key, expected] : {std::pair{L"ProductName", L"Velmora"},
                                      std::pair{L"FileDescription", L"Velmora starter"}}) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(::VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << Utf8(key);
    EXPECT_EQ(std::wstring(value), expected);
  }
}

}  // namespace
}  // namespace velmora::testing
