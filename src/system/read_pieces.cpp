#include "system/read_pieces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "system/file_error.h"
#include "system/printable.h"

namespace morvane {

void ReadInPieces(const std::string& path, std::size_t pieceBytes,
                  const std::function<void(const PiecesOpened&)>& opened,
                  const std::function<bool(std::string_view)>& piece) {
    // Opening a FIFO would otherwise wait for a writer; once it is open, a
    // FIFO without one reads as empty.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw FileError(FileStep::Open, Printable(path), Printable(path) + ": cannot open: " + std::strerror(err), err);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    PiecesOpened what;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) what.regularSize = static_cast<std::uint64_t>(st.st_size);
    if (opened) opened(what);
    std::vector<char> buf(pieceBytes);
    for (;;) {
        const ssize_t r = ::read(fd, buf.data(), buf.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            throw FileError(FileStep::Read, Printable(path), Printable(path) + ": read failed: " + std::strerror(err),
                            err);
        }
        if (r == 0 || !piece({buf.data(), static_cast<std::size_t>(r)})) return;
    }
}

}  // namespace morvane
