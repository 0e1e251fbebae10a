// Saving a simulation file. A regular file (or one a symbolic link leads to)
// is replaced by a complete copy written beside it; anything else that
// already exists under the name (a device, a FIFO, a terminal) is written
// straight into. A save that fails or is ended by a signal leaves the old
// file whole and no temporary file behind.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "run/printable.h"
#include "simfile/simfile.h"

namespace morvane {
namespace {

std::string Cause(int err) { return std::strerror(err); }

// ---------------------------------------------------------------------------
// Temporary files removed when the program is ended by a signal.

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
// Saves at the same time (one per thread at most); a save beyond them is
// simply not cleaned up after a signal.
constexpr int kSlots = 4;

// The handler only reads these: a slot's path is written before the slot is
// marked live.
char gPaths[kSlots][PATH_MAX];
std::atomic<bool> gLive[kSlots];
struct sigaction gPrevious[kSignalCount];
bool gInstalled[kSignalCount];

extern "C" void RemoveTemporaryFilesAndDie(int sig) {
    const int savedErrno = errno;
    for (int i = 0; i < kSlots; ++i)
        if (gLive[i].load()) ::unlink(gPaths[i]);
    // The signal's previous action, usually to end the program, takes over
    // once this handler returns.
    for (int i = 0; i < kSignalCount; ++i)
        if (kCleanupSignals[i] == sig) ::sigaction(sig, &gPrevious[i], nullptr);
    ::raise(sig);
    errno = savedErrno;
}

std::mutex gMutex;
int gActiveSaves = 0;
std::atomic<bool> gClaimed[kSlots];
struct sigaction gPreviousXfsz, gPreviousPipe;
bool gIgnoringXfsz = false, gIgnoringPipe = false;

// Ignores `sig` if it has its default action; true when it did.
bool IgnoreIfDefault(int sig, struct sigaction& previous) {
    if (::sigaction(sig, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL) return false;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return ::sigaction(sig, &ignore, nullptr) == 0;
}

// While a save runs: the cleanup handlers are in place, and a file-size
// limit or a vanished reader is a write error rather than a silent death.
class SaveSignals {
public:
    SaveSignals() {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gActiveSaves++ > 0) return;
        struct sigaction mine {};
        mine.sa_handler = RemoveTemporaryFilesAndDie;
        sigemptyset(&mine.sa_mask);
        for (int sig : kCleanupSignals) sigaddset(&mine.sa_mask, sig);
        mine.sa_flags = SA_RESTART;
        for (int i = 0; i < kSignalCount; ++i) {
            gInstalled[i] = false;
            // A signal the user chose to ignore (nohup) stays ignored.
            if (::sigaction(kCleanupSignals[i], nullptr, &gPrevious[i]) != 0) continue;
            if (gPrevious[i].sa_handler == SIG_IGN) continue;
            gInstalled[i] = ::sigaction(kCleanupSignals[i], &mine, nullptr) == 0;
        }
        gIgnoringXfsz = IgnoreIfDefault(SIGXFSZ, gPreviousXfsz);
        gIgnoringPipe = IgnoreIfDefault(SIGPIPE, gPreviousPipe);
    }
    ~SaveSignals() {
        std::lock_guard<std::mutex> lock(gMutex);
        if (--gActiveSaves > 0) return;
        for (int i = 0; i < kSignalCount; ++i) {
            if (!gInstalled[i]) continue;
            // Only if no one has replaced the handler since.
            struct sigaction now {};
            if (::sigaction(kCleanupSignals[i], nullptr, &now) == 0 && now.sa_handler == RemoveTemporaryFilesAndDie)
                ::sigaction(kCleanupSignals[i], &gPrevious[i], nullptr);
        }
        if (gIgnoringXfsz) ::sigaction(SIGXFSZ, &gPreviousXfsz, nullptr);
        if (gIgnoringPipe) ::sigaction(SIGPIPE, &gPreviousPipe, nullptr);
    }
    SaveSignals(const SaveSignals&) = delete;
    SaveSignals& operator=(const SaveSignals&) = delete;
};

// One temporary file's place in the cleanup list.
class CleanupSlot {
public:
    CleanupSlot() = default;
    ~CleanupSlot() { Unlist(); }
    CleanupSlot(const CleanupSlot&) = delete;
    CleanupSlot& operator=(const CleanupSlot&) = delete;

