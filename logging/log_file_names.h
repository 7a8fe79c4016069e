#pragma once
// Names of the files a rolling appender keeps beside its log file. No
// Windows header.
#include <cstdint>
#include <string>
#include <string_view>

#include "logging/log_time.h"

namespace zor {

// A drive ("C:") or a UNC or device root ("\\"): used as written, never
// joined to the log folder.
bool HasRootedPath(std::wstring_view path);

// "C:\Logs\app.log" and 2 give "C:\Logs\app.log.2".
std::wstring NumberedFileName(std::wstring_view path, std::uint32_t number);

// "C:\Logs\app.log" for 6 May 2024 gives "C:\Logs\app.2024-05-06.log"; a
// name without extension just gets the dot and the date. A `number` above
// 0 follows the date ("app.2024-05-06-2.log"): the names a roll takes when
// a file of that day's name is there already.
std::wstring DatedFileName(std::wstring_view path, const TimeParts& date, std::uint32_t number = 0);

// The listing mask for the dated files of a log: "app.*-*-*.log".
std::wstring DatedFileMask(std::wstring_view path);

// Whether `name` (a bare file name) is a dated file of the log `path`, that
// is its name with a real date in place of the mask's stars, the date
// followed by "-" and a number or not.
bool IsDatedFileName(std::wstring_view path, std::wstring_view name);

// The folder part of a path, without its last separator; empty when none.
std::wstring_view FolderOfPath(std::wstring_view path);

}  // namespace zor
