#include "launcher/command_line.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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

// Which switches were found, as one readable word list.
std::wstring Found(const Switches& s) {
  std::wstring found;
  if (s.registerModules) found += L"register ";
  if (s.unregisterModules) found += L"unregister ";
  if (s.showLogo) found += L"showlogo ";
  if (s.stopForConnect) found += L"stop ";
  if (s.profiler) found += L"profiler ";
  if (s.reserveAddressSpace) found += L"4gb ";
  return found;
}

TEST(DetectSwitches, FindsOnlyTheListedSpellingsAnywhereInTheText) {
  const struct {
    std::wstring_view argument;
    std::wstring found;
  } cases[] = {
      {L"-register", L"register "},     {L"-REGISTER", L"register "},     {L"/register", L"register "},
      {L"/REGISTER", L"register "},     {L"-unregister", L"unregister "}, {L"-UNREGISTER", L"unregister "},
      {L"/unregister", L"unregister "}, {L"/UNREGISTER", L"unregister "}, {L"-showlogo", L"showlogo "},
      {L"-SHOWLOGO", L"showlogo "},     {L"/showlogo", L"showlogo "},     {L"/SHOWLOGO", L"showlogo "},
      {L"-stop_for_connect", L"stop "}, {L"-profiler", L"profiler "},     {L"/4GB", L"4gb "},
      // A spelling inside another argument counts.
      {L"C:\\Drawings\\old-register\\a.dwg", L"register "},
      {L"D:\\x/4GB.dwg", L"4gb "},
      {L"-register -unregister -profiler -stop_for_connect", L"register unregister stop profiler "},
      // Only the spellings listed: no mixed case, no other prefix for the immediate switches.
      {L"-Register /Unregister -ShowLogo /4gb -PROFILER /profiler /stop_for_connect -STOP_FOR_CONNECT", L""},
  };
  EXPECT_EQ(Found(DetectSwitches(L"")), L"");
  for (const auto& c : cases) {
    const std::wstring text = RequoteArguments({c.argument});
    EXPECT_EQ(Found(DetectSwitches(text)), c.found) << ::testing::PrintToString(text);
  }
}

std::wstring Chars(std::size_t count) { return std::wstring(count, L'v'); }

TEST(RunModeOf, ComesFromRegisterAndUnregisterFoundInTheText) {
  const struct {
    const wchar_t* text;
    RunMode mode;
  } cases[] = {
      {L"\"a.dwg\" ", RunMode::kApplicationStart},
      {L"\"-register\" ", RunMode::kRegistration},
      {L"\"-unregister\" \"/REGISTER\" ", RunMode::kReversedRegistration},
      {L"\"-unregister\" ", RunMode::kUnregistration},
      // Inside "-unregister" there is no "-register": the hyphen comes before "un".
      {L"\"/UNREGISTER\" ", RunMode::kUnregistration},
      {L"\"C:\\plans\\site-register.dwg\" ", RunMode::kRegistration},
  };
  for (const auto& c : cases) EXPECT_EQ(RunModeOf(DetectSwitches(c.text)), c.mode) << ::testing::PrintToString(c.text);
}

TEST(ParseOptions, FollowsTheTokenRulesOfTheRequotedText) {
  const std::wstring fits = Chars(259);
  const std::wstring tooLong = Chars(260);
  const struct {
    std::vector<std::wstring_view> arguments;
    std::vector<std::wstring> abgpr;
  } cases[] = {
      {{}, {L"", L"", L"", L"", L""}},
      {{L"-a", L"A", L"-b", L"B", L"-g", L"G.package", L"-p", L"P", L"-r", L"R"}, {L"A", L"B", L"G.package", L"P", L"R"}},
      {{L"/A", L"A", L"/B", L"B", L"-G", L"G", L"-P", L"P", L"/R", L"R"}, {L"A", L"B", L"G", L"P", L"R"}},
      // Only the second character of a switch token counts.
      {{L"-profiler", L"Prof"}, {L"", L"", L"", L"Prof", L""}},
      {{L"-register", L"Reg"}, {L"", L"", L"", L"", L"Reg"}},
      {{L"-showlogo", L"x", L"-stop_for_connect", L"y", L"-unregister", L"z", L"/4GB", L"w"}, {L"", L"", L"", L"", L""}},
      {{L"-p", L"-r", L"V"}, {L"", L"", L"", L"", L"V"}},
      {{L"-p", L"-x", L"V"}, {L"", L"", L"", L"", L""}},
      // A value without a pending option is ignored; a later value replaces an earlier one.
      {{L"a.dwg", L"-p", L"P"}, {L"", L"", L"", L"P", L""}},
      {{L"-p", L"A", L"B", L"-p", L"C"}, {L"", L"", L"", L"C", L""}},
      // A value cannot begin with '/' or '-': it is a switch token.
      {{L"-p", L"/data", L"V"}, {L"", L"", L"", L"", L""}},
      // An empty argument ends the parse.
      {{L"-p", L"A", L"", L"-r", L"R"}, {L"", L"", L"", L"A", L""}},
      {{L"", L"-p", L"P"}, {L"", L"", L"", L"", L""}},
      // A quote inside an argument splits it: the rest, quote included, is the next token.
      {{L"-p", L"x\"-r", L"V"}, {L"", L"", L"", L"x", L"V"}},
      {{L"-p", L"my drawing.dwg"}, {L"", L"", L"", L"my drawing.dwg", L""}},
      // An option buffer holds 259 characters; a longer value is refused, not cut.
      {{L"-p", fits, L"-r", L"R"}, {L"", L"", L"", fits, L"R"}},
      {{L"-p", tooLong, L"-r", L"R"}, {L"", L"", L"", L"", L"R"}},
  };
  for (const auto& c : cases) {
    const std::wstring text = RequoteArguments(c.arguments);
    const Options o = ParseOptions(text);
    EXPECT_EQ((std::vector<std::wstring>{o.a, o.b, o.g, o.p, o.r}), c.abgpr) << ::testing::PrintToString(text);
  }
}

// Base addresses of the private 4 KB reservations the process holds now.
std::set<const void*> SmallReservations() {
  std::set<const void*> found;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* at = static_cast<const char*>(nullptr);
       ::VirtualQuery(at, &region, sizeof(region)) == sizeof(region); at += region.RegionSize) {
    if (region.State == MEM_RESERVE && region.BaseAddress == region.AllocationBase && region.RegionSize == 4096 &&
        region.AllocationProtect == PAGE_READWRITE) {
      found.insert(region.BaseAddress);
    }
    if (region.RegionSize == 0) break;
  }
  return found;
}

TEST(ReserveAddressSpace, LeavesThatManyReadWriteReservationsBehind) {
  const auto before = SmallReservations();
  EXPECT_EQ(ReserveAddressSpace(16), 16u);
  const auto after = SmallReservations();
  std::size_t added = 0;
  for (const void* base : after) added += before.count(base) == 0 ? 1 : 0;
  EXPECT_EQ(added, 16u);
}

}  // namespace
}  // namespace velmora
