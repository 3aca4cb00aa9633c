// The least any starter must do for a start that shows the start screen: check the display, split
// its command line, start the start screen on its parameter file without waiting for it, load the
// main module and call its RunAppW. The start-up benchmark compares the real starter, in a start
// that shows the start screen, against this. With "identity" it also does what every such start
// must besides: it loads the product identity module and calls its factory (and releases the
// object), and reads the parameter file through the XML library the starter uses and writes it back
// through a temporary, with the starter's own functions: what is left between the starter and that
// is the starter's own cost.
//
//   floor.exe <main module path> <start screen program path> <parameter file path>
//             [identity <identity module path>]
#include <windows.h>

#include <shellapi.h>

#include <string>

#include <velmora/identity.h>

#include "common/unique_handle.h"
#include "loader.h"
#include "files/file_replace.h"
#include "startscreen/parameter_file.h"

namespace {

// The start screen's command line is its bare file name and the quoted parameter file, as the
// starter gives it.
void LaunchStartScreen(const std::wstring& program, const std::wstring& parameterFile) {
  std::wstring commandLine = program.substr(program.find_last_of(L'\\') + 1) + L" \"" + parameterFile + L'"';
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                   &startup, &process);
  // Null after a failed creation.
  const velmora::UniqueKernelHandle thread(process.hThread);
  const velmora::UniqueKernelHandle processHandle(process.hProcess);
}

// Loads the module, creates the identity object and releases it again; the module stays loaded,
// as the starter keeps it for the whole start.
bool CreateIdentity(const std::wstring& modulePath) {
  HMODULE module = ::LoadLibraryW(modulePath.c_str());
  if (module == nullptr) return false;
  const auto factory = reinterpret_cast<VelmoraOemFactory>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module, VELMORA_IDENTITY_FACTORY_EXPORT)));
  IOemInfo* object = factory == nullptr ? nullptr : factory();
  if (object == nullptr || object->table == nullptr) return false;
  const auto entry = [object](VelmoraOemPosition position) {
    return reinterpret_cast<VelmoraOemVoidEntry>(object->table[position]);
  };
  entry(VELMORA_OEM_CLOSE)(object);
  entry(VELMORA_OEM_RELEASE)(object);
  return true;
}

// Reads the parameter file and writes it back unchanged, as the starter's update does around its
// sixteen changes.
bool RewriteParameterFile(const std::wstring& parameterFile) {
  std::wstring failure;
  const auto document = velmora::ReadParameterDocument(parameterFile, failure);
  if (!document) return false;
  const auto bytes = velmora::WriteParameterDocument(*document);
  return bytes && velmora::ReplaceFileContent(parameterFile, *bytes);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!bench::DisplayIsUsable()) return bench::kFailure;
  int count = 0;
  const velmora::UniqueLocalMemory split(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!split || (count != 4 && count != 6)) return bench::kFailure;
  const auto* arguments = static_cast<wchar_t**>(split.Get());
  if (count == 6) {
    if (std::wstring(arguments[4]) != L"identity") return bench::kFailure;
    if (!CreateIdentity(arguments[5]) || !RewriteParameterFile(arguments[3])) return bench::kFailure;
  }
  LaunchStartScreen(arguments[2], arguments[3]);
  return bench::RunMainModule(arguments[1]);
}
