#include "launcher/command_line.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(RequoteArguments, QuotesEachArgumentAndFollowsItWithASpace) {
  EXPECT_EQ(RequoteArguments({}), L"");
  EXPECT_EQ(RequoteArguments({L"a.dwg", L"-p"}), L"\"a.dwg\" \"-p\" ");
  // Not escaped: the application receives what the user typed between the added quotes.
  EXPECT_EQ(RequoteArguments({L"say \"hi\"", L"C:\\dir\\", L""}), L"\"say \"hi\"\" \"C:\\dir\\\" \"\" ");
}

TEST(ComposeApplicationCommandLine, AppendsTheSettingsMarkerAfterOneMoreSpace) {
  EXPECT_EQ(ComposeApplicationCommandLine(L"", L"C:\\App\\velmora.ini"), L" /_VxIniFileName_:\"C:\\App\\velmora.ini\"");
  EXPECT_EQ(ComposeApplicationCommandLine(L"\"a.dwg\" \"-p\" ", L"C:\\v.ini"),
            L"\"a.dwg\" \"-p\"  /_VxIniFileName_:\"C:\\v.ini\"");
}

}  // namespace
}  // namespace velmora
