#include "common/platform_calls.h"

namespace velmora {

PlatformCalls SystemCalls() {
  return {::CreateDirectoryW, ::RemoveDirectoryW,          ::CopyFileW,       ::MoveFileExW,
          ::DeleteFileW,      ::SetFileAttributesW,        ::CreateFileW,     ::WritePrivateProfileStringW,
          ::RegCreateKeyExW,  ::RegSetValueExW,            ::RegDeleteValueW, ::Sleep};
}

PlatformCalls& Platform() {
  static PlatformCalls calls = SystemCalls();
  return calls;
}

}  // namespace velmora
