#pragma once

#include <string>
#include <vector>

namespace velmora::testing {

struct DebuggedResult {
  bool started = false;
  unsigned long exitCode = 0;
  std::vector<std::wstring> debugOutput;  // each OutputDebugString text of the process, in order
};

// Starts a program with exactly this command line as its debugger, collects the texts it writes
// to the debugger output, and waits for it to end.
DebuggedResult RunCollectingDebugOutput(const std::wstring& program, const std::wstring& commandLine,
                                        const std::wstring& workingFolder = {});

}  // namespace velmora::testing
