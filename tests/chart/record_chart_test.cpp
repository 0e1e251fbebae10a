// The charts' figures read from a run's records, played again from
// checkpoints or held in memory, against the plain functions over the
// full columns of the same run.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "chart/record_chart.h"
#include "run/checkpointed_run.h"
#include "run/single_run.h"

namespace morvane::chart {

namespace {

// The window's marker series, in its order.
constexpr std::array<std::int32_t, 5> kMarkerKoyaku = {Cherry4, Suika_A, Suika_B, Chance, Cherry2};

struct RunCase {
    const char* name;
    std::uint32_t seed;
    int setting;
    std::int32_t games;
    std::size_t blockGames;   // 0: the first BB game opens the second block
    std::int64_t stopAt = 0;  // the slice after which the run is stopped; 0 plays it all
};

SliceHook StopAt(std::int64_t stopAt) {
    if (stopAt == 0) return {};
    return [stopAt](std::int64_t played) { return played < stopAt; };
}

std::string Name(const testing::TestParamInfo<RunCase>& info) { return info.param.name; }
// By name: the bytes of a case hold a pointer and padding, which would make
// the listed test names differ from run to run.
void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

// A view as the chart asks for it: the x axis's range and the plot's size.
struct View {
    const char* name;
    double xmin, xmax;
    int columns = 500, rows = 180;
};

// Views of a run of n games with blocks of k: the whole run, inside one
// block, across block edges, columns that end on block edges, few games,
// one game, and past either end.
std::vector<View> Views(std::size_t n, std::size_t k) {
    const auto N = static_cast<double>(n), K = static_cast<double>(k);
    return {
        {"whole", 1, N},
        {"whole, narrow", 1, N, 37, 40},
        {"one column", 1, N, 1, 1},
        {"inside a block", K + 100, 2 * K - 100, 40, 100},
        {"across edges", K / 2 + 0.3, 5 * K + 7.6, 333},
        {"columns on block edges", K + 1, 9 * K + 1, 8},
        {"a column per game or more", 3 * K - 400, 3 * K + 1600},
        {"exact", 2 * K - 10, 2 * K + 90},
        {"one game", 7, 7},
        {"between games", 7.2, 7.8},
        {"past the end", N - 2 * K, N + 5000, 123},
        {"before the start", -1000, 2.5 * K, 211},
    };
}

class RecordChartTest : public testing::TestWithParam<RunCase> {
protected:
    void SetUp() override {
        const RunCase& c = GetParam();
        Slot a(c.seed), b(c.seed), d(c.seed);
        SimulateRun(a, history_, {false, c.setting}, c.games, {}, StopAt(c.stopAt));
        blockGames_ = c.blockGames;
        if (blockGames_ == 0) {
            const auto bb =
                std::ranges::find_if(history_.records(), [](const GameRecord& r) { return r.bbKind != NoBB; });
            ASSERT_NE(bb, history_.records().end());
            blockGames_ = static_cast<std::size_t>(bb - history_.records().begin());
        }
        played_ = std::make_unique<CheckpointedRun>(blockGames_);
        played_->Simulate(b, {false, c.setting}, c.games, {}, StopAt(c.stopAt));
        // Kept ready to be drawn, as the window's runs are: no second pass.
        drawn_ = std::make_unique<CheckpointedRun>(blockGames_);
        drawn_->KeepBars();
        drawn_->Simulate(d, {false, c.setting}, c.games, {}, StopAt(c.stopAt));
        held_ = std::make_unique<HistoryRecords>(history_, blockGames_);
        IndexColumns();
    }

    // What the plain functions read: the marker points and the indexes.
    void IndexColumns() {
        markers_.clear();
        const auto all = history_.records();
        for (std::size_t m = 0; m < kMarkerKoyaku.size(); ++m) {
            markers_.emplace_back();
            for (const GameRecord& r : all)
                if (r.bbKind == NoBB && r.koyaku == kMarkerKoyaku[m])
                    markers_[m].push_back({static_cast<double>(r.playCount), static_cast<double>(r.medalBalance)});
        }
        balanceIndex_ = SeriesIndex(X(), Balance());
        modeIndex_ = SeriesIndex(X(), Mode());
        levels_ = LevelIndex(Mode());
    }

