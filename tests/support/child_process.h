#pragma once
// Running a piece of a test in a child process: as an unprivileged user
// when the tests run as root (permissions mean nothing to root), under a
// deadline so a hang fails instead of stalling the suite, or so a signal
// can end it. The child reports through a pipe and its exit status.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <functional>
#include <string>

namespace morvane::test {

inline constexpr uid_t kNobody = 65534;

struct ChildOptions {
    bool unprivileged = false;  // become `nobody` first when running as root
    unsigned deadlineSeconds = 60;
};

struct ChildOutcome {
    bool exited = false;
    int exitCode = -1;
    int signal = 0;      // the signal that ended it, if one did
    std::string report;  // what the body returned: "" for success
    // A line for a failure message.
    std::string Describe() const {
        if (exited) return "exit " + std::to_string(exitCode) + (report.empty() ? "" : ": " + report);
        return std::string("killed by signal ") + std::to_string(signal) + (signal == SIGALRM ? " (deadline)" : "");
    }
    bool Passed() const { return exited && exitCode == 0 && report.empty(); }
};

// Whether the tests run as root, so unprivileged cases need a child.
inline bool RunningAsRoot() { return ::geteuid() == 0; }

// Makes `path` (a folder of the test) usable by `nobody`.
inline void OpenToNobody(const std::string& path) {
    if (RunningAsRoot() && ::chown(path.c_str(), kNobody, kNobody) != 0) {}
}

// Runs `body` in a child. `started` runs in the parent once the child
// exists, with its pid (to signal it, say). The body returns "" when all
// held, or what went wrong.
inline ChildOutcome RunInChild(const std::function<std::string()>& body, ChildOptions options = {},
                               const std::function<void(pid_t)>& started = {}) {
    ChildOutcome outcome;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        outcome.report = "pipe failed";
        return outcome;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        outcome.report = "fork failed";
        return outcome;
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(options.deadlineSeconds);
        std::string report;
        if (options.unprivileged && RunningAsRoot() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            report = "could not become nobody";
        if (report.empty()) {
            try {
                report = body();
            } catch (const std::exception& e) {
                report = std::string("exception: ") + e.what();
            }
        }
        const char* p = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t w = ::write(fds[1], p, left);
            if (w <= 0) break;
            p += w;
            left -= static_cast<std::size_t>(w);
        }
        ::_exit(report.empty() ? 0 : 1);
    }
    ::close(fds[1]);
    if (started) started(pid);
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        outcome.report.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    outcome.exited = WIFEXITED(status);
    outcome.exitCode = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

// Collects what did not hold, for a body run in a child.
class Checks {
public:
    void Expect(bool ok, const std::string& what) {
        if (!ok) failures_ += (failures_.empty() ? "" : "; ") + what;
    }
    const std::string& Failures() const { return failures_; }

private:
    std::string failures_;
};

}  // namespace morvane::test
