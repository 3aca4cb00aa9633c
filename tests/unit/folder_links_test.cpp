#include "files/folder_links.h"

#include <gtest/gtest.h>

#include <string>

#include "common/unique_handle.h"
#include "unit_fixtures.h"

namespace velmora {
namespace {

constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kReparseFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
// Values missing from MinGW's headers: FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS, which cloud providers
// set on placeholders, and IO_REPARSE_TAG_LX_SYMLINK, a symbolic link made by WSL.
constexpr DWORD kRecallOnDataAccess = 0x00400000;
constexpr DWORD kWslSymbolicLink = 0xA000001D;

TEST(TreatAsFolderLink, SkipsNameSurrogatesAndUnknownTagsAndWalksEveryOtherReparseFolder) {
  const struct {
    const char* label;
    DWORD attributes;
    DWORD tag;
    bool link;
  } cases[] = {
      {"junction", kReparseFolder, IO_REPARSE_TAG_MOUNT_POINT, true},
      {"symbolic link", kReparseFolder, IO_REPARSE_TAG_SYMLINK, true},
      {"WSL symbolic link", kReparseFolder, kWslSymbolicLink, true},
      {"no tag, as Wine reports a host link", kReparseFolder, 0, true},
      {"cloud placeholder", kReparseFolder, IO_REPARSE_TAG_CLOUD, false},
      {"cloud placeholder, provider flags", kReparseFolder | kRecallOnDataAccess,
       IO_REPARSE_TAG_CLOUD_3, false},
      {"OneDrive", kReparseFolder, IO_REPARSE_TAG_ONEDRIVE, false},
      {"projected folder", kReparseFolder, IO_REPARSE_TAG_PROJFS, false},
      {"third-party tag", kReparseFolder, 0x00000123, false},
      // The tag means something only with the reparse-point attribute, and only folders are walked.
      {"plain folder, stale tag", kFolder, IO_REPARSE_TAG_SYMLINK, false},
      {"file link", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK, false},
  };
  for (const auto& c : cases) EXPECT_EQ(TreatAsFolderLink(c.attributes, c.tag), c.link) << c.label;
}

// Whether one entry, with the attributes and tag the platform lists for it, counts as a folder link.
bool ListedAsFolderLink(const std::wstring& folder, const std::wstring& name) {
  WIN32_FIND_DATAW entry{};
  UniqueFindHandle find(::FindFirstFileW((folder + L"\\" + name).c_str(), &entry));
  EXPECT_TRUE(find);
  return find && TreatAsFolderLink(entry.dwFileAttributes, entry.dwReserved0);
}

TEST(TreatAsFolderLink, TakesALinkAsThePlatformListsItForALink) {
  // Under Wine a host symbolic link is listed with the reparse-point attribute and no tag; on
  // Windows a symbolic link with its own tag. Either way the walk must not enter it.
  testing::TempFolder folder;
  ASSERT_TRUE(::CreateDirectoryW((folder / L"real").c_str(), nullptr));
  ASSERT_TRUE(testing::CreateFolderLink(folder / L"link", folder / L"real"));
  EXPECT_TRUE(ListedAsFolderLink(folder.Path(), L"link"));
  EXPECT_FALSE(ListedAsFolderLink(folder.Path(), L"real"));
}

}  // namespace
}  // namespace velmora
