#pragma once

#include <string>

namespace velmora::testing {

inline constexpr unsigned long kTimedOutExitCode = 999;

struct ChildResult {
  bool started = false;
  unsigned long exitCode = 0;
  std::string output;  // what the child wrote to its standard output
};

// Starts a program with exactly this command line (argument 0 included), in the given folder
// (empty: the caller's), with its standard output on a pipe, and waits for it to end.
ChildResult RunChild(const std::wstring& program, const std::wstring& commandLine,
                     const std::wstring& workingFolder = {}, unsigned long timeoutMs = 60000);

// The folder of the running test executable, without a trailing backslash.
std::wstring TestBinaryFolder();

// Text conversions for assertions and file contents.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

}  // namespace velmora::testing
