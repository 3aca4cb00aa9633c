#pragma once

#include <optional>
#include <string>

#include "launcher/start_failure.h"

namespace velmora {

// "Error: " + the message (+ the reinstall line), from the starter's own string table; nothing
// when one of the three texts is missing.
std::optional<std::wstring> ComposeFatalText(const FatalMessage& message);

// Shows the report in a box captioned with the starter's path, echoes it on the standard output
// and ends the process with the exit code, without the teardown. On a window station nobody sees,
// the text goes to the debugger output instead of a box. Returns only when the texts cannot be
// loaded.
void ReportFatalError(const FatalMessage& message, const std::wstring& starterPath, int exitCode);

// Reports a failed start that way. Gives the exit code of the start only when the report could
// not be shown.
int ReportStartFailure(const StartFailure& failure, const std::wstring& starterPath);

}  // namespace velmora
