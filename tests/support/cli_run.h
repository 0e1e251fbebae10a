#pragma once
// Running morvane-sim in-process and reading what it printed.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace morvane::test {

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

inline CliResult RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = CliMain(args, out, err);
    return {code, out.str(), err.str()};
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The TAB-separated fields of one line.
inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    return f;
}

// Where the morvane-sim program's standard output goes when it is run as a
// process of its own.
enum class StdoutTo {
    Discard,      // /dev/null
    FullDevice,   // /dev/full: every write fails
    Closed,       // no descriptor 1 at all
    LimitedFile,  // a file under a file-size limit of kLimitedBytes: cut short
    File,         // the scratch file, emptied first
};

// What else the program runs under.
struct ProgramSetup {
    rlim_t addressSpace = RLIM_INFINITY;  // RLIMIT_AS
    std::string stdinShell;               // when set, standard input is a pipe fed by `sh -c` this
};
inline constexpr rlim_t kLimitedBytes = 20;

struct ProgramResult {
    ChildOutcome outcome;  // exitCode is the program's
    std::string err;
};

#ifdef MORVANE_SIM_PATH
// Runs the built morvane-sim with `args`; `scratch` is a file it may use as
// its standard output.
inline ProgramResult RunProgram(const std::vector<std::string>& args, StdoutTo to, const std::string& scratch,
                                unsigned deadlineSeconds = 60, const ProgramSetup& setup = {}) {
    int errPipe[2];
    ProgramResult result;
    if (::pipe(errPipe) != 0) return result;
    result.outcome = RunInChild(
        [&]() -> std::string {
            ::close(errPipe[0]);
            ::dup2(errPipe[1], 2);
            ::close(errPipe[1]);
            int fd = -1;
            switch (to) {
            case StdoutTo::Discard: fd = ::open("/dev/null", O_WRONLY); break;
            case StdoutTo::FullDevice: fd = ::open("/dev/full", O_WRONLY); break;
            case StdoutTo::Closed: break;
            case StdoutTo::File: fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); break;
            case StdoutTo::LimitedFile: {
                fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                rlimit limit{};
                ::getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = kLimitedBytes;
                ::setrlimit(RLIMIT_FSIZE, &limit);
                break;
            }
            }
            if (fd >= 0) {
                ::dup2(fd, 1);
                if (fd != 1) ::close(fd);
            } else {
                ::close(1);
            }
            if (!setup.stdinShell.empty()) {
                int in[2];
                if (::pipe(in) != 0) return "pipe failed";
                if (::fork() == 0) {
                    ::dup2(in[1], 1);
                    ::close(in[0]);
                    ::close(in[1]);
                    ::execl("/bin/sh", "sh", "-c", setup.stdinShell.c_str(), static_cast<char*>(nullptr));
                    ::_exit(127);
                }
                ::dup2(in[0], 0);
                ::close(in[0]);
                ::close(in[1]);
            }
            if (setup.addressSpace != RLIM_INFINITY) {
                const rlimit limit{setup.addressSpace, setup.addressSpace};
                if (::setrlimit(RLIMIT_AS, &limit) != 0) return "setrlimit failed";
            }
            std::vector<char*> argv;
            std::string program = MORVANE_SIM_PATH;
            argv.push_back(program.data());
            std::vector<std::string> copies = args;
            for (std::string& a : copies) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            return "exec failed";
        },
        {.deadlineSeconds = deadlineSeconds});
    ::close(errPipe[1]);
    char buf[4096];
    for (ssize_t n; (n = ::read(errPipe[0], buf, sizeof buf)) > 0;) result.err.append(buf, static_cast<std::size_t>(n));
    ::close(errPipe[0]);
    return result;
}
#endif

}  // namespace morvane::test
