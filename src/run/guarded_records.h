#pragma once
// A run's records for a reader that cannot take an exception, such as a
// window painting a list or a chart: a read that fails (a file changed on
// disk after it was opened) hands blank records instead, and `failed`
// hears its message once. The reader's owner then lets go of the run.
#include <functional>
#include <mutex>
#include <string>

#include "run/run_records.h"

namespace morvane {

class GuardedRecords final : public RunRecords {
public:
    // `records` must outlive this. `failed` may be called from any thread
    // that reads.
    GuardedRecords(const RunRecords& records, std::function<void(const std::string& message)> failed);

    // Whether a read has failed.
    bool Failed() const;

private:
    void Pieces(std::size_t a, std::size_t b, const Piece& piece) const override;

    const RunRecords& records_;
    std::function<void(const std::string&)> failed_;
    mutable std::mutex mutex_;
    mutable bool hasFailed_ = false;
};

}  // namespace morvane
