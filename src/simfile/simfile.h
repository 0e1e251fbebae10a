#pragma once
// The *.sim format: a 12-byte header (mark 10, setting, games) and one
// 32-byte record per game, every value a little-endian int32.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "run/history.h"

namespace morvane {

inline constexpr std::int32_t kSimMark = 10;
inline constexpr std::size_t kSimHeaderBytes = 12;
inline constexpr std::size_t kSimRecordBytes = 32;

struct SimHeader {
    std::int32_t setting = 0;
    std::int32_t games = 0;
    friend bool operator==(const SimHeader&, const SimHeader&) = default;
};

inline std::uint64_t SimFileBytes(std::uint64_t games) { return kSimHeaderBytes + kSimRecordBytes * games; }

// Writing. The header values come from the caller (the machine's setting and
// game counter); the records from the history. Bytes are handed to `sink` in
// a few large chunks.
using ByteSink = std::function<void(const char* data, std::size_t size)>;
void EncodeSim(const SimHeader& header, const PlayHistory& history, const ByteSink& sink);

// The byte-by-byte conversion a big-endian host uses; a little-endian host
// copies records as they are. Public so both paths are tested everywhere.
void EncodeRecordsPortable(std::span<const GameRecord> records, const ByteSink& sink);
void DecodeRecordsPortable(const char* bytes, std::size_t records, GameRecord* out);

// What a file command was doing when it failed, so a window can say it in
// its own words.
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

class SimFileError : public std::runtime_error {
public:
    // code: the system's error number behind the failure, 0 when none.
    explicit SimFileError(const std::string& message, int code = 0) : std::runtime_error(message), code_(code) {}
    // path: the file as the user named it (printable); folder: the folder
    // concerned, where the step is about one.
    SimFileError(FileStep step, std::string path, const std::string& message, int code = 0, std::string folder = {})
        : std::runtime_error(message), code_(code), step_(step), path_(std::move(path)), folder_(std::move(folder)) {}
    int Code() const { return code_; }
    FileStep Step() const { return step_; }
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return folder_; }

private:
    int code_;
    FileStep step_ = FileStep::Unknown;
    std::string path_;
    std::string folder_;
};

// Writes a regular file (a new one, or the one a symbolic link leads to, the
// link staying) under a temporary name beside it and renames it into place
// only after every byte is written; the copy keeps the old file's permission
// bits and, where allowed, its owner. On failure, or when the program is
// ended by SIGINT, SIGTERM or SIGHUP meanwhile, the old file stays whole and
// the temporary file is removed. A file the user may not write is refused,
// not replaced. Other hard links to the old file keep the old contents. A
// target that exists and is no regular file (a device, a FIFO, a terminal)
// is written into directly; a FIFO nobody reads is refused at once.
// Throws SimFileError whose message names the path and the cause.
void SaveSimFile(const std::string& path, const SimHeader& header, const PlayHistory& history);

// The same careful replacement for any other file: `encode` hands the
// file's bytes to the sink it is given.
using FileEncoder = std::function<void(const ByteSink&)>;
void SaveFileSafely(const std::string& path, const FileEncoder& encode);

// Reading.
enum class SimStatus {
    Ok,             // a simulation file; the history holds its whole records
    NotSimulation,  // fewer than 4 bytes, or the first value is not 10
    ShortHeader,    // mark 10, but the file ends inside the header: no records
    TooLarge,       // mark 10, but its history would not fit in memory
};

struct SimReadResult {
    SimStatus status = SimStatus::NotSimulation;
    SimHeader header;                 // missing header fields read as 0
    std::uint64_t droppedBytes = 0;   // of an incomplete last record
};

// Incremental reader: feed the file's bytes in chunks of any size. The
// history is emptied only once the mark has been seen, so feeding a file
// that is not a simulation file leaves it as it was.
class SimDecoder {
public:
    // recordsHint reserves storage when the file size is known; a hint whose
    // history exceeds what availableBytes (0: no limit) leaves for it refuses
    // the file before the history is touched. Records beyond the hint (a
    // stream, a growing file) are refused once they would not fit either;
    // the history is then emptied.
    explicit SimDecoder(PlayHistory& out, std::uint64_t recordsHint = 0, std::uint64_t availableBytes = 0);
    // Returns false once the bytes are known not to be a simulation file.
    bool Feed(std::span<const char> bytes);
    SimReadResult Finish() const;

private:
    void TakeHeaderByte(char c);
    bool TakeRecords(const char* p, std::size_t records);

    PlayHistory& out_;
    std::uint64_t recordsHint_;
    std::uint64_t availableBytes_;
    std::uint64_t recordLimit_ = UINT64_MAX;  // records the history may hold
    bool tooLarge_ = false;
    char header_[kSimHeaderBytes] = {};
    std::size_t headerBytes_ = 0;
    char partial_[kSimRecordBytes] = {};
    std::size_t partialBytes_ = 0;
    bool rejected_ = false;
};

// Number of whole records a file of `bytes` bytes holds.
inline std::uint64_t SimRecordsIn(std::uint64_t bytes) {
    return bytes < kSimHeaderBytes ? 0 : (bytes - kSimHeaderBytes) / kSimRecordBytes;
}

// Reads a whole file. Throws SimFileError when it cannot be opened or read.
// The history is replaced only when the file is a simulation file. Opening
// never waits: anything that is not a regular file is read as a stream, and
// a FIFO without a writer reads as empty. availableBytes defaults to
// AvailableMemoryBytes().
SimReadResult LoadSimFile(const std::string& path, PlayHistory& out,
                          std::optional<std::uint64_t> availableBytes = std::nullopt);

}  // namespace morvane
