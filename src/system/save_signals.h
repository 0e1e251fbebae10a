#pragma once
// While a file is being saved: temporary files are removed when the program
// is ended by SIGINT, SIGTERM or SIGHUP, and a file-size limit or a vanished
// reader becomes a write error instead of a silent death.
namespace morvane {

// Held for the length of a save; saves may overlap (one per thread).
class SaveSignals {
public:
    SaveSignals();
    ~SaveSignals();
    SaveSignals(const SaveSignals&) = delete;
    SaveSignals& operator=(const SaveSignals&) = delete;
};

// One temporary file's place in the list the signal handler removes.
class CleanupSlot {
public:
    CleanupSlot() = default;
    ~CleanupSlot() { Unlist(); }
    CleanupSlot(const CleanupSlot&) = delete;
    CleanupSlot& operator=(const CleanupSlot&) = delete;

    // Lists `path` instead of what was listed; a path too long or no free
    // slot goes unlisted.
    void List(const char* path, unsigned long length);
    void Unlist();

private:
    int slot_ = -1;
};

}  // namespace morvane
