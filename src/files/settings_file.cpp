#include "files/settings_file.h"

#include <windows.h>

#include "common/paths.h"
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
  const UniqueKernelHandle opened(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return opened && ::FlushFileBuffers(opened.Get());
}

// The private-profile functions rewrite a file in place, and a start ended midway or a power cut
// would leave it cut short: the value goes into a whole copy under the temporary name, which is
// forced to disk before it takes the file's place. A file that cannot be written (read-only, in
// use) stays as it is.
bool WriteWholeFile(const std::wstring& file, const std::wstring& section, const wchar_t* key,
                    const std::wstring& value) {
  const std::wstring temporary = TemporaryNameOf(file);
  if (!Fits(temporary, kPathCapacity)) return false;
  DeleteFileOfUser(temporary);
  if (Exists(file) && !::CopyFileW(file.c_str(), temporary.c_str(), TRUE)) return false;
  const bool written = ::WritePrivateProfileStringW(section.c_str(), key, value.c_str(), temporary.c_str()) &&
                       FlushToDisk(temporary) &&
                       ::MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!written) DeleteFileOfUser(temporary);
  return written;
}

}  // namespace

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
