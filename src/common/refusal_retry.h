#pragma once

#include <windows.h>

#include <cstddef>

namespace velmora {

// On Windows a security scanner, a search indexer or a backup tool opens a new file for a moment
// after it is written; a rename, delete or copy of it, or the creation of a file or folder of a
// name whose deletion is still pending, is then refused for a few milliseconds up to a second or
// two. Such a refusal is tried again after growing pauses: about 1.3 s in all for one file, and no
// more than kStartRefusalPatienceMs of pauses for a whole start, so that a file held open for good
// costs bounded time. Read-only files, full disks and missing folders give other answers, or the
// read-only attribute, and are never retried.
inline constexpr DWORD kRefusalPausesMs[] = {10, 20, 40, 80, 160, 320, 640};
inline constexpr DWORD kStartRefusalPatienceMs = 8000;

// The answers a program holding a file for a moment causes.
bool IsPassingRefusal(DWORD error);

// The attempts at one change of one path.
class RefusalPatience {
 public:
  explicit RefusalPatience(const wchar_t* path) : path_(path) {}

  // After a failed attempt with that error: pauses and answers true when another attempt is worth
  // making. GetLastError() is the error again when it answers false.
  bool PauseBeforeRetry(DWORD error);

 private:
  const wchar_t* path_;
  std::size_t attempt_ = 0;
};

// Makes the attempt, and again after each pause while the refusal may pass. True when an attempt
// succeeded; else GetLastError() is the last attempt's error.
template <class Attempt>
bool WithRetries(const wchar_t* path, Attempt attempt) {
  if (attempt()) return true;
  RefusalPatience patience(path);
  while (patience.PauseBeforeRetry(::GetLastError())) {
    if (attempt()) return true;
  }
  return false;
}

// The pauses spent so far by this process's start, and a fresh allowance (for a test's next start).
DWORD RefusalPausesSpentMs();
void ResetRefusalPatience();

}  // namespace velmora
