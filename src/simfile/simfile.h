#pragma once
// The *.sim format: a 12-byte header (mark 10, setting, games) and one
// 32-byte record per game, every value a little-endian int32.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "run/history.h"
#include "system/safe_writer.h"

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
void EncodeSim(const SimHeader& header, const PlayHistory& history, const ByteSink& sink);
// The same in parts, for a file written as its run is played: the header,
// then the records in pieces of any length, in order.
void EncodeSimHeader(const SimHeader& header, const ByteSink& sink);
void EncodeSimRecords(std::span<const GameRecord> records, const ByteSink& sink);

// The byte-by-byte conversion a big-endian host uses; a little-endian host
// copies records as they are. Public so both paths are tested everywhere.
void EncodeRecordsPortable(std::span<const GameRecord> records, const ByteSink& sink);
void DecodeRecordsPortable(const char* bytes, std::size_t records, GameRecord* out);

// Saves through SaveFileSafely: the old file survives any failure.
void SaveSimFile(const std::string& path, const SimHeader& header, const PlayHistory& history);

// Reading.
enum class SimStatus {
    Ok,             // a simulation file; the history holds its whole records
    NotSimulation,  // fewer than 4 bytes, or the first value is not 10
    ShortHeader,    // mark 10, but the file ends inside the header: no records
    TooLarge,       // mark 10, but its history would not fit in memory
};

struct SimReadResult {
    SimStatus status = SimStatus::NotSimulation;
    SimHeader header;                // missing header fields read as 0
    std::uint64_t droppedBytes = 0;  // of an incomplete last record
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

// Reads a whole file. Throws FileError when it cannot be opened or read.
// The history is replaced only when the file is a simulation file. Opening
// never waits: anything that is not a regular file is read as a stream, and
// a FIFO without a writer reads as empty. availableBytes defaults to
// AvailableMemoryBytes().
SimReadResult LoadSimFile(const std::string& path, PlayHistory& out,
                          std::optional<std::uint64_t> availableBytes = std::nullopt);

// Reads a whole file in pieces without keeping its records: `records` is
// handed each piece of whole records in order with the index of its first,
// and may return false to stop reading. The result is LoadSimFile's, but
// never TooLarge, and droppedBytes counts the bytes of an incomplete last
// record. Throws FileError as LoadSimFile does.
using SimRecordPiece = std::function<bool(std::uint64_t first, std::span<const GameRecord> records)>;
SimReadResult ReadSimFileInPieces(const std::string& path, const SimRecordPiece& records);

}  // namespace morvane
