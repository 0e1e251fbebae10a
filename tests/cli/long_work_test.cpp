// Long work as the program itself does it: progress on stderr only when it
// is a terminal (a pseudo-terminal here), and Ctrl+C stopping with exit 130
// and no file, whole or partial, left behind.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "app/job.h"
#include "cli/cli.h"
#include "cli/long_work.h"
#include "simfile/simfile.h"
#include "support/cli_run.h"
#include "support/temp_folder.h"
#include "system/file_error.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// The program with stdout on /dev/null and stderr on a pseudo-terminal or a
// pipe. `watch` sees stderr as it grows and may signal the program.
struct Outcome {
    int status = -1;
    std::string err;
};

Outcome RunWatched(const std::vector<std::string>& args, bool terminal,
                   const std::function<void(pid_t, const std::string&)>& watch = {}) {
    int fd = -1;
    pid_t pid;
    if (terminal) {
        pid = ::forkpty(&fd, nullptr, nullptr, nullptr);
    } else {
        int fds[2];
        if (::pipe(fds) != 0) return {};
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], 2);
        }
        ::close(fds[1]);
        fd = fds[0];
    }
    if (pid < 0) return {};
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::signal(SIGINT, SIG_DFL);
        std::vector<std::string> copies = args;
        std::string program = MORVANE_SIM_PATH;
        std::vector<char*> argv{program.data()};
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    Outcome o;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;  // EOF, or EIO from a terminal whose program ended
            o.err.append(buf, static_cast<std::size_t>(n));
        }
        if (watch) watch(pid, o.err);
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ADD_FAILURE() << "deadline";
            break;
        }
    }
    ::close(fd);
    ::waitpid(pid, &o.status, 0);
    return o;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Over a second of work on two idle cores (1.2 G games), so the first draw,
// a quarter of a second in, always comes; longer under the sanitizers.
const std::vector<std::string> kSpread{"spread", "--games", "8000",      "--sessions", "150000",
                                       "--seed", "5",       "--threads", "2"};

TEST(CliProgress, DrawnInPlaceOnATerminalAndClearedAtTheEnd) {
    const Outcome o = RunWatched(kSpread, true);
    ASSERT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == kExitOk) << o.status << o.err;
    // Each draw goes back to the line's start and clears what is left of it.
    ASSERT_TRUE(Contains(o.err, "/150000 sessions")) << o.err;
    EXPECT_TRUE(Contains(o.err, " sessions/s ")) << o.err;
    EXPECT_TRUE(Contains(o.err, " left\x1b[K")) << o.err;
    EXPECT_EQ(o.err.front(), '\r');
    EXPECT_FALSE(Contains(o.err, "\n")) << o.err;
    // Ends cleared: nothing of it stays on the terminal.
    ASSERT_GE(o.err.size(), 4u);
    EXPECT_EQ(o.err.substr(o.err.size() - 4), "\r\x1b[K");
}

TEST(CliProgress, NothingInAPipe) {
    const Outcome o = RunWatched(kSpread, false);
    ASSERT_TRUE(WIFEXITED(o.status) && WEXITSTATUS(o.status) == kExitOk) << o.status;
    EXPECT_EQ(o.err, "");
}

// Ctrl+C once the work shows it is under way: exit 130, one line, no file.
class CliInterrupt : public test::TempFolderTest {};

void InterruptOnceUnderWay(pid_t pid, const std::string& err) {
    static pid_t signalled = 0;
    if (signalled != pid && Contains(err, " left")) {
        ::kill(pid, SIGINT);
        signalled = pid;
    }
}