    // Lists `path` instead of what was listed; a path too long or no free
    // slot goes unlisted.
    void List(const std::string& path) {
        Unlist();
        if (path.size() >= PATH_MAX) return;
        for (int i = 0; i < kSlots; ++i) {
            bool expected = false;
            if (gClaimed[i].compare_exchange_strong(expected, true)) {
                slot_ = i;
                std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
                gLive[i].store(true);
                return;
            }
        }
    }
    void Unlist() {
        if (slot_ < 0) return;
        gLive[slot_].store(false);
        gClaimed[slot_].store(false);
        slot_ = -1;
    }

private:
    int slot_ = -1;
};

// ---------------------------------------------------------------------------
// Writing.

void WriteAll(int fd, const FileEncoder& encode) {
    encode([&](const char* p, std::size_t size) {
        while (size > 0) {
            const ssize_t w = ::write(fd, p, size);
            if (w < 0) {
                const int err = errno;
                if (err == EINTR) continue;
                throw SimFileError(Cause(err), err);
            }
            if (w == 0) throw SimFileError(Cause(EIO), EIO);
            p += w;
            size -= static_cast<std::size_t>(w);
        }
    });
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".<name>.morvane-save-<pid>-<n>.tmp", with the name cut so the whole stays
// well inside the file system's limit on a name.
std::string TemporaryName(const std::string& target, unsigned n) {
    constexpr std::size_t kNameKept = 64;
    std::string name = NameOf(target);
    if (name.size() > kNameKept) {
        std::size_t cut = kNameKept;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return FolderOf(target) + "." + name + ".morvane-save-" + std::to_string(::getpid()) + "-" + std::to_string(n) +
           ".tmp";
}

// The name a chain of symbolic links ending at a missing file leads to; the
// name itself when it is no link.
std::string FollowToMissingFile(const std::string& path, const std::string& shown) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) {
            const int err = errno;
            throw SimFileError(FileStep::FollowLink, shown, shown + ": cannot follow the link: " + Cause(err), err);
        }
        link.resize(static_cast<std::size_t>(n));
        current = link.rfind('/', 0) == 0 ? link : FolderOf(current) + link;
    }
    throw SimFileError(FileStep::FollowLink, shown, shown + ": cannot follow the link: " + Cause(ELOOP), ELOOP);
}

std::string RealPath(const std::string& path, const std::string& shown) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) {
        const int err = errno;
        throw SimFileError(FileStep::FollowLink, shown, shown + ": cannot follow the link: " + Cause(err), err);
    }
    return real.get();
}

// Something that is not a regular file: written as it stands, since it
// cannot be replaced by a file of the same kind.
void WriteInPlace(const std::string& path, const std::string& shown, const struct stat& st,
                  const FileEncoder& encode) {
    // Opening a FIFO without a reader would wait for one forever.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENXIO && S_ISFIFO(st.st_mode))
            throw SimFileError(FileStep::NoReader, shown, shown + ": cannot write: no process is reading from the FIFO");
        throw SimFileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(err), err);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    try {
        WriteAll(fd, encode);
    } catch (const SimFileError& e) {
        ::close(fd);
        throw SimFileError(FileStep::WriteFailed, shown, shown + ": write failed: " + e.what(), e.Code());
    }
    if (::close(fd) != 0 && errno != EINTR) {
        const int err = errno;
        throw SimFileError(FileStep::WriteFailed, shown, shown + ": write failed: " + Cause(err), err);
    }
}

