// The sample installation's product identity module: names the product, its version and its
// publisher through the table of entry points the starter calls.
#include <windows.h>

#include <cstdint>

#include "launcher/oem_info.h"

namespace {

using velmora::IOemInfo;

constexpr std::uint32_t kMajor = 25;
constexpr std::uint32_t kMinor = 2;

void Unused(IOemInfo*) {}
void Release(IOemInfo*) {}
void Close(IOemInfo*) {}
const wchar_t* ProductName(IOemInfo*) { return L"Velmora"; }
std::uint32_t ProductVersion(IOemInfo*) { return (kMinor << 16) | kMajor; }
const wchar_t* UserInfoName(IOemInfo*) { return L"Sample User"; }
const wchar_t* UserInfoCompany(IOemInfo*) { return L"Sample Drafting Office"; }
const wchar_t* CompanyName(IOemInfo*) { return L"Velmora Sample Works"; }

const auto kTable = velmora::MakeOemTable({Release, ProductName, Close, ProductVersion, UserInfoName,
                                           UserInfoCompany, CompanyName, Unused});

IOemInfo g_identity{kTable.data()};

}  // namespace

// Brings the application's localization library into the process early, so that even the starter's
// questions before the application runs are asked in the installation's language.
extern "C" __declspec(dllexport) IOemInfo* new_IOemInfo() {
  ::LoadLibraryW(L"strata.dll");
  return &g_identity;
}
