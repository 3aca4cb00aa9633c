#include "launcher/crash_report.h"

#include <velmora/crash_report.h>

#include <type_traits>

#include "common/entry_point.h"
#include "common/trace.h"
#include "common/unique_handle.h"

namespace velmora {
namespace {

static_assert(std::is_same_v<decltype(&SetProcessHandlers), VelmoraSetHandlers>);
static_assert(std::is_same_v<decltype(&SetThreadHandlers), VelmoraSetHandlers>);

void InstallCrashHandlers(HMODULE crashReport) {
  const auto setProcessHandlers = FindEntryPoint<VelmoraSetHandlers>(crashReport, VELMORA_SET_PROCESS_HANDLERS_EXPORT);
  if (setProcessHandlers == nullptr) return;
  setProcessHandlers();
  // Looked up again by name: the thread handlers belong to the module that holds the process ones.
  if (HMODULE loaded = ::GetModuleHandleW(VELMORA_CRASH_REPORT_MODULE)) {
    if (const auto setThreadHandlers = FindEntryPoint<VelmoraSetHandlers>(loaded, VELMORA_SET_THREAD_HANDLERS_EXPORT)) {
      setThreadHandlers();
    }
  }
}

}  // namespace

bool IsMsvcCppException(const EXCEPTION_RECORD& record) {
  constexpr DWORD kMsvcExceptionCode = 0xE06D7363;  // 'msc' | 0xE0000000
  // Object, throw information and, on x64, the image base the throw information is relative to.
  constexpr DWORD kMsvcParameterCount = sizeof(void*) == 8 ? 4 : 3;
  if (record.ExceptionCode != kMsvcExceptionCode || record.NumberParameters != kMsvcParameterCount) return false;
  const ULONG_PTR magic = record.ExceptionInformation[0];
  return magic == 0x19930520 || magic == 0x19930521 || magic == 0x19930522;
}

}  // namespace velmora

#if defined(_MSC_VER)

namespace velmora {
namespace {

// Built with /EHsc, catch (...) sees exactly the C++ exceptions of MSVC-built code; structured
// exceptions pass through it.
int CallApplication(VelmoraRunAppW runApp, HMODULE mainModule, wchar_t* commandLine, int showCommand) {
  try {
    return runApp(mainModule, nullptr, commandLine, showCommand);
  } catch (...) {
    return kUnwoundExitCode;
  }
}

}  // namespace
}  // namespace velmora

#elif defined(__x86_64__)

// GCC's catch (...) sees only GCC's own exceptions (code 0x20474343), so the call runs inside a
// small function whose frame carries a language-specific handler, as __try/__except would. During
// the search for a handler, the system calls VelmoraApplicationFrameHandler for this frame; for an
// MSVC C++ exception it unwinds every frame below (running their cleanups) back to this one with
// RtlUnwindEx, which resumes at the landing label with the stack pointer of the body and RAX set to
// the exit code. Every other exception, a structured one included, is passed on.
extern "C" {
int VelmoraCallApplicationGuarded(VelmoraRunAppW runApp, HMODULE mainModule, wchar_t* commandLine,
                                  int showCommand);
void VelmoraApplicationUnwound();
EXCEPTION_DISPOSITION VelmoraApplicationFrameHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                     DISPATCHER_CONTEXT* dispatch) {
  if (!velmora::IsMsvcCppException(*record)) return ExceptionContinueSearch;
  ::RtlUnwindEx(frame, reinterpret_cast<void*>(&VelmoraApplicationUnwound), record,
                reinterpret_cast<void*>(static_cast<ULONG_PTR>(velmora::kUnwoundExitCode)), dispatch->ContextRecord,
                dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached: the unwind resumes at the landing label
}
}

// runApp(mainModule, nullptr, commandLine, showCommand): the arguments arrive in rcx, rdx, r8, r9;
// 40 bytes keep the 32-byte home area and align the stack for the call.
asm(R"(
    .text
    .globl VelmoraCallApplicationGuarded
    .def VelmoraCallApplicationGuarded; .scl 2; .type 32; .endef
    .seh_proc VelmoraCallApplicationGuarded
VelmoraCallApplicationGuarded:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_handler VelmoraApplicationFrameHandler, @except
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    xorl %edx, %edx
    callq *%rax
    nop
    .globl VelmoraApplicationUnwound
VelmoraApplicationUnwound:
    addq $40, %rsp
    retq
    .seh_endproc
)");

namespace velmora {
namespace {

int CallApplication(VelmoraRunAppW runApp, HMODULE mainModule, wchar_t* commandLine, int showCommand) {
  try {
    return VelmoraCallApplicationGuarded(runApp, mainModule, commandLine, showCommand);
  } catch (...) {
    return kUnwoundExitCode;
  }
}

}  // namespace
}  // namespace velmora

#else
#error "The application call's frame handler is written for x64."
#endif

namespace velmora {

int RunWithCrashReporting(VelmoraRunAppW runApp, HMODULE mainModule, wchar_t* commandLine, int showCommand) {
  UniqueModule crashReport(LoadTracedModule(VELMORA_CRASH_REPORT_MODULE));
  if (crashReport) InstallCrashHandlers(crashReport.Get());
  return CallApplication(runApp, mainModule, commandLine, showCommand);
}

}  // namespace velmora
