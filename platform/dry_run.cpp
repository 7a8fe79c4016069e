#include "platform/dry_run.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/text_case.h"
#include "platform/device_map.h"
#include "platform/native_api.h"
#include "platform/native_file.h"
#include "platform/process_identity.h"
#include "platform/process_list.h"
#include "platform/win32_api.h"

namespace zor {
namespace {

thread_local int exemptions = 0;
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
std::atomic<bool> running{false};

// Names in any letter case, as Windows compares them.
struct LessFolding {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
      const wchar_t x = FoldAsciiLetter(a[i]);
      const wchar_t y = FoldAsciiLetter(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  }
};

// What the gate keeps while a dry run lasts.
struct DryRunState {
  std::mutex guard;
  WouldChange report;
  NativeChangesApi native;  // the real calls
  // Copied, never made afresh: a fresh table would name the real calls
  // here, outside the system tables.
  std::optional<Win32ChangesApi> win32;
  Win32Api win32Reads;
  decltype(Kernel32().CopyFileW) copyFile = nullptr;
  DeviceMap drives;
  std::wstring program;  // this program's path, which still starts
  std::wstring currentUser;  // the user's hive, \REGISTRY\USER\<SID>
  std::set<std::pair<std::wstring, std::wstring>> said;
  // A file renamed in the dry run: its new name, and the name it still has.
  std::map<std::wstring, std::wstring, LessFolding> renamed;
  std::map<SC_HANDLE, std::wstring> services;  // opened, by handle
  std::set<SC_HANDLE> stopped;
  // Keys the dry run would create, by the handle that stands in for each,
  // and the processes opened, by handle: what a later call names.
  std::map<HANDLE, std::wstring> createdKeys;
  std::set<std::wstring, LessFolding> createdKeyNames;
  std::map<HANDLE, std::uint32_t> processes;
  NativeApi nativeReads;
};

DryRunState& State() {
  static DryRunState state;
  return state;
}

bool Exempt() { return exemptions > 0; }

// Says one change once; the report runs exempt, since it writes the log.
void Would(std::wstring_view action, std::wstring_view item) {
  DryRunState& state = State();
  {
    std::lock_guard lock(state.guard);
    if (!state.said.emplace(std::wstring(action), std::wstring(item)).second) return;
  }
  DryRunExemption exempt;
  if (state.report) state.report(action, item);
}

std::wstring Counted(const UNICODE_STRING* text) {
  if (!text || !text->Buffer) return {};
  return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
}

// A drive-letter path for an NT path where one maps it.
std::wstring DosPathOf(const std::wstring& ntPath) {
  for (const wchar_t* prefix : {L"\\??\\", L"\\DosDevices\\", L"\\GLOBAL??\\"}) {
    const std::size_t length = std::wcslen(prefix);
    if (ntPath.size() > length && EqualsFoldingAscii(std::wstring_view(ntPath).substr(0, length), prefix)) {
      return ntPath.substr(length);
    }
  }
  std::wstring dos;
  if (!IsFailure(State().drives.DevicePathToDosPath(ntPath, dos))) return dos;
  return ntPath;
}

std::wstring ObjectNameOf(HANDLE object) {
  alignas(UNICODE_STRING) unsigned char buffer[4096 + sizeof(UNICODE_STRING)] = {};
  ULONG length = 0;
  if (!NT_SUCCESS(Native().ZwQueryObject(object, 1 /* ObjectNameInformation */, buffer, sizeof buffer, &length))) {
    return L"(an open object)";
  }
  return Counted(reinterpret_cast<const UNICODE_STRING*>(buffer));
}

std::wstring FileNameOf(HANDLE file) { return DosPathOf(ObjectNameOf(file)); }

// "\REGISTRY\MACHINE\..." as "HKLM\...", the current user's hive as
// "HKCU\...", another user's as "HKU\...".
std::wstring RegistryName(std::wstring path) {
  const std::wstring& user = State().currentUser;
  if (!user.empty() && path.size() >= user.size() &&
      EqualsFoldingAscii(std::wstring_view(path).substr(0, user.size()), user) &&
      (path.size() == user.size() || path[user.size()] == L'\\')) {
    return L"HKCU" + path.substr(user.size());
  }
  for (const auto& [prefix, root] : {std::pair{L"\\REGISTRY\\MACHINE", L"HKLM"}, std::pair{L"\\REGISTRY\\USER", L"HKU"}}) {
    const std::size_t length = std::wcslen(prefix);
    if (path.size() >= length && EqualsFoldingAscii(std::wstring_view(path).substr(0, length), prefix)) {
      return root + path.substr(length);
    }
  }
  return path;
}

std::wstring KeyNameOf(HANDLE key) {
  {
    DryRunState& state = State();
    std::lock_guard lock(state.guard);
    if (const auto found = state.createdKeys.find(key); found != state.createdKeys.end()) return found->second;
  }
  alignas(ULONG) unsigned char buffer[4096] = {};
  ULONG length = 0;
  if (!NT_SUCCESS(Native().ZwQueryKey(key, nt::KeyNameInformation, buffer, sizeof buffer - 2, &length))) {
    return ObjectNameOf(key);
  }
  const ULONG bytes = *reinterpret_cast<const ULONG*>(buffer);
  return RegistryName(std::wstring(reinterpret_cast<const wchar_t*>(buffer + sizeof(ULONG)), bytes / sizeof(wchar_t)));
}

// The NT path an object's attributes name, with their root object's.
std::wstring AttributesName(const OBJECT_ATTRIBUTES* attributes) {
  if (!attributes) return {};
  std::wstring name = Counted(attributes->ObjectName);
  if (attributes->RootDirectory) name = ObjectNameOf(attributes->RootDirectory) + L"\\" + name;
  return name;
}

// The same for a key, below a key the dry run would have created too.
std::wstring KeyAttributesName(const OBJECT_ATTRIBUTES* attributes) {
  if (!attributes) return {};
  const std::wstring name = Counted(attributes->ObjectName);
  if (!attributes->RootDirectory) return RegistryName(name);
  const std::wstring root = KeyNameOf(attributes->RootDirectory);
  return name.empty() ? root : root + L"\\" + name;
}

// Whether an open of these attributes names a file that the dry run has
// renamed: it is then opened under the name it still has.
bool RenamedSource(const OBJECT_ATTRIBUTES* attributes, std::wstring& source) {
  if (!attributes || attributes->RootDirectory) return false;
  DryRunState& state = State();
  std::lock_guard lock(state.guard);
  const auto found = state.renamed.find(Counted(attributes->ObjectName));
  if (found == state.renamed.end()) return false;
  source = found->second;
  return true;
}

// A handle that takes whatever is written to it and keeps nothing.
NTSTATUS OpenNullDevice(PHANDLE file, PIO_STATUS_BLOCK io) {
  UNICODE_STRING name;
  Native().RtlInitUnicodeString(&name, L"\\Device\\Null");
  OBJECT_ATTRIBUTES attributes;
  nt::InitObjectAttributes(attributes, &name, OBJ_CASE_INSENSITIVE, nullptr);
  const NTSTATUS opened = State().native.ZwCreateFile(file, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, io,
                                                      nullptr, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                                                      FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (NT_SUCCESS(opened)) io->Information = FILE_CREATED;
  return opened;
}

// A handle that stands in for a key the dry run would create: what is
// written to it is named by the stand-ins, so it only has to be a key's.
NTSTATUS OpenStandInKey(PHANDLE key) {
  UNICODE_STRING machine;
  Native().RtlInitUnicodeString(&machine, L"\\Registry\\Machine");
  OBJECT_ATTRIBUTES root;
  nt::InitObjectAttributes(root, &machine, OBJ_CASE_INSENSITIVE, nullptr);
  return State().nativeReads.ZwOpenKey(key, KEY_READ, &root);
}

// ---------------------------------------------------------------- native

NTSTATUS NTAPI WouldZwTerminateProcess(HANDLE process, NTSTATUS status) {
  DryRunState& state = State();
  if (Exempt() || process == nt::CurrentProcess()) return state.native.ZwTerminateProcess(process, status);
  // A handle to stop a process may not read it: the id comes from its open.
  std::uint32_t id = 0;
  {
    std::lock_guard lock(state.guard);
    if (const auto found = state.processes.find(process); found != state.processes.end()) id = found->second;
  }
  if (id == GetCurrentProcessId()) return state.native.ZwTerminateProcess(process, status);
  std::wstring image;
  if (id == 0 || IsFailure(ProcessImagePath(id, image))) image = L"process " + std::to_wstring(id);
  Would(L"stop process", image);
  return nt::Success;
}

NTSTATUS NTAPI WouldZwWriteFile(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context, PIO_STATUS_BLOCK io,
                                const void* buffer, ULONG length, PLARGE_INTEGER offset, PULONG key) {
  // Only handles the dry run let through are written: the log, the console,
  // and the null device that stands in for every file it would write.
  return State().native.ZwWriteFile(file, event, apc, context, io, buffer, length, offset, key);
}

NTSTATUS NTAPI WouldZwDeleteFile(POBJECT_ATTRIBUTES attributes) {
  if (Exempt()) return State().native.ZwDeleteFile(attributes);
  Would(L"delete", DosPathOf(AttributesName(attributes)));
  return nt::Success;
}

NTSTATUS NTAPI WouldZwCreateKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, ULONG index,
                                PUNICODE_STRING keyClass, ULONG options, PULONG disposition) {
  if (Exempt()) return State().native.ZwCreateKey(key, access, attributes, index, keyClass, options, disposition);
  bool belowCreated = false;
  if (attributes && attributes->RootDirectory) {
    DryRunState& state = State();
    std::lock_guard lock(state.guard);
    belowCreated = state.createdKeys.contains(attributes->RootDirectory);
  }
  // Below a key that is not there, nothing is there either.
  const NTSTATUS opened =
      belowCreated ? nt::ObjectNameNotFound : State().nativeReads.ZwOpenKey(key, access, attributes);
  if (opened != nt::ObjectNameNotFound) {
    if (NT_SUCCESS(opened) && disposition) *disposition = REG_OPENED_EXISTING_KEY;
    return opened;
  }
  const std::wstring name = KeyAttributesName(attributes);
  Would(L"create key", name);
  const NTSTATUS placeholder = OpenStandInKey(key);
  if (NT_SUCCESS(placeholder)) {
    if (disposition) *disposition = REG_CREATED_NEW_KEY;
    DryRunState& state = State();
    std::lock_guard lock(state.guard);
    state.createdKeys[*key] = name;
    state.createdKeyNames.insert(name);
  }
  return placeholder;
}

NTSTATUS NTAPI WouldZwDeleteKey(HANDLE key) {
  if (Exempt()) return State().native.ZwDeleteKey(key);
  Would(L"delete key", KeyNameOf(key));
  return nt::Success;
}

NTSTATUS NTAPI WouldZwFlushKey(HANDLE key) { return State().native.ZwFlushKey(key); }

NTSTATUS NTAPI WouldZwDeleteValueKey(HANDLE key, PUNICODE_STRING name) {
  if (Exempt()) return State().native.ZwDeleteValueKey(key, name);
  // A value that is not there is not deleted, in a dry run neither.
  unsigned char buffer[64];
  ULONG length = 0;
  const NTSTATUS found = Native().ZwQueryValueKey(key, name, nt::KeyValueBasicInformation, buffer, sizeof buffer, &length);
  if (found == nt::ObjectNameNotFound) return found;
  Would(L"delete value", KeyNameOf(key) + L" : " + Counted(name));
  return nt::Success;
}

NTSTATUS NTAPI WouldZwSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG index, ULONG type, const void* data,
                                  ULONG size) {
  if (Exempt()) return State().native.ZwSetValueKey(key, name, index, type, data, size);
  Would(L"write value", KeyNameOf(key) + L" : " + Counted(name));
  return nt::Success;
}

// This process's own privileges change nothing on the machine.
NTSTATUS NTAPI WouldZwAdjustPrivilegesToken(HANDLE token, BOOLEAN disableAll, PTOKEN_PRIVILEGES state, ULONG length,
                                            PTOKEN_PRIVILEGES previous, PULONG returned) {
  return State().native.ZwAdjustPrivilegesToken(token, disableAll, state, length, previous, returned);
}

NTSTATUS NTAPI WouldZwCreateFile(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK io,
                                 PLARGE_INTEGER allocation, ULONG fileAttributes, ULONG share, ULONG disposition,
                                 ULONG options, PVOID ea, ULONG eaLength) {
  DryRunState& state = State();
  if (Exempt()) {
    return state.native.ZwCreateFile(file, access, attributes, io, allocation, fileAttributes, share, disposition,
                                     options, ea, eaLength);
  }
  OBJECT_ATTRIBUTES opened = attributes ? *attributes : OBJECT_ATTRIBUTES{};
  UNICODE_STRING sourceName{};
  std::wstring source;
  if (RenamedSource(attributes, source)) {
    sourceName.Buffer = source.data();
    sourceName.Length = sourceName.MaximumLength = static_cast<USHORT>(source.size() * sizeof(wchar_t));
    opened.ObjectName = &sourceName;
  }
  const ULONG openOptions = options & ~static_cast<ULONG>(FILE_DELETE_ON_CLOSE);
  if (disposition == FILE_OPEN || disposition == FILE_OPEN_IF) {
    const NTSTATUS status = state.native.ZwCreateFile(file, access, &opened, io, allocation, fileAttributes, share,
                                                      FILE_OPEN, openOptions, ea, eaLength);
    if (NT_SUCCESS(status) && (options & FILE_DELETE_ON_CLOSE)) Would(L"delete", FileNameOf(*file));
    if (disposition == FILE_OPEN || status != nt::ObjectNameNotFound) return status;
  } else if (disposition == FILE_CREATE) {
    // A name that is taken is refused as the real call would refuse it.
    HANDLE existing = nullptr;
    IO_STATUS_BLOCK probe{};
    const NTSTATUS found = state.native.ZwCreateFile(&existing, FILE_READ_ATTRIBUTES | SYNCHRONIZE, &opened, &probe,
                                                     nullptr, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                     FILE_OPEN, FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (NT_SUCCESS(found)) {
      Native().ZwClose(existing);
      return kNameCollision;
    }
  }
  Would((options & FILE_DIRECTORY_FILE) ? L"create folder" : L"write", DosPathOf(AttributesName(attributes)));
  return OpenNullDevice(file, io);
}

NTSTATUS NTAPI WouldZwSetInformationFile(HANDLE file, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                                         ULONG informationClass) {
  DryRunState& state = State();
  if (Exempt()) return state.native.ZwSetInformationFile(file, io, information, length, informationClass);
  constexpr ULONG kPosition = 14;
  constexpr ULONG kRenameEx = 65;
  constexpr ULONG kDispositionEx = 64;
  switch (informationClass) {
    case kPosition:
      return state.native.ZwSetInformationFile(file, io, information, length, informationClass);
    case native_file::FileDispositionInformationClass:
    case kDispositionEx: {
      const bool deletes = *static_cast<const BOOLEAN*>(information) != 0;
      if (deletes) Would(L"delete", FileNameOf(file));
      break;
    }
    case native_file::FileRenameInformationClass:
    case kRenameEx: {
      // FILE_RENAME_INFORMATION: the flag, the root, the name's length in
      // bytes at offset 16, the name at 20.
      const auto* bytes = static_cast<const unsigned char*>(information);
      HANDLE root = nullptr;
      ULONG nameBytes = 0;
      std::memcpy(&root, bytes + 8, sizeof root);
      std::memcpy(&nameBytes, bytes + 16, sizeof nameBytes);
      std::wstring target(reinterpret_cast<const wchar_t*>(bytes + 20), nameBytes / sizeof(wchar_t));
      if (root) target = ObjectNameOf(root) + L"\\" + target;
      const std::wstring sourceNt = ObjectNameOf(file);
      Would(L"rename file", DosPathOf(sourceNt) + L" to " + DosPathOf(target));
      std::lock_guard lock(state.guard);
      state.renamed[target] = sourceNt;
      break;
    }
    case native_file::FileBasicInformationClass:
      Would(L"change the attributes of", FileNameOf(file));
      break;
    default:
      Would(L"change", FileNameOf(file));
      break;
  }
  if (io) {
    io->Status = nt::Success;
    io->Information = 0;
  }
  return nt::Success;
}

NTSTATUS NTAPI WouldZwSetSecurityObject(HANDLE object, SECURITY_INFORMATION information,
                                        PSECURITY_DESCRIPTOR descriptor) {
  if (Exempt()) return State().native.ZwSetSecurityObject(object, information, descriptor);
  Would(L"change the security of", DosPathOf(ObjectNameOf(object)));
  return nt::Success;
}

NTSTATUS NTAPI WouldZwFsControlFile(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context,
                                    PIO_STATUS_BLOCK io, ULONG code, PVOID input, ULONG inputLength, PVOID output,
                                    ULONG outputLength) {
  if (Exempt()) {
    return State().native.ZwFsControlFile(file, event, apc, context, io, code, input, inputLength, output,
                                          outputLength);
  }
  Would(L"control", FileNameOf(file));
  return nt::Success;
}

NTSTATUS NTAPI WouldZwDeviceIoControlFile(HANDLE file, HANDLE event, nt::IoApcRoutine apc, PVOID context,
                                          PIO_STATUS_BLOCK io, ULONG code, PVOID input, ULONG inputLength,
                                          PVOID output, ULONG outputLength) {
  if (Exempt()) {
    return State().native.ZwDeviceIoControlFile(file, event, apc, context, io, code, input, inputLength, output,
                                                outputLength);
  }
  Would(L"control", FileNameOf(file));
  return nt::Success;
}

NTSTATUS NTAPI WouldZwFlushBuffersFile(HANDLE file, PIO_STATUS_BLOCK io) {
  return State().native.ZwFlushBuffersFile(file, io);
}

NTSTATUS NTAPI WouldZwShutdownSystem(ULONG action) {
  if (Exempt()) return State().native.ZwShutdownSystem(action);
  Would(L"restart", L"Windows");
  return nt::Success;
}

NTSTATUS NTAPI WouldRtlAdjustPrivilege(ULONG privilege, BOOLEAN enable, BOOLEAN thread, PBOOLEAN was) {
  return State().native.RtlAdjustPrivilege(privilege, enable, thread, was);
}

// ---------------------------------------------------------------- Win32

bool StartsThisProgram(const wchar_t* application, const wchar_t* commandLine) {
  const std::wstring& program = State().program;
  if (program.empty()) return false;
  if (application) return EqualsFoldingAscii(application, program);
  if (!commandLine) return false;
  std::wstring_view text(commandLine);
  if (!text.empty() && text.front() == L'"') {
    text.remove_prefix(1);
    return EqualsFoldingAscii(text.substr(0, text.find(L'"')), program);
  }
  return EqualsFoldingAscii(text.substr(0, text.find(L' ')), program);
}

BOOL WINAPI WouldCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                                LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags, LPVOID environment,
                                LPCWSTR folder, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION started) {
  DryRunState& state = State();
  if (Exempt() || StartsThisProgram(application, commandLine)) {
    return state.win32->CreateProcessW(application, commandLine, processSecurity, threadSecurity, inherit, flags,
                                      environment, folder, startup, started);
  }
  Would(L"run", commandLine ? commandLine : application);
  // The caller waits for a program and reads its exit code: it gets one
  // that does nothing and ends with 0.
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring shell = std::wstring(system) + L"\\cmd.exe";
  std::wstring nothing = L"\"" + shell + L"\" /c exit 0";
  STARTUPINFOW quiet{};
  quiet.cb = sizeof quiet;
  return state.win32->CreateProcessW(shell.c_str(), nothing.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                    nullptr, &quiet, started);
}

int __cdecl WouldRunCommandInterpreter(const wchar_t* command) {
  if (Exempt()) return State().win32->RunCommandInterpreter(command);
  Would(L"run", command ? command : L"");
  return 0;
}

BOOL WINAPI WouldAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                                       PTOKEN_PRIVILEGES previous, PDWORD returned) {
  return State().win32->AdjustTokenPrivileges(token, disableAll, state, length, previous, returned);
}

