#pragma once
// The process-wide table of native functions, filled once at platform
// start-up by name. Every entry may be empty: callers of entries that older
// Windows versions lack test them first. Tests may swap an entry to inject a
// failure, and must put it back.
#include "foundation/status_codes.h"
#include "platform/native_types.h"

namespace zor {

// X(name, return type, parameter list), in the table's order. Each
// prototype is written here once; the member's type comes from it.
// Calls that only read, or that touch nothing but this process (its
// handles, heap, locks and threads).
#define ZOR_NATIVE_READ_ENTRIES(X)                                                                                     \
  X(RtlNtStatusToDosError, ULONG, (NTSTATUS Status))                                                                   \
  X(ZwQuerySystemInformation, NTSTATUS, (ULONG InformationClass, PVOID Information, ULONG Length, PULONG ReturnLength)) \
  X(ZwQueryInformationProcess, NTSTATUS,                                                                               \
    (HANDLE Process, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ReturnLength))                    \
  X(ZwOpenProcess, NTSTATUS, (PHANDLE Process, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, CLIENT_ID * ClientId)) \
  X(ZwClose, NTSTATUS, (HANDLE Handle))                                                                                \
  X(ZwReadFile, NTSTATUS,                                                                                              \
    (HANDLE File, HANDLE Event, nt::IoApcRoutine ApcRoutine, PVOID ApcContext, PIO_STATUS_BLOCK IoStatus, PVOID Buffer, \
     ULONG Length, PLARGE_INTEGER ByteOffset, PULONG Key))                                                             \
  X(ZwOpenKey, NTSTATUS, (PHANDLE Key, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes))                             \
  X(ZwQueryValueKey, NTSTATUS,                                                                                         \
    (HANDLE Key, PUNICODE_STRING ValueName, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ResultLength)) \
  X(ZwEnumerateKey, NTSTATUS,                                                                                          \
    (HANDLE Key, ULONG Index, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ResultLength))           \
  X(ZwEnumerateValueKey, NTSTATUS,                                                                                     \
    (HANDLE Key, ULONG Index, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ResultLength))           \
  X(ZwOpenProcessToken, NTSTATUS, (HANDLE Process, ACCESS_MASK Access, PHANDLE Token))                                 \
  X(ZwQueryInformationFile, NTSTATUS,                                                                                  \
    (HANDLE File, PIO_STATUS_BLOCK IoStatus, PVOID Information, ULONG Length, ULONG InformationClass))                 \
  X(ZwQueryInformationToken, NTSTATUS,                                                                                 \
    (HANDLE Token, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ReturnLength))                      \
  X(ZwQueryKey, NTSTATUS, (HANDLE Key, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ResultLength))  \
  X(ZwQuerySecurityObject, NTSTATUS,                                                                                   \
    (HANDLE Object, SECURITY_INFORMATION Information, PSECURITY_DESCRIPTOR Descriptor, ULONG Length,                   \
     PULONG LengthNeeded))                                                                                             \
  X(ZwQueryDirectoryFile, NTSTATUS,                                                                                    \
    (HANDLE File, HANDLE Event, nt::IoApcRoutine ApcRoutine, PVOID ApcContext, PIO_STATUS_BLOCK IoStatus,              \
     PVOID Information, ULONG Length, ULONG InformationClass, BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,     \
     BOOLEAN RestartScan))                                                                                             \
  X(ZwOpenFile, NTSTATUS,                                                                                              \
    (PHANDLE File, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, PIO_STATUS_BLOCK IoStatus, ULONG ShareAccess,    \
     ULONG OpenOptions))                                                                                               \
  X(ZwQueryVolumeInformationFile, NTSTATUS,                                                                            \
    (HANDLE File, PIO_STATUS_BLOCK IoStatus, PVOID Information, ULONG Length, ULONG InformationClass))                 \
  X(ZwQueryObject, NTSTATUS,                                                                                           \
    (HANDLE Object, ULONG InformationClass, PVOID Information, ULONG Length, PULONG ReturnLength))                     \
  X(ZwOpenSymbolicLinkObject, NTSTATUS, (PHANDLE Link, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes))             \
  X(ZwQuerySymbolicLinkObject, NTSTATUS, (HANDLE Link, PUNICODE_STRING Target, PULONG ReturnedLength))                 \
  X(ZwCreateEvent, NTSTATUS,                                                                                           \
    (PHANDLE Event, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, ULONG EventType, BOOLEAN InitialState))         \
  X(ZwSetEvent, NTSTATUS, (HANDLE Event, PLONG PreviousState))                                                         \
  X(ZwWaitForSingleObject, NTSTATUS, (HANDLE Object, BOOLEAN Alertable, PLARGE_INTEGER Timeout))                       \
  X(RtlGetVersion, NTSTATUS, (PRTL_OSVERSIONINFOW Version))                                                            \
  X(RtlRandom, ULONG, (PULONG Seed))                                                                                   \
  X(RtlCreateSecurityDescriptor, NTSTATUS, (PSECURITY_DESCRIPTOR Descriptor, ULONG Revision))                          \
  X(RtlSetDaclSecurityDescriptor, NTSTATUS,                                                                            \
    (PSECURITY_DESCRIPTOR Descriptor, BOOLEAN DaclPresent, PACL Dacl, BOOLEAN DaclDefaulted))                          \
  X(RtlCreateAcl, NTSTATUS, (PACL Acl, ULONG Length, ULONG Revision))                                                  \
  X(RtlAddAccessAllowedAce, NTSTATUS, (PACL Acl, ULONG Revision, ACCESS_MASK Access, PSID Sid))                        \
  X(RtlEqualSid, BOOLEAN, (PSID Sid1, PSID Sid2))                                                                      \
  X(ZwDuplicateObject, NTSTATUS,                                                                                       \
    (HANDLE SourceProcess, HANDLE Source, HANDLE TargetProcess, PHANDLE Target, ACCESS_MASK Access,                    \
     ULONG Attributes, ULONG Options))                                                                                 \
  X(RtlTimeToTimeFields, VOID, (PLARGE_INTEGER Time, nt::TimeFields * Fields))                                         \
  X(RtlSystemTimeToLocalTime, NTSTATUS, (PLARGE_INTEGER SystemTime, PLARGE_INTEGER LocalTime))                         \
  X(ZwQuerySystemTime, NTSTATUS, (PLARGE_INTEGER SystemTime))                                                          \
  X(ZwLockFile, NTSTATUS,                                                                                              \
    (HANDLE File, HANDLE Event, nt::IoApcRoutine ApcRoutine, PVOID ApcContext, PIO_STATUS_BLOCK IoStatus,              \
     PLARGE_INTEGER Offset, PLARGE_INTEGER Length, PULONG Key, BOOLEAN FailImmediately, BOOLEAN Exclusive))            \
  X(ZwUnlockFile, NTSTATUS,                                                                                            \
    (HANDLE File, PIO_STATUS_BLOCK IoStatus, PLARGE_INTEGER Offset, PLARGE_INTEGER Length, PULONG Key))                \
  X(RtlInitializeCriticalSection, NTSTATUS, (PRTL_CRITICAL_SECTION Section))                                           \
  X(RtlDeleteCriticalSection, NTSTATUS, (PRTL_CRITICAL_SECTION Section))                                               \
  X(RtlEnterCriticalSection, NTSTATUS, (PRTL_CRITICAL_SECTION Section))                                                \
  X(RtlLeaveCriticalSection, NTSTATUS, (PRTL_CRITICAL_SECTION Section))                                                \
  X(RtlQueryEnvironmentVariable_U, NTSTATUS, (PWSTR Environment, PUNICODE_STRING Name, PUNICODE_STRING Value))         \
  X(RtlGetCurrentPeb, PPEB, ())                                                                                        \
  X(RtlAllocateHeap, PVOID, (PVOID Heap, ULONG Flags, SIZE_T Size))                                                    \
  X(RtlFreeHeap, BOOLEAN, (PVOID Heap, ULONG Flags, PVOID Block))                                                      \
  X(ZwTerminateThread, NTSTATUS, (HANDLE Thread, NTSTATUS ExitStatus))                                                 \
  X(RtlExitUserThread, VOID, (NTSTATUS ExitStatus))                                                                    \
  X(RtlIsDosDeviceName_U, ULONG, (PCWSTR Path))                                                                        \
  X(RtlOpenCurrentUser, NTSTATUS, (ACCESS_MASK Access, PHANDLE Key))                                                   \
  X(RtlGetCurrentDirectory_U, ULONG, (ULONG BufferLength, PWSTR Buffer))                                               \
  X(RtlUpcaseUnicodeString, NTSTATUS, (PUNICODE_STRING Destination, PCUNICODE_STRING Source, BOOLEAN Allocate))        \
  X(RtlDowncaseUnicodeString, NTSTATUS, (PUNICODE_STRING Destination, PCUNICODE_STRING Source, BOOLEAN Allocate))      \
  X(RtlGetNativeSystemInformation, NTSTATUS,                                                                           \
    (ULONG InformationClass, PVOID Information, ULONG Length, PULONG ReturnLength))                                    \
  X(ZwReadVirtualMemory, NTSTATUS,                                                                                     \
    (HANDLE Process, PVOID BaseAddress, PVOID Buffer, SIZE_T Size, PSIZE_T BytesRead))                                 \
  X(ZwReleaseMutant, NTSTATUS, (HANDLE Mutant, PLONG PreviousCount))                                                   \
  X(ZwCreateMutant, NTSTATUS, (PHANDLE Mutant, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, BOOLEAN InitialOwner)) \
  X(NtGetTickCount, ULONG, ())                                                                                         \
  X(RtlDosPathNameToNtPathName_U, BOOLEAN, (PCWSTR DosName, PUNICODE_STRING NtName, PCWSTR * FilePart, PVOID RelativeName)) \
  X(RtlGetFullPathName_U, ULONG, (PCWSTR FileName, ULONG Size, PWSTR Buffer, PWSTR * FilePart))                        \
  X(RtlExpandEnvironmentStrings_U, NTSTATUS,                                                                           \
    (PVOID Environment, PUNICODE_STRING Source, PUNICODE_STRING Destination, PULONG ReturnedLength))                   \
  X(RtlWow64EnableFsRedirectionEx, NTSTATUS, (PVOID Disable, PVOID * OldValue))                                        \
  X(NtDelayExecution, NTSTATUS, (BOOLEAN Alertable, PLARGE_INTEGER Interval))                                          \
  X(RtlInitUnicodeString, VOID, (PUNICODE_STRING Destination, PCWSTR Source))                                          \
  X(RtlCreateUnicodeString, BOOLEAN, (PUNICODE_STRING Destination, PCWSTR Source))                                     \
  X(RtlFreeUnicodeString, VOID, (PUNICODE_STRING Text))                                                                \
  X(RtlCreateUserThread, NTSTATUS,                                                                                     \
    (HANDLE Process, PSECURITY_DESCRIPTOR Security, BOOLEAN CreateSuspended, ULONG ZeroBits, SIZE_T MaximumStack,      \
     SIZE_T CommittedStack, PTHREAD_START_ROUTINE Start, PVOID Parameter, PHANDLE Thread, CLIENT_ID * ClientId))                         \
  X(ZwResumeThread, NTSTATUS, (HANDLE Thread, PULONG PreviousSuspendCount))                                          \
  X(LdrLoadDll, NTSTATUS, (PWSTR SearchPath, PULONG Characteristics, PUNICODE_STRING Name, PVOID * Module))         \
  X(LdrGetProcedureAddress, NTSTATUS, (PVOID Module, PANSI_STRING Name, ULONG Ordinal, PVOID * Address))           \
  X(ZwWaitForMultipleObjects, NTSTATUS,                                                                                \
    (ULONG Count, const HANDLE* Handles, ULONG WaitType, BOOLEAN Alertable, PLARGE_INTEGER Timeout))

// Calls that can change the machine: files, keys, values, security,
// privileges, other processes, the system itself. They are kept apart so
// that one place sees every change the program makes.
#define ZOR_NATIVE_CHANGE_ENTRIES(X)                                                                                   \
  X(ZwTerminateProcess, NTSTATUS, (HANDLE Process, NTSTATUS ExitStatus))                                               \
  X(ZwWriteFile, NTSTATUS,                                                                                             \
    (HANDLE File, HANDLE Event, nt::IoApcRoutine ApcRoutine, PVOID ApcContext, PIO_STATUS_BLOCK IoStatus,              \
     const void* Buffer, ULONG Length, PLARGE_INTEGER ByteOffset, PULONG Key))                                         \
  X(ZwDeleteFile, NTSTATUS, (POBJECT_ATTRIBUTES Attributes))                                                           \
  X(ZwCreateKey, NTSTATUS,                                                                                             \
    (PHANDLE Key, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, ULONG TitleIndex, PUNICODE_STRING Class,          \
     ULONG CreateOptions, PULONG Disposition))                                                                         \
  X(ZwDeleteKey, NTSTATUS, (HANDLE Key))                                                                               \
  X(ZwFlushKey, NTSTATUS, (HANDLE Key))                                                                                \
  X(ZwDeleteValueKey, NTSTATUS, (HANDLE Key, PUNICODE_STRING ValueName))                                               \
  X(ZwSetValueKey, NTSTATUS,                                                                                           \
    (HANDLE Key, PUNICODE_STRING ValueName, ULONG TitleIndex, ULONG Type, const void* Data, ULONG DataSize))           \
  X(ZwAdjustPrivilegesToken, NTSTATUS,                                                                                 \
    (HANDLE Token, BOOLEAN DisableAll, PTOKEN_PRIVILEGES NewState, ULONG Length, PTOKEN_PRIVILEGES PreviousState,      \
     PULONG ReturnLength))                                                                                             \
  X(ZwCreateFile, NTSTATUS,                                                                                            \
    (PHANDLE File, ACCESS_MASK Access, POBJECT_ATTRIBUTES Attributes, PIO_STATUS_BLOCK IoStatus,                       \
     PLARGE_INTEGER AllocationSize, ULONG FileAttributes, ULONG ShareAccess, ULONG CreateDisposition,                  \
     ULONG CreateOptions, PVOID EaBuffer, ULONG EaLength))                                                             \
  X(ZwSetInformationFile, NTSTATUS,                                                                                    \
    (HANDLE File, PIO_STATUS_BLOCK IoStatus, PVOID Information, ULONG Length, ULONG InformationClass))                 \
  X(ZwSetSecurityObject, NTSTATUS, (HANDLE Object, SECURITY_INFORMATION Information, PSECURITY_DESCRIPTOR Descriptor)) \
  X(ZwFsControlFile, NTSTATUS,                                                                                         \
    (HANDLE File, HANDLE Event, nt::IoApcRoutine ApcRoutine, PVOID ApcContext, PIO_STATUS_BLOCK IoStatus,              \
     ULONG ControlCode, PVOID Input, ULONG InputLength, PVOID Output, ULONG OutputLength))                             \
  X(ZwDeviceIoControlFile, NTSTATUS,                                                                                   \
    (HANDLE File, HANDLE Event, nt::IoApcRoutine ApcRoutine, PVOID ApcContext, PIO_STATUS_BLOCK IoStatus,              \
     ULONG ControlCode, PVOID Input, ULONG InputLength, PVOID Output, ULONG OutputLength))                             \
  X(ZwFlushBuffersFile, NTSTATUS, (HANDLE File, PIO_STATUS_BLOCK IoStatus))                                            \
  X(ZwShutdownSystem, NTSTATUS, (ULONG Action))                                                                        \
  X(RtlAdjustPrivilege, NTSTATUS, (ULONG Privilege, BOOLEAN Enable, BOOLEAN CurrentThread, PBOOLEAN WasEnabled))

#define ZOR_NATIVE_API_TYPE(name, result, parameters) using name##Function = result NTAPI parameters;
ZOR_NATIVE_READ_ENTRIES(ZOR_NATIVE_API_TYPE)
ZOR_NATIVE_CHANGE_ENTRIES(ZOR_NATIVE_API_TYPE)
#undef ZOR_NATIVE_API_TYPE

#define ZOR_NATIVE_API_MEMBER(name, result, parameters) name##Function* name = nullptr;
struct NativeApi {
  PVOID module = nullptr;  // ntdll.dll
  ZOR_NATIVE_READ_ENTRIES(ZOR_NATIVE_API_MEMBER)
};

struct NativeChangesApi {
  ZOR_NATIVE_CHANGE_ENTRIES(ZOR_NATIVE_API_MEMBER)
};
#undef ZOR_NATIVE_API_MEMBER

// Looked up in kernel32.dll only when it is already loaded.
struct Kernel32Extras {
  PVOID module = nullptr;
  decltype(&::CopyFileW) CopyFileW = nullptr;
  decltype(&::WriteFile) WriteFile = nullptr;
  decltype(&::UnhandledExceptionFilter) UnhandledExceptionFilter = nullptr;
};

NativeApi& Native();
NativeChangesApi& NativeChanges();
Kernel32Extras& Kernel32();

// Fills both tables from ntdll.dll; a missing export leaves its entry empty.
StatusCode LoadNativeApi();
StatusCode LoadKernel32Extras();

// The NTSTATUS conversion through RtlNtStatusToDosError. Any success other
// than 0 becomes an informational code, which is not a failure.
StatusCode StatusFromNtStatus(NTSTATUS ntStatus);

// The one rule for the result of a native call: every success value
// (NT_SUCCESS, STATUS_PENDING included) is plain success, and only warnings
// and errors are converted.
inline StatusCode StatusOfNativeCall(NTSTATUS ntStatus) {
  return NT_SUCCESS(ntStatus) ? status::Success : StatusFromNtStatus(ntStatus);
}

}  // namespace zor
