#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/unique_handle.h"

namespace velmora {

inline constexpr REGSAM kReadAccess = KEY_READ;           // 0x20019
inline constexpr REGSAM kFullAccess = KEY_ALL_ACCESS;     // 0xF003F
inline constexpr DWORD kRegistryValueCapacityBytes = 520;

// Opens a key in the 64-bit view. An empty subkey is refused: it would open the hive itself.
UniqueRegistryKey OpenRegistryKey(HKEY hive, const std::wstring& subKey, REGSAM access);

// Reads a value of at most 520 bytes as text, always terminated, also when it was stored without
// a terminator. Nothing when the value is missing or longer.
std::optional<std::wstring> ReadRegistryText(HKEY key, const wchar_t* name);

// Sets a string value, creating the key when needed. False when nothing was written.
bool WriteRegistryText(HKEY hive, const std::wstring& subKey, const wchar_t* name, const std::wstring& text);

// Deletes a value if the key and the value exist. True when the value is not there afterwards (as
// far as a key that cannot be opened tells).
bool DeleteRegistryValue(HKEY hive, const std::wstring& subKey, const wchar_t* name);

// Whether the key holds a value of that name.
bool RegistryValueExists(HKEY hive, const std::wstring& subKey, const wchar_t* name);

}  // namespace velmora
