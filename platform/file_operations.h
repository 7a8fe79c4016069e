#pragma once
// Operations on one file or folder by its DOS or NT path, through the
// native interface. A symbolic link or mount point is acted on itself and
// never followed into its target (RenameFile excepted, see there). Results
// are status codes: 0 for success, the conversion of the system's NTSTATUS
// otherwise; nothing is logged here.
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// The FILE_ATTRIBUTE_* bits of the object itself (a link reports its own).
// `attributes` is left as it was on failure.
StatusCode QueryAttributes(std::wstring_view path, std::uint32_t& attributes);

// 0 for an existing non-folder; 0xE001003D for a folder; the open failure
// otherwise; 0xE0010002 without a path.
StatusCode FileExists(std::wstring_view path);
// 0 for an existing folder; 0xE001003E for a non-folder; the open failure
// otherwise; 0xE0010002 without a path.
StatusCode FolderExists(std::wstring_view path);

// What a delete does about a read-only file, which Windows refuses to
// delete, now and at its next start alike.
enum class ReadOnlyAttribute { Respect, Clear };

// Deletes a file at once: it disappears when its last handle closes. A file
// held open without delete sharing fails with the sharing violation. A link
// to a file goes as the link itself; one that its folder lists as a link
// but that the system opens as its target is not touched: 0xC007112B. When
// the folder's listing cannot be read, nothing is deleted and that failure
// is returned. With ReadOnlyAttribute::Clear the attribute is cleared
// first, and stays cleared when the delete then fails.
StatusCode DeleteFileNow(std::wstring_view path, ReadOnlyAttribute readOnly = ReadOnlyAttribute::Respect);

// Deletes one empty folder, or a link to a folder as the link itself. A
// folder that its parent lists as a link but that the system opens as its
// target is not touched: 0xC007112B; nor is one whose parent's listing
// cannot be read, which gives that failure.
StatusCode DeleteFolder(std::wstring_view path);

// Renames a file, onto an existing target unless `failIfExists`. A symbolic
// link is followed and its target renamed; a mount point is renamed itself.
// Across volumes the file is copied and the source deleted; the copy stays
// when the source cannot be deleted.
StatusCode RenameFile(std::wstring_view source, std::wstring_view target, bool failIfExists);

// Asks Windows to delete the file early in its next start. False on failure,
// with the thread's last-error value in `lastError`.
bool PlanDeleteAfterRestart(std::wstring_view path, std::uint32_t& lastError);

}  // namespace zor
