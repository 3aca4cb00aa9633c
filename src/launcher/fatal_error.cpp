#include "launcher/fatal_error.h"

#include <stdio.h>
#include <stdlib.h>

#include "common/paths.h"

namespace velmora {

const FatalMessage FatalMessage::kMissingComponents{9, true};
const FatalMessage FatalMessage::kCorruptMainModule{10, true};
const FatalMessage FatalMessage::kUnsupportedDisplay{14, false};
const FatalMessage FatalMessage::kNoPlatform{15, true};

namespace {

constexpr UINT kPrefixId = 11;
constexpr UINT kReinstallLineId = 12;
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

std::wstring Caption() {
  std::wstring caption(kCaptionCapacity, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, caption.data(), static_cast<DWORD>(kCaptionCapacity - 1));
  caption.resize(length < kCaptionCapacity ? length : 0);
  return caption;
}

}  // namespace

std::optional<std::wstring> ComposeFatalText(const FatalMessage& message) {
  const auto prefix = LoadText(kPrefixId, kPrefixCapacity);
  const auto text = LoadText(message.id, kMessageCapacity);
  const auto reinstall = LoadText(kReinstallLineId, kMessageCapacity);
  if (!prefix || !text || !reinstall) return std::nullopt;
  std::wstring composed = *prefix + *text;
  if (message.reinstallLine) composed += *reinstall;
  // A display text: cut to its box rather than refused.
  if (!Fits(composed, kComposedCapacity)) composed.resize(kComposedCapacity - 1);
  return composed;
}

void ReportFatalError(const FatalMessage& message) {
  const auto text = ComposeFatalText(message);
  if (!text) return;
  ::MessageBoxW(nullptr, text->c_str(), Caption().c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST);
  ::fputws(text->c_str(), stdout);
  ::fputwc(L'\n', stdout);
  ::_fcloseall();
  ::exit(kFatalExitCode);
}

}  // namespace velmora
