#include "launcher/fatal_error.h"

#include <stdio.h>
#include <stdlib.h>

#include "common/paths.h"
#include "common/trace.h"
#include "common/window_station.h"
#include "resources/string_ids.h"

namespace velmora {

namespace {

constexpr std::size_t kPrefixCapacity = 80;
constexpr std::size_t kMessageCapacity = 1024;
constexpr std::size_t kComposedCapacity = 2048;
constexpr std::size_t kCaptionCapacity = 1024;

std::optional<std::wstring> LoadText(UINT id, std::size_t capacity) {
  std::wstring buffer(capacity, L'\0');
  const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer.data(), static_cast<int>(capacity));
  if (length <= 0) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(length));
  return buffer;
}

}  // namespace

std::optional<std::wstring> ComposeFatalText(const FatalMessage& message) {
  const auto prefix = LoadText(IDS_ERROR_PREFIX, kPrefixCapacity);
  const auto text = LoadText(message.id, kMessageCapacity);
  const auto reinstall = LoadText(IDS_REINSTALL_LINE, kMessageCapacity);
  if (!prefix || !text || !reinstall) return std::nullopt;
  std::wstring composed = *prefix + *text;
  if (message.reinstallLine) composed += *reinstall;
  // A display text: cut to its box rather than refused.
  if (!Fits(composed, kComposedCapacity)) composed.resize(kComposedCapacity - 1);
  return composed;
}

void ReportFatalError(const FatalMessage& message, const std::wstring& starterPath, int exitCode) {
  const auto text = ComposeFatalText(message);
  if (!text) return;
  // A display text: cut to its box rather than refused.
  const std::wstring caption = starterPath.substr(0, kCaptionCapacity - 1);
  if (ProcessWindowStationIsVisible()) {
    ::MessageBoxW(nullptr, text->c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST);
  } else {
    // Nobody sees this window station (a service, the installer's system account in session 0):
    // a box would wait for ever and the installation with it. The text goes where a log can pick it up.
    ::OutputDebugStringW((*text + L"\r\n").c_str());
  }
  ::fputws(text->c_str(), stdout);
  ::fputwc(L'\n', stdout);
  ::_fcloseall();
  ::exit(exitCode);
}

int ReportStartFailure(const StartFailure& failure, const std::wstring& starterPath) {
  const FatalMessage message = MessageFor(failure.reason);
  TraceStep(L"failure report", L"message " + std::to_wstring(message.id));
  ReportFatalError(message, starterPath, ExitCodeFor(failure, true));
  TraceStep(L"failure report", L"its texts are missing");
  return ExitCodeFor(failure, false);
}

}  // namespace velmora
