#include "cli/fd_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace morvane {

FdOutput::FdOutput(int fd, std::size_t bufferBytes) : fd_(fd), buffer_(bufferBytes) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdOutput::~FdOutput() { Drain(); }

bool FdOutput::WriteOut(const char* p, std::size_t n) {
    if (error_) return false;
    while (n > 0) {
        const ssize_t w = ::write(fd_, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        if (w == 0) {
            error_ = EIO;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool FdOutput::Drain() {
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return WriteOut(buffer_.data(), n);
}

FdOutput::int_type FdOutput::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize FdOutput::xsputn(const char* s, std::streamsize n) {
    const auto size = static_cast<std::size_t>(n);
    if (size <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), s, size);
        pbump(static_cast<int>(n));
        return n;
    }
    // Larger than the room left: out with what is held, then this directly.
    if (!Drain() || !WriteOut(s, size)) return 0;
    return n;
}

int FdOutput::sync() { return Drain() ? 0 : -1; }

std::string OutputFailureReason(const std::ostream& out) {
    const auto* fd = dynamic_cast<const FdOutput*>(out.rdbuf());
    return fd && fd->Error() ? std::strerror(fd->Error()) : std::string();
}

}  // namespace morvane
