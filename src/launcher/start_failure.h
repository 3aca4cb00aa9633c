#pragma once

#include <windows.h>

#include <variant>

#include "resources/string_ids.h"

namespace velmora {

// Why a start cannot go on.
enum class FailureReason {
  kNoCommandLine,             // no memory for the command-line text
  kUnsupportedDisplay,        // too few colours
  kNoIdentity,                // the identity module gives no identity object
  kNoPlatform,                // no usable platform or platform folder
  kMainModuleNotLoaded,       // the main module does not load
  kNoRunApp,                  // the main module exports no RunAppW
  kNoApplicationCommandLine,  // no memory for the application command line
};

struct StartFailure {
  FailureReason reason;
  DWORD systemError = 0;  // the failed load's error code where the reason is a load
};

// How a start ended: an exit code, or a failure the sequence reports.
using StartOutcome = std::variant<int, StartFailure>;

// The string-table message of a failure report and whether it asks the user to reinstall.
struct FatalMessage {
  UINT id;
  bool reinstallLine;
};

constexpr FatalMessage MessageFor(FailureReason reason) {
  switch (reason) {
    case FailureReason::kUnsupportedDisplay:
      return {IDS_UNSUPPORTED_DISPLAY, false};
    case FailureReason::kNoPlatform:
      return {IDS_NO_PLATFORM, true};
    case FailureReason::kNoIdentity:
    case FailureReason::kMainModuleNotLoaded:
      return {IDS_MISSING_COMPONENTS, true};
    case FailureReason::kNoCommandLine:
    case FailureReason::kNoRunApp:
    case FailureReason::kNoApplicationCommandLine:
      break;
  }
  return {IDS_CORRUPT_MAIN_MODULE, true};
}

inline constexpr int kFatalExitCode = 255;

// The one exit-code rule of a failed start: 255 once the failure is reported. A report that
// could not load its texts leaves the failed load's error code where the main module did not
// load, else 255 too.
constexpr int ExitCodeFor(const StartFailure& failure, bool reported) {
  if (!reported && failure.reason == FailureReason::kMainModuleNotLoaded) return static_cast<int>(failure.systemError);
  return kFatalExitCode;
}

}  // namespace velmora
