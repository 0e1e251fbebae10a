#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "run/checkpointed_run.h"
#include "run/guarded_records.h"
#include "run/history.h"
#include "run/run_records.h"
#include "run/single_run.h"
#include "simfile/sim_records.h"
#include "support/held_records.h"
#include "system/file_error.h"

namespace morvane {
namespace {

// Where the block size puts the run's blocks.
enum class Edge {
    Given,             // the case's own block size
    BBOpensBlock,      // the first BB game is a block's first game
    BBClosesBlock,     // ... its last game
    CeilingOpensBlock  // the first game at the ceiling is a block's first game
};

struct RunCase {
    const char* name;
    std::uint32_t seed;
    SettingChoice setting;
    std::int32_t games;
    std::size_t blockGames;
    Edge edge = Edge::Given;
    std::int64_t stopAt = 0;  // the slice after which the run is stopped; 0 plays it all
};

std::string Name(const testing::TestParamInfo<RunCase>& info) { return info.param.name; }
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

// What the interface must agree with, worked out from the records alone.
struct PlainScan {
    std::vector<std::size_t> bbRows, modeChangeRows;
    RunTallies tallies;
    std::vector<BlockSummary> blocks;
};

PlainScan Scan(std::span<const GameRecord> games, std::size_t blockGames) {
    PlainScan p;
    RunTallies& t = p.tallies;
    t.games = static_cast<std::int64_t>(games.size());
    t.finalBalance = games.back().medalBalance;
    for (std::size_t i = 0; i < games.size(); ++i) {
        const GameRecord& g = games[i];
        const auto at = static_cast<std::uint32_t>(i % blockGames);
        if (at == 0) {
            BlockSummary first{g.medalBalance, g.medalBalance, 0};
            first.balanceFirst = g.medalBalance;
            first.modeFirst = first.modeLow = first.modeHigh = g.mode;
            p.blocks.push_back(first);
        }
        BlockSummary& b = p.blocks.back();
        // An extreme lies at its first game.
        if (g.medalBalance < b.balanceLow) b.balanceLow = g.medalBalance, b.balanceLowAt = at;
        if (g.medalBalance > b.balanceHigh) b.balanceHigh = g.medalBalance, b.balanceHighAt = at;
        if (g.mode < b.modeLow) b.modeLow = g.mode, b.modeLowAt = at;
        if (g.mode > b.modeHigh) b.modeHigh = g.mode, b.modeHighAt = at;
        b.balanceLast = g.medalBalance;
        b.modeLast = g.mode;
        ++t.modeGames[static_cast<std::size_t>(g.mode)];
        ++b.modeGames[static_cast<std::size_t>(g.mode)];
        if (g.bbKind != NoBB) {
            p.bbRows.push_back(i);
            ++t.kmodes[static_cast<std::size_t>(g.kmode)];
            ++b.kmodes[static_cast<std::size_t>(g.kmode)];
            t.bbSets += g.bbSets;
            b.bbSets += g.bbSets;
            ++b.bbRows;
            b.longestStretch = std::max(b.longestStretch, g.gamesSinceBB);
            b.stretchGames += static_cast<std::uint32_t>(g.gamesSinceBB);
        } else {
            ++t.smallWins[static_cast<std::size_t>(g.koyaku)];
            ++b.smallWins[static_cast<std::size_t>(g.koyaku)];
        }
        // The mode-change list: the first game is none, nor is the BB that
        // follows a pending 7.
        const std::int32_t before = i ? games[i - 1].mode : g.mode;
        if (before != Blue7 && before != Red7 && g.mode != before) {
            p.modeChangeRows.push_back(i);
            ++b.modeChangeRows;
        }
    }
    t.bbGames = static_cast<std::int64_t>(p.bbRows.size());
    t.modeChangeRows = static_cast<std::int64_t>(p.modeChangeRows.size());
    return p;
}

SliceHook StopAt(std::int64_t stopAt) {
    if (stopAt == 0) return {};
    return [stopAt](std::int64_t played) { return played < stopAt; };
}

std::size_t BlockSize(const RunCase& c, const PlayHistory& h) {
    const auto first = [&](auto pred) {
        for (std::size_t i = 0; i < h.size(); ++i)
            if (pred(h[i])) return i;
        ADD_FAILURE() << "the run has no such game";
        return std::size_t{1};
    };
    switch (c.edge) {
    case Edge::Given: return c.blockGames;
    case Edge::BBOpensBlock: return first([](const GameRecord& g) { return g.bbKind != NoBB; });
    case Edge::BBClosesBlock: return first([](const GameRecord& g) { return g.bbKind != NoBB; }) + 1;
    case Edge::CeilingOpensBlock: return first([](const GameRecord& g) { return g.gamesSinceBB == kCeilingGames; });
    }
    return c.blockGames;
}

class RunRecordsSuite : public testing::TestWithParam<RunCase> {
protected:
    void SetUp() override {
        const RunCase& c = GetParam();
        Slot memorySlot(c.seed);
        setting_ = SimulateRun(memorySlot, history_, c.setting, c.games, {}, StopAt(c.stopAt));
        end_ = memorySlot.Save();
        if (c.stopAt) {
            ASSERT_EQ(history_.size(), static_cast<std::size_t>(c.stopAt)) << "the run stopped there";
        }
        blockGames_ = BlockSize(c, history_);
        ASSERT_GT(blockGames_, 0u);
        plain_ = Scan(history_.records(), blockGames_);
    }

