#pragma once

#include <map>
#include <string>

namespace velmora::testing {

// Removes a folder and everything in it; folder links in it are removed, never followed.
void RemoveTree(const std::wstring& folder);

// Makes `link` a symbolic link to the folder `target`, and removes such a link again. Under Wine,
// whose links are the host's and cannot be made or removed through the Windows calls, the host's
// ln and rm do it. True when the link exists afterwards (is gone afterwards).
bool CreateFolderLink(const std::wstring& link, const std::wstring& target);
bool RemoveFolderLink(const std::wstring& link);

// The host's name of a Windows path when running under Wine; empty on Windows.
std::wstring HostPath(const std::wstring& path);

bool WriteBytes(const std::wstring& path, const std::string& bytes);

// Everything below a folder: each path relative to it, with the file's content or kFolderEntry.
inline constexpr char kFolderEntry[] = "<folder>";
using FolderContents = std::map<std::wstring, std::string>;
FolderContents ListFolder(const std::wstring& root);

// True when a file or folder of that name exists.
bool FileExists(const std::wstring& path);

// The whole content of a file; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);

}  // namespace velmora::testing
