// A product identity module whose answers come from identity.ini beside it and which records
// every call the starter makes.
#include <windows.h>

#include <velmora/identity.h>

#include <string>

#include "modules/record.h"

namespace {

using velmora::testing::RecordLine;

struct Answers {
  std::wstring company;
  bool nullCompany = false;
  std::wstring product;
  UINT32 version = 0;
  std::wstring userName;
  std::wstring userCompany;
};

Answers g_answers;

void LoadAnswers() {
  const std::wstring ini = velmora::testing::FolderOfModule(reinterpret_cast<const void*>(&LoadAnswers)) +
                           L"identity.ini";
  using velmora::testing::IniText;
  g_answers.company = IniText(ini, L"Identity", L"Company", L"Velmora Test Company");
  g_answers.nullCompany = IniText(ini, L"Identity", L"NullCompany", L"0") == L"1";
  g_answers.product = IniText(ini, L"Identity", L"Product", L"Velmora");
  g_answers.version = std::wcstoul(IniText(ini, L"Identity", L"Version", L"0x00020019").c_str(), nullptr, 0);
  g_answers.userName = IniText(ini, L"Identity", L"UserName", L"Test User");
  g_answers.userCompany = IniText(ini, L"Identity", L"UserCompany", L"Test Office");
}

void Unused(IOemInfo*) { RecordLine(L"identity:unexpected call"); }
void Release(IOemInfo*) { RecordLine(L"identity:Release"); }
void Close(IOemInfo*) { RecordLine(L"identity:Close"); }
const wchar_t* ProductName(IOemInfo*) {
  RecordLine(L"identity:GetProductName");
  return g_answers.product.c_str();
}
UINT32 ProductVersion(IOemInfo*) {
  RecordLine(L"identity:GetProductVersion");
  return g_answers.version;
}
const wchar_t* UserInfoName(IOemInfo*) {
  RecordLine(L"identity:GetUserInfoName");
  return g_answers.userName.c_str();
}
const wchar_t* UserInfoCompany(IOemInfo*) {
  RecordLine(L"identity:GetUserInfoCompany");
  return g_answers.userCompany.c_str();
}
const wchar_t* CompanyName(IOemInfo*) {
  RecordLine(L"identity:GetCompanyName");
  return g_answers.nullCompany ? nullptr : g_answers.company.c_str();
}

const auto kTable = velmora::MakeOemTable({Release, ProductName, Close, ProductVersion, UserInfoName,
                                           UserInfoCompany, CompanyName, Unused});

IOemInfo g_identity{kTable.data()};

}  // namespace

// The variant without the factory exports it under another name.
#ifdef TEST_IDENTITY_WITHOUT_FACTORY
#define IDENTITY_FACTORY make_IOemInfo
#else
#define IDENTITY_FACTORY new_IOemInfo
#endif

extern "C" __declspec(dllexport) IOemInfo* IDENTITY_FACTORY() {
  RecordLine(L"identity:new_IOemInfo");
  LoadAnswers();
  const std::wstring ini = velmora::testing::FolderOfModule(reinterpret_cast<const void*>(&LoadAnswers)) +
                           L"identity.ini";
  if (velmora::testing::IniText(ini, L"Identity", L"NullObject", L"0") == L"1") return nullptr;
  return &g_identity;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) RecordLine(L"identity:loaded");
  // A null reserved pointer: unloaded by FreeLibrary, not by the end of the process.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) RecordLine(L"identity:unloaded");
  return TRUE;
}
