#pragma once
// A stream buffer over a file descriptor that remembers why a write failed,
// so morvane-sim can say why its output was lost.
#include <streambuf>
#include <string>
#include <vector>

namespace morvane {

class FdOutput : public std::streambuf {
public:
    explicit FdOutput(int fd, std::size_t bufferBytes = std::size_t{1} << 16);
    ~FdOutput() override;
    FdOutput(const FdOutput&) = delete;
    FdOutput& operator=(const FdOutput&) = delete;

    // The errno of the first failed write, or 0.
    int Error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool WriteOut(const char* p, std::size_t n);
    bool Drain();

    int fd_;
    std::vector<char> buffer_;
    int error_ = 0;
};

// Why writing to `out` failed, when its buffer can tell ("" otherwise).
std::string OutputFailureReason(const std::ostream& out);

}  // namespace morvane
