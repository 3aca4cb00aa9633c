#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/unique_handle.h"

namespace velmora {

// How long a start waits for another start of the same user and product to finish its per-user
// steps: longer than any provisioning takes, short enough that a start held up by a question the
// other start is asking still comes up.
inline constexpr std::uint32_t kPerUserLockPatienceMs = 20000;

// Serialises the steps that change a user's folders, product key and start-screen workspace across
// concurrent starts (a double-click starts two). Held from construction, when it could be had in
// time, to destruction. A start that cannot have it goes on without those steps and says so on
// the debugger output.
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

}  // namespace velmora