BOOL WINAPI WouldExitWindowsEx(UINT how, DWORD reason) {
  if (Exempt()) return State().win32->ExitWindowsEx(how, reason);
  Would(L"restart", L"Windows");
  return TRUE;
}

BOOL WINAPI WouldInitiateSystemShutdownExW(LPWSTR machine, LPWSTR message, DWORD timeout, BOOL force, BOOL reboot,
                                           DWORD reason) {
  if (Exempt()) return State().win32->InitiateSystemShutdownExW(machine, message, timeout, force, reboot, reason);
  Would(L"restart", L"Windows");
  return TRUE;
}

BOOL WINAPI WouldMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (Exempt()) return State().win32->MoveFileExW(from, to, flags);
  if (!to && (flags & MOVEFILE_DELAY_UNTIL_REBOOT)) {
    Would(L"delete at restart", from);
  } else {
    Would(L"move", std::wstring(from) + L" to " + (to ? to : L""));
  }
  return TRUE;
}

std::wstring ServiceNameOf(SC_HANDLE service) {
  DryRunState& state = State();
  std::lock_guard lock(state.guard);
  const auto found = state.services.find(service);
  return found == state.services.end() ? L"(a service)" : found->second;
}

BOOL WINAPI WouldControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  DryRunState& state = State();
  if (Exempt()) return state.win32->ControlService(service, control, status);
  if (control != SERVICE_CONTROL_STOP) {
    Would(L"control service", ServiceNameOf(service));
    return state.win32Reads.QueryServiceStatus(service, status);
  }
  Would(L"stop service", ServiceNameOf(service));
  {
    std::lock_guard lock(state.guard);
    state.stopped.insert(service);
  }
  if (status) {
    *status = SERVICE_STATUS{};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = SERVICE_STOPPED;
  }
  return TRUE;
}