TEST_F(CliInterrupt, StopsLongWorkWithExit130AndLeavesNoFile) {
    const std::vector<std::vector<std::string>> cases = {
        {"spread", "--games", "100000", "--sessions", "100000", "--shard", "0/1", "--out", Path("s.txt")},
        {"run", "--games", "400000000", "--out", Path("r.sim")},
        {"run", "--games", "200000000", "--runs", "3", "--out", Path("b.sim")},
        {"bench", "--games", "400000000"},
        {"estimate", "--games", "1000", "--more", "5000", "--sessions", "1000000", "--seed", "3"},
        // More continuations than memory would hold, were they kept.
        {"estimate", "--games", "1000", "--more", "1000", "--sessions", "2147483647", "--seed", "3"},
        // Keep or quit's exact rules hear it when they end, a second or two in.
        {"estimate", "--games", "1000", "--now", "--horizon", "8000", "--seed", "3"},
    };
    for (const auto& args : cases) {
        const auto started = std::chrono::steady_clock::now();
        const Outcome o = RunWatched(args, true, InterruptOnceUnderWay);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        ASSERT_TRUE(WIFEXITED(o.status)) << args[0] << " status " << o.status;
        EXPECT_EQ(WEXITSTATUS(o.status), kExitInterrupted) << args[0] << o.err;
        EXPECT_TRUE(o.err.ends_with("\r\x1b[Kmorvane-sim: interrupted\r\n")) << args[0] << o.err;
        EXPECT_TRUE(fs::is_empty(dir_)) << args[0];
        // Stopped at a slice, long before the work's end.
        EXPECT_LT(seconds, 20) << args[0];
    }
}

// Files are written as their runs are played: Ctrl+C in the middle of one
// leaves the file that was there whole, and a batch's earlier files too.
TEST_F(CliInterrupt, MidStreamKeepsTheOldFileAndTheBatchsEarlierFilesWhole) {
    const std::string old = WriteBytes("r.sim", "the old file\n");
    const std::string first = Path("b1_50000000_1.sim");
    // Signalled once the batch's first file is in place, so in its second run.
    const auto onceTheFirstFileIsThere = [&](pid_t pid, const std::string& err) {
        static bool signalled = false;
        if (!signalled && fs::exists(first)) {
            ::kill(pid, SIGINT);
            signalled = true;
        }
        (void)err;
    };
    const struct {
        std::vector<std::string> args;
        std::function<void(pid_t, const std::string&)> watch;
        std::vector<std::string> left;  // the folder's names afterwards, sorted
    } cases[] = {
        {{"run", "--games", "400000000", "--out", old}, InterruptOnceUnderWay, {"r.sim"}},
        {{"run", "--seed", "4", "--setting", "1", "--games", "50000000", "--runs", "3", "--out", Path("b.sim")},
         onceTheFirstFileIsThere,
         {"b1_50000000_1.sim", "r.sim"}},
    };
    for (const auto& c : cases) {
        const Outcome o = RunWatched(c.args, true, c.watch);
        ASSERT_TRUE(WIFEXITED(o.status)) << o.status;
        EXPECT_EQ(WEXITSTATUS(o.status), kExitInterrupted) << o.err;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.left);
        std::ifstream in(old);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "the old file\n");
    }
    EXPECT_EQ(fs::file_size(first), SimFileBytes(50000000));
}

// The largest horizon on a long record: the record's filter and the figures
// after it stop at Ctrl+C as the other long work does.
TEST_F(CliInterrupt, StopsEstimateOfALongRecordWithTheLargestHorizon) {
    const std::string file = Path("long.sim");
    ASSERT_EQ(test::RunCli({"run", "--seed", "3", "--setting", "4", "--games", "2000000", "--out", file}).code,
              kExitOk);
    const auto started = std::chrono::steady_clock::now();
    const Outcome o = RunWatched({"estimate", file, "--horizon", "2147483647"}, true, InterruptOnceUnderWay);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(WIFEXITED(o.status)) << o.status;
    EXPECT_EQ(WEXITSTATUS(o.status), kExitInterrupted) << o.err;
    // One pass over the file with every setting's filter.
    EXPECT_TRUE(Contains(o.err, "/2000000 games")) << o.err;
    EXPECT_TRUE(o.err.ends_with("\r\x1b[Kmorvane-sim: interrupted\r\n")) << o.err;
    EXPECT_LT(seconds, 20);
}