// Writes `target` under a temporary name beside it and renames it into
// place. `existing` is the file being replaced, if any: the copy keeps its
// permission bits and, where the process may set them, its owner and group.
void Replace(const std::string& target, const std::string& shown, const struct stat* existing,
             const FileEncoder& encode) {
    // Never replace a file the user could not have written: that is how a
    // read-only file says no.
    if (existing && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        const int err = errno;
        throw SimFileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(err), err);
    }

    static std::atomic<unsigned> counter{0};
    std::string tmp;
    CleanupSlot listed;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = TemporaryName(target, counter++);
        listed.List(tmp);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, existing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int err = errno;
        listed.Unlist();
        const std::string folder = FolderOf(target).empty() ? std::string(".") : FolderOf(target);
        if (err == ENOENT || err == ENOTDIR)
            throw SimFileError(FileStep::Create, shown, shown + ": cannot create: " + Cause(err), err, Printable(folder));
        if (err == EACCES || err == EPERM || err == EROFS)
            throw SimFileError(FileStep::FolderNotWritable, shown,
                               shown + ": the folder " + Printable(folder) + " is not writable: " + Cause(err), err,
                               Printable(folder));
        throw SimFileError(FileStep::TemporaryFile, shown,
                           shown + ": cannot create a temporary file in " + Printable(folder) + ": " + Cause(err), err,
                           Printable(folder));
    }

    auto discard = [&] {
        if (fd >= 0) ::close(fd);
        fd = -1;
        ::unlink(tmp.c_str());
    };
    if (existing) {
        // The owner first: changing it clears the set-id bits.
        if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) {
            // Not allowed to give the file away: its group may still be kept.
            // Failing both leaves the file to its writer, as the shell would.
            if (::fchown(fd, existing->st_uid, existing->st_gid) != 0 &&
                ::fchown(fd, static_cast<uid_t>(-1), existing->st_gid) != 0) {
            }
        }
        // Kept at 0600 if this fails: never wider than asked.
        if (::fchmod(fd, existing->st_mode & 07777) != 0) {
        }
    }
    try {
        WriteAll(fd, encode);
    } catch (const SimFileError& e) {
        discard();
        throw SimFileError(FileStep::WriteFailed, shown, shown + ": write failed: " + e.what(), e.Code());
    } catch (...) {
        discard();
        throw;
    }
    const int closed = ::close(fd);
    const int closeErr = errno;
    fd = -1;
    if (closed != 0) {
        discard();
        throw SimFileError(FileStep::WriteFailed, shown, shown + ": write failed: " + Cause(closeErr), closeErr);
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        discard();
        throw SimFileError(FileStep::Replace, shown, shown + ": cannot replace: " + Cause(err), err);
    }
}

}  // namespace

void SaveSimFile(const std::string& path, const SimHeader& header, const PlayHistory& history) {
    SaveFileSafely(path, [&](const ByteSink& sink) { EncodeSim(header, history, sink); });
}

void SaveFileSafely(const std::string& path, const FileEncoder& encode) {
    if (path.empty()) throw SimFileError(FileStep::NoName, {}, "no file name given");
    const std::string shown = Printable(path);
    SaveSignals signals;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw SimFileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(EISDIR), EISDIR);
        if (!S_ISREG(st.st_mode)) return WriteInPlace(path, shown, st, encode);
        // A link is followed: the file it leads to is replaced, the link stays.
        struct stat link {};
        const bool isLink = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
        return Replace(isLink ? RealPath(path, shown) : path, shown, &st, encode);
    }
    if (errno != ENOENT) {
        const int err = errno;
        throw SimFileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(err), err);
    }
    // A new file, possibly at the end of a dangling link.
    Replace(FollowToMissingFile(path, shown), shown, nullptr, encode);
}

}  // namespace morvane
