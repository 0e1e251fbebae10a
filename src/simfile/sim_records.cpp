#include "simfile/sim_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "system/file_error.h"
#include "system/printable.h"

namespace morvane {
namespace {

// Records read at a time: 128 KiB.
constexpr std::size_t kPieceRecords = 4096;

}  // namespace

std::unique_ptr<SimFileRecords> SimFileRecords::Open(const std::string& path, const Piece& observe,
                                                     std::size_t blockGames) {
    const std::string shown = Printable(path);
    // Opening a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        throw FileError(FileStep::Open, shown, shown + ": cannot open: " + std::strerror(err), err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<SimFileRecords> r(new SimFileRecords(fd, shown, blockGames));
    r->bytes_ = static_cast<std::uint64_t>(st.st_size);
    r->modifiedSeconds_ = st.st_mtim.tv_sec;
    r->modifiedNanoseconds_ = st.st_mtim.tv_nsec;

    char header[kSimHeaderBytes] = {};
    const std::size_t headerBytes = std::min<std::uint64_t>(r->bytes_, kSimHeaderBytes);
    std::size_t got = 0;
    while (got < headerBytes) {
        const ssize_t n = ::pread(fd, header + got, headerBytes - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            throw FileError(FileStep::Read, shown, shown + ": read failed: " + std::strerror(err), err);
        }
        if (n == 0) r->Changed();
        got += static_cast<std::size_t>(n);
    }
    // The header judged as a whole read judges it; no record is fed.
    PlayHistory none;
    SimDecoder decoder(none);
    decoder.Feed({header, headerBytes});
    SimReadResult& result = r->result_;
    result = decoder.Finish();
    if (result.status != SimStatus::Ok) return r;
    const std::uint64_t records = SimRecordsIn(r->bytes_);
    result.droppedBytes = r->bytes_ - SimFileBytes(records);
    // A run's games are numbered in 32 bits.
    if (records > static_cast<std::uint64_t>(INT32_MAX)) {
        result.status = SimStatus::TooLarge;
        return r;
    }

    // Numbered here, as a history in memory is: a file's own game numbers
    // need not go up by one.
    RunIndex& index = r->index_;
    index.Reserve((records + blockGames - 1) / blockGames);
    std::vector<GameRecord> piece(std::min<std::uint64_t>(records, kPieceRecords));
    for (std::size_t first = 0; first < records; first += blockGames) {
        const std::size_t end = std::min<std::size_t>(first + blockGames, records);
        RunIndex::Scan scan = index.Open(static_cast<std::int32_t>(first + 1));
        std::int32_t lastBalance = 0;
        for (std::size_t at = first; at < end;) {
            const std::size_t n = std::min(piece.size(), end - at);
            r->ReadRecords(at, at + n, piece.data());
            if (observe) observe(at, {piece.data(), n});
            for (std::size_t i = 0; i < n; ++i) {
                GameRecord g = piece[i];
                g.playCount = static_cast<std::int32_t>(at + i + 1);
                scan(g);
            }
            lastBalance = piece[n - 1].medalBalance;
            at += n;
        }
        index.Close(scan, static_cast<std::int32_t>(end), lastBalance);
    }
    return r;
}

SimFileRecords::SimFileRecords(int fd, std::string shownPath, std::size_t blockGames)
    : RunRecords(blockGames), fd_(fd), shown_(std::move(shownPath)) {}

SimFileRecords::~SimFileRecords() { ::close(fd_); }

void SimFileRecords::Changed() const {
    throw FileError(FileStep::Read, shown_,
                    shown_ + ": the file was changed or cut short after it was opened; open it again");
}

void SimFileRecords::ReadRecords(std::size_t a, std::size_t b, GameRecord* out) const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != bytes_ ||
        st.st_mtim.tv_sec != modifiedSeconds_ || st.st_mtim.tv_nsec != modifiedNanoseconds_)
        Changed();
    const std::size_t want = (b - a) * kSimRecordBytes;
    const auto offset = static_cast<off_t>(SimFileBytes(a));
    char* bytes = reinterpret_cast<char*>(out);
    std::vector<char> portable;
    if constexpr (std::endian::native != std::endian::little) {
        portable.resize(want);
        bytes = portable.data();
    }
    for (std::size_t got = 0; got < want;) {
        const ssize_t n = ::pread(fd_, bytes + got, want - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            throw FileError(FileStep::Read, shown_, shown_ + ": read failed: " + std::strerror(err), err);
        }
        if (n == 0) Changed();
        got += static_cast<std::size_t>(n);
    }
    if constexpr (std::endian::native != std::endian::little) DecodeRecordsPortable(bytes, b - a, out);
}

void SimFileRecords::Pieces(std::size_t a, std::size_t b, const Piece& piece) const {
    std::vector<GameRecord> buffer(std::min(b - a, kPieceRecords));
    for (std::size_t at = a; at < b;) {
        const std::size_t n = std::min(buffer.size(), b - at);
        ReadRecords(at, at + n, buffer.data());
        if (!piece(at, {buffer.data(), n})) return;
        at += n;
    }
}

}  // namespace morvane