    // Every way of reading `r` against the records played into memory.
    void ExpectSameRecords(const RunRecords& r) {
        const std::span<const GameRecord> want = history_.records();
        const std::size_t n = want.size();
        ASSERT_EQ(r.size(), n);

        std::vector<GameRecord> all;
        std::size_t next = 0;
        r.ForAll([&](std::size_t first, std::span<const GameRecord> p) {
            EXPECT_EQ(first, next);
            EXPECT_FALSE(p.empty());
            next = first + p.size();
            all.insert(all.end(), p.begin(), p.end());
            return true;
        });
        ASSERT_EQ(all.size(), n);
        ASSERT_EQ(std::memcmp(all.data(), want.data(), n * sizeof(GameRecord)), 0);

        // Rows at and around every edge of a block, and some anywhere.
        std::vector<std::size_t> rows = {0, n - 1};
        for (std::size_t edge = blockGames_; edge < n && rows.size() < 200; edge += blockGames_)
            for (std::size_t i : {edge - 1, edge, edge + 1})
                if (i < n) rows.push_back(i);
        std::mt19937 pick(GetParam().seed);
        for (int k = 0; k < 50; ++k) rows.push_back(pick() % n);
        for (std::size_t i : rows) ASSERT_EQ(r.at(i), want[i]) << "record " << i;

        // Stretches: empty, inside a block, across edges, the whole run.
        const std::size_t k = blockGames_;
        const std::pair<std::size_t, std::size_t> stretches[] = {{0, 0},
                                                                 {0, n},
                                                                 {n, n},
                                                                 {n / 2, n / 2},
                                                                 {0, std::min(n, k)},
                                                                 {k - 1 < n ? k - 1 : 0, std::min(n, 2 * k + 1)},
                                                                 {n / 3, n - n / 5},
                                                                 {n - 1, n}};
        for (const auto& [a, b] : stretches) {
            std::vector<GameRecord> got(b - a);
            r.Read(a, b, got.data());
            ASSERT_TRUE(std::equal(got.begin(), got.end(), want.begin() + static_cast<std::ptrdiff_t>(a)))
                << "[" << a << ", " << b << ")";
        }

        // A piece that returns false is the last.
        std::size_t pieces = 0;
        r.ForEach(0, n, [&](std::size_t, std::span<const GameRecord>) { return ++pieces, false; });
        EXPECT_EQ(pieces, 1u);

        EXPECT_THROW(r.at(n), std::out_of_range);
        GameRecord spare;
        EXPECT_THROW(r.Read(1, 0, &spare), std::out_of_range);
        EXPECT_THROW(r.Read(0, n + 1, &spare), std::out_of_range);
        EXPECT_THROW(r.ForEach(n, n + 1, [](std::size_t, std::span<const GameRecord>) { return true; }),
                     std::out_of_range);
    }

