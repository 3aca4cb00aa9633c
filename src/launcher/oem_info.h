#pragma once

// The contract between the starter and the product identity module. The module exports
//   extern "C" IOemInfo* new_IOemInfo();
// and the object's first machine word points to a table of entry points, each taking only the
// object. The starter calls the positions named below; the table has at least kOemTableSize
// positions.

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

}  // namespace velmora
