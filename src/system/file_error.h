#pragma once
// A file that could not be opened, read or written: the message names the
// path (made printable) and the cause.
#include <stdexcept>
#include <string>

namespace morvane {

class FileError : public std::runtime_error {
public:
    // code: the system's error number behind the failure, 0 when none.
    explicit FileError(const std::string& message, int code = 0) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

}  // namespace morvane