    void ExpectSameIndex(const RunRecords& r) {
        EXPECT_EQ(r.Tallies(), plain_.tallies);
        const auto blocks = r.Index().Blocks();
        ASSERT_EQ(blocks.size(), plain_.blocks.size());
        for (std::size_t b = 0; b < blocks.size(); ++b) ASSERT_EQ(blocks[b], plain_.blocks[b]) << "block " << b;

        // Every row of a short list, a spread of a long one.
        const auto stride = [](std::size_t rows) { return std::max<std::size_t>(1, rows / 400); };
        for (std::size_t k = 0; k < plain_.bbRows.size(); k += stride(plain_.bbRows.size()))
            ASSERT_EQ(r.BBRow(k), plain_.bbRows[k]) << "BB row " << k;
        for (std::size_t k = 0; k < plain_.modeChangeRows.size(); k += stride(plain_.modeChangeRows.size()))
            ASSERT_EQ(r.ModeChangeRow(k), plain_.modeChangeRows[k]) << "mode-change row " << k;
        if (!plain_.bbRows.empty()) {
            EXPECT_EQ(r.BBRow(plain_.bbRows.size() - 1), plain_.bbRows.back());
        }
        if (!plain_.modeChangeRows.empty()) {
            EXPECT_EQ(r.ModeChangeRow(plain_.modeChangeRows.size() - 1), plain_.modeChangeRows.back());
        }
        EXPECT_THROW(r.BBRow(plain_.bbRows.size()), std::out_of_range);
        EXPECT_THROW(r.ModeChangeRow(plain_.modeChangeRows.size()), std::out_of_range);
    }

    // A file of this case's own, removed with the fixture.
    std::string SavedPath() {
        saved_ = std::filesystem::temp_directory_path() /
                 ("morvane-records-" + std::to_string(::getpid()) + "-" + GetParam().name + ".sim");
        return saved_.string();
    }
    void TearDown() override {
        std::error_code ignored;
        if (!saved_.empty()) std::filesystem::remove(saved_, ignored);
    }

