#pragma once
// Status codes of the file system helpers beyond those converted from the
// system. No Windows header: the portable path helpers use them too.
#include "foundation/status_codes.h"

namespace zor::status {

// A folder where a file was asked for; also: nothing matches at the start of
// a listing (the conversion of STATUS_OBJECT_NAME_NOT_FOUND).
inline constexpr StatusCode FolderWhereFileExpected = CodeFromBits(0xE001003D);
// Not a folder where a folder was asked for; also: no drive maps a device
// path (the conversion of STATUS_OBJECT_PATH_NOT_FOUND).
inline constexpr StatusCode NotAFolder = CodeFromBits(0xE001003E);
// The listing path names a DOS device such as CON.
inline constexpr StatusCode DosDeviceName = CodeFromBits(0xE0010054);
// End of a listing: a success.
inline constexpr StatusCode ListingEnd = CodeFromBits(0x6001000E);
// The listing has no current entry any more.
inline constexpr StatusCode NoCurrentEntry = CodeFromBits(0xE001000E);
// A link was found where the operation would have had to go through it
// (ERROR_REPARSE_POINT_ENCOUNTERED, severity error): nothing was done
// through it.
inline constexpr StatusCode LinkNotFollowed = CodeFromBits(0xC007112B);

}  // namespace zor::status
