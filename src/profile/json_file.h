// Reading and writing the program's JSON data files.
#pragma once

#include <json/value.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace morva {

// Files larger than this are treated as unreadable rather than loaded whole.
inline constexpr std::size_t kMaxJsonFileBytes = 64u * 1024u * 1024u;

// Whole file as bytes; empty when it cannot be opened, is over the cap or reads short.
std::string ReadFileText(const std::string& path);

// Parsed text (comments allowed); a null value for empty or unparsable text.
Json::Value ParseJsonText(const std::string& text);

// Parsed file (comments allowed); a null value for a missing, empty, oversized or
// unparsable file.
Json::Value ReadJsonFile(const std::string& path);

// The classic styled layout (three-space indent, `"key" : value`) with CR LF line ends and
// one extra line break at the end: the layout stored profile files have, byte for byte.
std::string StyledJsonText(const Json::Value& value);

// Atomic replace: writes a temporary file beside `path`, flushes it and renames it over the
// old one. Returns 0 on success, -1 on failure; on failure the old file is left whole.
int WriteJsonFile(const std::string& path, const Json::Value& value);
// The same atomic replace with the bytes as given.
int WriteFileText(const std::string& path, const std::string& bytes);
// Why the last write on this thread that failed did ("PATH: No space left on device"), and
// forgets it; empty when none failed since the last call.
std::string TakeLastWriteError();
// Removes the temporary files those writes leave when they are killed ("NAME.tmp.XXXXXX")
// from `folder` and the folders in it (not deeper). Only where no write can be running: the
// caller holds off every writer of the folder. Returns how many went.
int RemoveLeftoverTempFiles(const std::string& folder);

// "%d_%02d_%02d_%02d_%02d_%02d_%03d" from the local time.
std::string FormatTimeStampId(std::chrono::system_clock::time_point when);

// A fresh identifier: never one this process issued before, and never the stem of a file
// already in `folder` (when given). Taken from the next free millisecond when needed.
std::string NewTimeStampId(const std::string& folder = {});
std::string NewTimeStampId(const std::string& folder, std::chrono::system_clock::time_point now);

// True for a bare file name stem: not empty, not ".", no "..", no folder separator ('/' or
// '\\') and no NUL or other control character.
bool IsPlainName(std::string_view name);

// The one way a name taken from a data file or a caller becomes a path: folder + name +
// extension. Empty (refused) when the folder is empty or the name is not a plain name, so
// no such name can reach outside the folder.
std::string FileInFolder(const std::string& folder, std::string_view name,
                         std::string_view extension);

}  // namespace morva