    std::filesystem::path saved_;
    PlayHistory history_;
    int setting_ = 0;
    MachineState end_;
    std::size_t blockGames_ = 0;
    PlainScan plain_;
};

TEST_P(RunRecordsSuite, CheckpointedRunReadsAsTheRecordsInMemory) {
    const RunCase& c = GetParam();
    Slot slot(c.seed);
    CheckpointedRun run(blockGames_);
    EXPECT_EQ(run.Simulate(slot, c.setting, c.games, {}, StopAt(c.stopAt)), setting_);
    EXPECT_EQ(slot.Save(), end_) << "the machine ends where the recorded run left it";
    EXPECT_EQ(run.End(), end_);
    ExpectSameRecords(run);
    ExpectSameIndex(run);
    // Reading plays on a machine of its own.
    EXPECT_EQ(slot.Save(), end_);
}

// A run that keeps its bars: the same index, and beside it every BB
// game's bar in order.
TEST_P(RunRecordsSuite, RunKeepsItsBars) {
    const RunCase& c = GetParam();
    Slot slot(c.seed);
    CheckpointedRun run(blockGames_);
    run.KeepBars();
    run.Simulate(slot, c.setting, c.games, {}, StopAt(c.stopAt));
    ExpectSameIndex(run);
    ASSERT_TRUE(run.Index().KeepsBars());
    std::vector<std::int32_t> bars;
    for (const GameRecord& g : history_.records())
        if (g.bbKind != NoBB) bars.push_back(g.gamesSinceBB);
    EXPECT_TRUE(std::ranges::equal(run.Index().Bars(), bars));
}

TEST_P(RunRecordsSuite, HistoryReadsAsItsRecords) {
    const HistoryRecords records(history_, blockGames_);
    ExpectSameRecords(records);
    ExpectSameIndex(records);
}

// A saved run read from its file in pieces, the records handed to the
// opener's own check in order as the index is built.
TEST_P(RunRecordsSuite, SavedFileReadsAsItsRecords) {
    const std::string path = SavedPath();
    SaveSimFile(path, {setting_, 1234}, history_);
    std::vector<GameRecord> observed;
    const auto file = SimFileRecords::Open(
        path,
        [&](std::size_t first, std::span<const GameRecord> p) {
            EXPECT_EQ(first, observed.size());
            observed.insert(observed.end(), p.begin(), p.end());
            return true;
        },
        blockGames_);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Result().status, SimStatus::Ok);
    EXPECT_EQ(file->Result().header, (SimHeader{setting_, 1234}));
    ASSERT_EQ(observed.size(), history_.size());
    EXPECT_TRUE(std::equal(observed.begin(), observed.end(), history_.records().begin()));
    ExpectSameRecords(*file);
    ExpectSameIndex(*file);
}

// A run of the same length played again into the same object replaces it.
TEST_P(RunRecordsSuite, NextRunReplacesTheCheckpointedOne) {
    const RunCase& c = GetParam();
    Slot slot(c.seed + 1);
    CheckpointedRun run(blockGames_);
    run.Simulate(slot, {false, 3}, 777);
    Slot again(c.seed);
    run.Simulate(again, c.setting, c.games, {}, StopAt(c.stopAt));
    ExpectSameRecords(run);
    EXPECT_EQ(run.Tallies(), plain_.tallies);
}

const RunCase kRuns[] = {
    {"CrossesManyCheckpoints", 1, {false, 6}, 50000, 1000},
    {"BlockOfOneGame", 7, {false, 2}, 3000, 1},
    {"OddBlocksHiddenSetting", 12345, {true, 0}, 40000, 7},
    {"FirstBBOpensABlock", 5, {false, 4}, 30000, 0, Edge::BBOpensBlock},
    {"FirstBBClosesABlock", 5, {false, 4}, 30000, 0, Edge::BBClosesBlock},
    {"CeilingOpensABlock", 2024, {false, 1}, 200000, 0, Edge::CeilingOpensBlock},
    {"BlockOfTheCeiling", 2024, {false, 1}, 60000, kCeilingGames},
    {"OneGame", 9, {false, 3}, 1, 4},
    {"OneGameInABlockOfOne", 9, {false, 3}, 1, 1},
    {"FewerGamesThanABlock", 31, {false, 5}, 500, 16384},
    {"OneBlockExactly", 31, {false, 5}, 4096, 4096},
    // Stopped after the first slice: blocks of 5000 do not divide it.
    {"StoppedMidBlock", 77, {false, 1}, 3 * kSliceGames, 5000, Edge::Given, kSliceGames},
    {"StoppedAtTheLastSlice", 77, {false, 6}, kSliceGames + 10, 4096, Edge::Given, kSliceGames + 10},
};
INSTANTIATE_TEST_SUITE_P(Runs, RunRecordsSuite, testing::ValuesIn(kRuns), Name);

// A block's ends and their first games at the edges of what a record
// holds: the most games a run has, balances at either end of 32 bits,
// ties, and the largest block.
TEST(RunIndex, EndsOfTheBalanceAtTheEdgesOfTheRange) {
    struct Case {
        const char* name;
        std::size_t blockGames;
        std::int32_t firstGame;
        std::vector<std::int32_t> balances;
        std::int32_t low, high;
        std::uint32_t lowAt, highAt;
    };
    const Case cases[] = {
        {"last games of the longest run", 16384, INT32_MAX - 4, {5, -7, 9, -7, 9}, -7, 9, 1, 2},
        {"32-bit ends", 16384, INT32_MAX - 2, {INT32_MIN, INT32_MAX, INT32_MIN}, INT32_MIN, INT32_MAX, 0, 1},
        {"one game", 1, INT32_MAX, {INT32_MIN}, INT32_MIN, INT32_MIN, 0, 0},
        {"largest block, ends last", kMostBlockGames, 1, {}, INT32_MIN + 1, INT32_MAX - 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int32_t> balances = c.balances;
        std::uint32_t lowAt = c.lowAt, highAt = c.highAt;
        if (balances.empty()) {
            // A whole block of the largest size, its ends at its last games.
            balances.assign(c.blockGames, 0);
            balances[c.blockGames - 2] = c.high;
            balances[c.blockGames - 1] = c.low;
            highAt = static_cast<std::uint32_t>(c.blockGames - 2);
            lowAt = static_cast<std::uint32_t>(c.blockGames - 1);
        }
        RunIndex index(c.blockGames);
        RunIndex::Scan scan = index.Open(c.firstGame);
        std::int64_t game = c.firstGame;
        for (const std::int32_t b : balances) {
            GameRecord r{};
            r.medalBalance = b;
            r.playCount = static_cast<std::int32_t>(game++);
            r.koyaku = Miss;
            scan(r);
        }
        index.Close(scan, static_cast<std::int32_t>(game - 1), balances.back());
        ASSERT_EQ(index.Blocks().size(), 1u);
        const BlockSummary& s = index.Blocks()[0];
        EXPECT_EQ(s.balanceLow, c.low);
        EXPECT_EQ(s.balanceHigh, c.high);
        EXPECT_EQ(s.balanceLowAt, lowAt);
        EXPECT_EQ(s.balanceHighAt, highAt);
        EXPECT_EQ(s.balanceFirst, balances.front());
    }
    EXPECT_THROW(RunIndex(kMostBlockGames + 1), std::invalid_argument);
}

// Records from elsewhere (a file) need not number their games one by one
// nor hold the machine's codes: other small wins count apart, other modes
// and continuation modes count for none, and the mode-change rows follow
// the same rule. Blocks of 3 put a change of mode at a block's first game.
TEST(HistoryRecords, RecordsFromElsewhere) {
    PlayHistory h;
    //           since balance sets  game  bb       kmode mode     koyaku
    h.push_back({1, -3, 0, 500, NoBB, 0, LowProb, Miss});
    h.push_back({2, -2, 0, 7, NoBB, 0, LowProb, 42});
    h.push_back({3, -5, 0, 7, NoBB, 0, 9, Bell});
    h.push_back({4, 100, 4, -1, BlueBB, 7, Red7, BBGame});
    h.push_back({1, 97, 0, 0, NoBB, 7, Hamari, Cherry2});
    h.push_back({2, 98, 0, 0, NoBB, 7, Hamari, -1});
    h.push_back({3, 95, 0, 0, NoBB, 7, HighProb, Chance});
    const HistoryRecords r(h, 3);

    RunTallies want;
    want.games = 7;
    want.finalBalance = 95;
    want.modeGames[LowProb] = 2;  // mode 9 counts for none
    want.modeGames[Red7] = 1;
    want.modeGames[Hamari] = 2;
    want.modeGames[HighProb] = 1;
    want.smallWins[Miss] = 1;
    want.smallWins[Bell] = 1;
    want.smallWins[Cherry2] = 1;
    want.smallWins[Chance] = 1;
    want.smallWins[kOtherWin] = 2;  // 42 and -1
    want.bbGames = 1;               // kmode 7 counts for no continuation mode
    want.bbSets = 4;
    want.modeChangeRows = 3;  // to 9, to Red7, to HighProb; not the one out of the pending Red7
    EXPECT_EQ(r.Tallies(), want);
    const auto blocks = r.Index().Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].modeChangeRows, 1u);
    EXPECT_EQ(blocks[1].modeChangeRows, 1u) << "the block opens with a change from the last block's mode";
    EXPECT_EQ(blocks[1].modeGames[LowProb], 0u);
    EXPECT_EQ(blocks[1].balanceLow, 97);
    EXPECT_EQ(blocks[1].balanceHigh, 100);
    EXPECT_EQ(blocks[1].longestStretch, 4);
    EXPECT_EQ(blocks[2].balanceLast, 95);
    EXPECT_EQ(r.ModeChangeRow(0), 2u);
    EXPECT_EQ(r.ModeChangeRow(1), 3u);
    EXPECT_EQ(r.ModeChangeRow(2), 6u);
    EXPECT_EQ(r.BBRow(0), 3u);
}

