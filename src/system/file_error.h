#pragma once
// A file that could not be opened, read or written: the message names the
// path (made printable) and the cause; the step and the path let a window
// say it in its own words.
#include <stdexcept>
#include <string>
#include <utility>

namespace morvane {

// What a file command was doing when it failed.
enum class FileStep {
    Unknown,
    NoName,             // no file name given
    Open,               // opening a file to read
    Read,               // reading it
    Create,             // making a new file (its folder is missing)
    Write,              // opening the file or device to write
    WriteFailed,        // writing its bytes
    FollowLink,         // following a symbolic link to its file
    Replace,            // renaming the finished copy into place
    FolderNotWritable,  // the folder takes no new file
    TemporaryFile,      // making the copy beside the file
    NoReader,           // a FIFO nobody reads
};

class FileError : public std::runtime_error {
public:
    // code: the system's error number behind the failure, 0 when none.
    explicit FileError(const std::string& message, int code = 0) : std::runtime_error(message), code_(code) {}
    // path: the file as the user named it (printable); folder: the folder
    // concerned, where the step is about one.
    FileError(FileStep step, std::string path, const std::string& message, int code = 0, std::string folder = {})
        : std::runtime_error(message), code_(code), step_(step), path_(std::move(path)), folder_(std::move(folder)) {}
    int Code() const { return code_; }
    FileStep Step() const { return step_; }
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }
    // The file that failed is the temporary one a save writes beside its
    // target, not the target: the cause's number alone would mislead.
    bool TemporaryFile() const { return step_ == FileStep::TemporaryFile; }

private:
    int code_;
    FileStep step_ = FileStep::Unknown;
    std::string path_;
    std::string folder_;
};

}  // namespace morvane
