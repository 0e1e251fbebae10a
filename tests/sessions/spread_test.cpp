// Spreads of many sessions: each session against the run the window would
// record, independence from threads and shards, the figures, shard files,
// and agreement with the exact N-game expectations.
#include "app/spread_job.h"
#include "sessions/shard_file.h"
#include "sessions/shard_merge.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/session.h"
#include "model/theory.h"

namespace morvane {
namespace {

// The tallies worked out from the history `morvane-sim run --seed` records.
SessionTally FromRecordedRun(int setting, std::int32_t games, std::uint32_t seed) {
    RunSession session(seed);
    session.SimulateRun({{false, setting}, games});
    SessionTally t;
    std::int64_t peak = 0;
    for (const GameRecord& r : session.Current().records()) {
        if (r.bbKind != 0) ++t.bbGames;
        t.bbs += r.bbSets;
        peak = std::max<std::int64_t>(peak, r.medalBalance);
        t.deepestDip = std::max(t.deepestDip, peak - r.medalBalance);
    }
    t.balance = session.Current().records().back().medalBalance;
    return t;
}

TEST(SpreadSession, OneReusedMachineMatchesAFreshRecordedRunEveryTime) {
    SessionPlayer player;
    // Settings changing in both directions, long enough for BBs; then many
    // short sessions at the ends of the range, where the deepest dip falls
    // before a later, higher peak as often as after the last one.
    const int settings[] = {6, 6, 1, 3, 1, 5, 2, 4};
    for (std::uint32_t i = 0; i < std::size(settings); ++i) {
        const std::uint32_t seed = SessionSeed(99, i);
        const SessionTally played = *player.Play(settings[i], 3000, seed);
        EXPECT_EQ(played, FromRecordedRun(settings[i], 3000, seed)) << "session " << i;
        EXPECT_GT(played.bbGames, 0) << "session " << i;
    }
    for (std::uint32_t i = 0; i < 200; ++i) {
        const int setting = i % 2 ? 6 : 1;
        const std::uint32_t seed = SessionSeed(7, i);
        ASSERT_EQ(player.Play(setting, 1200, seed), FromRecordedRun(setting, 1200, seed)) << "session " << i;
    }
    // A single game: no BB, no rise.
    EXPECT_EQ(player.Play(2, 1, 5), FromRecordedRun(2, 1, 5));
}

// A session longer than the slices the stop flag is asked between plays the
// same games as in one piece; a stop cuts even the longest session short,
// and the machine serves the next session as if fresh.
TEST(SpreadSession, LongSessionsAreSlicedAndStopWithinOne) {
    SessionPlayer player;
    const std::int32_t games = 2 * kSpreadSliceGames + 777;
    const std::atomic<bool> go{false};
    EXPECT_EQ(player.Play(3, games, 41, &go), FromRecordedRun(3, games, 41));
    const std::atomic<bool> stop{true};
    EXPECT_EQ(player.Play(3, 2147483647, 41, &stop), std::nullopt);
    EXPECT_EQ(player.Play(5, 3000, 8, &go), FromRecordedRun(5, 3000, 8));
}

TEST(SpreadSession, SeedsOfNeighbouringSessionsAndSpreadsDiffer) {
    std::vector<std::uint32_t> seeds;
    for (std::uint32_t x : {0u, 1u, 4294967295u})
        for (std::uint32_t i = 0; i < 1000; ++i) seeds.push_back(SessionSeed(x, i));
    std::sort(seeds.begin(), seeds.end());
    EXPECT_EQ(std::adjacent_find(seeds.begin(), seeds.end()), seeds.end());
}

std::vector<SessionTally> Played(const SpreadRequest& r, int threads) {
    std::vector<SessionTally> t(static_cast<std::size_t>(ShardSessions(r)));
    EXPECT_TRUE(PlaySpread(r, threads, t));
    return t;
}

TEST(Spread, ThreadsAndShardsGiveTheSameSessions) {
    const SpreadRequest whole{4, 500, 301, 7};
    const std::vector<SessionTally> one = Played(whole, 1);
    EXPECT_EQ(Played(whole, 2), one);
    EXPECT_EQ(Played(whole, 3), one);
    EXPECT_EQ(Played(whole, 64), one);
    // Shards through their files, given in any order, and read in pieces
    // that split lines anywhere.
    for (std::int32_t k : {1, 3, 7, 400}) {
        std::vector<ShardFile> files;
        for (std::int32_t i = k - 1; i >= 0; --i) {
            SpreadRequest part = whole;
            part.shardIndex = i;
            part.shardCount = k;
            const std::string text = EncodeShard(part, Played(part, 1));
            ShardReader reader;
            const std::size_t piece = 1 + static_cast<std::size_t>(i) % 13;
            for (std::size_t at = 0; at < text.size(); at += piece)
                reader.Feed(std::string_view(text).substr(at, piece));
            files.push_back(reader.Finish());
            EXPECT_EQ(files.back().request, part);
            EXPECT_EQ(files.back().tallies, DecodeShard(text).tallies);
        }
        SpreadRequest merged;
        EXPECT_EQ(MergeShards(files, merged), one) << k << " shards";
        EXPECT_EQ(merged, whole);
    }
}

// A batch system's task confined to one CPU of a node plays on one thread.
TEST(Spread, DefaultThreadsAreTheCpusTheProcessMayRunOn) {
    cpu_set_t all;
    ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(DefaultThreads(), CPU_COUNT(&all));
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    const int confined = DefaultThreads();
    ASSERT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(confined, 1);
}

TEST(Spread, StopEndsEarlyAndSaysSo) {
    const SpreadRequest r{1, 1000, 5000, 1};
    std::vector<SessionTally> t(5000);
    std::atomic<std::int64_t> done{0};
    std::atomic<bool> stop{true};
    EXPECT_FALSE(PlaySpread(r, 2, t, &done, &stop));
    EXPECT_LT(done.load(), 5000);
    stop = false;
    EXPECT_TRUE(PlaySpread(r, 2, t, &done, &stop));
    EXPECT_EQ(done.load(), 5000);
}

SessionTally Balance(std::int32_t b, std::int64_t dip = 0) { return {b, 0, 0, dip}; }

TEST(SpreadSummary, PercentilesByNearestRankAndExactMoments) {
    // 1..100 shuffled: the p-th percentile is p itself.
    std::vector<SessionTally> t;
    for (std::int32_t v = 0; v < 100; ++v) t.push_back(Balance(v * 37 % 100 + 1));
    SpreadSummary s = Summarise({1, 10, 100, 0}, t);
    for (std::size_t i = 0; i < kSpreadPercentiles.size(); ++i)
        EXPECT_EQ(s.balance.percentile[i], kSpreadPercentiles[i]);
    EXPECT_EQ(s.balance.min, 1);
    EXPECT_EQ(s.balance.max, 100);
    EXPECT_DOUBLE_EQ(s.balance.mean, 50.5);
    EXPECT_NEAR(s.balance.sd, std::sqrt(101.0 * 100 / 12), 1e-12);
    EXPECT_NEAR(s.balance.se, s.balance.sd / 10, 1e-12);
    EXPECT_EQ(s.ahead, 100);

    // Values far beyond a double's exact range once squared and summed.
    t.assign({Balance(2'000'000'000, 9'000'000'000), Balance(2'000'000'001, 9'000'000'002),
              Balance(-2'000'000'000, 9'000'000'001)});
    s = Summarise({1, 10, 3, 0}, t);
    EXPECT_DOUBLE_EQ(s.deepestDip.mean, 9'000'000'001);
    EXPECT_DOUBLE_EQ(s.deepestDip.sd, 1);
    EXPECT_EQ(s.deepestDip.percentile[0], 9'000'000'000);
    EXPECT_EQ(s.worst, 2);
    EXPECT_EQ(s.best, 1);
    EXPECT_EQ(s.ahead, 2);

    // One session: no spread; a balance of 0 is not ahead; the first of
    // equal ends is named.
    s = Summarise({1, 10, 1, 0}, std::vector<SessionTally>{Balance(0)});
    EXPECT_EQ(s.balance.sd, 0);
    EXPECT_EQ(s.ahead, 0);
    s = Summarise({1, 10, 3, 0}, std::vector<SessionTally>{Balance(5), Balance(5), Balance(5)});
    EXPECT_EQ(s.worst, 0);
    EXPECT_EQ(s.best, 0);
}

TEST(SpreadSummary, HistogramCoversEveryBalanceOnceInRoundBins) {
    const std::vector<SessionTally> t{Balance(-7), Balance(12), Balance(-7), Balance(0), Balance(13)};
    // 21 values in 4 bins need a width of 6: the round width is 10, from -10.
    BalanceHistogram h = HistogramOfBalance(t, 4);
    EXPECT_EQ(h.low, -10);
    EXPECT_EQ(h.width, 10);
    EXPECT_EQ(h.counts, (std::vector<std::int64_t>{2, 1, 2}));
    // Fewer distinct values than bins: one bin per value.
    h = HistogramOfBalance(t, 100);
    EXPECT_EQ(h.width, 1);
    EXPECT_EQ(h.low, -7);
    EXPECT_EQ(h.counts.size(), 21u);
    EXPECT_EQ(h.counts.front(), 2);
    EXPECT_EQ(h.counts.back(), 1);
    // A negative lowest balance on an edge stays in its own bin.
    h = HistogramOfBalance(std::vector<SessionTally>{Balance(-20), Balance(19)}, 4);
    EXPECT_EQ(h.low, -20);
    EXPECT_EQ(h.width, 10);
    EXPECT_EQ(h.counts, (std::vector<std::int64_t>{1, 0, 0, 1}));
    h = HistogramOfBalance(std::vector<SessionTally>{Balance(-2'000'000'000), Balance(2'000'000'000)}, 3);
    EXPECT_EQ(h.width, 2'000'000'000);
    EXPECT_EQ(h.counts, (std::vector<std::int64_t>{1, 0, 1}));
    h = HistogramOfBalance(std::vector<SessionTally>{Balance(INT32_MIN), Balance(INT32_MAX)}, 1);
    EXPECT_EQ(h.width, 5'000'000'000);
    EXPECT_EQ(h.counts, (std::vector<std::int64_t>{1, 1}));
}

TEST(SpreadSummary, TextForm) {
    const std::vector<SessionTally> t{{-30, 1, 2, 40}, {30, 3, 9, 10}};
    const std::string text = SpreadText(Summarise({2, 10, 2, 5}, t));
    EXPECT_EQ(text,
              "setting\t2\ngames\t10\nsessions\t2\nseed\t5\n"
              "quantity\tmean\tsd\tse\tmin\tp1\tp5\tp10\tp25\tp50\tp75\tp90\tp95\tp99\tmax\n"
              "balance_medals\t0.0000\t42.4264\t30.0000\t-30\t-30\t-30\t-30\t-30\t-30\t30\t30\t30\t30\t30\n"
              "balance_yen\t0.0000\t848.5281\t600.0000\t-600\t-600\t-600\t-600\t-600\t-600\t600\t600\t600\t600\t600\n"
              "payout_percent\t100.0000\t141.4214\t100.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t0.0000\t200.0000"
              "\t200.0000\t200.0000\t200.0000\t200.0000\n"
              "bb_games\t2.0000\t1.4142\t1.0000\t1\t1\t1\t1\t1\t1\t3\t3\t3\t3\t3\n"
              "bbs\t5.5000\t4.9497\t3.5000\t2\t2\t2\t2\t2\t2\t9\t9\t9\t9\t9\n"
              "deepest_dip_medals\t25.0000\t21.2132\t15.0000\t10\t10\t10\t10\t10\t10\t40\t40\t40\t40\t40\n"
              "ahead\t1\t0.500000\t0.353553\n"
              "worst\t0\t" +
                  std::to_string(SessionSeed(5, 0)) +
                  "\t-30\n"
                  "best\t1\t" +
                  std::to_string(SessionSeed(5, 1)) + "\t30\n");
}

// A shard file spoilt in one way; each must be refused.
struct BadShard {
    const char* name;
    std::string (*spoil)(std::string);
};

void PrintTo(const BadShard& b, std::ostream* os) { *os << b.name; }

class SpreadBadShard : public ::testing::TestWithParam<BadShard> {};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    const std::size_t at = s.find(from);
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

std::string EraseLine(std::string s, const std::string& start) {
    const std::size_t at = s.find("\n" + start) + 1;
    return s.erase(at, s.find('\n', at) + 1 - at);
}

TEST_P(SpreadBadShard, IsRefused) {
    SpreadRequest r{3, 20, 10, 8, 1, 3};
    const std::string good = EncodeShard(r, Played(r, 1));
    ASSERT_NO_THROW(DecodeShard(good));
    const std::string bad = GetParam().spoil(good);
    ASSERT_NE(bad, good);
    EXPECT_THROW(DecodeShard(bad), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpreadBadShard,
    ::testing::Values(
        BadShard{"Empty", [](std::string) { return std::string(); }},
        BadShard{"OtherMark", [](std::string s) { return Replace(s, "morvane-spread\t1", "morvane-spread\t2"); }},
        BadShard{"CutInsideALine", [](std::string s) { return s.substr(0, s.size() - 3); }},
        BadShard{"LastSessionLost", [](std::string s) { return EraseLine(s, "7\t"); }},
        BadShard{"NoEndMark", [](std::string s) { return Replace(s, "end\t3\n", ""); }},
        BadShard{"WrongSessionIndex", [](std::string s) { return Replace(s, "\n4\t", "\n5\t"); }},
        BadShard{"ShardBeyondItsCount", [](std::string s) { return Replace(s, "shard\t1/3", "shard\t3/3"); }},
        BadShard{"SettingSeven", [](std::string s) { return Replace(s, "setting\t3", "setting\t7"); }},
        BadShard{"NotANumber", [](std::string s) { return Replace(s, "games\t20", "games\t2O"); }},
        BadShard{"TrailingBlank", [](std::string s) { return Replace(s, "seed\t8", "seed\t8 "); }},
        BadShard{"MoreAfterTheEnd", [](std::string s) { return s + s; }},
        BadShard{"MiddleSessionLost", [](std::string s) { return EraseLine(s, "4\t"); }},
        BadShard{"HeaderOnly", [](std::string s) { return s.substr(0, s.find("session\t")); }},
        BadShard{"OverlongLine", [](std::string s) { return Replace(s, "\n4\t", "\n4\t" + std::string(100, '0')); }}),
    [](const ::testing::TestParamInfo<BadShard>& info) { return std::string(info.param.name); });

TEST(Spread, ShardsThatDoNotBelongTogetherAreNotMerged) {
    auto shard = [](std::int32_t i, std::int32_t k, std::uint32_t seed) {
        SpreadRequest r{3, 20, 10, seed, i, k};
        return ShardFile{r, Played(r, 1)};
    };
    SpreadRequest whole;
    EXPECT_THROW(MergeShards({}, whole), std::runtime_error);
    EXPECT_THROW(MergeShards({shard(0, 2, 1)}, whole), std::runtime_error);
    EXPECT_THROW(MergeShards({shard(0, 2, 1), shard(0, 2, 1)}, whole), std::runtime_error);
    EXPECT_THROW(MergeShards({shard(0, 2, 1), shard(1, 2, 2)}, whole), std::runtime_error);
    EXPECT_THROW(MergeShards({shard(0, 2, 1), shard(1, 3, 1)}, whole), std::runtime_error);
    EXPECT_NO_THROW(MergeShards({shard(1, 2, 1), shard(0, 2, 1)}, whole));
}

// Tallies no session of 8,000 games can leave are refused with their line;
// each bound itself is taken. The largest dips taken still sum exactly.
TEST(Spread, ShardTalliesBeyondWhatTheGamesAllowAreRefused) {
    const std::int64_t big = std::int64_t{1} << 62;
    const SessionTally ordinary{-500, 30, 80, 900};
    const struct {
        SessionTally t;
        bool taken;
    } cases[] = {
        {ordinary, true},
        {{-24000, 0, 0, 24000}, true},  // every game lost its bet
        {{-24001, 0, 0, 24000}, false},
        {{-100, 0, 0, 24001}, false},
        {{-100, 0, 0, big}, false},
        {{-100, 0, 0, -1}, false},
        {{-100, 0, 0, 99}, false},  // the balance itself fell by 100
        {{56000, 0, 0, 0}, true},   // the best small win every game
        {{56001, 0, 0, 0}, false},
        {{2147483647, 8000, 2147483647, 0}, true},
        {{0, 8001, 9000, 0}, false},
        {{0, -1, 0, 0}, false},
        {{0, 3, 2, 0}, false},  // a BB has at least one set
        {{0, 0, 1, 0}, false},
    };
    const SpreadRequest r{2, 8000, 2, 5};
    for (const auto& c : cases) {
        const std::vector<SessionTally> two{ordinary, c.t};
        const std::string text = EncodeShard(r, two);
        const std::string what = text.substr(text.rfind("\n1\t"), 40);
        if (c.taken) {
            EXPECT_EQ(DecodeShard(text).tallies, two) << what;
            continue;
        }
        try {
            DecodeShard(text);
            ADD_FAILURE() << "taken: " << what;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("line 9: ", 0), 0u) << e.what();
        }
    }
    // The shards: 2^62 medals deep, in one session or in each of 1,000.
    for (const std::int32_t sessions : {1, 1000}) {
        const SpreadRequest many{1, 8000, sessions, 3};
        EXPECT_THROW(DecodeShard(EncodeShard(
                         many, std::vector<SessionTally>(static_cast<std::size_t>(sessions), {0, 0, 0, big}))),
                     std::runtime_error);
    }
    // The longest sessions: a dip is at most the distance between two 32-bit
    // balances, and at that bound the moments stay exact.
    const std::int32_t longest = 2147483647;
    const SessionTally deepest{INT32_MIN, 0, 0, std::int64_t{UINT32_MAX}};
    const SpreadRequest huge{1, longest, 1000, 3};
    EXPECT_THROW(DecodeShard(EncodeShard(huge, std::vector<SessionTally>(1000, {0, 0, 0, deepest.deepestDip + 1}))),
                 std::runtime_error);
    const std::vector<SessionTally> all =
        DecodeShard(EncodeShard(huge, std::vector<SessionTally>(1000, deepest))).tallies;
    std::vector<SessionTally> mixed = all;
    mixed[0].deepestDip = 0;
    const SpreadSummary same = Summarise(huge, all), apart = Summarise(huge, mixed);
    EXPECT_EQ(same.deepestDip.mean, static_cast<double>(UINT32_MAX));
    EXPECT_EQ(same.deepestDip.sd, 0.0);
    // One session 2^32 - 1 below 999 others: sd = (2^32 - 1) / sqrt(1000).
    EXPECT_DOUBLE_EQ(apart.deepestDip.sd, static_cast<double>(UINT32_MAX) / std::sqrt(1000.0));
}

// 20,000 sessions against the exact expectations of a run of N games from a
// fresh machine: payout rate, BB games and BBs within 4 standard errors.
void CheckAgainstTheory(int setting, std::int32_t games) {
    const SpreadRequest r{setting, games, 20'000, 2024};
    const SpreadSummary s = Summarise(r, Played(r, 0));
    const RunExpectation exact = SettingTheory(setting).ExpectedRun(games);
    const double toPayout = 100.0 / (3.0 * games);
    const std::string where = "setting " + std::to_string(setting);
    EXPECT_NEAR(s.balance.mean * toPayout + 100, exact.balance * toPayout + 100, 4 * s.balance.se * toPayout) << where;
    EXPECT_NEAR(s.bbGames.mean, exact.bbGames, 4 * s.bbGames.se) << where;
    EXPECT_NEAR(s.bbs.mean, exact.sets, 4 * s.bbs.se) << where;
    // The theory's spread of the BB games too, to the estimate's own accuracy.
    EXPECT_NEAR(s.bbGames.sd * s.bbGames.sd, exact.bbGamesVariance, 0.1 * exact.bbGamesVariance) << where;
}

TEST(SpreadTheory, TwentyThousandSessionsAgreeWithTheExactRunSlow) {
    CheckAgainstTheory(1, 2000);
    CheckAgainstTheory(6, 2000);
}

}  // namespace
}  // namespace morvane
