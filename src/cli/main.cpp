#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/fd_output.h"

namespace {

// A standard descriptor that was closed would be handed to the next file
// opened, and output meant for the terminal would land in a saved run. Held
// by /dev/null opened for reading, writes to it still fail as they should.
void HoldClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        const int held = ::open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit is a write error with a message, not a silent end.
    ::signal(SIGXFSZ, SIG_IGN);
    HoldClosedStandardDescriptors();
    int code;
    {
        morvane::FdOutput buffer(STDOUT_FILENO);
        std::ostream out(&buffer);
        code = morvane::CliMain(std::vector<std::string>(argv + 1, argv + argc), out, std::cerr);
    }
    // Some file systems report a lost write only when the file is closed.
    if (::close(STDOUT_FILENO) != 0 && errno != EINTR && code == morvane::kExitOk) {
        std::cerr << "morvane-sim: cannot write to standard output: " << std::strerror(errno) << "\n";
        code = morvane::kExitFailure;
    }
    return code;
}