// value counts no units and draws no line, yet Ctrl+C stops it as the rest:
// exit 130, one line, nothing printed.
TEST_F(CliInterrupt, StopsTheValueTableItCannotCount) {
    const auto started = std::chrono::steady_clock::now();
    bool signalled = false;
    // Six settings' tables and their mixture take over half a second; the watch is up
    // within milliseconds of the start.
    const Outcome o =
        RunWatched({"value", "--prior", "1,1,1,1,1,1", "--threads", "1"}, true, [&](pid_t pid, const std::string&) {
            if (signalled || std::chrono::steady_clock::now() - started < std::chrono::milliseconds(150)) return;
            ::kill(pid, SIGINT);
            signalled = true;
        });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(WIFEXITED(o.status)) << o.status;
    EXPECT_EQ(WEXITSTATUS(o.status), kExitInterrupted) << o.err;
    EXPECT_EQ(o.err, "morvane-sim: interrupted\r\n");
    EXPECT_LT(seconds, 20);
}

// The one way a long job runs: its end, its stop and what it throws come
// back to the command's thread as they were, so a failed job gives its own
// message and exit code (a file's error 1, memory 2), never a crash.
struct JobEnd {
    const char* name;
    FunctionJob::Work work;
    bool completed;
    const char* throws;  // what() of a FileError or bad_alloc rethrown, or null
};

TEST(CliLongWork, RunsAJobOnTheJobThreadAndHandsBackHowItEnded) {
    using Stop = const std::atomic<bool>&;
    using Done = std::atomic<std::int64_t>&;
    const std::thread::id caller = std::this_thread::get_id();
    const JobEnd cases[] = {
        {"Completes",
         [&](Stop, Done done) {
             done = 5;
             return std::this_thread::get_id() != caller;
         },
         true, nullptr},
        {"StopsOnItsOwn", [](Stop, Done) { return false; }, false, nullptr},
        {"FailsToWrite", [](Stop, Done) -> bool { throw FileError("out.sim: write failed: No space left on device"); },
         false, "out.sim: write failed: No space left on device"},
        {"RunsOutOfMemory", [](Stop, Done) -> bool { throw std::bad_alloc(); }, false, "std::bad_alloc"},
    };
    for (const JobEnd& c : cases) {
        LongWork work("games", 5);
        const auto job = std::make_shared<FunctionJob>(5, c.work);
        if (!c.throws) {
            EXPECT_EQ(work.Run(job), c.completed) << c.name;
            continue;
        }
        try {
            work.Run(job);
            ADD_FAILURE() << c.name << " returned";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), c.throws) << c.name;
        } catch (const std::bad_alloc& e) {
            EXPECT_STREQ(e.what(), c.throws) << c.name;
        }
    }
}

// Ctrl+C in the middle of a save: the temporary file goes, the target never
// appears, and it is still an interruption, not a write error.
TEST_F(CliInterrupt, DuringASaveRemovesTheTemporaryFile) {
    bool caught = false;
    const Outcome o =
        RunWatched({"run", "--games", "4194304", "--out", Path("big.sim")}, false, [&](pid_t pid, const std::string&) {
            if (caught) return;
            for (const auto& e : fs::directory_iterator(dir_)) {
                if (!Contains(e.path().filename().string(), ".morvane-save-")) continue;
                // Held still so the signal surely comes mid-save.
                ::kill(pid, SIGSTOP);
                int status = 0;
                ::waitpid(pid, &status, WUNTRACED);
                caught = fs::exists(e.path());
                ::kill(pid, SIGINT);
                ::kill(pid, SIGCONT);
                return;
            }
        });
    ASSERT_TRUE(caught) << "the save ended before the signal";
    ASSERT_TRUE(WIFEXITED(o.status)) << o.status;
    EXPECT_EQ(WEXITSTATUS(o.status), kExitInterrupted) << o.err;
    EXPECT_EQ(o.err, "morvane-sim: interrupted\n");
    EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace morvane
