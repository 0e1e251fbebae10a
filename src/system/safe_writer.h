#pragma once
// Writing a file so that a failure never costs the old one.
#include <cstddef>
#include <functional>
#include <string>

#include "system/file_error.h"

namespace morvane {

// Bytes are handed over in a few large chunks.
using ByteSink = std::function<void(const char* data, std::size_t size)>;
// Hands the file's bytes to the sink it is given.
using FileEncoder = std::function<void(const ByteSink&)>;

// Writes a regular file (a new one, or the one a symbolic link leads to, the
// link staying) under a temporary name beside it and renames it into place
// only after every byte is written; the copy keeps the old file's permission
// bits and, where allowed, its owner. On failure, or when the program is
// ended by SIGINT, SIGTERM or SIGHUP meanwhile, the old file stays whole and
// the temporary file is removed. A file the user may not write is refused,
// not replaced. Other hard links to the old file keep the old contents. A
// target that exists and is no regular file (a device, a FIFO, a terminal)
// is written into directly, and so is a regular file that is the program's
// own standard output (through descriptor 1, so what is printed after
// follows it); a FIFO nobody reads is refused at once.
// Throws FileError whose message names the path and the cause.
void SaveFileSafely(const std::string& path, const FileEncoder& encode);

}  // namespace morvane
