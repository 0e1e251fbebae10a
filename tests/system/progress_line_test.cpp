// The progress line: its words and figures, how often it is redrawn, that
// it fits the terminal's width and is cleared, and that it stays off what
// is not a terminal.
#include "system/progress_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace morvane {
namespace {

TEST(ProgressText, ElapsedDoneRateAndTimeLeft) {
    EXPECT_EQ(ProgressText(12.4, 340000, 1000000, "sessions"),
              "0:12  340000/1000000 sessions  34%  27419 sessions/s  0:24 left");
    EXPECT_EQ(ProgressText(3725, 1, 3, "games"), "1:02:05  1/3 games  33%  0 games/s  2:04:10 left");
    EXPECT_EQ(ProgressText(0.3, 0, 50, "games"), "0:00  0/50 games  0%  ? games/s  ? left");
    EXPECT_EQ(ProgressText(9.6, 50, 50, "games"), "0:10  50/50 games  100%  5 games/s  0:00 left");
}

// Reads what the line wrote into a pipe.
class PipeEnd {
public:
    PipeEnd() { EXPECT_EQ(::pipe2(fds_, O_NONBLOCK), 0); }
    ~PipeEnd() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    int WriteEnd() const { return fds_[1]; }
    std::string Drain() const {
        std::string s;
        char buf[1024];
        for (ssize_t n; (n = ::read(fds_[0], buf, sizeof buf)) > 0;) s.append(buf, static_cast<std::size_t>(n));
        return s;
    }

private:
    int fds_[2];
};

TEST(ProgressLine, RedrawnAtMostFourTimesASecondThenCleared) {
    PipeEnd pipe;
    double now = 100;
    {
        ProgressLine line(pipe.WriteEnd(), "games", 1000, 0, [&] { return now; });
        line.Update(10);
        now += 0.2;
        line.Update(20);
        EXPECT_EQ(pipe.Drain(), "") << "nothing in the first quarter second";
        now += 0.05;
        line.Update(25);
        EXPECT_EQ(pipe.Drain(), "\r0:00  25/1000 games  2%  100 games/s  0:10 left\x1b[K");
        for (int i = 0; i < 100; ++i) {
            now += 0.01;
            line.Update(25 + i);
        }
        // One second in tenths of a hundredth: four draws.
        int draws = 0;
        const std::string drawn = pipe.Drain();
        for (char c : drawn) draws += c == '\r';
        EXPECT_EQ(draws, 4) << drawn;
        line.Clear();
        EXPECT_EQ(pipe.Drain(), "\r\x1b[K");
        line.Clear();
        EXPECT_EQ(pipe.Drain(), "") << "cleared once";
        now += 1;
        line.Update(900);
    }
    // Drawn again after a clear, and cleared when the work ends.
    EXPECT_EQ(pipe.Drain(), "\r0:02  900/1000 games  90%  400 games/s  0:00 left\x1b[K\r\x1b[K");
}

TEST(ProgressLine, EndsClearedAndCutToTheWidth) {
    PipeEnd pipe;
    double now = 0;
    {
        ProgressLine line(pipe.WriteEnd(), "sessions", 1000000, 20, [&] { return now; });
        now = 1;
        line.Update(5);
    }
    EXPECT_EQ(pipe.Drain(), "\r0:01  5/1000000 ses\x1b[K\r\x1b[K");
}

TEST(ProgressLine, DrawsNothingOnWhatIsNoTerminal) {
    PipeEnd pipe;
    {
        ProgressLine line(pipe.WriteEnd(), "games", 10);
        ::usleep(300'000);
        line.Update(5);
        line.Clear();
    }
    EXPECT_EQ(pipe.Drain(), "");
}

}  // namespace
}  // namespace morvane
