// The parameter file's read, change and write over mutated documents: whatever the bytes, every
// call ends within its bound, and every file written is well-formed to a strict parser of its own,
// loads again, is written again byte for byte the same, keeps the file's encoding, byte-order mark
// and line ends, and gives back the texts set. A fixed seed keeps a run the same on every machine;
// VELMORA_FUZZ_MUTANTS and VELMORA_FUZZ_SEED make a longer run by hand (see bench/README.md).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/unique_handle.h"
#include "startscreen/parameter_file.h"
#include "support/xml_check.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::TestBinaryFolder;
using testing::Utf8;
using testing::Wide;
using testing::WriteBytes;

constexpr unsigned long kDefaultMutants = 3000;
constexpr unsigned long kDefaultSeed = 20261208;
// A read of at most 1 MiB takes well under a second; one that has not ended after this hangs.
constexpr DWORD kCallBoundMs = 5000;

std::string Utf16Le(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (const wchar_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

// The sample's documents beside the tests, and documents written for what they hold.
std::vector<std::string> Seeds() {
  std::vector<std::string> seeds;
  for (const wchar_t* name : {L"ini.xml", L"ssini.xml", L"furniture.package"}) {
    seeds.push_back(ReadBytes(TestBinaryFolder() + L"\\fuzz_seeds\\" + name));
  }
  const std::string rows =
      "<MainAppParams><Name>n</Name><AppNames><StartCaption>c</StartCaption><Caption/></AppNames>"
      "<UserInfo><CompanyName>A &amp; B</CompanyName></UserInfo><Status><StartString>s</StartString>"
      "<String/></Status></MainAppParams>";
  seeds.push_back(Utf16Le(Wide("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Root>\r\n  " + rows + "\r\n</Root>\r\n")));
  seeds.push_back("\xEF\xBB\xBF<?xml version='1.0' standalone='yes'?>\r\n<!-- a comment -->\r\n<?app run fast?>\r\n<Root a=\"&lt;&#x1F600;\">" +
                  rows + "<![CDATA[<raw> & ]]]]><x/>&#65;&#x10FFFF; \xF0\x9F\x98\x80</Root>\r\n");
  seeds.push_back("<Root>\n\t" + rows + "\n\t<Extra b='&quot;' c=\"'\">t&gt;&apos;</Extra>\n</Root>");
  return seeds;
}

// One to three of: a bit flipped, an XML-significant text inserted, the end cut off, a slice
// repeated, the front of one seed joined to the back of another.
std::string Mutant(const std::vector<std::string>& seeds, std::mt19937& random) {
  static const std::string kSignificant[] = {"<", ">", "&", "\"", "'", "/", "?", "!", "-", "]", "=", ";", "#",
                                             std::string(1, '\0'), "\r", "\n", " ", "\xEF\xBB\xBF", "\xFF\xFE",
                                             "<!--", "-->", "]]>", "<![CDATA[", "<?xml ", "?>", "&#x1F600;",
                                             "&#0;", "&#xFFFE;", "<a>", "</a>", "\xC3", "\xED\xA0\x80"};
  const auto pick = [&random](std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random); };
  std::string bytes = seeds[pick(seeds.size())];
  const std::size_t steps = 1 + pick(3);
  for (std::size_t step = 0; step < steps; ++step) {
    const std::size_t at = pick(bytes.size() + 1);
    switch (pick(5)) {
      case 0:
        if (at < bytes.size()) bytes[at] = static_cast<char>(bytes[at] ^ (1 << pick(8)));
        break;
      case 1:
        bytes.insert(at, kSignificant[pick(std::size(kSignificant))]);
        break;
      case 2:
        bytes.resize(at);
        break;
      case 3: {
        const std::size_t from = pick(bytes.size() + 1);
        bytes.insert(at, bytes.substr(from, pick(64) + 1));
        break;
      }
      default: {
        const std::string& other = seeds[pick(seeds.size())];
        bytes = bytes.substr(0, at) + other.substr(pick(other.size() + 1));
      }
    }
  }
  return bytes;
}

// Runs the work on a thread of its own while it reports progress through `steps`; false when no
// step ended within the bound (the thread is left behind, and the test fails).
template <typename Work>
bool StepsEndWithin(DWORD milliseconds, const std::atomic<unsigned long>& steps, Work work) {
  auto owned = std::make_unique<Work>(std::move(work));
  const auto run = [](void* parameter) -> DWORD {
    (*static_cast<Work*>(parameter))();
    return 0;
  };
  const UniqueKernelHandle thread(::CreateThread(nullptr, 0, run, owned.get(), 0, nullptr));
  if (!thread) return false;
  for (unsigned long seen = steps.load();; seen = steps.load()) {
    if (::WaitForSingleObject(thread.Get(), milliseconds) == WAIT_OBJECT_0) return true;
    if (steps.load() == seen) break;
  }
  owned.release();
  return false;
}

unsigned long FromEnvironment(const wchar_t* name, unsigned long fallback) {
  wchar_t text[32] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, text, 32);
  return length == 0 || length >= 32 ? fallback : std::wcstoul(text, nullptr, 10);
}