// A file changed on disk after it was opened fails every later read with
// a FileError that says so; one replaced by another file under its name is
// still the one opened.
TEST(SimFileRecords, FileChangedAfterItWasOpened) {
    PlayHistory h;
    Slot slot(3);
    SimulateRun(slot, h, {false, 2}, 5000);
    const auto path = std::filesystem::temp_directory_path() / ("morvane-changed-" + std::to_string(::getpid()));
    const auto other = path.string() + ".other";
    const auto resize = [&](std::uintmax_t bytes) { std::filesystem::resize_file(path, bytes); };
    // A write in place within the clock's tick keeps the time; a later time
    // stands for it.
    const auto touch = [&] {
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
    };
    struct Change {
        const char* name;
        std::function<void()> apply;
        bool fails;
    };
    const Change changes[] = {
        {"cut by a record", [&] { resize(SimFileBytes(h.size() - 1)); }, true},
        {"cut to its header", [&] { resize(kSimHeaderBytes); }, true},
        {"grown", [&] { resize(SimFileBytes(h.size() + 1)); }, true},
        {"written over in place", touch, true},
        {"replaced under its name",
         [&] {
             SaveSimFile(other, {1, 1}, PlayHistory{});
             std::filesystem::rename(other, path);
         },
         false},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.name);
        SaveSimFile(path.string(), {2, 5000}, h);
        const auto file = SimFileRecords::Open(path.string(), {}, 1000);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(file->at(4321), h[4321]);
        c.apply();
        if (!c.fails) {
            EXPECT_EQ(file->at(4999), h[4999]);
            continue;
        }
        try {
            file->at(10);
            ADD_FAILURE() << "read a changed file";
        } catch (const FileError& e) {
            EXPECT_NE(std::string(e.what()).find("changed or cut short after it was opened"), std::string::npos)
                << e.what();
        }
        EXPECT_THROW(file->BBRow(0), FileError);
        EXPECT_THROW(file->ForAll([](std::size_t, std::span<const GameRecord>) { return true; }), FileError);
    }
    std::filesystem::remove(path);

    // Streams cannot be read again; files that are no run are told apart.
    EXPECT_EQ(SimFileRecords::Open("/dev/null"), nullptr);
    std::ofstream(path, std::ios::binary) << std::string("\x0a\0\0\0\1\0", 6);
    EXPECT_EQ(SimFileRecords::Open(path.string())->Result().status, SimStatus::ShortHeader);
    std::ofstream(path, std::ios::binary) << std::string("\x0b\0\0\0", 4);
    EXPECT_EQ(SimFileRecords::Open(path.string())->Result().status, SimStatus::NotSimulation);
    std::filesystem::remove(path);
    EXPECT_THROW(SimFileRecords::Open(path.string()), FileError);
}

