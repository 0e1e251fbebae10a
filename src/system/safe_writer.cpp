// A regular file (or one a symbolic link leads to) is replaced by a complete
// copy written beside it; anything else that already exists under the name
// (a device, a FIFO, a terminal) is written straight into. A save that fails
// or is ended by a signal leaves the old file whole and no temporary file
// behind.
#include "system/safe_writer.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "system/printable.h"
#include "system/save_signals.h"

namespace morvane {
namespace {

std::string Cause(int err) { return std::strerror(err); }

void WriteAll(int fd, const FileEncoder& encode) {
    encode([&](const char* p, std::size_t size) {
        while (size > 0) {
            const ssize_t w = ::write(fd, p, size);
            if (w < 0) {
                const int err = errno;
                if (err == EINTR) continue;
                throw FileError(Cause(err), err);
            }
            if (w == 0) throw FileError(Cause(EIO), EIO);
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
            throw FileError(FileStep::FollowLink, shown, shown + ": cannot follow the link: " + Cause(err), err);
        }
        link.resize(static_cast<std::size_t>(n));
        current = link.rfind('/', 0) == 0 ? link : FolderOf(current) + link;
    }
    throw FileError(FileStep::FollowLink, shown, shown + ": cannot follow the link: " + Cause(ELOOP), ELOOP);
}

std::string RealPath(const std::string& path, const std::string& shown) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) {
        const int err = errno;
        throw FileError(FileStep::FollowLink, shown, shown + ": cannot follow the link: " + Cause(err), err);
    }
    return real.get();
}

// Something that is not a regular file: written as it stands, since it
// cannot be replaced by a file of the same kind.
void WriteInPlace(const std::string& path, const std::string& shown, const struct stat& st, const FileEncoder& encode) {
    // Opening a FIFO without a reader would wait for one forever.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENXIO && S_ISFIFO(st.st_mode))
            throw FileError(FileStep::NoReader, shown, shown + ": cannot write: no process is reading from the FIFO");
        throw FileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(err), err);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    try {
        WriteAll(fd, encode);
    } catch (const FileError& e) {
        ::close(fd);
        throw FileError(FileStep::WriteFailed, shown, shown + ": write failed: " + e.what(), e.Code());
    }
    if (::close(fd) != 0 && errno != EINTR) {
        const int err = errno;
        throw FileError(FileStep::WriteFailed, shown, shown + ": write failed: " + Cause(err), err);
    }
}

// The program's own standard output, reached through another name
// (/dev/stdout, /proc/self/fd/1, the file the shell redirected it to):
// written through descriptor 1 itself, so what the program prints after
// follows the file's bytes instead of landing on them or in a replaced file.
bool IsStandardOutput(const struct stat& st) {
    struct stat out {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino;
}

void WriteToStandardOutput(const std::string& shown, const FileEncoder& encode) {
    try {
        WriteAll(STDOUT_FILENO, encode);
    } catch (const FileError& e) {
        throw FileError(FileStep::WriteFailed, shown, shown + ": write failed: " + e.what(), e.Code());
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
        throw FileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(err), err);
    }

    static std::atomic<unsigned> counter{0};
    std::string tmp;
    CleanupSlot listed;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = TemporaryName(target, counter++);
        listed.List(tmp.c_str(), tmp.size());
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, existing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        const int err = errno;
        listed.Unlist();
        const std::string folder = FolderOf(target).empty() ? std::string(".") : FolderOf(target);
        struct stat dir {};
        const bool folderThere = ::stat(folder.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode);
        // A folder that is there but takes no new file (/proc/self, say).
        if ((err == ENOENT || err == ENOTDIR) && folderThere)
            throw FileError(FileStep::TemporaryFile, shown,
                            shown + ": cannot create a temporary file in " + Printable(folder) + ": " + Cause(err), err,
                            Printable(folder));
        if (err == ENOENT || err == ENOTDIR)
            throw FileError(FileStep::Create, shown, shown + ": cannot create: " + Cause(err), err, Printable(folder));
        if (err == EACCES || err == EPERM || err == EROFS)
            throw FileError(FileStep::FolderNotWritable, shown,
                            shown + ": the folder " + Printable(folder) + " is not writable: " + Cause(err), err,
                            Printable(folder));
        throw FileError(FileStep::TemporaryFile, shown,
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
                ::fchown(fd, static_cast<uid_t>(-1), existing->st_gid) != 0) {}
        }
        // Kept at 0600 if this fails: never wider than asked.
        if (::fchmod(fd, existing->st_mode & 07777) != 0) {}
    }
    try {
        WriteAll(fd, encode);
    } catch (const FileError& e) {
        discard();
        throw FileError(FileStep::WriteFailed, shown, shown + ": write failed: " + e.what(), e.Code());
    } catch (...) {
        discard();
        throw;
    }
    const int closed = ::close(fd);
    const int closeErr = errno;
    fd = -1;
    if (closed != 0) {
        discard();
        throw FileError(FileStep::WriteFailed, shown, shown + ": write failed: " + Cause(closeErr), closeErr);
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        discard();
        throw FileError(FileStep::Replace, shown, shown + ": cannot replace: " + Cause(err), err);
    }
}

}  // namespace

void SaveFileSafely(const std::string& path, const FileEncoder& encode) {
    if (path.empty()) throw FileError(FileStep::NoName, {}, "no file name given");
    const std::string shown = Printable(path);
    SaveSignals signals;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw FileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(EISDIR), EISDIR);
        if (!S_ISREG(st.st_mode)) return WriteInPlace(path, shown, st, encode);
        if (IsStandardOutput(st)) return WriteToStandardOutput(shown, encode);
        // A link is followed: the file it leads to is replaced, the link stays.
        struct stat link {};
        const bool isLink = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
        return Replace(isLink ? RealPath(path, shown) : path, shown, &st, encode);
    }
    if (errno != ENOENT) {
        const int err = errno;
        throw FileError(FileStep::Write, shown, shown + ": cannot write: " + Cause(err), err);
    }
    // A new file, possibly at the end of a dangling link.
    Replace(FollowToMissingFile(path, shown), shown, nullptr, encode);
}

}  // namespace morvane
