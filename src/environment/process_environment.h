#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace velmora {

// The four strings fixed when the starter is built.
struct BuiltinStrings {
  std::wstring_view settingsFileName;
  std::wstring_view mainModuleName;
  std::wstring_view searchPathTemplate;
  std::wstring_view identityModuleName;
};

// What the environment pass hands to the later steps.
struct PreparedEnvironment {
  std::wstring settingsFile;
  std::wstring mainModuleName;
  std::wstring searchPath;        // as published in PATH and VX_WI_DIR_TREE
  std::wstring moduleSearchPath;  // the search path cut to whole folders that fit ModuleSearchPath
};

// The values of the inserts %1 to %8, in that order.
using PlaceholderValues = std::array<std::wstring, 8>;

// Finds the settings file beside the starter, builds the module search path and puts it in front
// of PATH and into VX_WI_DIR_TREE.
PreparedEnvironment PrepareEnvironment(HMODULE starter, const std::wstring& starterPath,
                                       const BuiltinStrings& builtins);

// The identity module's full path when it is found along the search path, else its built-in name
// (empty when that does not fit).
std::wstring FindIdentityModule(const std::wstring& searchPath, std::wstring_view builtinName);

// Expands %1..%8 and the other escapes of the platform's message formatting. Inserts %9 to %99
// expand to empty text; a text the formatter refuses, one that gives an insert a format string
// other than "!s!", or whose expansion would not fit 8320 characters, expands to
// empty text.
std::wstring ExpandPlaceholders(const std::wstring& text, const PlaceholderValues& values);

// True when every insert of the text is plain (%N) or carries the plain string format
// (%N!s!); "%%" escapes the percent sign.
bool HasOnlyPlainInserts(std::wstring_view text);

// The template, or the settings file's Path in its place, with the optional prefix and suffix.
std::wstring ComposeSearchPath(const std::wstring& templateText, const std::wstring& path,
                               const std::wstring& prefix, const std::wstring& suffix);

// %1 and %2: the folder above the starter's folder, and the starter's folder (the current folder
// when the starter's path has no backslash).
std::array<std::wstring, 2> StarterFolderInserts(const std::wstring& starterPath,
                                                 const std::wstring& currentFolder);

// The new PATH with the search path in front, or nothing when PATH already contains it.
std::optional<std::wstring> PathWithSearchPath(const std::wstring& previousPath, const std::wstring& searchPath);

// The search path cut to the whole folders that fit ModuleSearchPath, never inside a folder name.
std::wstring FitModuleSearchPath(const std::wstring& searchPath);

}  // namespace velmora
