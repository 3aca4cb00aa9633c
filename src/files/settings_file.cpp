#include "files/settings_file.h"

#include <windows.h>

#include <optional>

#include "common/paths.h"
#include "common/platform_calls.h"
#include "common/refusal_retry.h"
#include "common/trace.h"
#include "common/unique_handle.h"
#include "files/file_replace.h"

namespace velmora {
namespace {

constexpr std::size_t kSectionChunk = 8192;
constexpr std::size_t kSectionAttempts = 19;
constexpr std::size_t kEntryCapacity = kPathCapacity;

bool IsUsableSettingsFile(const std::wstring& candidate) {
  // No "insert a disk" or similar system box may appear while probing for the file.
  ScopedErrorMode quiet(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const auto entry = ProbePath(candidate);
  return entry && entry->size != 0;
}

bool BeginsWithUtf16ByteOrderMark(const std::wstring& file) {
  const UniqueKernelHandle opened(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!opened) return false;
  unsigned char mark[2] = {};
  DWORD read = 0;
  return ::ReadFile(opened.Get(), mark, sizeof(mark), &read, nullptr) && read == sizeof(mark) && mark[0] == 0xFF &&
         mark[1] == 0xFE;
}

bool FlushToDisk(const std::wstring& file) {
  const UniqueKernelHandle opened(Platform().createFile(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!opened) return false;
  MarkAsStarterWrite(opened.Get());
  return ::FlushFileBuffers(opened.Get()) != FALSE;
}

// The private-profile functions rewrite a file in place, and a start ended midway or a power cut
// would leave it cut short: the value goes into a whole copy under the temporary name, which is
// forced to disk before it takes the file's place. A file that cannot be written (read-only, in
// use) stays as it is, and no copy is left beside it.
bool WriteWholeFile(const std::wstring& file, const std::wstring& section, const wchar_t* key,
                    const std::wstring& value) {
  const std::wstring temporary = TemporaryNameOf(file);
  if (!Fits(temporary, kPathCapacity) || !RemoveOwnFile(temporary)) return false;
  if (Exists(file) && !CopyToOwnName(file, temporary, false)) return false;
  // A scanner may hold the fresh copy for a moment, as any new file.
  const auto writeValue = [&] {
    return Platform().writeProfileString(section.c_str(), key, value.c_str(), temporary.c_str()) != FALSE;
  };
  const bool written =
      WithRetries(temporary.c_str(), writeValue) &&
      WithRetries(temporary.c_str(), [&] { return FlushToDisk(temporary); }) &&
      MoveWithRetries(temporary, file, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!written) RemoveOwnFile(temporary);
  return written;
}

constexpr std::size_t kComparedFileLimit = 1 << 20;

// A scratch copy in the user's temporary folder, deleted with its owner.
class ScratchCopy {
 public:
  explicit ScratchCopy(const std::wstring& source) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH || ::GetTempFileNameW(folder, L"vxc", 0, name) == 0) return;
    path_ = name;
    if (!::CopyFileW(source.c_str(), path_.c_str(), FALSE)) Drop();
    if (!path_.empty()) ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;
  ~ScratchCopy() { Drop(); }

  const std::wstring& Path() const { return path_; }

 private:
  void Drop() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
    path_.clear();
  }
  std::wstring path_;
};

}  // namespace

bool IsCopyWithOnlyKeyWritten(const std::wstring& source, const std::wstring& file, const wchar_t* key) {
  const std::optional<std::string> content = ReadFileContent(file, kComparedFileLimit);
  if (!content) return false;
  const ScratchCopy scratch(source);
  if (scratch.Path().empty()) return false;
  std::wstring names(kComparedFileLimit / sizeof(wchar_t), L'\0');
  const DWORD length =
      ::GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), file.c_str());
  if (length >= names.size() - 2) return false;
  // The file's sections in its order, each given the file's value of the key (a section without
  // it is left as the source has it): the result equals the file only when nothing else differs.
  constexpr wchar_t kAbsent[] = L"\x01";
  for (std::size_t at = 0; at < length && names[at] != L'\0';) {
    const std::wstring section(names.data() + at);
    at += section.size() + 1;
    wchar_t value[kPathCapacity + 1] = {};
    const DWORD valueLength =
        ::GetPrivateProfileStringW(section.c_str(), key, kAbsent, value, kPathCapacity + 1, file.c_str());
    if (valueLength >= kPathCapacity) return false;
    if (std::wstring_view(value, valueLength) == kAbsent) continue;
    if (!::WritePrivateProfileStringW(section.c_str(), key, value, scratch.Path().c_str())) return false;
  }
  return ReadFileContent(scratch.Path(), kComparedFileLimit) == content;
}