// Texts the starter may be handed: control characters, non-characters, lone surrogate halves,
// markup, line ends.
const std::wstring kHostileTexts[] = {
    std::wstring(L"a\x01" L"b\x1F" L"c\x7F" L"d", 8), L"\xFFFE\xFFFF", std::wstring(L"\xD800x\xDC00", 3), L"\xDBFF",
    L"]]> & < > \" '", L"line\r\nnext\rlast\n\ttab", L"\U0001F600 \x0B\x0C", std::wstring(1, L'\0') + L"after",
};
const wchar_t* const kPaths[] = {L"MainAppParams/Name", L"MainAppParams/UserInfo/CompanyName", L"MainAppParams/Status/String"};

TEST(ParameterFileFuzz, EveryMutantEndsInTimeAndEveryWrittenFileIsWellFormedAndStable) {
  const unsigned long mutants = FromEnvironment(L"VELMORA_FUZZ_MUTANTS", kDefaultMutants);
  std::mt19937 random(FromEnvironment(L"VELMORA_FUZZ_SEED", kDefaultSeed));
  const std::vector<std::string> seeds = Seeds();
  for (const std::string& seed : seeds) ASSERT_FALSE(seed.empty());
  TempFolder temp;
  // A crash inside the reader ends the test program: the input that did it is left here.
  const std::wstring input = temp / L"mutant.xml";
  std::printf("mutants: %lu, each in %s while it is read\n", mutants, Utf8(input).c_str());

  std::vector<std::wstring> written;
  unsigned long loaded = 0;
  std::atomic<unsigned long> steps = 0;
  std::atomic<unsigned long> current = 0;
  const auto work = [&] {
    for (unsigned long i = 0; i < mutants; ++i) {
      current = i;
      const std::string bytes = Mutant(seeds, random);
      ASSERT_TRUE(WriteBytes(input, bytes));
      std::wstring failure;
      auto document = ReadParameterDocument(input, failure);
      ++steps;
      if (!document) continue;
      ++loaded;

      std::vector<std::pair<const wchar_t*, std::wstring>> set;
      for (const wchar_t* path : kPaths) {
        const std::wstring& text = kHostileTexts[(i + set.size()) % std::size(kHostileTexts)];
        if (ReplaceElementText(*document, path, text)) set.emplace_back(path, text);
      }
      const auto first = WriteParameterDocument(*document);
      ASSERT_TRUE(first) << "mutant " << i;
      const std::wstring output = temp / (L"written" + std::to_wstring(i) + L".xml");
      ASSERT_TRUE(WriteBytes(output, *first));
      written.push_back(output);

      const auto again = ReadParameterDocument(output, failure);
      ++steps;
      ASSERT_TRUE(again) << "what was written from mutant " << i << " does not load: " << Utf8(output);
      EXPECT_EQ(WriteParameterDocument(*again), first) << "mutant " << i;
      EXPECT_EQ(again->encoding, document->encoding) << "mutant " << i;
      EXPECT_EQ(again->byteOrderMark, document->byteOrderMark) << "mutant " << i;
      EXPECT_EQ(again->crLfLineEnds, document->crLfLineEnds) << "mutant " << i;
      for (const auto& [path, text] : set) {
        EXPECT_EQ(ElementText(*again, path), StorableText(text)) << "mutant " << i << " at " << Utf8(path);
      }
    }
  };
  ASSERT_TRUE(StepsEndWithin(kCallBoundMs, steps, work)) << "a read of mutant " << current.load() << " did not end";
  std::printf("loaded and written: %lu\n", loaded);
  // The seeds load, so a run that loads nothing has lost its seeds.
  EXPECT_GT(loaded, mutants / 50);
  const std::vector<std::wstring> rejected = testing::NotWellFormed(written);
  EXPECT_TRUE(rejected.empty()) << rejected.size() << " files not well-formed, the first " << Utf8(rejected.front());
}

}  // namespace
}  // namespace velmora
