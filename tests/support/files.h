#pragma once

#include <string>

namespace velmora::testing {

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& folder);

bool WriteBytes(const std::wstring& path, const std::string& bytes);

// True when a file or folder of that name exists.
bool FileExists(const std::wstring& path);

// The whole content of a file; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);

}  // namespace velmora::testing
