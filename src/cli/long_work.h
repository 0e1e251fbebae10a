#pragma once
// What a long command holds while it works: the progress line on stderr
// (drawn only when stderr is a terminal) and the watch for Ctrl+C, which
// stops the work at its next slice with exit 130.
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <iosfwd>

#include "app/session.h"
#include "system/interrupt.h"
#include "system/progress_line.h"

namespace morvane {

class LongWork {
public:
    // `total` counts `unit`s: "games", "sessions".
    LongWork(const char* unit, std::int64_t total);

    bool Interrupted() const { return InterruptWatch::Requested(); }
    void Progress(std::int64_t done) { line_.Update(done); }
    // Before anything else is written to the terminal.
    void Clear() { line_.Clear(); }

    // A run's hooks: its slices move the line, `before` games of the total
    // already done, and Ctrl+C stops it.
    RunHooks Hooks(std::int64_t before = 0);

    // Work on other threads: waits for it while this thread draws `done()`
    // and passes Ctrl+C on through `stop()`. True when it ran to its end
    // uninterrupted; the line is then cleared.
    bool Follow(std::future<bool>& work, const std::function<std::int64_t()>& done, const std::function<void()>& stop);

    // Runs `save`, a safe write of the work's file. False when Ctrl+C took
    // its temporary file away: then return Stopped(). Other failures are
    // thrown on.
    bool Saved(const std::function<void()>& save);

    // Clears the line, says the work was interrupted; the exit code, 130.
    int Stopped(std::ostream& err);

private:
    InterruptWatch watch_;
    ProgressLine line_;
};

// `body` on its own thread while this one draws the progress of its
// `done` and passes Ctrl+C on through its `stop`; `body` returns false
// when stopped. False when Ctrl+C stopped it, which is then said on `err`.
bool FollowWork(const char* unit, std::int64_t total, std::ostream& err,
                const std::function<bool(const std::atomic<bool>& stop, std::atomic<std::int64_t>& done)>& body);

}  // namespace morvane
