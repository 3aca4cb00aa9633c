#include "environment/process_environment.h"

#include "common/paths.h"
#include "common/trace.h"
#include "files/settings_file.h"
#include "resources/string_ids.h"

namespace velmora {
namespace {

constexpr wchar_t kStarterSection[] = L"Starter";
constexpr std::size_t kAffixCapacity = 1300;
// A placeholder value is at most 31 characters; a longer one is refused.
constexpr std::size_t kPlaceholderCapacity = 32;
constexpr int kHighestInsert = 99;

std::wstring CurrentFolder() {
  std::wstring buffer(kPathCapacity, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return {};
  buffer.resize(length);
  return buffer;
}

std::optional<std::wstring> SearchPathResource(HMODULE starter) {
  std::wstring buffer(kSearchTextCapacity, L'\0');
  const int length = ::LoadStringW(starter, IDS_SEARCH_PATH_TEMPLATE, buffer.data(), static_cast<int>(buffer.size()));
  if (length <= 0) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(length));
  return buffer;
}

std::optional<std::wstring> SearchPathTemplate(HMODULE starter, std::wstring_view builtin) {
  if (builtin == L"*") return SearchPathResource(starter);
  return std::wstring(builtin);
}

std::wstring StarterPlaceholder(const std::wstring& settingsFile, const wchar_t* key) {
  return ReadSettingsValue(settingsFile, kStarterSection, key, kPlaceholderCapacity);
}

PlaceholderValues SearchPathPlaceholders(const std::wstring& starterPath, const std::wstring& settingsFile) {
  const auto folders = StarterFolderInserts(starterPath, CurrentFolder());
  return {folders[0],
          folders[1],
          CurrentFolder(),
          StarterPlaceholder(settingsFile, L"%4"),
          L"%5",  // the platform folder, expanded by the platform pass
          StarterPlaceholder(settingsFile, L"%6"),
          StarterPlaceholder(settingsFile, L"%7"),
          StarterPlaceholder(settingsFile, L"%8")};
}

void PublishSearchPath(const std::wstring& searchPath) {
  const std::wstring previous = EnvironmentValue(L"PATH").value_or(std::wstring());
  if (const auto path = PathWithSearchPath(previous, searchPath)) {
    // A PATH the platform cannot hold is left as it was rather than cut.
    AssignEnvironment(L"PATH", *path);
    AssignEnvironment(L"VX_WI_DIR_TREE", searchPath);
  }
}

std::wstring MainModuleName(const std::wstring& starterPath, std::wstring_view builtin) {
  if (builtin == L"*") {
    if (starterPath.empty()) return {};
    return FittedOrEmpty(WithExtension(FileNameOf(starterPath), L"dll"), kPathCapacity);
  }
  return FittedOrEmpty(std::wstring(builtin), kPathCapacity);
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

bool HasOnlyPlainInserts(std::wstring_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != L'%' || ++at >= text.size() || !IsDigit(text[at])) continue;
    // The formatter reads at most two digits as the insert's number.
    if (at + 1 < text.size() && IsDigit(text[at + 1])) ++at;
    if (at + 1 >= text.size() || text[at + 1] != L'!') continue;
    const std::size_t close = text.find(L'!', at + 2);
    if (close == std::wstring_view::npos || text.substr(at + 2, close - at - 2) != L"s") return false;
    at = close;
  }
  return true;
}

std::wstring ExpandPlaceholders(const std::wstring& text, const PlaceholderValues& values) {
  // An insert format other than a plain string would make the formatter read an insert as a
  // number or a further argument, or write through it.
  if (!HasOnlyPlainInserts(text)) {
    TraceRefusal(L"search path template", L"an insert with a format other than !s!");
    return {};
  }
  // The formatter takes the inserts as an array of pointer-sized values.
  static const wchar_t kNoValue[] = L"";
  std::array<DWORD_PTR, kHighestInsert> inserts{};
  inserts.fill(reinterpret_cast<DWORD_PTR>(kNoValue));
  for (std::size_t i = 0; i < values.size(); ++i) inserts[i] = reinterpret_cast<DWORD_PTR>(values[i].c_str());

  std::wstring buffer(kSearchTextCapacity, L'\0');
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, text.c_str(), 0, 0, buffer.data(),
      static_cast<DWORD>(buffer.size()), reinterpret_cast<va_list*>(inserts.data()));
  if (length == 0 || length >= buffer.size()) return {};
  buffer.resize(length);
  return buffer;
}

