#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Capacities, in characters with the terminator, of the texts the starter keeps.
inline constexpr std::size_t kPathCapacity = 260;
inline constexpr std::size_t kLongPathCapacity = 520;
inline constexpr std::size_t kModuleSearchPathCapacity = 3120;
inline constexpr std::size_t kSearchTextCapacity = 8320;
inline constexpr std::size_t kLongestPathCapacity = 32768;

// True when the text and its terminator fit a buffer of that capacity.
constexpr bool Fits(std::wstring_view text, std::size_t capacity) { return text.size() < capacity; }

// The text when it fits, else the empty text: an over-long name is refused, never used cut.
std::wstring FittedOrEmpty(std::wstring text, std::size_t capacity);

// Everything before the last backslash; the whole text when there is none.
std::wstring CutAtLastBackslash(std::wstring_view path);

// Everything after the last backslash; the whole text when there is none.
std::wstring FileNameOf(std::wstring_view path);

// The text after the last '.' replaced by the given extension; appended after a '.' when there
// is no '.' at all.
std::wstring WithExtension(std::wstring_view path, std::wstring_view extension);

// The full path of a module of this process, or nothing when it is longer than the capacity.
std::optional<std::wstring> ModuleFileName(void* module, std::size_t capacity);

// Looks a file name up in the absolute folders of a ';'-separated list only, no default
// extension. Gives the full path when it is found and fits the capacity.
std::optional<std::wstring> SearchAlongPath(const std::wstring& folders, const std::wstring& fileName,
                                            std::size_t capacity);

// What the file system reports for an existing file or folder.
struct PathEntry {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;  // 0 for a folder

  [[nodiscard]] bool IsFolder() const;
};

// The one existence probe. Nothing when the path is empty, names nothing, or holds a wildcard
// (which a directory lookup would match against other names).
std::optional<PathEntry> ProbePath(const std::wstring& path);

// True when a file or folder of that name exists.
bool Exists(const std::wstring& path);

// True when the relative path, joined below a root with a backslash, names the root or something
// below it: no segment (between '\' or '/') made only of dots and spaces, which the platform
// reads as the folder itself or its parent once it trims them; no leading separator (the top of
// a drive, or a network share); no ':' (a drive or a stream). The empty path names the root.
bool StaysBelowRoot(std::wstring_view relativePath);

// The elements of a ';'-separated folder list that name a folder by its full path (a drive
// letter and a backslash, or a network share), in order. An empty or relative element would make
// a lookup search the current folder, which may be that of an opened drawing.
std::wstring AbsoluteFoldersOnly(std::wstring_view folders);

// The value of an environment variable read whole, or nothing when it is not set.
std::optional<std::wstring> EnvironmentValue(const wchar_t* name);

// Assigns name=value through the runtime, which keeps the process environment in step; an empty
// value removes the variable. False when the runtime refused the assignment.
bool AssignEnvironment(std::wstring_view name, std::wstring_view value);

}  // namespace velmora
