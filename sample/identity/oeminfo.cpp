// The sample installation's product identity module: names the product, its version and its
// publisher through the table of entry points the starter calls.
#include <windows.h>

#include <cstdint>

#include "launcher/oem_info.h"

namespace {

using velmora::IOemInfo;
using velmora::OemEntry;

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

template <typename F>
OemEntry Entry(F function) {
  return reinterpret_cast<OemEntry>(function);
}

const OemEntry kTable[velmora::kOemTableSize] = {
    Entry(Unused),       Entry(Release),         Entry(Unused), Entry(ProductName),    Entry(Unused),
    Entry(Unused),       Entry(Close),           Entry(ProductVersion), Entry(Unused), Entry(Unused),
    Entry(UserInfoName), Entry(UserInfoCompany), Entry(Unused), Entry(Unused),         Entry(Unused),
    Entry(Unused),       Entry(Unused),          Entry(CompanyName)};

IOemInfo g_identity{kTable};

}  // namespace

extern "C" __declspec(dllexport) IOemInfo* new_IOemInfo() { return &g_identity; }
