#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct SectionEntry {
  std::wstring name;
  std::wstring value;
};

// The settings file the starter uses: the named file beside the executable when it exists and is
// not empty, else the executable's own path with the extension "ini". Empty when the executable's
// path does not fit.
std::wstring LocateSettingsFile(const std::wstring& starterPath, std::wstring_view settingsFileName);

// The default settings file: the starter's path with the text after its last '.' replaced by "ini".
std::wstring DefaultSettingsFile(const std::wstring& starterPath);

// A plain value, empty when the file, the key or the value is missing, or when the value does not
// fit the capacity (characters with the terminator).
std::wstring ReadSettingsValue(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                               std::size_t capacity);

// Writes a value with WritePrivateProfileStringW only when the file would give section, key and
// value back unchanged; false when refused or when the write fails. A file that begins with the
// UTF-16 LE byte-order mark holds any text; any other file, and a new one, is written through the
// ANSI code page, where a character outside it would be stored as another one (often "?"). The
// value is written into a copy under the file's temporary name, flushed to disk and renamed over
// the file, which is never rewritten in place; a read-only file or one in use stays as it is.
bool WriteSettingsValue(const std::wstring& file, const std::wstring& section, const wchar_t* key,
                        const std::wstring& value);

// Whether the file holds exactly what the source holds with only the key written into some of its
// sections, as WriteSettingsValue writes it: a copy of a default that differs from it by the
// starter's own entries and by nothing of the user's. Files past 1 MiB never count.
bool IsCopyWithOnlyKeyWritten(const std::wstring& source, const std::wstring& file, const wchar_t* key);

// Whether the text survives the conversion to the code page and back unchanged.
bool SurvivesCodePage(std::wstring_view text, unsigned codePage);

// The entry of the user settings file where the starter keeps the user's platform.
inline constexpr wchar_t kUserPlatformKey[] = L"nPlat";

// Values of the tree sections carry a one-character type tag in front; text is tagged 's'.
inline constexpr wchar_t kTextTag = L's';

// A value of a tree section without its one-character type tag; empty when missing.
std::wstring ReadTypedValue(const std::wstring& file, const std::wstring& section, const wchar_t* key);

// Writes a value of a tree section behind its type tag, as WriteSettingsValue writes.
bool WriteTypedValue(const std::wstring& file, const std::wstring& section, const wchar_t* key, wchar_t tag,
                     const std::wstring& value);

// A whole section as entries in file order, without the "@=" entries. Empty when the section is
// missing or empty.
std::vector<SectionEntry> ReadSectionList(const std::wstring& file, const wchar_t* section);

// Splits a block of NUL-separated name[=value] lines ending with an empty line. When the block was
// cut, its last line is dropped: it may be cut too.
std::vector<SectionEntry> SplitSectionEntries(std::wstring_view block, bool blockWasCut);

}  // namespace velmora
