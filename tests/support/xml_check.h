#pragma once

#include <string>
#include <vector>

namespace velmora::testing {

// The files that a strict XML parser independent of the starter's finds not well-formed: under
// Wine the host's xmllint (libxml2, Debian's libxml2-utils), one run for many files; on Windows the
// document service (MSXML 3), which checks well-formedness itself. Empty when all are well-formed;
// every file when xmllint gave no answer.
std::vector<std::wstring> NotWellFormed(const std::vector<std::wstring>& files);

}  // namespace velmora::testing
