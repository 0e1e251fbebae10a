#pragma once
// A file that could not be opened, read or written: the message names the
// path (made printable) and the cause.
#include <stdexcept>
#include <string>

namespace morvane {

class FileError : public std::runtime_error {
public:
    // code: the system's error number behind the failure, 0 when none.
    explicit FileError(const std::string& message, int code = 0, bool temporaryFile = false)
        : std::runtime_error(message), code_(code), temporaryFile_(temporaryFile) {}
    int Code() const { return code_; }
    // The file that failed is the temporary one a save writes beside its
    // target, not the target: the cause's number alone would mislead.
    bool TemporaryFile() const { return temporaryFile_; }

private:
    int code_;
    bool temporaryFile_;
};

}  // namespace morvane
