#pragma once
// Reading any path a user names without ever waiting on the open: a FIFO
// with no writer reads as empty, and anything that is not a regular file
// (a FIFO, /dev/stdin, a character device) is read as a stream.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace morvane {

struct PiecesOpened {
    // The file's size when it is a regular file, otherwise 0.
    std::uint64_t regularSize = 0;
};

// Opens `path`, tells `opened` what it found, then hands its bytes to
// `piece` in pieces of at most `pieceBytes` until the end or until `piece`
// returns false. Throws FileError "<path>: cannot open: <cause>" or
// "<path>: read failed: <cause>" (a folder fails on the first read).
void ReadInPieces(const std::string& path, std::size_t pieceBytes,
                  const std::function<void(const PiecesOpened&)>& opened,
                  const std::function<bool(std::string_view)>& piece);

}  // namespace morvane
