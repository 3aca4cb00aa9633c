#include "userdata/per_user_lock.h"

#include <sddl.h>

#include <cwchar>

#include "common/trace.h"

namespace velmora {
namespace {

// What a start needs of the lock: waiting takes it, releasing gives it back.
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// FNV-1a over the UTF-16 code units.
std::uint64_t HashOf(std::wstring_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : text) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// The SID of the user this process runs as, in text form; empty when the token cannot tell.
std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const UniqueKernelHandle ownedToken(token);
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  const UniqueLocalMemory ownedText(text);
  return text;
}

// Creates the lock's mutex, or opens the one another start created, asking only for the access a
// start uses: the check an existing mutex makes is then the one OpenMutexW would make. When the
// security cannot be built the mutex gets the default one, which serves starts of equal elevation.
UniqueKernelHandle OpenLockMutex(const std::wstring& name) {
  const std::wstring sid = CurrentUserSid();
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!sid.empty()) {
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(PerUserLockSecurity(sid).c_str(), SDDL_REVISION_1,
                                                           &descriptor, nullptr);
  }
  const UniqueLocalMemory ownedDescriptor(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  return UniqueKernelHandle(
      ::CreateMutexExW(descriptor != nullptr ? &attributes : nullptr, name.c_str(), 0, kLockAccess));
}

void ReportNotHeld(const std::wstring& perUserFolder, const std::wstring& reason) {
  const std::wstring line =
      L"Starter: this start goes on without the per-user steps for '" + perUserFolder + L"': " + reason + L".";
  ::OutputDebugStringW(line.c_str());
  TraceRefusal(L"per-user steps for " + perUserFolder, reason);
}

}  // namespace

std::wstring PerUserLockName(std::wstring_view perUserFolder) {
  wchar_t name[64];
  std::swprintf(name, sizeof name / sizeof *name, L"Local\\VelmoraStarter.PerUser.%016llx",
                static_cast<unsigned long long>(HashOf(perUserFolder)));
  return name;
}

std::wstring PerUserLockSecurity(std::wstring_view userSid) {
  wchar_t access[16];
  std::swprintf(access, sizeof access / sizeof *access, L"0x%08lx", static_cast<unsigned long>(kLockAccess));
  // D:P, a protected access list: exactly this entry, nothing inherited from the namespace.
  // ML;;NW;;;ME, the mandatory label: medium integrity, no write-up.
  return L"D:P(A;;" + std::wstring(access) + L";;;" + std::wstring(userSid) + L")S:(ML;;NW;;;ME)";
}

std::optional<std::wstring> PerUserLockRefusal(const PerUserLockAttempt& attempt) {
  if (attempt.openError != 0) return L"the per-user lock cannot be opened, " + DescribeSystemError(attempt.openError);
  switch (attempt.waitResult) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
      return std::nullopt;
    case WAIT_TIMEOUT:
      return L"the per-user lock was not had in time";
    default:
      return L"waiting for the per-user lock failed, " + DescribeSystemError(attempt.waitError);
  }
}

PerUserLock::PerUserLock(const std::wstring& perUserFolder, std::uint32_t patienceMs)
    : mutex_(OpenLockMutex(PerUserLockName(perUserFolder))) {
  PerUserLockAttempt attempt;
  if (!mutex_) {
    attempt.openError = ::GetLastError();
  } else {
    attempt.waitResult = ::WaitForSingleObject(mutex_.Get(), patienceMs);
    if (attempt.waitResult == WAIT_FAILED) attempt.waitError = ::GetLastError();
  }
  const auto refusal = PerUserLockRefusal(attempt);
  held_ = !refusal.has_value();
  if (refusal) ReportNotHeld(perUserFolder, *refusal);
}

PerUserLock::~PerUserLock() {
  if (!held_) return;
  const DWORD error = ::GetLastError();
  ::ReleaseMutex(mutex_.Get());
  ::SetLastError(error);
}

}  // namespace velmora
