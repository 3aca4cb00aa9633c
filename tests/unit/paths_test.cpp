#include "common/paths.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(StaysBelowRoot, RefusesParentSegmentsDrivesSharesAndStreams) {
  const struct {
    const wchar_t* path;
    bool below;
  } cases[] = {
      {L"", true},
      {L"Templates", true},
      {L"Drawing\\Templates", true},
      {L"a\\\\b", true},
      {L"..a\\b..", true},
      {L"Velmora Sample Works", true},
      {L"..", false},
      {L".", false},
      {L"...", false},
      {L". .", false},
      {L"..\\..\\X", false},
      {L"a\\..\\..\\b", false},
      {L"a/../../b", false},
      {L"a\\..", false},
      {L"a\\.\\b", false},
      {L"\\Windows", false},
      {L"/Windows", false},
      {L"\\\\server\\share", false},
      {L"C:\\Windows", false},
      {L"C:Windows", false},
      {L"file.txt:stream", false},
  };
  for (const auto& c : cases) EXPECT_EQ(StaysBelowRoot(c.path), c.below) << ::testing::PrintToString(std::wstring(c.path));
}

TEST(AbsoluteFoldersOnly, DropsEmptyAndRelativeElements) {
  const struct {
    const wchar_t* folders;
    const wchar_t* kept;
  } cases[] = {
      {L"C:\\App;D:/Tools;\\\\server\\share\\bin", L"C:\\App;D:/Tools;\\\\server\\share\\bin"},
      {L";C:\\App;;D:\\Tools;", L"C:\\App;D:\\Tools"},
      {L"lib;.;..\\x;\\Root;C:drive;\"C:\\Quoted\";C:\\App", L"C:\\App"},
      {L"\\\\\\x;C:", L""},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AbsoluteFoldersOnly(c.folders), c.kept) << ::testing::PrintToString(std::wstring(c.folders));
  }
}

}  // namespace
}  // namespace velmora
