#include <windows.h>

#include <shellapi.h>

#include <velmora/start_screen.h>

#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>

#include "common/paths.h"
#include "common/unique_handle.h"
#include "files/file_replace.h"
#include "files/tree_copy.h"
#include "startscreen/start_screen.h"

namespace velmora {
namespace {

// One level only: a missing parent makes the creation fail.
bool FoundOrCreated(const std::wstring& folder) {
  return Exists(folder) || ::CreateDirectoryW(folder.c_str(), nullptr) || Exists(folder);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The number "%d" would take from the text; nothing when there is none or it does not fit 32 bits.
std::optional<std::int32_t> ParseVersionNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  const std::size_t firstDigit = at;
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > limit) return std::nullopt;
  }
  if (at == firstDigit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -value : value);
}

// Removes the workspace and everything in it for good, with no dialog of any kind. A failure only
// leaves a line for the debugger: whatever is left of the workspace is used.
void DeleteWorkspace(const std::wstring& workspace) {
  std::wstring from = workspace;
  from.push_back(L'\0');  // c_str() adds the list's second terminator
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
  const int result = ::SHFileOperationW(&operation);
  if (result == 0) return;
  wchar_t line[kPathCapacity + 64];
  const int length = std::swprintf(line, sizeof line / sizeof *line, L"Delete directory '%ls' invalid. Error=%d.",
                                   workspace.c_str(), result);
  if (length > 0) ::OutputDebugStringW(line);
}

// A newer content version in the source makes the workspace go. Without a source version, or with
// a version file that holds no number, the workspace stays.
bool SourceVersionIsNewer(const std::wstring& source, const std::wstring& workspace) {
  const std::wstring sourceVersion = source + L"\\last.version";
  const std::wstring workspaceVersion = workspace + L"\\last.version";
  if (source.empty() || !Exists(sourceVersion)) return false;
  if (!Exists(workspaceVersion)) return true;
  const std::optional<std::int32_t> current = ReadVersionNumber(workspaceVersion);
  if (!current) return false;
  const std::optional<std::int32_t> offered = ReadVersionNumber(sourceVersion);
  return offered && *current < *offered;
}

// A name that is empty or made only of dots and spaces would address the profiles folder itself
// or its parent once the system trims the path, and a version change would delete that.
bool NamesAFolderOfItsOwn(std::wstring_view name) {
  return name.find_first_not_of(L". ") != std::wstring_view::npos;
}

// An empty folder under the build's name tells the next start that the workspace still lacks
// files, which it then copies.
void MarkBuildUnfinished(const std::wstring& build) { CreateFolderWithRetries(build); }

}  // namespace

std::wstring SanitizeProfileName(std::wstring_view name) {
  std::wstring sanitised(name);
  for (wchar_t& c : sanitised) {
    if (std::wstring_view(L"<>/\\\":;?*|,=`").find(c) != std::wstring_view::npos) c = L'$';
  }
  return sanitised;
}

std::optional<std::int32_t> ReadVersionNumber(const std::wstring& path) {
  UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  char text[1023];
  DWORD read = 0;
  if (!::ReadFile(file.Get(), text, sizeof text, &read, nullptr)) return std::nullopt;
  // The text ends at the first null byte, as a C string would.
  const std::string_view content(text, read);
  return ParseVersionNumber(content.substr(0, content.find('\0')));
}

std::optional<StartScreenWorkspace> PrepareStartScreenWorkspace(const StartScreenInfo& info) {
  // Without a per-user folder the root would land at the top of the current drive.
  if (info.userFolder.empty() || !NamesAFolderOfItsOwn(info.profileName)) return std::nullopt;
  const std::wstring root = info.userFolder + L"\\ss20";
  const std::wstring profiles = root + L"\\profiles";
  StartScreenWorkspace result;
  result.workspace = profiles + L'\\' + SanitizeProfileName(info.profileName);
  result.parameterFile = result.workspace + L"\\" VELMORA_PARAMETER_FILE_NAME;
  // "last.version" is the longest name used inside the workspace, which is filled under its
  // temporary name.
  if (!Fits(TemporaryNameOf(result.workspace) + L"\\last.version", kPathCapacity)) return std::nullopt;
  // An empty all-users folder would put the source at the top of the current drive: it counts as
  // missing, and so does one too long to address.
  if (!info.commonDataDir.empty()) {
    const std::wstring source = info.commonDataDir + L"\\ss20\\vmss_files";
    if (Fits(source + L"\\last.version", kPathCapacity)) result.source = source;
  }

  if (!FoundOrCreated(root) || !FoundOrCreated(profiles)) return std::nullopt;
  // The workspace and its build are the starter's own: a link planted under either name is removed
  // as a link before anything is emptied or filled there.
  const std::wstring build = TemporaryNameOf(result.workspace);
  if (IsLinkAt(result.workspace)) RemoveOwnFolder(result.workspace);
  if (IsLinkAt(build)) RemoveOwnFolder(build);
  if (SourceVersionIsNewer(result.source, result.workspace)) DeleteWorkspace(result.workspace);
  // A copy of the parameter file that an ended start left (hidden, system or read-only as it may
  // be) goes at every start, whether or not this start writes the file.
  if (Exists(result.workspace)) RemoveLeftoverTemporary(result.parameterFile);
  if (!Exists(result.workspace)) {
    // Built whole: a start ended midway leaves no workspace that looks complete and lacks pages.
    if (result.source.empty()) return std::nullopt;
    const TreeOutcome built = CopyTreeAsNewFolder(result.source, result.workspace);
    if (!built.listedToEnd || !Exists(result.workspace)) return std::nullopt;
    if (!built.complete) MarkBuildUnfinished(build);
    return result;
  }
  // A build of the workspace left beside it (a file that could not be placed, a folder that could
  // not be taken away) makes it incomplete, whatever files it holds.
  const bool complete =
      Exists(result.parameterFile) && Exists(result.workspace + L"\\ssini.xml") && !Exists(build);
  if (complete) return result;
  if (result.source.empty()) return std::nullopt;
  // The parameter file as the starter last wrote it is its own, rewritten at every start: never
  // the user's edit, and no ".bak" is made of it.
  const std::wstring& parameterFile = result.parameterFile;
  const TreeOutcome walked = WalkTree(result.source, result.workspace, TreeMode::kCopy,
                                      [&parameterFile](const std::wstring&, const std::wstring& destination) {
                                        return destination == parameterFile && CarriesStarterWriteMark(destination);
                                      });
  if (!walked.listedToEnd) return std::nullopt;
  if (!walked.complete || !RemoveOwnFolder(build)) MarkBuildUnfinished(build);
  return result;
}

}  // namespace velmora
