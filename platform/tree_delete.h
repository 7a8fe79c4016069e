#pragma once
// Deleting folder trees and the files of one folder that match a mask.
//
// Neither ever lists or deletes through a link: every folder is opened
// relative to its parent's open handle with FILE_OPEN_REPARSE_POINT, and
// what was opened is checked before it is listed, by its own attributes
// and by how its parent lists it (a system that follows a link even when
// asked not to, such as Wine with Unix symbolic links, shows the target on
// the handle; only the parent's listing still shows the link). A link is
// removed as the link itself, or left alone where the system cannot open it
// as itself; its target is never touched.
#include <cstdint>
#include <functional>
#include <string_view>

#include "foundation/status_codes.h"

namespace zor {

// What a tree delete leaves behind of what it meant to remove: a file that
// could not be deleted, or a link (to a file or a folder) that could not be
// removed as itself, with its path below the tree's top and the reason. A
// folder that stays because something stays in it is not named again.
using LeftInTree = std::function<void(std::wstring_view path, bool folder, StatusCode why)>;

// Without `recursive`, DeleteFolder. With it, every entry of the folder is
// removed, depth first in the order the file system lists them: files with
// a delete disposition, their read-only attribute cleared first, links as
// links, folders with their content. The removal of a child does not stop
// the walk; what stays of the files and links is handed to `leftInTree`
// when it is given. The result is the failure to list the folder (which is
// then left in place), or the result of deleting the folder itself, which
// fails while a child survives. A path that is itself a link is removed as
// DeleteFolder removes a link; a path whose parent's listing cannot be read
// is not walked, and that failure is returned.
StatusCode DeleteTree(std::wstring_view path, bool recursive, const LeftInTree& leftInTree = {});

// Deletes the files of `folder` that match `mask` (not folders; a link to a
// file as the link itself), a read-only attribute cleared first, until the
// first deletion that fails, whose failure is returned: 0xC007112B for a
// link that the system opens as its target. `deleted` receives the number
// of files deleted in both cases; it is left as it was when the folder
// cannot be listed. A folder that is a link gives 0xC007112B and nothing is
// deleted.
StatusCode DeleteAllMatching(std::wstring_view folder, std::wstring_view mask, std::uint32_t& deleted);

}  // namespace zor