bool SurvivesCodePage(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const int bytes = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), bytes, nullptr, nullptr);
  const int units = ::MultiByteToWideChar(codePage, 0, narrow.data(), bytes, nullptr, 0);
  if (units != length) return false;
  std::wstring back(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(codePage, 0, narrow.data(), bytes, back.data(), units);
  return back == text;
}

bool WriteSettingsValue(const std::wstring& file, const std::wstring& section, const wchar_t* key,
                        const std::wstring& value) {
  if (!BeginsWithUtf16ByteOrderMark(file) &&
      !(SurvivesCodePage(section, CP_ACP) && SurvivesCodePage(key, CP_ACP) && SurvivesCodePage(value, CP_ACP))) {
    TraceRefusal(L"settings value " + section + L'\\' + key + L" in " + file,
                 L"the file's code page cannot hold it unchanged");
    return false;
  }
  return WriteWholeFile(file, section, key, value);
}

std::wstring DefaultSettingsFile(const std::wstring& starterPath) {
  return FittedOrEmpty(WithExtension(starterPath, L"ini"), kPathCapacity);
}

std::wstring LocateSettingsFile(const std::wstring& starterPath, std::wstring_view settingsFileName) {
  if (!Fits(starterPath, kPathCapacity) || starterPath.empty()) return {};
  // A wildcard would let the lookup match some other file.
  const bool plainName = settingsFileName.find_first_of(L"*?") == std::wstring_view::npos;
  if (!settingsFileName.empty() && plainName) {
    const auto folderEnd = starterPath.rfind(L'\\');
    std::wstring candidate =
        (folderEnd == std::wstring::npos ? std::wstring() : starterPath.substr(0, folderEnd + 1));
    candidate += settingsFileName;
    if (Fits(candidate, kPathCapacity) && IsUsableSettingsFile(candidate)) return candidate;
  }
  return DefaultSettingsFile(starterPath);
}

std::wstring ReadSettingsValue(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                               std::size_t capacity) {
  if (file.empty()) return {};
  // One character more than the capacity tells a value that fits from one that was cut.
  std::wstring buffer(capacity + 1, L'\0');
  const DWORD length = ::GetPrivateProfileStringW(section, key, L"", buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), file.c_str());
  if (length >= capacity) return {};
  buffer.resize(length);
  return buffer;
}

std::wstring ReadTypedValue(const std::wstring& file, const std::wstring& section, const wchar_t* key) {
  std::wstring tagged = ReadSettingsValue(file, section.c_str(), key, kPathCapacity);
  if (tagged.empty()) return {};
  return tagged.substr(1);
}

bool WriteTypedValue(const std::wstring& file, const std::wstring& section, const wchar_t* key, wchar_t tag,
                     const std::wstring& value) {
  return WriteSettingsValue(file, section, key, tag + value);
}

std::vector<SectionEntry> SplitSectionEntries(std::wstring_view block, bool blockWasCut) {
  std::vector<SectionEntry> entries;
  std::size_t start = 0;
  while (start < block.size() && block[start] != L'\0') {
    auto end = block.find(L'\0', start);
    const bool lastInBlock = end == std::wstring_view::npos || end + 1 >= block.size() || block[end + 1] == L'\0';
    if (end == std::wstring_view::npos) end = block.size();
    const std::wstring_view line = block.substr(start, end - start);
    start = end + 1;
    if (blockWasCut && lastInBlock) break;
    if (line.starts_with(L"@=") || !Fits(line, kEntryCapacity)) continue;
    const auto equals = line.find(L'=');
    if (equals == std::wstring_view::npos) {
      entries.push_back({std::wstring(line), {}});
    } else {
      entries.push_back({std::wstring(line.substr(0, equals)), std::wstring(line.substr(equals + 1))});
    }
  }
  return entries;
}

std::vector<SectionEntry> ReadSectionList(const std::wstring& file, const wchar_t* section) {
  if (file.empty()) return {};
  std::wstring buffer;
  DWORD length = 0;
  bool cut = false;
  for (std::size_t attempt = 1; attempt <= kSectionAttempts; ++attempt) {
    const std::size_t size = kSectionChunk * attempt;
    buffer.assign(size, L'\0');
    length = ::GetPrivateProfileSectionW(section, buffer.data(), static_cast<DWORD>(size), file.c_str());
    cut = length >= size - 2;
    if (!cut) break;
  }
  if (length == 0) return {};
  return SplitSectionEntries(std::wstring_view(buffer.data(), length + 1), cut);
}

}  // namespace velmora
