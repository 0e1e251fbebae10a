#pragma once
// A saved run read from its file in pieces, never held: opening reads the
// file once to build the run's index (its tallies and block summaries), and
// a record is read again from the file when asked. The file stays open and
// nothing is mapped, so a file cut short or written over after it was
// opened fails the read with a FileError that says so, never a fault.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "run/run_records.h"
#include "simfile/simfile.h"

namespace morvane {

class SimFileRecords final : public RunRecords {
public:
    // Opens `path` and indexes it, handing every piece of records to
    // `observe` as well (any check of its own, in the same pass). Null when
    // the path is no regular file, which cannot be read again: the caller
    // reads such a stream whole. Unless Result() is Ok nothing is indexed.
    // Throws FileError when the file cannot be opened or read.
    static std::unique_ptr<SimFileRecords> Open(const std::string& path, const Piece& observe = {},
                                                std::size_t blockGames = kDefaultBlockGames);
    ~SimFileRecords() override;
    SimFileRecords(const SimFileRecords&) = delete;
    SimFileRecords& operator=(const SimFileRecords&) = delete;

    // As LoadSimFile tells it; TooLarge for more records than a run's game
    // numbers can count.
    const SimReadResult& Result() const { return result_; }

private:
    SimFileRecords(int fd, std::string shownPath, std::size_t blockGames);
    void Pieces(std::size_t a, std::size_t b, const Piece& piece) const override;
    // Records [a, b) decoded into out, after checking the file is as opened.
    void ReadRecords(std::size_t a, std::size_t b, GameRecord* out) const;
    [[noreturn]] void Changed() const;

    int fd_;
    std::string shown_;  // the path made printable
    SimReadResult result_;
    // The file as it was opened: a change of either means its records are
    // no longer the ones indexed.
    std::uint64_t bytes_ = 0;
    std::int64_t modifiedSeconds_ = 0, modifiedNanoseconds_ = 0;
};

}  // namespace morvane
