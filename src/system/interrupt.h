#pragma once
// Ctrl+C during long work: while a watch is held, SIGINT only marks the
// work as interrupted, so it can stop at its next check and leave nothing
// half-done; a second one ends the program at once. A save in progress
// still removes its temporary file first.
namespace morvane {

class InterruptWatch {
public:
    // Clears the mark. A SIGINT the user chose to ignore stays ignored.
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // From any thread.
    static bool Requested();
};

}  // namespace morvane
