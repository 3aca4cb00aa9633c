#include "support/files.h"

#include <windows.h>

#include "common/unique_handle.h"
#include "support/child_process.h"

namespace velmora::testing {
namespace {

constexpr DWORD kLinkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

bool IsFolderLink(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kLinkedFolder) == kLinkedFolder;
}

void RunHostCommand(const wchar_t* program, const std::wstring& arguments) {
  RunChild(std::wstring(L"Z:\\bin\\") + program, std::wstring(program) + L" " + arguments);
}

}  // namespace

std::wstring HostPath(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto unixFileName = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixFileName == nullptr) return {};
  char* name = unixFileName(path.c_str());
  if (name == nullptr) return {};
  const std::wstring hostPath = Wide(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return hostPath;
}

bool CreateFolderLink(const std::wstring& link, const std::wstring& target) {
  const std::wstring hostLink = HostPath(link);
  if (hostLink.empty()) {
    ::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                          SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  } else {
    RunHostCommand(L"ln", L"-s \"" + HostPath(target) + L"\" \"" + hostLink + L"\"");
  }
  return IsFolderLink(link);
}

bool RemoveFolderLink(const std::wstring& link) {
  const std::wstring hostLink = HostPath(link);
  if (hostLink.empty()) {
    ::RemoveDirectoryW(link.c_str());
  } else {
    RunHostCommand(L"rm", L"-f \"" + hostLink + L"\"");
  }
  return !FileExists(link);
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  {
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    while (find) {
      const std::wstring name = entry.cFileName;
      const std::wstring path = folder + L"\\" + name;
      if (name == L"." || name == L"..") {
      } else if ((entry.dwFileAttributes & kLinkedFolder) == kLinkedFolder) {
        RemoveFolderLink(path);
      } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
      }
      if (!::FindNextFileW(find.Get(), &entry)) break;
    }
  }
  ::RemoveDirectoryW(folder.c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueKernelHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadBytes(const std::wstring& path) {
  std::string content;
  UniqueKernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  if (!file) return content;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) content.append(chunk, read);
  return content;
}

namespace {

void AddEntries(const std::wstring& root, const std::wstring& relative, FolderContents& contents) {
  WIN32_FIND_DATAW entry{};
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      contents[path] = kFolderEntry;
      AddEntries(root, path, contents);
    } else {
      contents[path] = ReadBytes(root + L"\\" + path);
    }
  } while (::FindNextFileW(find.Get(), &entry));
}

}  // namespace

FolderContents ListFolder(const std::wstring& root) {
  FolderContents contents;
  AddEntries(root, L"", contents);
  return contents;
}

}  // namespace velmora::testing
