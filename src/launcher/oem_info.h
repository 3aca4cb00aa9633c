#pragma once

// The contract between the starter and the product identity module. The module exports
//   extern "C" IOemInfo* new_IOemInfo();
// and the object's first machine word points to a table of entry points, each taking only the
// object. The starter calls the positions named below; the table has at least kOemTableSize
// positions.

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

using OemEntry = void (*)();

struct IOemInfo {
  const OemEntry* table;
};

using OemVoidEntry = void (*)(IOemInfo*);
using OemTextEntry = const wchar_t* (*)(IOemInfo*);
using OemVersionEntry = std::uint32_t (*)(IOemInfo*);
using OemFactory = IOemInfo* (*)();

enum class OemPosition : std::size_t {
  kRelease = 1,
  kGetProductName = 3,
  kClose = 6,
  kGetProductVersion = 7,  // bits 0-15 the major number, bits 16-31 the minor number
  kGetUserInfoName = 10,
  kGetUserInfoCompany = 11,
  kGetCompanyName = 17,  // may answer null or empty
};

inline constexpr std::size_t kOemTableSize = 18;
inline constexpr char kOemFactoryName[] = "new_IOemInfo";

// For identity modules: the entries the starter calls, and one for every position it does not.
struct OemEntries {
  OemVoidEntry release;
  OemTextEntry productName;
  OemVoidEntry close;
  OemVersionEntry productVersion;
  OemTextEntry userInfoName;
  OemTextEntry userInfoCompany;
  OemTextEntry companyName;
  OemVoidEntry unused;
};

inline std::array<OemEntry, kOemTableSize> MakeOemTable(const OemEntries& entries) {
  std::array<OemEntry, kOemTableSize> table;
  table.fill(reinterpret_cast<OemEntry>(entries.unused));
  const auto put = [&table](OemPosition position, auto entry) {
    table[static_cast<std::size_t>(position)] = reinterpret_cast<OemEntry>(entry);
  };
  put(OemPosition::kRelease, entries.release);
  put(OemPosition::kGetProductName, entries.productName);
  put(OemPosition::kClose, entries.close);
  put(OemPosition::kGetProductVersion, entries.productVersion);
  put(OemPosition::kGetUserInfoName, entries.userInfoName);
  put(OemPosition::kGetUserInfoCompany, entries.userInfoCompany);
  put(OemPosition::kGetCompanyName, entries.companyName);
  return table;
}

}  // namespace velmora
