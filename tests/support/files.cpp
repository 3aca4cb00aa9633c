#include "support/files.h"

#include <windows.h>

#include "common/unique_handle.h"

namespace velmora::testing {

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  {
    UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    while (find) {
      const std::wstring name = entry.cFileName;
      const std::wstring path = folder + L"\\" + name;
      if (name == L"." || name == L"..") {
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

}  // namespace velmora::testing