std::wstring ComposeSearchPath(const std::wstring& templateText, const std::wstring& path,
                               const std::wstring& prefix, const std::wstring& suffix) {
  if (!path.empty()) return path;
  std::wstring value = templateText;
  if (!prefix.empty()) value = prefix + L';' + value;
  if (!suffix.empty()) value = value + L';' + suffix;
  return value;
}

std::array<std::wstring, 2> StarterFolderInserts(const std::wstring& starterPath,
                                                 const std::wstring& currentFolder) {
  if (starterPath.find(L'\\') == std::wstring::npos) return {CutAtLastBackslash(currentFolder), currentFolder};
  std::wstring starterFolder = CutAtLastBackslash(starterPath);
  return {CutAtLastBackslash(starterFolder), starterFolder};
}

std::optional<std::wstring> PathWithSearchPath(const std::wstring& previousPath, const std::wstring& searchPath) {
  if (previousPath.find(searchPath) != std::wstring::npos) return std::nullopt;
  return searchPath + L';' + previousPath;
}

std::wstring FitModuleSearchPath(const std::wstring& searchPath) {
  if (Fits(searchPath, kModuleSearchPathCapacity)) return searchPath;
  const auto lastSeparator = searchPath.rfind(L';', kModuleSearchPathCapacity - 1);
  if (lastSeparator == std::wstring::npos) return {};
  return searchPath.substr(0, lastSeparator);
}

PreparedEnvironment PrepareEnvironment(HMODULE starter, const std::wstring& starterFullPath,
                                       const BuiltinStrings& builtins) {
  AssignEnvironment(L"QT_QPA_PLATFORM_PLUGIN_PATH", L"");

  PreparedEnvironment result;
  const std::wstring starterPath = FittedOrEmpty(starterFullPath, kPathCapacity);
  result.settingsFile = LocateSettingsFile(starterPath, builtins.settingsFileName);
  result.mainModuleName = MainModuleName(starterPath, builtins.mainModuleName);

  // Without its own path the starter cannot tell its folders; the current folder, which may be a
  // drawing's, must not take their place in the search path.
  const auto templateText =
      starterPath.empty() ? std::nullopt : SearchPathTemplate(starter, builtins.searchPathTemplate);
  if (templateText) {
    const std::wstring& file = result.settingsFile;
    const std::wstring path = ReadSettingsValue(file, kStarterSection, L"Path", kSearchTextCapacity);
    const std::wstring prefix =
        path.empty() ? ReadSettingsValue(file, kStarterSection, L"PathPrefix", kAffixCapacity) : std::wstring();
    const std::wstring suffix =
        path.empty() ? ReadSettingsValue(file, kStarterSection, L"PathSuffix", kAffixCapacity) : std::wstring();
    result.searchPath = ExpandPlaceholders(ComposeSearchPath(*templateText, path, prefix, suffix),
                                           SearchPathPlaceholders(starterPath, file));
    PublishSearchPath(result.searchPath);
    result.moduleSearchPath = FitModuleSearchPath(result.searchPath);
  }
  return result;
}

std::wstring FindIdentityModule(const std::wstring& searchPath, std::wstring_view builtinName) {
  std::wstring name = FittedOrEmpty(std::wstring(builtinName), kPathCapacity);
  return SearchAlongPath(searchPath, name, kPathCapacity).value_or(std::move(name));
}

}  // namespace velmora
