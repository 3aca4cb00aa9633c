#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/unique_handle.h"

namespace velmora {

// How long a start waits for another start of the same user and product to finish its per-user
// steps: longer than any provisioning takes, short enough that a start held up by a question the
// other start is asking still comes up.
inline constexpr std::uint32_t kPerUserLockPatienceMs = 20000;

// Serialises the steps that change a user's folders, product key and start-screen workspace across
// concurrent starts (a double-click starts two, an installer may start one elevated beside the
// user's own). Held from construction, when it could be had in time, to destruction. A start that
// cannot have it goes on without those steps and says why on the debugger output.
class PerUserLock {
 public:
  explicit PerUserLock(const std::wstring& perUserFolder, std::uint32_t patienceMs = kPerUserLockPatienceMs);
  PerUserLock(const PerUserLock&) = delete;
  PerUserLock& operator=(const PerUserLock&) = delete;
  ~PerUserLock();

  [[nodiscard]] bool Held() const { return held_; }

 private:
  UniqueKernelHandle mutex_;
  bool held_ = false;
};

// The session-local mutex name for a per-user folder: the same for every start that derives the
// same folder, and within the platform's name limit whatever the folder's length.
std::wstring PerUserLockName(std::wstring_view perUserFolder);

// The lock's mutex security, as security-descriptor text, for the user the start runs as (a SID in
// text form). The mutex of an elevated start would otherwise carry the elevated token's default
// access list, which leaves the user's normal starts out, and its high integrity label, which keeps
// lower starts from rights the label counts as writing. So: waiting and releasing, no more, for the
// user whatever the elevation, and a medium label.
std::wstring PerUserLockSecurity(std::wstring_view userSid);

// How one attempt at the lock went: the error that kept its mutex from opening (0 when it opened),
// what the wait answered, and the error of a failed wait.
struct PerUserLockAttempt {
  DWORD openError = 0;
  DWORD waitResult = WAIT_FAILED;
  DWORD waitError = 0;
};

// Why a start goes on without its per-user steps; nothing when it holds the lock. A wait that
// ends in an abandoned lock holds it: the start that held it ended midway, and its steps are safe
// to run again.
std::optional<std::wstring> PerUserLockRefusal(const PerUserLockAttempt& attempt);

}  // namespace velmora
