#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Every argument after the program name as a double quote, the argument, a double quote and one
// space. Arguments are not escaped: the application receives what the user typed, re-quoted.
std::wstring RequoteArguments(const std::vector<std::wstring_view>& argumentsAfterProgram);

// The re-quoted arguments of this process's command line; nothing when it cannot be split or
// there is no memory for it.
std::optional<std::wstring> BuildCommandLineText();

// Switches are found by case-sensitive substring search in the command-line text, so a switch
// spelling inside another argument (a file path) counts too.
struct Switches {
  bool registerModules = false;
  bool unregisterModules = false;
  bool showLogo = false;
  bool stopForConnect = false;
  bool profiler = false;
  bool reserveAddressSpace = false;
};

Switches DetectSwitches(std::wstring_view commandLineText);

// The four ways a start runs, chosen by -register and -unregister.
enum class RunMode {
  kApplicationStart,      // neither
  kRegistration,          // -register alone
  kReversedRegistration,  // -register and -unregister
  kUnregistration,        // -unregister alone
};

constexpr RunMode RunModeOf(const Switches& switches) {
  if (switches.registerModules) {
    return switches.unregisterModules ? RunMode::kReversedRegistration : RunMode::kRegistration;
  }
  return switches.unregisterModules ? RunMode::kUnregistration : RunMode::kApplicationStart;
}

// Performs -stop_for_connect, -profiler and /4GB, in that order.
void ApplyImmediateSwitches(const Switches& switches);

// Reserves (without committing) that many 4 KB blocks of address space and never releases them.
// Gives the number of reservations that succeeded.
std::size_t ReserveAddressSpace(std::size_t count);

inline constexpr std::size_t kFourGbReservations = 0x100000;

// The lettered options -a, -b, -g, -p and -r.
struct Options {
  std::wstring a;  // application name for the start screen
  std::wstring b;  // platform to run with
  std::wstring g;  // package file to apply
  std::wstring p;  // profile name for the start screen
  std::wstring r;  // profile name, and the user settings subsection
};

Options ParseOptions(std::wstring_view commandLineText);

// The command line the main module receives: the command-line text, a space, and the marker with
// the quoted settings file path.
std::wstring ComposeApplicationCommandLine(std::wstring_view commandLineText, std::wstring_view settingsFile);

}  // namespace velmora
