#include "platform/hardware_faults.h"

#include <array>

namespace zor {
namespace {

struct FaultRow {
  std::uint32_t code;
  FaultKind kind;
};

constexpr std::array<FaultRow, 14> kFaultTable{{
    {0xC0000005, FaultAccessViolation},
    {0xC0000006, FaultInPageError},
    {0x80000003, FaultBreakpoint},
    {0x80000002, FaultMisalignment},
    {0xC000008E, FaultFloatDivideByZero},
    {0xC0000091, FaultFloatOverflow},
    {0xC0000093, FaultFloatUnderflow},
    {0xC000008D, FaultFloatDenormal},
    {0xC000001D, FaultIllegalInstruction},
    {0xC0000096, FaultPrivilegedInstruction},
    {0xC0000094, FaultIntegerDivideByZero},
    {0xC0000095, FaultIntegerOverflow},
    {0x80000004, FaultSingleStep},
    {0xC00000FD, FaultStackOverflow},
}};

// Exceptions that are not faults: the C++ runtime's own (GCC's throw, unwind
// and forced unwind), debug output and thread naming.
bool IsSoftwareNotice(std::uint32_t code) {
  return code == 0x20474343 || code == 0x21474343 || code == 0x22474343 || code == 0x40010006 ||
         code == 0x4001000A || code == 0x406D1388;
}

struct PendingFault {
  EXCEPTION_RECORD record;
  CONTEXT context;
};

thread_local bool t_translate = false;
thread_local PendingFault t_pending;

}  // namespace
}  // namespace zor

extern "C" {
// Entered as if the faulting instruction had called it. The faulting frame
// may be a leaf with an unaligned stack, so this frame keeps the stack in rbp
// (which the unwinder follows) and aligns it before calling the thrower.
void ZorFaultTrampoline();
[[noreturn]] void ZorThrowPendingFault();
}

asm(R"(
    .text
    .globl ZorFaultTrampoline
    .def ZorFaultTrampoline; .scl 2; .type 32; .endef
    .seh_proc ZorFaultTrampoline
ZorFaultTrampoline:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    .seh_endprologue
    andq $-16, %rsp
    subq $32, %rsp
    callq ZorThrowPendingFault
    int3
    .seh_endproc
)");

namespace zor {
namespace {

[[noreturn]] void ThrowPendingFault() {
  const PendingFault fault = t_pending;
  const FaultKind kind = FaultKindOf(fault.record.ExceptionCode);
  switch (kind) {
    case FaultAccessViolation:
      throw ZorBasSyncThreadAccessViolationHwException(kind, fault.record, fault.context);
    case FaultInPageError:
      throw ZorBasSyncThreadInPageErrorHwException(kind, fault.record, fault.context);
    case FaultStackOverflow:
    case FaultOther:
      throw ZorBasSyncThreadStackOverflowHwException(kind, fault.record, fault.context);
    default:
      throw ZorBasSyncThreadHwException(kind, fault.record, fault.context);
  }
}

// Runs before any frame handler. On a thread that asked for translation it
// resumes the thread in ThrowPendingFault as if the faulting instruction had
// called it, so the C++ unwinder starts from the faulting frame.
LONG CALLBACK TranslateFault(EXCEPTION_POINTERS* pointers) {
  if (!t_translate) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (IsSoftwareNotice(record->ExceptionCode) || (record->ExceptionFlags & EXCEPTION_UNWINDING)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  t_pending.record = *record;
  t_pending.record.ExceptionRecord = nullptr;
  t_pending.context = *pointers->ContextRecord;

  CONTEXT* context = pointers->ContextRecord;
  // The return address points one past the fault, so the unwinder's "call
  // site" lookup (address - 1) lands on the faulting instruction itself.
  context->Rsp -= sizeof(DWORD64);
  *reinterpret_cast<DWORD64*>(context->Rsp) = context->Rip + 1;
  context->Rip = reinterpret_cast<DWORD64>(&ZorFaultTrampoline);
  return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallTranslatorOnce() {
  static PVOID handler = AddVectoredExceptionHandler(1, TranslateFault);
  (void)handler;
}

}  // namespace

FaultKind FaultKindOf(std::uint32_t exceptionCode) {
  for (const FaultRow& row : kFaultTable) {
    if (row.code == exceptionCode) return row.kind;
  }
  return FaultOther;
}

ZorBasSyncThreadHwException::ZorBasSyncThreadHwException(FaultKind kind, const EXCEPTION_RECORD& record,
                                                         const CONTEXT& context)
    : kind_(kind), record_(record), context_(context), pointers_{&record_, &context_} {}

ZorBasSyncThreadHwException::ZorBasSyncThreadHwException(const ZorBasSyncThreadHwException& other)
    : kind_(other.kind_), record_(other.record_), context_(other.context_), pointers_{&record_, &context_} {}

void EnableFaultTranslationOnThisThread() {
  InstallTranslatorOnce();
  t_translate = true;
}

void DisableFaultTranslationOnThisThread() { t_translate = false; }

}  // namespace zor

extern "C" void ZorThrowPendingFault() { zor::ThrowPendingFault(); }
