#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <set>
#include <stdexcept>
#include <vector>

#include "machine/slot.h"
#include "reference/straight_slot.h"

namespace morvane {
namespace {

using reference::StraightSlot;

void ExpectSameState(const Slot& fast, const StraightSlot& plain, const std::string& where) {
    const GameRecord r = fast.Record();
    ASSERT_EQ(r.gamesSinceBB, plain.gamesSinceBB) << where;
    ASSERT_EQ(r.medalBalance, plain.medalBalance) << where;
    ASSERT_EQ(r.bbSets, plain.bbSets) << where;
    ASSERT_EQ(r.playCount, plain.playCount) << where;
    ASSERT_EQ(r.bbKind, plain.bbKind) << where;
    ASSERT_EQ(r.kmode, plain.kmode) << where;
    ASSERT_EQ(r.mode, plain.mode) << where;
    ASSERT_EQ(r.koyaku, plain.koyaku) << where;
    ASSERT_EQ(fast.precursorCount, plain.precursorCount) << where;
}

// The fast machine against the literal one, game by game, over several runs
// per setting that inherit each other's state, including hidden settings.
TEST(Slot, AgreesWithThePlainMachineGameByGame) {
    for (std::uint32_t seed : {1u, 7u, 12345u}) {
        Slot fast(seed);
        StraightSlot plain(seed);
        int bbs = 0, ceilings = 0;
        for (int run = 0; run < 8; ++run) {
            const int setting = run % 7 == 6 ? fast.Rand31() % 6 + 1 : run % 6 + 1;
            if (run % 7 == 6) plain.rng.Rand31();
            fast.SetFlevel(setting);
            plain.SetFlevel(setting);
            fast.Reset();
            plain.Reset();
            for (int g = 0; g < 60000; ++g) {
                fast.Play();
                plain.Play();
                bbs += fast.bbKind != 0;
                ceilings += fast.gamesSinceBB == kCeilingGames;
                ExpectSameState(
                    fast, plain,
                    "seed " + std::to_string(seed) + " run " + std::to_string(run) + " game " + std::to_string(g));
                if (HasFatalFailure()) return;
            }
        }
        EXPECT_GT(bbs, 500);
        EXPECT_GT(ceilings, 0) << "no stretch reached the ceiling";
        EXPECT_EQ(fast.Rand31(), plain.rng.Rand31());
    }
}

// PlayGames in calls of many lengths, odd and even, against Play: the runs
// it plays at once must break off at a ceiling, a precursor, a BB and the
// end of a call exactly where single games would. The callback takes the
// BB-game flag, which must mark exactly the games that play a BB.
TEST(Slot, PlayGamesReportsWhatPlayLeaves) {
    const std::int64_t lengths[] = {1, 2, 3, 7, 64, 1499, 1500, 1501, 4093, 20000};
    int ceilings = 0, bbLast = 0, precursorLast = 0;
    for (std::uint32_t seed : {5u, 77u}) {
        for (int setting = 1; setting <= 6; ++setting) {
            Slot a(seed), b(seed);
            a.SetFlevel(setting);
            b.SetFlevel(setting);
            std::vector<GameRecord> seen;
            std::vector<bool> flagged;
            for (int call = 0; call < 60; ++call) {
                const std::int64_t n = lengths[static_cast<std::size_t>(call) % std::size(lengths)];
                seen.clear();
                flagged.clear();
                a.PlayGames(n, [&]<bool kBBGame>(const GameRecord& r, std::bool_constant<kBBGame>) {
                    seen.push_back(r);
                    flagged.push_back(kBBGame);
                });
                ASSERT_EQ(seen.size(), static_cast<std::size_t>(n));
                for (std::size_t i = 0; i < seen.size(); ++i) {
                    const GameRecord& r = seen[i];
                    b.Play();
                    const GameRecord x = b.Record();
                    ASSERT_EQ(std::memcmp(&r, &x, sizeof r), 0)
                        << "seed " << seed << " setting " << setting << " call " << call;
                    ASSERT_EQ(flagged[i], x.bbKind != NoBB) << "seed " << seed << " call " << call << " game " << i;
                    ceilings += x.gamesSinceBB == kCeilingGames;
                }
                const GameRecord after = a.Record();
                ASSERT_EQ(std::memcmp(&after, &seen.back(), sizeof after), 0);
                ASSERT_EQ(a.precursorCount, b.precursorCount);
                ASSERT_EQ(a.Rng().State(), b.Rng().State());
                bbLast += after.bbKind != NoBB;
                precursorLast += after.mode == Precursor;
            }
        }
    }
    EXPECT_GT(ceilings, 0);
    EXPECT_GT(bbLast, 0) << "no call ended on a BB game";
    EXPECT_GT(precursorLast, 0) << "no call ended inside a precursor";
}

// A machine restored from a saved state, whatever its own seed and setting,
// plays the saved machine's games bit for bit: saved after calls of many
// lengths, so inside precursors and right after BB games.
TEST(Slot, RestoredStatePlaysTheSameGames) {
    const std::int64_t lengths[] = {1, 2, 3, 7, 64, 1499, 1500, 1501, 4093};
    int afterBB = 0, inPrecursor = 0;
    for (std::uint32_t seed : {5u, 2024u}) {
        for (int setting = 1; setting <= 6; ++setting) {
            Slot a(seed);
            a.SetFlevel(setting);
            Slot b(seed + 1);
            b.SetFlevel(setting % 6 + 1);
            for (int call = 0; call < 40; ++call) {
                const std::int64_t n = lengths[static_cast<std::size_t>(call) % std::size(lengths)];
                const MachineState saved = a.Save();
                afterBB += saved.bbKind != NoBB;
                inPrecursor += saved.mode == Precursor && saved.precursorCount > 0;
                b.Restore(saved);
                ASSERT_EQ(b.Save(), saved);
                ASSERT_EQ(b.GetFlevel(), setting);
                std::vector<GameRecord> want, got;
                a.PlayGames(n, [&](const GameRecord& r) { want.push_back(r); });
                b.PlayGames(n, [&](const GameRecord& r) { got.push_back(r); });
                ASSERT_EQ(got, want) << "seed " << seed << " setting " << setting << " call " << call;
                ASSERT_EQ(b.Save(), a.Save());
                // Leave b elsewhere before the next restore.
                b.PlayGames(17, [](const GameRecord&) {});
            }
        }
    }
    EXPECT_GT(afterBB, 0) << "no state saved right after a BB game";
    EXPECT_GT(inPrecursor, 0) << "no state saved inside a precursor";
}

TEST(Slot, RestoreRefusesASettingOutsideOneToSix) {
    Slot slot(1);
    slot.SetFlevel(4);
    slot.PlayGames(100, [](const GameRecord&) {});
    const MachineState before = slot.Save();
    for (int bad : {0, 7, -3}) {
        MachineState s = before;
        s.flevel = bad;
        s.rng ^= 1;
        EXPECT_THROW(slot.Restore(s), std::out_of_range);
        EXPECT_EQ(slot.Save(), before);
    }
}

TEST(Slot, ConstructionAndReset) {
    Slot slot(1);
    EXPECT_EQ(slot.GetFlevel(), 1);
    EXPECT_EQ(slot.playCount, 0);
    EXPECT_EQ(slot.medalBalance, 0);
    EXPECT_EQ(slot.mode, Hamari);
    // The constructor takes no draw: the first value is the seed's first.
    EXPECT_EQ(slot.Rand31(), 1410184549);

    slot.SetFlevel(3);
    slot.Reset();
    EXPECT_LE(slot.mode, HighProb);
    slot.Play();
    EXPECT_EQ(slot.gamesSinceBB, 1);
    EXPECT_EQ(slot.playCount, 1);
    EXPECT_EQ(slot.medalBalance, kPayout[static_cast<std::size_t>(slot.koyaku)] - 3);
}

TEST(Slot, RefusesSettingsOutsideOneToSix) {
    Slot slot(1);
    slot.SetFlevel(2);
    const std::uint64_t before = slot.Rng().State();
    for (int bad : {0, 7, -1, 100}) EXPECT_THROW(slot.SetFlevel(bad), std::out_of_range);
    EXPECT_EQ(slot.GetFlevel(), 2);
    EXPECT_EQ(slot.Rng().State(), before);
}

TEST(Slot, SetFlevelDrawsAnInitialModeAndResetDrawsAgain) {
    Slot slot(1);
    Random r;
    r.SeedRandom(1);
    slot.SetFlevel(6);
    r.Rand31();
    EXPECT_EQ(slot.Rng().State(), r.State());
    slot.Reset();
    const std::int32_t v = r.Rand31() & 1023;
    EXPECT_EQ(slot.mode, slot.Table(InitModeRate6).Lookup(v));
}

// Puts the machine at the end of a BB-free stretch of `gamesSinceBB` games.
void Stretch(Slot& slot, int gamesSinceBB, int mode) {
    slot.bbKind = 0;
    slot.gamesSinceBB = gamesSinceBB;
    slot.mode = mode;
}

TEST(Slot, CeilingFiresAtGame1500Only) {
    int blue = 0, precursor = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        Slot slot(seed);
        slot.SetFlevel(1);
        Stretch(slot, 1498, Hamari);
        // Game 1499 is an ordinary game: small win and mode draw, no coin.
        Random probe;
        probe.SetState(slot.Rng().State());
        probe.Rand31();
        probe.Rand31();
        slot.mode = Hamari;
        slot.Play();
        ASSERT_EQ(slot.gamesSinceBB, 1499);
        ASSERT_EQ(slot.Rng().State(), probe.State());
        // Game 1500: the coin comes first; 0 plays a blue BB in this game,
        // 1 starts a precursor that takes its first step in this game.
        Stretch(slot, 1499, Red7);  // a pending red BB is overridden
        probe.SetState(slot.Rng().State());
        const bool toPrecursor = (probe.Rand31() & 1) == 1;
        slot.Play();
        EXPECT_EQ(slot.gamesSinceBB, 1500);
        if (toPrecursor) {
            ++precursor;
            EXPECT_EQ(slot.bbKind, NoBB);
            EXPECT_NE(slot.koyaku, BBGame);
            EXPECT_TRUE(slot.mode == Precursor || slot.mode == Blue7 || slot.mode == Red7);
        } else {
            ++blue;
            EXPECT_EQ(slot.bbKind, BlueBB);
            EXPECT_EQ(slot.koyaku, BBGame);
            EXPECT_GE(slot.bbSets, 1);
        }
    }
    EXPECT_GT(blue, 0);
    EXPECT_GT(precursor, 0);
}

TEST(Slot, GameAfterABBStartsANewStretch) {
    Slot slot(3);
    slot.SetFlevel(2);
    Stretch(slot, 1499, Hamari);
    slot.bbKind = BlueBB;  // the previous game played a BB
    slot.bbSets = 3;
    slot.Play();
    EXPECT_EQ(slot.gamesSinceBB, 1);  // no ceiling
    EXPECT_EQ(slot.bbSets, 0);
    EXPECT_EQ(slot.bbKind, NoBB);
}

TEST(Slot, PrecursorLastsOneToThirtyTwoGames) {
    Slot slot(11);
    slot.SetFlevel(1);
    std::set<int> lengths;
    for (int i = 0; i < 4000; ++i) {
        Stretch(slot, 10, Precursor);
        slot.precursorCount = 0;
        int games = 0;
        while (slot.mode == Precursor) {
            slot.Play();
            ++games;
            ASSERT_LE(games, 32);
        }
        EXPECT_EQ(slot.precursorCount, 0);
        EXPECT_TRUE(slot.mode == Blue7 || slot.mode == Red7);
        lengths.insert(games);
    }
    EXPECT_EQ(lengths.size(), 32u);
    EXPECT_EQ(*lengths.begin(), 1);

    // At count 31 the draw is modulo 1: the next step ends it.
    Stretch(slot, 10, Precursor);
    slot.precursorCount = 31;
    slot.Play();
    EXPECT_EQ(slot.precursorCount, 0);
    EXPECT_NE(slot.mode, Precursor);
}

TEST(Slot, BlueSevenPlaysItsBBInTheNextGame) {
    Slot slot(21);
    slot.SetFlevel(5);
    for (int kind : {BlueBB, RedBB}) {
        Stretch(slot, 100, kind == BlueBB ? Blue7 : Red7);
        const std::int32_t before = slot.medalBalance;
        slot.Play();
        EXPECT_EQ(slot.bbKind, kind);
        EXPECT_EQ(slot.koyaku, BBGame);
        EXPECT_EQ(slot.gamesSinceBB, 101);
        EXPECT_GE(slot.bbSets, 1);
        EXPECT_LT(static_cast<unsigned>(slot.kmode), 4u);
        // Each continued set adds 108; the sets' games cost at most 3 each.
        EXPECT_GE(slot.medalBalance - before, 108 * slot.bbSets - 3 * (6 * (slot.bbSets + 1) + 1));
        slot.Play();
        EXPECT_EQ(slot.gamesSinceBB, 1);
        EXPECT_EQ(slot.bbSets, 0);
    }
}

}  // namespace
}  // namespace morvane
