// The least any starter must do for a start that shows the start screen: check the display, split
// its command line, start the start screen on its parameter file without waiting for it, load the
// main module and call its RunAppW. The start-up benchmark compares the real starter, in a start
// that shows the start screen, against this. With "document" it also loads the parameter file into
// the document service's XML document and saves it again, as every such start of the starter does:
// what is left between the starter and that is the starter's own cost.
//
//   floor.exe <main module path> <start screen program path> <parameter file path> [document]
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "common/unique_handle.h"
#include "common/com.h"
#include "loader.h"

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

void RewriteWithDocumentService(const std::wstring& parameterFile) {
  const velmora::ScopedComApartment apartment;
  velmora::ComPtr<IXMLDOMDocument> document;
  velmora::UniqueBstr path(parameterFile);
  velmora::UniqueVariant target;
  target.SetText(std::move(path));
  if (velmora::LoadXmlDocument(parameterFile, document) == S_OK) document->save(target.Get());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!bench::DisplayIsUsable()) return bench::kFailure;
  int count = 0;
  const velmora::UniqueLocalMemory split(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!split || count < 4 || count > 5) return bench::kFailure;
  const auto* arguments = static_cast<wchar_t**>(split.Get());
  if (count == 5) RewriteWithDocumentService(arguments[3]);
  LaunchStartScreen(arguments[2], arguments[3]);
  return bench::RunMainModule(arguments[1]);
}
