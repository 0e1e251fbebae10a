#include "run/guarded_records.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "system/file_error.h"

namespace morvane {

GuardedRecords::GuardedRecords(const RunRecords& records, std::function<void(const std::string&)> failed)
    : RunRecords(records.Index().BlockGames()), records_(records), failed_(std::move(failed)) {
    index_ = records.Index();
}

bool GuardedRecords::Failed() const {
    std::lock_guard lock(mutex_);
    return hasFailed_;
}

void GuardedRecords::Pieces(std::size_t a, std::size_t b, const Piece& piece) const {
    std::size_t next = a;
    if (!Failed()) {
        // The reader's own failures are its own: only the reading is guarded.
        std::exception_ptr own;
        bool cut = false;
        try {
            records_.ForEach(a, b, [&](std::size_t first, std::span<const GameRecord> p) {
                next = first + p.size();
                try {
                    return piece(first, p);
                } catch (...) {
                    own = std::current_exception();
                    return false;
                }
            });
        } catch (const FileError& e) {
            cut = true;
            bool first = false;
            {
                std::lock_guard lock(mutex_);
                first = !hasFailed_;
                hasFailed_ = true;
            }
            if (first && failed_) failed_(e.what());
        }
        if (own) std::rethrow_exception(own);
        if (!cut) return;
    }
    // What could not be read, blank.
    const std::vector<GameRecord> blank(std::min<std::size_t>(b - next, 4096), GameRecord{});
    for (std::size_t at = next; at < b;) {
        const std::size_t n = std::min(blank.size(), b - at);
        if (!piece(at, {blank.data(), n})) return;
        at += n;
    }
}

}  // namespace morvane