BOOL WINAPI WouldDeleteService(SC_HANDLE service) {
  if (Exempt()) return State().win32->DeleteService(service);
  Would(L"delete service", ServiceNameOf(service));
  return TRUE;
}

BOOL WINAPI WouldExchangeOnPipe(const wchar_t* pipe, const void* request, DWORD requestSize, void* answer,
                                DWORD capacity, DWORD* answerSize, DWORD milliseconds) {
  if (Exempt()) {
    return State().win32->ExchangeOnPipe(pipe, request, requestSize, answer, capacity, answerSize, milliseconds);
  }
  // A request may make its server change the machine: it is not sent.
  Would(L"send a request to", pipe);
  *answerSize = 0;
  SetLastError(ERROR_PIPE_NOT_CONNECTED);
  return FALSE;
}

BOOL WINAPI WouldCallLibraryExport(const wchar_t* library, const char* exportName) {
  if (Exempt()) return State().win32->CallLibraryExport(library, exportName);
  std::wstring name;
  for (const char* c = exportName; c && *c; ++c) name.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  Would(L"call", std::wstring(library) + L" " + name);
  return TRUE;
}

BOOL WINAPI WouldSetupDiCallClassInstaller(DI_FUNCTION function, HDEVINFO devices, PSP_DEVINFO_DATA device) {
  if (Exempt()) return State().win32->SetupDiCallClassInstaller(function, devices, device);
  wchar_t id[512] = {};
  if (!device || !SetupDiGetDeviceInstanceIdW(devices, device, id, 512, nullptr)) std::wcscpy(id, L"(a device)");
  Would(function == DIF_REMOVE ? L"remove device" : L"change device", id);
  return TRUE;
}

