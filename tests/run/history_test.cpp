#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "reference/straight_slot.h"
#include "run/history.h"
#include "run/history_room.h"
#include "run/single_run.h"
#include "support/child_process.h"
#include "support/temp_folder.h"
#include "system/memory_room.h"

namespace morvane {
namespace {

void ExpectRunInvariants(const PlayHistory& h, const Slot& slot, std::size_t n) {
    ASSERT_EQ(h.size(), n);
    EXPECT_EQ(h.BBLog()[0], 0) << "a run never starts with a BB";
    EXPECT_EQ(h.MedalLog()[n - 1], slot.medalBalance);
    EXPECT_EQ(h.PlayNumLog()[n - 1], slot.playCount);
    std::int32_t lastKmode = -1;
    for (std::size_t i = 0; i < n; ++i) {
        const bool bb = h.BBLog()[i] != 0;
        ASSERT_EQ(h.PlayNumLog()[i], static_cast<std::int32_t>(i + 1));
        ASSERT_EQ(h.PlayNum2Log()[i], i == 0 || h.BBLog()[i - 1] != 0 ? 1 : h.PlayNum2Log()[i - 1] + 1) << i;
        ASSERT_LE(h.PlayNum2Log()[i], kMaxGamesSinceBB);
        ASSERT_EQ(bb, h.KeizokuNumLog()[i] != 0) << i;
        ASSERT_EQ(bb, h.KoyakuLog()[i] == BBGame) << i;
        ASSERT_GE(h.ModeLog()[i], 0);
        ASSERT_LT(h.ModeLog()[i], kModes);
        const std::int32_t before = i == 0 ? 0 : h.MedalLog()[i - 1];
        if (bb) {
            ASSERT_GE(h.BBLog()[i], 1);
            ASSERT_LE(h.BBLog()[i], 2);
            ASSERT_GE(h.KModeLog()[i], 0);
            ASSERT_LT(h.KModeLog()[i], kKModes);
            lastKmode = h.KModeLog()[i];
            // A BB game comes from a pending 7 or from the ceiling's coin.
            const bool pending = h.ModeLog()[i - 1] == Blue7 || h.ModeLog()[i - 1] == Red7;
            ASSERT_TRUE(pending || (h.PlayNum2Log()[i] == kCeilingGames && h.BBLog()[i] == BlueBB)) << i;
            if (pending && h.PlayNum2Log()[i] != kCeilingGames) {
                ASSERT_EQ(h.BBLog()[i], h.ModeLog()[i - 1] - 3) << i;
            }
        } else {
            ASSERT_GE(h.KoyakuLog()[i], 0);
            ASSERT_LE(h.KoyakuLog()[i], Blank);
            ASSERT_EQ(h.MedalLog()[i] - before, kNetPayout[static_cast<std::size_t>(h.KoyakuLog()[i])]) << i;
            if (lastKmode >= 0) {
                ASSERT_EQ(h.KModeLog()[i], lastKmode) << "kmode is carried, never cleared";
            }
        }
    }
}

TEST(SingleRun, HistoryInvariantsAtEverySetting) {
    Slot slot(2024);
    PlayHistory h;
    for (int s = 1; s <= 6; ++s) {
        EXPECT_EQ(SimulateRun(slot, h, {false, s}, 40000), s);
        EXPECT_EQ(slot.GetFlevel(), s);
        ExpectRunInvariants(h, slot, 40000);
        if (HasFatalFailure()) return;
    }
}

TEST(SingleRun, AgreesWithThePlainMachineIncludingHiddenDraws) {
    Slot slot(77);
    reference::StraightSlot plain(77);
    PlayHistory h;
    reference::StraightSlot::History ph;
    const struct {
        bool hidden;
        int setting;
        std::int32_t games;
    } runs[] = {{true, 0, 30000}, {false, 6, 5000}, {true, 0, 1}, {true, 0, 20000}, {false, 2, 12345}};
    for (const auto& r : runs) {
        const int played = SimulateRun(slot, h, {r.hidden, r.setting}, r.games);
        plain.RecordRun(ph, r.hidden, r.setting, r.games);
        EXPECT_EQ(played, plain.flevel);
        const auto cols = h.Columns();
        for (int c = 0; c < kHistoryColumns; ++c) {
            const Column& col = cols[static_cast<std::size_t>(c)];
            ASSERT_EQ(std::vector<std::int32_t>(col.begin(), col.end()), ph.cols[c]) << "column " << c;
        }
    }
}

TEST(SingleRun, HiddenSettingIsTheStreamsNextDraw) {
    for (std::uint32_t seed : {1u, 2u, 3u, 12345u}) {
        Slot slot(seed);
        Random r;
        r.SeedRandom(seed);
        PlayHistory h;
        const int s = SimulateRun(slot, h, {true, 0}, 10);
        EXPECT_EQ(s, r.Rand31() % 6 + 1);
        EXPECT_EQ(slot.GetFlevel(), s);
    }
}

TEST(SingleRun, OneGame) {
    Slot slot(9);
    PlayHistory h;
    SimulateRun(slot, h, {false, 3}, 1);
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h.PlayNumLog()[0], 1);
    EXPECT_EQ(h.PlayNum2Log()[0], 1);
    EXPECT_EQ(h.BBLog()[0], 0);
    EXPECT_EQ(h.KeizokuNumLog()[0], 0);
    EXPECT_EQ(h.MedalLog()[0], kNetPayout[static_cast<std::size_t>(h.KoyakuLog()[0])]);
}

TEST(SingleRun, NextRunReplacesTheHistoryAndReusesItsStorage) {
    Slot slot(4);
    PlayHistory h;
    SimulateRun(slot, h, {false, 1}, 500);
    const GameRecord* storage = h.records().data();
    SimulateRun(slot, h, {false, 1}, 200);
    EXPECT_EQ(h.size(), 200u);
    EXPECT_EQ(h.records().data(), storage);
    EXPECT_EQ(h.PlayNumLog()[199], 200);
}

TEST(SingleRun, StateCarriesFromOneRunToTheNext) {
    Slot slot(31337);
    PlayHistory first, second;
    // Find a run that ends with kmode set, then check the next run's first
    // games repeat it; the two runs of one setting and length differ.
    SimulateRun(slot, first, {false, 6}, 30000);
    std::int32_t lastKmode = -1;
    for (std::size_t i = 0; i < first.size(); ++i)
        if (first.BBLog()[i] != 0) lastKmode = first.KModeLog()[i];
    ASSERT_GE(lastKmode, 0);
    SimulateRun(slot, second, {false, 6}, 30000);
    EXPECT_EQ(second.KModeLog()[0], lastKmode);
    EXPECT_FALSE(first == second);
}

TEST(SingleRun, RefusesBadInputBeforeTouchingAnything) {
    Slot slot(1);
    PlayHistory h;
    SimulateRun(slot, h, {false, 2}, 100);
    const PlayHistory kept = h;
    const std::uint64_t state = slot.Rng().State();
    EXPECT_THROW(SimulateRun(slot, h, {false, 7}, 100), std::out_of_range);
    EXPECT_THROW(SimulateRun(slot, h, {false, 0}, 100), std::out_of_range);
    EXPECT_THROW(SimulateRun(slot, h, {false, 1}, 0), std::invalid_argument);
    EXPECT_TRUE(h == kept);
    EXPECT_EQ(slot.Rng().State(), state);
}

TEST(SingleRun, BeforeGamesRunsAfterTheSettingIsChosen) {
    Slot slot(1);
    PlayHistory h;
    int seenSetting = 0;
    std::size_t seenSize = 99;
    SimulateRun(slot, h, {false, 5}, 10, [&] {
        seenSetting = slot.GetFlevel();
        seenSize = h.size();
    });
    EXPECT_EQ(seenSetting, 5);
    EXPECT_EQ(seenSize, 0u);
}

TEST(History, AppendKeepsColumnsTogether) {
    PlayHistory h;
    for (int i = 0; i < 1000; ++i) h.push_back({i, -i, 0, i + 1, 0, 2, 1, 6});
    EXPECT_EQ(h.size(), 1000u);
    const GameRecord r = h.at(999);
    EXPECT_EQ(r.gamesSinceBB, 999);
    EXPECT_EQ(r.medalBalance, -999);
    EXPECT_EQ(r.koyaku, 6);
    EXPECT_THROW(h.at(1000), std::out_of_range);
    const std::size_t cap = h.capacity();
    h.clear();
    EXPECT_TRUE(h.empty());
    EXPECT_EQ(h.capacity(), cap);
}

// A history growing a chunk at a time, as a stream of unknown length is
// read, keeps every record and never holds its old and new storage at once:
// under an address-space limit it reaches well past half the room.
TEST(History, GrowsInPlaceUnderAnAddressSpaceLimit) {
    const test::ChildOutcome o = test::RunInChild([] {
        constexpr std::size_t kMiB = std::size_t{1} << 20;
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlimit l{pages * 4096 + 300 * kMiB, pages * 4096 + 300 * kMiB};
        if (::setrlimit(RLIMIT_AS, &l) != 0) return std::string("setrlimit failed");
        PlayHistory h;
        constexpr std::size_t kChunk = 32768;
        const std::size_t chunks = 200 * kMiB / sizeof(GameRecord) / kChunk;
        try {
            for (std::size_t c = 0; c < chunks; ++c) {
                GameRecord* r = h.extend(kChunk);
                for (std::size_t i = 0; i < kChunk; ++i)
                    r[i] = {static_cast<std::int32_t>(c), static_cast<std::int32_t>(i), 0, 0, 0, 0, 0, 0};
            }
        } catch (const std::bad_alloc&) {
            return "out of memory at " + std::to_string(h.size()) + " records";
        }
        for (std::size_t c = 0; c < chunks; c += 97)
            for (std::size_t i = 0; i < kChunk; i += 1013)
                if (h[c * kChunk + i].gamesSinceBB != static_cast<std::int32_t>(c) ||
                    h[c * kChunk + i].medalBalance != static_cast<std::int32_t>(i))
                    return "record " + std::to_string(c * kChunk + i) + " lost";
        return std::string();
    });
    EXPECT_TRUE(o.Passed()) << o.Describe();
}

TEST(Memory, HistoryFitsCountsOnlyWhatIsNotReservedYet) {
    EXPECT_EQ(ExtraHistoryBytes(1000, 0), 32000u);
    EXPECT_EQ(ExtraHistoryBytes(1000, 400), 19200u);
    EXPECT_EQ(ExtraHistoryBytes(1000, 5000), 0u);
    // 64 MiB kept back, then an eighth of the rest: 32000 history bytes
    // need 64 MiB + 36571 available.
    const std::uint64_t room = (std::uint64_t{64} << 20) + 36571;
    EXPECT_TRUE(HistoryFits(1000, 0, room));
    EXPECT_FALSE(HistoryFits(1000, 0, room - 1));
    EXPECT_FALSE(HistoryFits(1001, 0, room));
    EXPECT_TRUE(HistoryFits(1001, 1, room));
    EXPECT_FALSE(HistoryFits(INT32_MAX, 0, std::uint64_t{24} << 30));
    EXPECT_GT(AvailableMemoryBytes(), 0u);
}

TEST(Memory, LeavesAMarginForTheRestOfTheProgram) {
    for (const std::uint64_t available : {std::uint64_t{1} << 30, std::uint64_t{8} << 30, std::uint64_t{22} << 30}) {
        auto gamesFor = [&](double share) { return static_cast<std::int64_t>(available * share / kBytesPerGame); };
        // A run of 95 % of what is available left nothing for the lists and
        // the charts; 80 % leaves enough.
        EXPECT_FALSE(HistoryFits(gamesFor(0.95), 0, available)) << available;
        EXPECT_FALSE(HistoryFits(gamesFor(0.90), 0, available)) << available;
        EXPECT_TRUE(HistoryFits(gamesFor(0.80), 0, available)) << available;
    }
    // Below the fixed reserve nothing fits, but an empty run does.
    EXPECT_FALSE(HistoryFits(1, 0, std::uint64_t{32} << 20));
    EXPECT_TRUE(HistoryFits(0, 0, std::uint64_t{32} << 20));
}

}  // namespace
}  // namespace morvane