// Guarded, a file cut short reads blank from the cut on and says so once;
// what the reader itself throws still reaches it, and a whole file reads
// as it is.
TEST(GuardedRecords, AReadThatFailsGivesBlanksAndSaysSoOnce) {
    PlayHistory h;
    Slot slot(4);
    SimulateRun(slot, h, {false, 5}, 3000);
    const auto path = std::filesystem::temp_directory_path() / ("morvane-guarded-" + std::to_string(::getpid()));
    SaveSimFile(path.string(), {5, 3000}, h);
    const auto file = SimFileRecords::Open(path.string(), {}, 1000);
    std::vector<std::string> said;
    const GuardedRecords guarded(*file, [&](const std::string& m) { said.push_back(m); });
    EXPECT_EQ(guarded.Tallies(), file->Tallies());
    EXPECT_EQ(test::Held(guarded), h);
    EXPECT_THROW(
        guarded.ForAll([](std::size_t, std::span<const GameRecord>) -> bool { throw std::logic_error("own"); }),
        std::logic_error);
    EXPECT_TRUE(said.empty());

    std::filesystem::resize_file(path, SimFileBytes(10));
    std::vector<GameRecord> got(3000);
    guarded.Read(0, 3000, got.data());
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("changed or cut short"), std::string::npos) << said[0];
    EXPECT_EQ(got[2999], GameRecord{});
    EXPECT_EQ(guarded.at(5), GameRecord{});
    EXPECT_EQ(guarded.BBRow(0), 0u) << "a BB row found in blank records is the block's first game";
    EXPECT_EQ(said.size(), 1u);
    EXPECT_TRUE(guarded.Failed());
    std::filesystem::remove(path);
}

// Seed 1, setting 1, 100000 games: first hits, BBs and the balance of the
// summary in tests/reference/independent_results.md (収支 -161320円 at 20
// yen a medal is -8066 medals).
TEST(CheckpointedRun, TalliesOfTheReferenceRun) {
    Slot slot(1);
    CheckpointedRun run;
    run.Simulate(slot, {false, 1}, 100000);
    EXPECT_EQ(run.Tallies().bbGames, 312);
    EXPECT_EQ(run.Tallies().bbSets, 1583);
    EXPECT_EQ(run.Tallies().finalBalance, -8066);
    EXPECT_EQ(run.Tallies().games, 100000);
}

TEST(CheckpointedRun, RefusesBadInputBeforeTouchingAnything) {
    Slot slot(1);
    CheckpointedRun run(100);
    run.Simulate(slot, {false, 2}, 1000);
    const MachineState state = slot.Save();
    EXPECT_THROW(run.Simulate(slot, {false, 7}, 100), std::out_of_range);
    EXPECT_THROW(run.Simulate(slot, {false, 1}, 0), std::invalid_argument);
    EXPECT_EQ(slot.Save(), state);
    EXPECT_EQ(run.size(), 1000u);
    EXPECT_THROW(CheckpointedRun{0}, std::invalid_argument);
}

}  // namespace
}  // namespace morvane
