#include "userdata/per_user_lock.h"

#include <windows.h>

#include <cwchar>

#include "common/trace.h"

namespace velmora {
namespace {

// FNV-1a over the UTF-16 code units.
std::uint64_t HashOf(std::wstring_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : text) {
    hash ^= static_cast<std::uint16_t>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

void ReportNotHeld(const std::wstring& perUserFolder) {
  const std::wstring line = L"Starter: another start is still preparing '" + perUserFolder +
                            L"'; this start goes on without the per-user steps.";
  ::OutputDebugStringW(line.c_str());
  TraceRefusal(L"per-user steps for " + perUserFolder, L"the per-user lock was not had in time");
}

}  // namespace

std::wstring PerUserLockName(std::wstring_view perUserFolder) {
  wchar_t name[64];
  std::swprintf(name, sizeof name / sizeof *name, L"Local\\VelmoraStarter.PerUser.%016llx",
                static_cast<unsigned long long>(HashOf(perUserFolder)));
  return name;
}

PerUserLock::PerUserLock(const std::wstring& perUserFolder, std::uint32_t patienceMs)
    : mutex_(::CreateMutexW(nullptr, FALSE, PerUserLockName(perUserFolder).c_str())) {
  if (mutex_) {
    // An abandoned lock belonged to a start that ended midway; its steps are safe to run again.
    const DWORD waited = ::WaitForSingleObject(mutex_.Get(), patienceMs);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  if (!held_) ReportNotHeld(perUserFolder);
}

PerUserLock::~PerUserLock() {
  if (!held_) return;
  const DWORD error = ::GetLastError();
  ::ReleaseMutex(mutex_.Get());
  ::SetLastError(error);
}

}  // namespace velmora
