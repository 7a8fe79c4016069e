#pragma once
// Status codes: signed 32-bit values with the HRESULT layout. Negative means
// failure, so warning-severity codes are failures too. No Windows header here:
// this file also builds natively for the sanitizer tests.
#include <cstdint>

namespace zor {

using StatusCode = std::int32_t;

constexpr StatusCode CodeFromBits(std::uint32_t bits) { return static_cast<StatusCode>(bits); }
constexpr bool IsFailure(StatusCode code) { return code < 0; }
constexpr std::uint32_t SeverityOf(StatusCode code) { return static_cast<std::uint32_t>(code) >> 30; }

namespace status {
// Each code has one name here. A second name, where a caller means the code
// in a sense of its own, is an alias that refers to the first.
inline constexpr StatusCode Success = 0;
inline constexpr StatusCode OutOfMemory = CodeFromBits(0xE0010001);
inline constexpr StatusCode InvalidArgument = CodeFromBits(0xE0010002);
inline constexpr StatusCode WaitAbandoned = CodeFromBits(0x60010003);
inline constexpr StatusCode WaitTimedOut = CodeFromBits(0xA0010004);
inline constexpr StatusCode ChildStillActive = CodeFromBits(0xA001000A);
// End of a listing: a success.
inline constexpr StatusCode ListingEnd = CodeFromBits(0x6001000E);
// The listing has no current entry any more.
inline constexpr StatusCode NoCurrentEntry = CodeFromBits(0xE001000E);
inline constexpr StatusCode KeyNotFound = CodeFromBits(0xE0010013);
inline constexpr StatusCode ValueWrongType = CodeFromBits(0xE0010014);
// A service sat in STOP_PENDING past its wait hint and the grace without
// advancing its check point.
inline constexpr StatusCode ServiceStopTimeout = CodeFromBits(0xE0010031);
// A service handle could not be opened again with more rights; the severity
// bits are the underlying failure's.
inline constexpr StatusCode ServiceReopenFailed = CodeFromBits(0xE0010033);
inline constexpr StatusCode ViewNeedsMachineOrUsersRoot = CodeFromBits(0xE0010039);
inline constexpr StatusCode ViewNeeds64BitWindows = CodeFromBits(0xE001003A);

// The codes that the conversion of Win32 errors gives (see StatusFromWin32Error).
inline constexpr StatusCode FileNotFound = CodeFromBits(0xE001003D);
inline constexpr StatusCode PathNotFound = CodeFromBits(0xE001003E);
inline constexpr StatusCode InvalidHandle = CodeFromBits(0xE001003F);
inline constexpr StatusCode InsufficientBuffer = CodeFromBits(0xE0010044);
inline constexpr StatusCode InvalidData = CodeFromBits(0xE0010045);
inline constexpr StatusCode BadLength = CodeFromBits(0xE0010049);
inline constexpr StatusCode ObjectAlreadyExists = CodeFromBits(0xE001004F);
inline constexpr StatusCode NotSupported = CodeFromBits(0xE0010054);
inline constexpr StatusCode InvalidOperation = CodeFromBits(0xE0010055);
inline constexpr StatusCode AccessDenied = CodeFromBits(0xE0010058);
// The same codes in the senses the callers give them.
// A folder where a file was asked for; also: nothing matches at the start of
// a listing (the conversion of STATUS_OBJECT_NAME_NOT_FOUND).
inline constexpr StatusCode FolderWhereFileExpected = FileNotFound;
// Not a folder where a folder was asked for; also: no drive maps a device
// path (the conversion of STATUS_OBJECT_PATH_NOT_FOUND).
inline constexpr StatusCode NotAFolder = PathNotFound;
inline constexpr StatusCode RootHandleInvalid = InvalidHandle;
inline constexpr StatusCode BufferTooSmall = InsufficientBuffer;
inline constexpr StatusCode TextTooLong = BadLength;
inline constexpr StatusCode ValueTooLong = BadLength;
// The listing path names a DOS device such as CON.
inline constexpr StatusCode DosDeviceName = NotSupported;
inline constexpr StatusCode ViewChangeRefused = NotSupported;
// A resource of the program's own file that Windows found but would not lock.
inline constexpr StatusCode ResourceNotLocked = InvalidData;

inline constexpr StatusCode RestartRefused = CodeFromBits(0xE0010066);
inline constexpr StatusCode OwnFolderSupplied = CodeFromBits(0x60018E1C);
inline constexpr StatusCode FolderKindUnknown = CodeFromBits(0xE0018E15);
inline constexpr StatusCode FolderKindUndetermined = CodeFromBits(0xE0018E16);
inline constexpr StatusCode GenericFailure = CodeFromBits(0x80004005);
// Win32 errors without a code of the program's own.
inline constexpr StatusCode BadPathname = CodeFromBits(0xC00700A1);
inline constexpr StatusCode NoMoreSubKeys = CodeFromBits(0x80070103);
inline constexpr StatusCode KeyMarkedForDeletion = CodeFromBits(0xC00703FA);
inline constexpr StatusCode ServiceDoesNotExist = CodeFromBits(0xC0070424);
// A stop control refused because Windows is shutting down.
inline constexpr StatusCode ShutdownInProgress = CodeFromBits(0xC007045B);
// A link was found where the operation would have had to go through it
// (ERROR_REPARSE_POINT_ENCOUNTERED, severity error): nothing was done
// through it.
inline constexpr StatusCode LinkNotFollowed = CodeFromBits(0xC007112B);
// A command line that cannot be read as the administrator meant it.
inline constexpr StatusCode UnbalancedQuotes = CodeFromBits(0xE0010101);
// Another main run holds the machine-wide run lock.
inline constexpr StatusCode AnotherRunActive = CodeFromBits(0xE0010102);
// A separate copy may not start a copy of its own.
inline constexpr StatusCode CopyOfACopy = CodeFromBits(0xE0010103);
// A watchdog answered its stop request with anything but the permission.
inline constexpr StatusCode WatchdogRefusedStop = CodeFromBits(0xE0010104);
// The separate copy ended with an error status of Windows' own (it died or
// never started) instead of a step number.
inline constexpr StatusCode CopyEndedAbnormally = CodeFromBits(0xE0010105);
}  // namespace status

// Win32 error numbers that the conversions need; the portable code cannot
// include winerror.h.
namespace win32 {
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorAlreadyExists = 183;
inline constexpr std::uint32_t ErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t ErrorServiceMarkedForDelete = 1072;
inline constexpr std::uint32_t ErrorShutdownInProgress = 1115;
}  // namespace win32

inline constexpr std::int32_t NtStatusBufferOverflow = CodeFromBits(0x80000005);

// severity << 30 | 0x20010000 | mapped code for the errors the program knows,
// severity << 30 | 0x00070000 | low word otherwise.
StatusCode StatusFromWin32Error(std::uint32_t severity, std::uint32_t error);

// 0 stays 0; anything else is an error-severity code.
StatusCode StatusFromLastError(std::uint32_t error);

// The NTSTATUS conversion without the system call: the caller supplies the
// NTSTATUS-to-Win32 translation (RtlNtStatusToDosError on Windows).
using DosErrorFromNtStatus = std::uint32_t (*)(std::int32_t ntStatus);
StatusCode StatusFromNtStatusWith(std::int32_t ntStatus, DosErrorFromNtStatus toDosError);

}  // namespace zor