BOOL WINAPI WouldUninstallOemInf(const wchar_t* infName, DWORD flags) {
  if (Exempt()) return State().win32->UninstallOemInf(infName, flags);
  Would(L"uninstall driver package", infName);
  return TRUE;
}

HRESULT WINAPI WouldDeInstallNetworkComponent(INetCfgClassSetup* classSetup, INetCfgComponent* component) {
  if (Exempt()) return State().win32->DeInstallNetworkComponent(classSetup, component);
  LPWSTR id = nullptr;
  std::wstring name = L"(a network component)";
  if (component && SUCCEEDED(component->GetId(&id)) && id) {
    name = id;
    CoTaskMemFree(id);
  }
  Would(L"uninstall network component", name);
  return S_OK;
}

HRESULT WINAPI WouldApplyNetworkConfiguration(INetCfg* configuration) {
  if (Exempt()) return State().win32->ApplyNetworkConfiguration(configuration);
  Would(L"apply", L"the network configuration");
  return S_OK;
}

// Reads that answer for what the dry run assumed done.
SC_HANDLE WINAPI RememberingOpenServiceW(SC_HANDLE manager, LPCWSTR name, DWORD access) {
  DryRunState& state = State();
  const SC_HANDLE service = state.win32Reads.OpenServiceW(manager, name, access);
  if (service && name) {
    std::lock_guard lock(state.guard);
    state.services[service] = name;
    state.stopped.erase(service);
  }
  return service;
}

