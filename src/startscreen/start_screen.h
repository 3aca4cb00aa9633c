#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// What the start-up sequence hands the start screen.
struct StartScreenInfo {
  std::wstring commonDataDir;  // the all-users folder; empty when it does not exist
  std::wstring userFolder;     // the per-user folder
  std::wstring ddeAppName;
  std::wstring userName;
  std::wstring companyName;
  std::wstring profileName;
  std::wstring productTitle;
  std::wstring versionText;
  std::wstring installerBuild;
};

// The profile's workspace, ready for the start screen.
struct StartScreenWorkspace {
  std::wstring workspace;       // <user folder>\ss20\profiles\<sanitised profile>
  std::wstring source;          // <all-users folder>\ss20\vmss_files; empty without that folder
  std::wstring parameterFile;   // <workspace>\ini.xml
};

// Creates the profile's workspace, empties it when the source carries a newer content version,
// and fills it from the source when it is incomplete. Nothing when it cannot be prepared.
std::optional<StartScreenWorkspace> PrepareStartScreenWorkspace(const StartScreenInfo& info);

// The name with each character that a folder name may not hold (< > / \ " : ; ? * | , = `)
// replaced by '$'.
std::wstring SanitizeProfileName(std::wstring_view name);

// The number a version file begins with (leading white space and a sign allowed, anything after
// the digits ignored); nothing when the file cannot be read, does not begin with a number, or the
// number does not fit 32 bits.
std::optional<std::int32_t> ReadVersionNumber(const std::wstring& path);

// Writes the product, user, folder and status values into the workspace's parameter file, replacing
// a file that does not load by the template first, and saves it completely before returning. Needs
// no COM on the calling thread. An HRESULT: S_OK, or E_FAIL with nothing saved (no template, an
// element missing, a file that cannot be replaced).
long WriteStartScreenParams(const StartScreenInfo& info, const std::wstring& parameterFile,
                            const std::wstring& workspace);

// Prepares the workspace and the parameter file and starts the start screen beside the
// application; gives the identifier of its main thread, 0 when none was started. The program is
// looked for in the starter's folder first, then along PATH.
std::uint32_t LaunchStartScreen(const StartScreenInfo& info, const std::wstring& starterFolder);

}  // namespace velmora
