// The sample installation's product identity module: names the product, its version and its
// publisher through the table of entry points the starter calls.
#include <windows.h>

#include <velmora/identity.h>
#include <velmora/localization.h>

namespace {

constexpr unsigned kMajor = 25;
constexpr unsigned kMinor = 2;

void Unused(IOemInfo*) {}
void Release(IOemInfo*) {}
void Close(IOemInfo*) {}
const wchar_t* ProductName(IOemInfo*) { return L"Velmora"; }
UINT32 ProductVersion(IOemInfo*) { return VELMORA_OEM_VERSION(kMajor, kMinor); }
const wchar_t* UserInfoName(IOemInfo*) { return L"Sample User"; }
const wchar_t* UserInfoCompany(IOemInfo*) { return L"Sample Drafting Office"; }
const wchar_t* CompanyName(IOemInfo*) { return L"Velmora Sample Works"; }

const auto kTable = velmora::MakeOemTable({Release, ProductName, Close, ProductVersion, UserInfoName,
                                           UserInfoCompany, CompanyName, Unused});

IOemInfo g_identity{kTable.data()};

}  // namespace

// Brings the application's localization library into the process early, so that even the starter's
// questions before the application runs are asked in the installation's language.
__declspec(dllexport) IOemInfo* new_IOemInfo() {
  ::LoadLibraryW(VELMORA_LOCALIZATION_LIBRARY);
  return &g_identity;
}
