#pragma once

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

// The folder of the running test executable, without a trailing backslash.
std::wstring TestBinaryFolder();

}  // namespace velmora::testing