    Samples Column(std::int32_t GameRecord::*f) const {
        return {&(history_.records().data()->*f), history_.size(), sizeof(GameRecord)};
    }
    Samples X() const { return Column(&GameRecord::playCount); }
    Samples Balance() const { return Column(&GameRecord::medalBalance); }
    Samples Mode() const { return Column(&GameRecord::mode); }

    // Every figure of the view equals the plain functions' over the columns.
    void ExpectSameFigures(const RecordChart& rc, const View& v) {
        SCOPED_TRACE(v.name);
        EXPECT_EQ(rc.Envelope(Field::Balance, v.xmin, v.xmax, v.columns),
                  Envelope(X(), Balance(), v.xmin, v.xmax, v.columns, &balanceIndex_));
        EXPECT_EQ(rc.Envelope(Field::Mode, v.xmin, v.xmax, v.columns),
                  Envelope(X(), Mode(), v.xmin, v.xmax, v.columns, &modeIndex_));
        const Range r = rc.YRange(Field::Balance, v.xmin, v.xmax),
                    want = YRange(X(), Balance(), v.xmin, v.xmax, &balanceIndex_);
        EXPECT_EQ(r.min, want.min);
        EXPECT_EQ(r.max, want.max);
        EXPECT_EQ(rc.CountIn(v.xmin, v.xmax), CountIn(X(), v.xmin, v.xmax, &balanceIndex_));
        const auto shares = rc.LevelShares(v.xmin, v.xmax, v.columns);
        const auto wantShares = chart::LevelShares(X(), Mode(), v.xmin, v.xmax, v.columns, &modeIndex_, &levels_);
        ASSERT_EQ(shares.size(), wantShares.size());
        for (std::size_t i = 0; i < shares.size(); ++i) {
            EXPECT_EQ(shares[i].column, wantShares[i].column);
            EXPECT_EQ(shares[i].x0, wantShares[i].x0);
            EXPECT_EQ(shares[i].x1, wantShares[i].x1);
            EXPECT_EQ(shares[i].games, wantShares[i].games);
            EXPECT_EQ(shares[i].counts, wantShares[i].counts) << "column " << i;
        }
        // The markers within the balance's range and within a part of it.
        const double span = std::max(1.0, want.max - want.min);
        for (const auto& [ymin, ymax] :
             {std::pair{want.min - 10, want.max + 10}, std::pair{want.min + span * 0.3, want.min + span * 0.6}}) {
            for (std::size_t m = 0; m < kMarkerKoyaku.size(); ++m)
                EXPECT_EQ(rc.Thin(m, v.xmin, v.xmax, ymin, ymax, v.columns, v.rows),
                          Thin(markers_[m], v.xmin, v.xmax, ymin, ymax, v.columns, v.rows))
                    << "marker " << m << " rows " << ymin << " .. " << ymax;
            // All series at once, and two out of order, as each alone: a
            // block played again for one series feeds the others only
            // their own points.
            const std::size_t all[] = {0, 1, 2, 3, 4}, some[] = {3, 1};
            for (std::span<const std::size_t> asked :
                 {std::span<const std::size_t>(all), std::span<const std::size_t>(some)}) {
                const auto many = rc.ThinMany(asked, v.xmin, v.xmax, ymin, ymax, v.columns, v.rows);
                ASSERT_EQ(many.size(), asked.size());
                for (std::size_t q = 0; q < asked.size(); ++q)
                    EXPECT_EQ(many[q], Thin(markers_[asked[q]], v.xmin, v.xmax, ymin, ymax, v.columns, v.rows))
                        << "marker " << asked[q] << " of " << asked.size() << " rows " << ymin << " .. " << ymax;
            }
        }
    }

