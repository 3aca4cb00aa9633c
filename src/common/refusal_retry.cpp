#include "common/refusal_retry.h"

#include <iterator>

#include "common/platform_calls.h"

namespace velmora {
namespace {

// Process-wide by nature: the allowance belongs to the one start this process runs.
DWORD g_pausesSpentMs = 0;

bool IsReadOnly(const wchar_t* path) {
  const DWORD attributes = ::GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

bool IsPassingRefusal(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool RefusalPatience::PauseBeforeRetry(DWORD error) {
  const bool worthAnother = IsPassingRefusal(error) && attempt_ < std::size(kRefusalPausesMs) &&
                            g_pausesSpentMs + kRefusalPausesMs[attempt_] <= kStartRefusalPatienceMs &&
                            !(error == ERROR_ACCESS_DENIED && IsReadOnly(path_));
  if (!worthAnother) {
    ::SetLastError(error);
    return false;
  }
  const DWORD pause = kRefusalPausesMs[attempt_++];
  g_pausesSpentMs += pause;
  Platform().sleep(pause);
  return true;
}

DWORD RefusalPausesSpentMs() { return g_pausesSpentMs; }

void ResetRefusalPatience() { g_pausesSpentMs = 0; }

}  // namespace velmora