BOOL WINAPI StoppedQueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  DryRunState& state = State();
  bool stopped = false;
  {
    std::lock_guard lock(state.guard);
    stopped = state.stopped.contains(service);
  }
  if (!stopped || Exempt()) return state.win32Reads.QueryServiceStatus(service, status);
  *status = SERVICE_STATUS{};
  status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status->dwCurrentState = SERVICE_STOPPED;
  return TRUE;
}

NTSTATUS NTAPI RememberingZwOpenProcess(PHANDLE process, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                        CLIENT_ID* client) {
  DryRunState& state = State();
  const NTSTATUS opened = state.nativeReads.ZwOpenProcess(process, access, attributes, client);
  if (NT_SUCCESS(opened) && client) {
    std::lock_guard lock(state.guard);
    state.processes[*process] = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(client->UniqueProcess));
  }
  return opened;
}

// A key the dry run created opens again, as a stand-in of the same name;
// below one, only what the dry run created too is there.
NTSTATUS NTAPI CreatedZwOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes) {
  DryRunState& state = State();
  if (Exempt()) return state.nativeReads.ZwOpenKey(key, access, attributes);
  bool belowCreated = false;
  if (attributes && attributes->RootDirectory) {
    std::lock_guard lock(state.guard);
    belowCreated = state.createdKeys.contains(attributes->RootDirectory);
  }
  if (!belowCreated) {
    const NTSTATUS opened = state.nativeReads.ZwOpenKey(key, access, attributes);
    if (opened != nt::ObjectNameNotFound) return opened;
  }
  const std::wstring name = KeyAttributesName(attributes);
  {
    std::lock_guard lock(state.guard);
    if (!state.createdKeyNames.contains(name)) return nt::ObjectNameNotFound;
  }
  const NTSTATUS placeholder = OpenStandInKey(key);
  if (NT_SUCCESS(placeholder)) {
    std::lock_guard lock(state.guard);
    state.createdKeys[*key] = name;
  }
  return placeholder;
}

