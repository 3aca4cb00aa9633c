#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/utf8.h"

namespace velmora::testing {

inline constexpr unsigned long kTimedOutExitCode = 999;

// A message box the child showed, as the user saw it.
struct ShownBox {
  std::wstring caption;
  std::wstring text;
};

struct ChildResult {
  bool started = false;
  unsigned long exitCode = 0;
  std::string output;           // what the child wrote to its standard output
  std::vector<ShownBox> boxes;  // message boxes it showed; each was answered with OK
};

// Starts a program with exactly this command line (argument 0 included), in the given folder
// (empty: the caller's), collects its standard output, and waits for it to end, pressing OK on
// every message box it shows (windows are invisible under the test prefix, so nobody else can).
// A dialog that has a button with the identifier `answer` gets that button pressed instead.
ChildResult RunChild(const std::wstring& program, const std::wstring& commandLine,
                     const std::wstring& workingFolder = {}, unsigned long timeoutMs = 60000, int answer = 1);

inline constexpr unsigned long kNoEnd = 0xFFFFFFFF;

struct EndedChild {
  bool begun = false;        // the condition held while the program ran
  bool ended = false;        // it was ended by TerminateProcess rather than on its own
  unsigned long stepMs = 0;  // from the moment the condition held to the program's end
};

// Starts a program as RunChild does and ends it with TerminateProcess `delayMs` after `begun` first
// holds (polled without pause), answering its message boxes meanwhile, as a user ending a start in
// Task Manager or a power cut would. With kNoEnd it lets the program end on its own and measures
// how long that took after the condition held.
EndedChild RunChildAndEnd(const std::wstring& program, const std::wstring& commandLine,
                          const std::wstring& workingFolder, const std::function<bool()>& begun,
                          unsigned long delayMs, int answer = 1);

// The folder of the running test executable, without a trailing backslash.
std::wstring TestBinaryFolder();

}  // namespace velmora::testing
