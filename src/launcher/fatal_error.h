#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace velmora {

// The string-table identifiers of the reports that end a start, and whether each asks the user
// to reinstall.
struct FatalMessage {
  UINT id;
  bool reinstallLine;

  static const FatalMessage kMissingComponents;   // 9: a module does not load
  static const FatalMessage kCorruptMainModule;   // 10: no RunAppW, or no memory for a command line
  static const FatalMessage kUnsupportedDisplay;  // 14
  static const FatalMessage kNoPlatform;          // 15
};

inline constexpr int kFatalExitCode = 255;

// "Error: " + the message (+ the reinstall line), from the starter's own string table; nothing
// when one of the three texts is missing.
std::optional<std::wstring> ComposeFatalText(const FatalMessage& message);

// Shows the report in a box captioned with the starter's path, echoes it on the standard output
// and ends the process with 255. Returns only when the texts cannot be loaded.
void ReportFatalError(const FatalMessage& message);

}  // namespace velmora