NTSTATUS NTAPI ForgettingZwClose(HANDLE handle) {
  DryRunState& state = State();
  {
    std::lock_guard lock(state.guard);
    state.createdKeys.erase(handle);
    state.processes.erase(handle);
  }
  return state.nativeReads.ZwClose(handle);
}

BOOL WINAPI WouldCopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  if (Exempt()) return State().copyFile(from, to, failIfExists);
  Would(L"copy", std::wstring(from) + L" to " + to);
  return TRUE;
}

}  // namespace

DryRunExemption::DryRunExemption() { ++exemptions; }
DryRunExemption::~DryRunExemption() { --exemptions; }

bool InDryRun() { return running.load(); }

void StartDryRun(WouldChange report) {
  DryRunState& state = State();
  if (running.exchange(true)) return;
  state.report = std::move(report);
  state.native = NativeChanges();
  state.win32.emplace(Win32Changes());
  state.win32Reads = Win32();
  state.nativeReads = Native();
  state.copyFile = Kernel32().CopyFileW;
  state.drives.Build();
  ProgramModulePath(state.program);
  if (HANDLE user = nullptr; NT_SUCCESS(Native().RtlOpenCurrentUser(KEY_READ, &user))) {
    state.currentUser.clear();
    const std::wstring name = KeyNameOf(user);
    Native().ZwClose(user);
    // Named as the registry names it: "\REGISTRY\USER\<SID>".
    if (name.starts_with(L"HKU")) state.currentUser = L"\\REGISTRY\\USER" + name.substr(3);
  }
  // Every changing entry gets its stand-in: an entry without one does not
  // build.
#define ZOR_DRY_NATIVE(name, result, parameters) NativeChanges().name = &Would##name;
  ZOR_NATIVE_CHANGE_ENTRIES(ZOR_DRY_NATIVE)
#undef ZOR_DRY_NATIVE
#define ZOR_DRY_WIN32(name, function) Win32Changes().name = &Would##name;
  ZOR_WIN32_CHANGE_ENTRIES(ZOR_DRY_WIN32)
#undef ZOR_DRY_WIN32
  if (Kernel32().CopyFileW) Kernel32().CopyFileW = &WouldCopyFileW;
  Win32().OpenServiceW = &RememberingOpenServiceW;
  Win32().QueryServiceStatus = &StoppedQueryServiceStatus;
  Native().ZwOpenProcess = &RememberingZwOpenProcess;
  Native().ZwClose = &ForgettingZwClose;
  Native().ZwOpenKey = &CreatedZwOpenKey;
}

void EndDryRun() {
  DryRunState& state = State();
  if (!running.load()) return;
  NativeChanges() = state.native;
  Win32Changes() = *state.win32;
  Win32().OpenServiceW = state.win32Reads.OpenServiceW;
  Win32().QueryServiceStatus = state.win32Reads.QueryServiceStatus;
  Kernel32().CopyFileW = state.copyFile;
  Native().ZwOpenProcess = state.nativeReads.ZwOpenProcess;
  Native().ZwClose = state.nativeReads.ZwClose;
  Native().ZwOpenKey = state.nativeReads.ZwOpenKey;
  std::lock_guard lock(state.guard);
  state.createdKeyNames.clear();
  state.createdKeys.clear();
  state.processes.clear();
  state.said.clear();
  state.renamed.clear();
  state.services.clear();
  state.stopped.clear();
  running.store(false);
}

}  // namespace zor
