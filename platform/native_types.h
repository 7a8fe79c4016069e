#pragma once
// Windows and native-interface declarations in one place. winternl.h gives
// the common structures; what it leaves out is copied here once from the
// native interface's published prototypes.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace zor::nt {

inline constexpr NTSTATUS Success = 0;
inline constexpr NTSTATUS BufferOverflow = static_cast<NTSTATUS>(0x80000005);
inline constexpr NTSTATUS NoMoreEntries = static_cast<NTSTATUS>(0x8000001A);
inline constexpr NTSTATUS NoMoreFiles = static_cast<NTSTATUS>(0x80000006);
inline constexpr NTSTATUS InfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
inline constexpr NTSTATUS AccessDenied = static_cast<NTSTATUS>(0xC0000022);
inline constexpr NTSTATUS BufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
inline constexpr NTSTATUS ObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034);
inline constexpr NTSTATUS ObjectPathNotFound = static_cast<NTSTATUS>(0xC000003A);
inline constexpr NTSTATUS SharingViolation = static_cast<NTSTATUS>(0xC0000043);
inline constexpr NTSTATUS DeletePending = static_cast<NTSTATUS>(0xC0000056);
inline constexpr NTSTATUS KeyDeleted = static_cast<NTSTATUS>(0xC000017C);
inline constexpr NTSTATUS NotImplemented = static_cast<NTSTATUS>(0xC0000002);
inline constexpr NTSTATUS InvalidParameter = static_cast<NTSTATUS>(0xC000000D);
inline constexpr NTSTATUS NoMemory = static_cast<NTSTATUS>(0xC0000017);
inline constexpr NTSTATUS AbandonedWait = static_cast<NTSTATUS>(0x00000080);
inline constexpr NTSTATUS NoSuchFile = static_cast<NTSTATUS>(0xC000000F);
inline constexpr NTSTATUS EndOfFile = static_cast<NTSTATUS>(0xC0000011);
inline constexpr NTSTATUS ObjectTypeMismatch = static_cast<NTSTATUS>(0xC0000024);
inline constexpr NTSTATUS DiskFull = static_cast<NTSTATUS>(0xC000007F);
inline constexpr NTSTATUS NotSameDevice = static_cast<NTSTATUS>(0xC00000D4);
inline constexpr NTSTATUS ReparseTagNotHandled = static_cast<NTSTATUS>(0xC0000279);
// What an operation answers when it would have had to go through a link.
inline constexpr NTSTATUS ReparsePointEncountered = static_cast<NTSTATUS>(0xC000050B);
// The exit status of a worker thread that a fault ended.
inline constexpr NTSTATUS WorkerEscaped = static_cast<NTSTATUS>(0xFFFFFFFF);

// The thread's and the process's environment blocks, read through the gs
// segment as the system itself does (x64 only).
inline TEB* CurrentTeb() {
  TEB* teb;
  asm("movq %%gs:0x30, %0" : "=r"(teb));
  return teb;
}
inline PEB* CurrentPeb() {
  PEB* peb;
  asm("movq %%gs:0x60, %0" : "=r"(peb));
  return peb;
}
inline bool DebuggerAttached() {
  const PEB* peb = CurrentPeb();
  return peb && peb->BeingDebugged;
}

inline HANDLE CurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }
inline HANDLE CurrentThread() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

// Key information classes.
enum : ULONG {
  KeyBasicInformation = 0,
  KeyNodeInformation = 1,
  KeyFullInformation = 2,
  KeyNameInformation = 3,
};
enum : ULONG {
  KeyValueBasicInformation = 0,
  KeyValueFullInformation = 1,
  KeyValuePartialInformation = 2,
};
enum : ULONG { SystemProcessorInformationClass = 1 };
enum : ULONG { ProcessBasicInformationClass = 0, ProcessImageFileNameClass = 27, ProcessDeviceMapClass = 23 };
enum : ULONG { TokenGroupsClass = 2 };
enum : ULONG { NotificationEvent = 0, SynchronizationEvent = 1 };

struct KeyBasicInformationRecord {
  LARGE_INTEGER LastWriteTime;
  ULONG TitleIndex;
  ULONG NameLength;
  WCHAR Name[1];
};

struct KeyFullInformationRecord {
  LARGE_INTEGER LastWriteTime;
  ULONG TitleIndex;
  ULONG ClassOffset;
  ULONG ClassLength;
  ULONG SubKeys;
  ULONG MaxNameLen;
  ULONG MaxClassLen;
  ULONG Values;
  ULONG MaxValueNameLen;
  ULONG MaxValueDataLen;
  WCHAR Class[1];
};

struct KeyValuePartialInformationRecord {
  ULONG TitleIndex;
  ULONG Type;
  ULONG DataLength;
  UCHAR Data[1];
};

struct KeyValueBasicInformationRecord {
  ULONG TitleIndex;
  ULONG Type;
  ULONG NameLength;
  WCHAR Name[1];
};

struct TimeFields {
  SHORT Year;
  SHORT Month;
  SHORT Day;
  SHORT Hour;
  SHORT Minute;
  SHORT Second;
  SHORT Milliseconds;
  SHORT Weekday;
};

struct CurrentDirectory {
  UNICODE_STRING DosPath;
  HANDLE Handle;
};

// The leading part of the process parameters block, as far as the program
// reads it (winternl.h hides these fields).
struct ProcessParameters {
  ULONG MaximumLength;
  ULONG Length;
  ULONG Flags;
  ULONG DebugFlags;
  HANDLE ConsoleHandle;
  ULONG ConsoleFlags;
  HANDLE StandardInput;
  HANDLE StandardOutput;
  HANDLE StandardError;
  CurrentDirectory CurrentDir;
  UNICODE_STRING DllPath;
  UNICODE_STRING ImagePathName;
  UNICODE_STRING CommandLine;
  PVOID Environment;
};

struct SystemProcessorInformationRecord {
  USHORT ProcessorArchitecture;
  USHORT ProcessorLevel;
  USHORT ProcessorRevision;
  USHORT MaximumProcessors;
  ULONG ProcessorFeatureBits;
};
static_assert(sizeof(SystemProcessorInformationRecord) == 12);

using IoApcRoutine = VOID(NTAPI*)(PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock, ULONG Reserved);

inline void InitObjectAttributes(OBJECT_ATTRIBUTES& attributes, UNICODE_STRING* name, ULONG flags, HANDLE root) {
  attributes.Length = sizeof(OBJECT_ATTRIBUTES);
  attributes.RootDirectory = root;
  attributes.ObjectName = name;
  attributes.Attributes = flags;
  attributes.SecurityDescriptor = nullptr;
  attributes.SecurityQualityOfService = nullptr;
}

}  // namespace zor::nt

// Imported directly from ntdll.dll: the loader functions that fill the table,
// and the few calls needed before or without it.
extern "C" {
NTSYSAPI NTSTATUS NTAPI LdrLoadDll(PWSTR SearchPath, PULONG DllCharacteristics, PUNICODE_STRING DllName, PVOID* DllHandle);
NTSYSAPI NTSTATUS NTAPI LdrUnloadDll(PVOID DllHandle);
NTSYSAPI NTSTATUS NTAPI LdrGetDllHandle(PWSTR SearchPath, PULONG DllCharacteristics, PUNICODE_STRING DllName, PVOID* DllHandle);
NTSYSAPI NTSTATUS NTAPI LdrGetProcedureAddress(PVOID DllHandle, PANSI_STRING ProcedureName, ULONG ProcedureNumber, PVOID* ProcedureAddress);
}
