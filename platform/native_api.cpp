#include "platform/native_api.h"

#include <cstring>

namespace zor {
namespace {

NativeApi g_native;
NativeChangesApi g_nativeChanges;
Kernel32Extras g_kernel32;

UNICODE_STRING CountedText(const wchar_t* text) {
  UNICODE_STRING counted;
  const auto bytes = static_cast<USHORT>(wcslen(text) * sizeof(wchar_t));
  counted.Length = bytes;
  counted.MaximumLength = static_cast<USHORT>(bytes + sizeof(wchar_t));
  counted.Buffer = const_cast<PWSTR>(text);
  return counted;
}

PVOID LookUp(PVOID module, const char* name) {
  ANSI_STRING procedure;
  procedure.Length = static_cast<USHORT>(std::strlen(name));
  procedure.MaximumLength = static_cast<USHORT>(procedure.Length + 1);
  procedure.Buffer = const_cast<PCHAR>(name);
  PVOID address = nullptr;
  if (!NT_SUCCESS(LdrGetProcedureAddress(module, &procedure, 0, &address))) return nullptr;
  return address;
}

// ERROR_MR_MID_NOT_FOUND, what the conversion itself answers for an unknown status.
constexpr ULONG kUnknownStatusError = 317;

std::uint32_t DosErrorThroughTable(std::int32_t ntStatus) {
  if (!g_native.RtlNtStatusToDosError) return kUnknownStatusError;
  return g_native.RtlNtStatusToDosError(ntStatus);
}

}  // namespace

NativeApi& Native() { return g_native; }
NativeChangesApi& NativeChanges() { return g_nativeChanges; }
Kernel32Extras& Kernel32() { return g_kernel32; }

StatusCode StatusFromNtStatus(NTSTATUS ntStatus) { return StatusFromNtStatusWith(ntStatus, DosErrorThroughTable); }

StatusCode LoadNativeApi() {
  UNICODE_STRING name = CountedText(L"ntdll.dll");
  PVOID module = nullptr;
  const NTSTATUS loaded = LdrLoadDll(nullptr, nullptr, &name, &module);
  if (!NT_SUCCESS(loaded)) return StatusFromNtStatus(loaded);

  if (g_native.module) {
    LdrUnloadDll(g_native.module);
    g_native = NativeApi{};
    g_nativeChanges = NativeChangesApi{};
  }
  g_native.module = module;
#define ZOR_NATIVE_READ_LOOKUP(name, result, parameters) \
  g_native.name = reinterpret_cast<name##Function*>(LookUp(module, #name));
  ZOR_NATIVE_READ_ENTRIES(ZOR_NATIVE_READ_LOOKUP)
#undef ZOR_NATIVE_READ_LOOKUP
#define ZOR_NATIVE_CHANGE_LOOKUP(name, result, parameters) \
  g_nativeChanges.name = reinterpret_cast<name##Function*>(LookUp(module, #name));
  ZOR_NATIVE_CHANGE_ENTRIES(ZOR_NATIVE_CHANGE_LOOKUP)
#undef ZOR_NATIVE_CHANGE_LOOKUP
  return status::Success;
}

StatusCode LoadKernel32Extras() {
  UNICODE_STRING name = CountedText(L"kernel32.dll");
  PVOID module = nullptr;
  const NTSTATUS found = LdrGetDllHandle(nullptr, nullptr, &name, &module);
  if (!NT_SUCCESS(found)) return StatusFromNtStatus(found);
  g_kernel32.module = module;
  g_kernel32.CopyFileW = reinterpret_cast<decltype(&::CopyFileW)>(LookUp(module, "CopyFileW"));
  g_kernel32.WriteFile = reinterpret_cast<decltype(&::WriteFile)>(LookUp(module, "WriteFile"));
  g_kernel32.UnhandledExceptionFilter =
      reinterpret_cast<decltype(&::UnhandledExceptionFilter)>(LookUp(module, "UnhandledExceptionFilter"));
  return status::Success;
}

}  // namespace zor
