#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace meterstation {

// The directory list's paths, as the system names them (UTF-16). They
// cross into the station's Latin-1 texts only once a directory is open.

// How much of a full path is its root: 3 for "C:\", up to the backslash
// after the share for "\\server\share\"; 0 when the path has no root.
std::size_t rootLength(std::wstring_view path);

// The full form of a directory's path: backslashes, the drive letter in
// capitals, no trailing backslash except at a root. Empty when the system
// cannot make one (its reason is the thread's last error).
std::wstring fullDirectoryPath(std::wstring_view path);

// The process's directory in that form; empty when it cannot be read.
std::wstring currentDirectory();

// The directories from the root down to the path itself, which is full.
std::vector<std::wstring> directoryChain(const std::wstring& path);

// What the list shows for a directory: a root as it stands, any other by
// its own name.
std::wstring directoryCaption(const std::wstring& path);

// The directory's subdirectories, sorted as the operator reads them (case
// aside, then by case), hidden ones left out. The whole listing is read
// before any name is given, so a failure midway gives none; it carries the
// system's reason.
Result listSubdirectories(const std::wstring& path, std::vector<std::wstring>& names);

}  // namespace meterstation
