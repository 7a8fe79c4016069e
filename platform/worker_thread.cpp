#include "platform/worker_thread.h"

#include <new>
#include <utility>

#include "platform/hardware_faults.h"
#include "platform/native_api.h"

extern "C" {
// The frame that guards a worker body; its handler sees every exception that
// no frame inside the body took. Written in assembly because the compiler has
// no way to attach a frame handler to a function of its own.
void ZorGuardedCall(void (*body)(void*), void* context);
EXCEPTION_DISPOSITION ZorWorkerGuardHandler(PEXCEPTION_RECORD record, PVOID frame, PCONTEXT context, PVOID dispatcher);
}

asm(R"(
    .text
    .globl ZorGuardedCall
    .def ZorGuardedCall; .scl 2; .type 32; .endef
    .seh_proc ZorGuardedCall
ZorGuardedCall:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $40, %rsp
    ret
    .seh_handler ZorWorkerGuardHandler, @except
    .seh_endproc
)");

namespace zor {
namespace {

constexpr DWORD kGccThrowCode = 0x20474343;

void RunBody(void* self) {
  auto* worker = static_cast<std::function<void()>*>(self);
  (*worker)();
}

}  // namespace

LONG WorkerGuardVerdict(EXCEPTION_POINTERS* pointers) {
  // A C++ exception is raised with the runtime's own code, and the
  // runtime's top-level filter answers "continue" for it so that the thrower
  // can call std::terminate. That answer is no verdict on the exception:
  // decide as when no system filter exists.
  const bool cppException = pointers->ExceptionRecord->ExceptionCode == kGccThrowCode;
  if (Kernel32().UnhandledExceptionFilter && !cppException) return Kernel32().UnhandledExceptionFilter(pointers);
  return nt::DebuggerAttached() ? EXCEPTION_CONTINUE_SEARCH : EXCEPTION_EXECUTE_HANDLER;
}

WorkerThread::~WorkerThread() {
  if (thread_) Wait(INFINITE);
}

DWORD WINAPI WorkerThread::ThreadStart(void* self) {
  auto* worker = static_cast<WorkerThread*>(self);
  if (worker->flags_ & WorkerTranslateFaults) EnableFaultTranslationOnThisThread();
  ZorGuardedCall(RunBody, &worker->body_);
  DisableFaultTranslationOnThisThread();
  // A thread made by RtlCreateUserThread has no caller to return to on every
  // Windows version.
  if (Native().RtlExitUserThread) Native().RtlExitUserThread(0);
  return 0;
}

StatusCode WorkerThread::Start(std::function<void()> body, std::uint32_t flags) {
  if (thread_) return status::InvalidArgument;
  body_ = std::move(body);
  flags_ = flags;
  CLIENT_ID client{};
  const NTSTATUS result = Native().RtlCreateUserThread(nt::CurrentProcess(), nullptr, FALSE, 0, 0, 0, &WorkerThread::ThreadStart,
                                              this, thread_.put(), &client);
  return StatusOfNativeCall(result);
}

StatusCode WorkerThread::Wait(std::uint32_t milliseconds) {
  if (!thread_) return status::Success;
  if (!Native().ZwWaitForSingleObject) return status::GenericFailure;
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
  const NTSTATUS result =
      Native().ZwWaitForSingleObject(thread_.get(), FALSE, milliseconds == INFINITE ? nullptr : &timeout);
  if (result == STATUS_TIMEOUT) return status::WaitTimedOut;
  if (!NT_SUCCESS(result)) return StatusFromNtStatus(result);
  thread_.reset();
  return status::Success;
}

namespace {

constexpr SIZE_T kOwnedStackReserve = 1024 * 1024;
constexpr SIZE_T kOwnedStackCommit = 4096;
constexpr ULONG kWaitAll = 0;

DWORD WINAPI OwnedWorkerStart(void* parameter) {
  auto* body = static_cast<std::function<void()>*>(parameter);
  ZorGuardedCall(RunBody, body);
  delete body;
  if (Native().RtlExitUserThread) Native().RtlExitUserThread(0);
  return 0;
}

}  // namespace

StatusCode StartOwnedWorker(std::function<void()> body, UniqueNtHandle& thread) {
  auto* owned = new (std::nothrow) std::function<void()>(std::move(body));
  if (owned == nullptr) return status::OutOfMemory;
  UniqueNtHandle created;
  CLIENT_ID client{};
  const NTSTATUS made = Native().RtlCreateUserThread(nt::CurrentProcess(), nullptr, TRUE, 0, kOwnedStackReserve,
                                                     kOwnedStackCommit, &OwnedWorkerStart, owned, created.put(),
                                                     &client);
  if (!NT_SUCCESS(made)) {
    delete owned;
    return StatusOfNativeCall(made);
  }
  const NTSTATUS resumed = Native().ZwResumeThread(created.get(), nullptr);
  if (!NT_SUCCESS(resumed)) {
    // A thread that never ran still owns its body; ending it frees nothing,
    // so the body is left to the process's end rather than freed under it.
    Native().ZwTerminateThread(created.get(), 0);
    return StatusOfNativeCall(resumed);
  }
  thread = std::move(created);
  return status::Success;
}

StatusCode WaitForAllThreads(std::span<const HANDLE> threads, std::uint32_t milliseconds) {
  if (threads.empty()) return status::Success;
  if (threads.size() > MAXIMUM_WAIT_OBJECTS) return status::InvalidArgument;
  LARGE_INTEGER timeout;
  timeout.QuadPart = -static_cast<LONGLONG>(milliseconds) * 10000;
  const NTSTATUS result = Native().ZwWaitForMultipleObjects(static_cast<ULONG>(threads.size()), threads.data(),
                                                            kWaitAll, FALSE,
                                                            milliseconds == INFINITE ? nullptr : &timeout);
  if (result == STATUS_TIMEOUT) return status::WaitTimedOut;
  return StatusOfNativeCall(result);
}

}  // namespace zor

extern "C" EXCEPTION_DISPOSITION ZorWorkerGuardHandler(PEXCEPTION_RECORD record, PVOID, PCONTEXT context, PVOID) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  EXCEPTION_POINTERS pointers{record, context};
  const LONG verdict = zor::WorkerGuardVerdict(&pointers);
  if (verdict == EXCEPTION_EXECUTE_HANDLER) {
    zor::NativeChanges().ZwTerminateProcess(zor::nt::CurrentProcess(), zor::nt::WorkerEscaped);
  }
  if (verdict == EXCEPTION_CONTINUE_EXECUTION) return ExceptionContinueExecution;
  return ExceptionContinueSearch;
}
