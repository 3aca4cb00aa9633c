#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The support trace. With VX_STARTER_TRACE=1 in the environment every step, module load and
// refusal made for soundness writes one line to the debugger output, with the milliseconds since
// the start began; without it the starter writes nothing more than it always does.

// Reads the variable and notes when the start began; the first thing a start does.
void BeginTrace();

// A step of the start-up sequence and how it ended.
void TraceStep(std::wstring_view step, std::wstring_view outcome);

// Something refused or skipped because using it would be unsound, and why.
void TraceRefusal(std::wstring_view what, std::wstring_view reason);

// A change of a file, folder or registry value that failed for good (after the retries a refusal
// gets), with the system's error text; the step goes on without it.
void TraceFailure(std::wstring_view what, DWORD error);

// LoadLibraryW that traces the path tried and, when the load fails, the system's error text.
// GetLastError() is the load's own afterwards.
HMODULE LoadTracedModule(const wchar_t* path);

// One trace line: "Starter trace +<ms> ms: <text>" and a line break.
std::wstring FormatTraceLine(std::uint64_t elapsedMs, std::wstring_view text);

// "<code> <the system's text for it>", the text without its line break; the bare code when the
// system has no text for it.
std::wstring DescribeSystemError(DWORD error);

}  // namespace velmora
