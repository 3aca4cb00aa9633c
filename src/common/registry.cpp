#include "common/registry.h"

#include <array>

#include "common/platform_calls.h"

namespace velmora {

UniqueRegistryKey OpenRegistryKey(HKEY hive, const std::wstring& subKey, REGSAM access) {
  if (subKey.empty()) return UniqueRegistryKey();
  HKEY key = nullptr;
  if (::RegOpenKeyExW(hive, subKey.c_str(), 0, access | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return UniqueRegistryKey();
  }
  return UniqueRegistryKey(key);
}

std::optional<std::wstring> ReadRegistryText(HKEY key, const wchar_t* name) {
  std::array<wchar_t, kRegistryValueCapacityBytes / sizeof(wchar_t)> buffer{};
  DWORD size = kRegistryValueCapacityBytes;
  if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring text(buffer.data(), size / sizeof(wchar_t));
  if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
  return text;
}

bool WriteRegistryText(HKEY hive, const std::wstring& subKey, const wchar_t* name, const std::wstring& text) {
  if (subKey.empty()) return false;
  HKEY created = nullptr;
  if (Platform().regCreateKey(hive, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kFullAccess | KEY_WOW64_64KEY,
                              nullptr, &created, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueRegistryKey key(created);
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return Platform().regSetValue(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY hive, const std::wstring& subKey, const wchar_t* name) {
  const UniqueRegistryKey key = OpenRegistryKey(hive, subKey, kFullAccess);
  if (!key) return true;
  const LSTATUS status = Platform().regDeleteValue(key.Get(), name);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool RegistryValueExists(HKEY hive, const std::wstring& subKey, const wchar_t* name) {
  const UniqueRegistryKey key = OpenRegistryKey(hive, subKey, kReadAccess);
  return key && ::RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

}  // namespace velmora
