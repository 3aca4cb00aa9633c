#include "launcher/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <velmora/main_module.h>

#include <algorithm>
#include <array>
#include <new>

#include "common/paths.h"
#include "common/unique_handle.h"
#include "common/window_station.h"

namespace velmora {
namespace {

constexpr std::array kRegisterSpellings = {L"-register", L"-REGISTER", L"/register", L"/REGISTER"};
constexpr std::array kUnregisterSpellings = {L"-unregister", L"-UNREGISTER", L"/unregister", L"/UNREGISTER"};
constexpr std::array kShowLogoSpellings = {L"-showlogo", L"-SHOWLOGO", L"/showlogo", L"/SHOWLOGO"};

constexpr UINT kStopForConnectStyle = MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND | MB_TOPMOST;

template <std::size_t N>
bool ContainsAny(std::wstring_view text, const std::array<const wchar_t*, N>& spellings) {
  for (const wchar_t* spelling : spellings) {
    if (text.find(spelling) != std::wstring_view::npos) return true;
  }
  return false;
}

// The option a switch token selects by its second character; nullptr for none.
std::wstring* SelectedOption(Options& options, wchar_t letter) {
  switch (letter) {
    case L'A': case L'a': return &options.a;
    case L'B': case L'b': return &options.b;
    case L'G': case L'g': return &options.g;
    case L'P': case L'p': return &options.p;
    case L'R': case L'r': return &options.r;
    default: return nullptr;
  }
}

// The next token at position `at`: a quoted run up to the next quote, or a run up to the next space.
std::wstring_view NextToken(std::wstring_view text, std::size_t& at) {
  if (text[at] == L'"') {
    const std::size_t start = at + 1;
    const std::size_t end = std::min(text.find(L'"', start), text.size());
    at = end < text.size() ? end + 1 : end;
    return text.substr(start, end - start);
  }
  const std::size_t start = at;
  at = std::min(text.find(L' ', start), text.size());
  return text.substr(start, at - start);
}

}  // namespace

std::wstring RequoteArguments(const std::vector<std::wstring_view>& argumentsAfterProgram) {
  std::wstring text;
  for (const auto argument : argumentsAfterProgram) {
    text += L'"';
    text += argument;
    text += L"\" ";
  }
  return text;
}

std::optional<std::wstring> BuildCommandLineText() {
  int count = 0;
  UniqueLocalMemory arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!arguments) return std::nullopt;
  auto* argv = static_cast<wchar_t**>(arguments.Get());
  try {
    std::vector<std::wstring_view> afterProgram;
    for (int i = 1; i < count; ++i) afterProgram.emplace_back(argv[i]);
    return RequoteArguments(afterProgram);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

Switches DetectSwitches(std::wstring_view text) {
  Switches switches;
  switches.registerModules = ContainsAny(text, kRegisterSpellings);
  switches.unregisterModules = ContainsAny(text, kUnregisterSpellings);
  switches.showLogo = ContainsAny(text, kShowLogoSpellings);
  switches.stopForConnect = text.find(L"-stop_for_connect") != std::wstring_view::npos;
  switches.profiler = text.find(L"-profiler") != std::wstring_view::npos;
  switches.reserveAddressSpace = text.find(L"/4GB") != std::wstring_view::npos;
  return switches;
}

void ApplyImmediateSwitches(const Switches& switches) {
  // Gives a developer the time to attach a debugger before any product module is loaded; not where
  // nobody could close the box.
  if (switches.stopForConnect && ProcessWindowStationIsVisible()) ::MessageBoxW(nullptr, L"stop_for_connect", L"Velmora", kStopForConnectStyle);
  if (switches.profiler) AssignEnvironment(L"DEZUVAVARE", L"1");
  // Fills the low address space so that the application's own allocations land above 4 GB,
  // where pointer truncation bugs show at once.
  if (switches.reserveAddressSpace) ReserveAddressSpace(kFourGbReservations);
}

std::size_t ReserveAddressSpace(std::size_t count) {
  std::size_t reserved = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (::VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_READWRITE) != nullptr) ++reserved;
  }
  return reserved;
}

Options ParseOptions(std::wstring_view text) {
  Options options;
  std::wstring* pending = nullptr;
  std::size_t at = 0;
  for (;;) {
    while (at < text.size() && text[at] == L' ') ++at;
    if (at >= text.size()) break;
    const std::wstring_view token = NextToken(text, at);
    if (token.empty()) break;
    if (token.front() == L'-' || token.front() == L'/') {
      pending = token.size() > 1 ? SelectedOption(options, token[1]) : nullptr;
    } else if (pending != nullptr) {
      // A value that does not fit an option buffer is refused rather than used cut.
      *pending = FittedOrEmpty(std::wstring(token), kPathCapacity);
      pending = nullptr;
    }
  }
  return options;
}

std::wstring ComposeApplicationCommandLine(std::wstring_view commandLineText, std::wstring_view settingsFile) {
  std::wstring commandLine(commandLineText);
  commandLine += L" /" VELMORA_SETTINGS_FILE_MARKER L"\"";
  commandLine += settingsFile;
  commandLine += L'"';
  return commandLine;
}

}  // namespace velmora