    PlayHistory history_;
    std::size_t blockGames_ = 0;
    std::unique_ptr<CheckpointedRun> played_, drawn_;
    std::unique_ptr<HistoryRecords> held_;
    std::vector<std::vector<XY>> markers_;
    SeriesIndex balanceIndex_, modeIndex_;
    LevelIndex levels_;
};

TEST_P(RecordChartTest, PlayedAgainOrHeldEveryViewDrawsWhatTheColumnsGive) {
    ASSERT_EQ(played_->size(), history_.size());
    ASSERT_EQ(drawn_->size(), history_.size());
    for (const RunRecords* records :
         {static_cast<const RunRecords*>(played_.get()), static_cast<const RunRecords*>(drawn_.get()),
          static_cast<const RunRecords*>(held_.get())}) {
        const RecordChart rc(*records, kMarkerKoyaku);
        for (const View& v : Views(history_.size(), blockGames_)) ExpectSameFigures(rc, v);
    }
}

TEST_P(RecordChartTest, OneBarPerBBAndEveryMarkerCounted) {
    std::vector<std::int32_t> bars;
    for (const GameRecord& r : history_.records())
        if (r.bbKind != NoBB) bars.push_back(r.gamesSinceBB);
    if (history_.size() > 10'000) {
        ASSERT_FALSE(bars.empty());
    }
    // Played again, or taken from the run's own pass, for the window's
    // markers and for a few of them.
    for (const RunRecords* records :
         {static_cast<const RunRecords*>(played_.get()), static_cast<const RunRecords*>(drawn_.get())}) {
        const RecordChart rc(*records, kMarkerKoyaku);
        EXPECT_TRUE(std::ranges::equal(rc.BarHeights(), bars));
        for (std::size_t m = 0; m < kMarkerKoyaku.size(); ++m) EXPECT_EQ(rc.MarkerPoints(m), markers_[m].size());
        const std::int32_t few[] = {Chance, Cherry4};
        const RecordChart some(*records, few);
        EXPECT_EQ(some.MarkerPoints(0), markers_[3].size());
        EXPECT_EQ(some.MarkerPoints(1), markers_[0].size());
    }
    // The chart of a run that keeps its bars holds none of its own.
    EXPECT_EQ(RecordChart(*drawn_, kMarkerKoyaku).Bytes() + bars.size() * sizeof(std::int32_t),
              RecordChart(*played_, kMarkerKoyaku).Bytes());
}

TEST_P(RecordChartTest, GameNumbersOutOfStepAreReadAsTheyStand) {
    // A loaded file's game numbers need not count one by one: shuffled, the
    // chart reads the columns as they are, as the plain functions do.
    PlayHistory shuffled = history_;
    std::vector<std::int32_t> numbers(shuffled.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = shuffled[i].playCount;
    std::mt19937 rng(GetParam().seed);
    std::shuffle(numbers.begin() + 1, numbers.end(), rng);
    for (std::size_t i = 0; i < numbers.size(); ++i) shuffled.records()[i].playCount = numbers[i];
    history_ = shuffled;
    IndexColumns();
    const HistoryRecords records(history_, blockGames_);
    const RecordChart rc(records, kMarkerKoyaku);
    for (const View& v : Views(history_.size(), blockGames_)) ExpectSameFigures(rc, v);
}

INSTANTIATE_TEST_SUITE_P(Runs, RecordChartTest,
                         testing::Values(RunCase{"setting1_small_blocks", 11, 1, 200'000, 1024},
                                         RunCase{"setting6_odd_blocks", 12, 6, 150'001, 777},
                                         RunCase{"setting3_default_blocks", 13, 3, 300'000, kDefaultBlockGames},
                                         RunCase{"one_game", 14, 2, 1, 4},
                                         RunCase{"first_bb_opens_a_block", 15, 5, 60'000, 0},
                                         // Blocks of 5000 do not divide the slice it stops after.
                                         RunCase{"stopped_mid_block", 16, 4, 3 * kSliceGames, 5000, kSliceGames}),
                         Name);

TEST(RecordChart, AnEmptyRunDrawsNothing) {
    const PlayHistory none;
    const HistoryRecords records(none);
    const RecordChart rc(records, kMarkerKoyaku);
    EXPECT_TRUE(rc.Envelope(Field::Balance, 1, 100, 500).empty());
    EXPECT_TRUE(rc.LevelShares(1, 100, 500).empty());
    EXPECT_TRUE(rc.Thin(0, 1, 100, -10, 10, 500, 100).empty());
    EXPECT_EQ(rc.CountIn(-1e9, 1e9), 0u);
    EXPECT_TRUE(rc.BarHeights().empty());
}

}  // namespace
}  // namespace morvane::chart
