// The BB on rigged draw tables: every draw's outcome is fixed, so the medals,
// sets and end mode follow by hand.
#include <gtest/gtest.h>

#include <memory>

#include "machine/slot.h"

namespace morvane {
namespace {

// A mode table entry: the next modes from Hamari, LowProb and HighProb.
std::uint32_t Modes(int fromHamari, int fromLow, int fromHigh) {
    return static_cast<std::uint32_t>(8 * fromHamari | 8 * fromLow << 8 | 8 * fromHigh << 16);
}

std::unique_ptr<DrawTables> Rigged(int koyaku, int keizoku) {
    auto d = std::make_unique<DrawTables>();
    d->lastBeforeNext.fill(DrawTables::kNoBoundary);
    d->bucketRow.fill(&d->rows[static_cast<std::size_t>(koyaku)]);
    for (auto& row : d->rows) row.modeNext.fill(Modes(Hamari, LowProb, HighProb));  // every mode stays
    for (auto& row : d->kmodeOf) row.fill(2);
    for (auto& row : d->keizokuOf) row.fill(static_cast<std::uint8_t>(keizoku));
    d->initModeOf.fill(Hamari);
    return d;
}

LoopState BBState(int mode) {
    LoopState h{};
    h.s = 12345;
    h.mode = mode;
    h.medalBalance = 1000;
    return h;
}

TEST(BB, FirstSetAlwaysContinues) {
    // Ends at the first continuation draw: one continued set, 12 games.
    const auto d = Rigged(Bell, EndToPrecursor);
    const LoopState h = PlayBB(*d, BBState(Blue7));
    EXPECT_EQ(h.bbKind, BlueBB);
    EXPECT_EQ(h.koyaku, BBGame);
    EXPECT_EQ(h.kmode, 2);
    EXPECT_EQ(h.bbSets, 1);
    EXPECT_EQ(h.mode, Precursor);
    EXPECT_EQ(h.medalBalance, 1000 + 12 * 7 + 108);
}

TEST(BB, PayoutsDifferBetweenContinuedAndLastSets) {
    // Blank pays 3 in a continued set and nothing in the last; ReplayA the
    // other way round. One continued set and one last set each.
    EXPECT_EQ(PlayBB(*Rigged(Blank, EndToBlue7), BBState(Red7)).medalBalance, 1000 + 6 * 0 + 6 * -3 + 108);
    EXPECT_EQ(PlayBB(*Rigged(ReplayA, EndToBlue7), BBState(Red7)).medalBalance, 1000 + 6 * -3 + 6 * 0 + 108);
    EXPECT_EQ(PlayBB(*Rigged(Cherry2, EndToBlue7), BBState(Red7)).medalBalance, 1000 + 12 * -1 + 108);
    EXPECT_EQ(PlayBB(*Rigged(ReplayB, EndToBlue7), BBState(Red7)).medalBalance, 1000 + 12 * -3 + 108);
}

TEST(BB, EndingsSetTheFollowingMode) {
    EXPECT_EQ(PlayBB(*Rigged(Miss, EndToBlue7), BBState(Red7)).mode, Blue7);
    EXPECT_EQ(PlayBB(*Rigged(Miss, EndToRed7), BBState(Blue7)).mode, Red7);
    EXPECT_EQ(PlayBB(*Rigged(Miss, EndToPrecursor), BBState(Blue7)).bbKind, BlueBB);
    EXPECT_EQ(PlayBB(*Rigged(Miss, EndToNormal), BBState(Red7)).mode, Hamari);
    EXPECT_EQ(PlayBB(*Rigged(Miss, EndToNormal), BBState(Red7)).bbKind, RedBB);
}

TEST(BB, LastSetModeChangesCascadeUpward) {
    // Hamari -> LowProb -> HighProb -> Precursor in one game, after which
    // nothing more happens inside the BB.
    auto d = Rigged(Suika_A, EndToNormal);
    for (auto& row : d->rows) row.modeNext.fill(Modes(Hamari, Hamari, Hamari));
    d->rows[Suika_A].modeNext.fill(Modes(LowProb, HighProb, Precursor));
    const LoopState start = BBState(Blue7);
    const LoopState h = PlayBB(*d, start);
    EXPECT_EQ(h.mode, Precursor);
    // Draws: kmode, 6 small wins, outcome, initial mode, then the last set's
    // 6 small wins with 3 mode draws in its first game only.
    std::uint64_t s = start.s;
    for (int i = 0; i < 1 + 6 + 1 + 1 + 6 + 3; ++i) s = s * Random::kMul + 1;
    EXPECT_EQ(h.s, s);
}

TEST(BB, CascadeRunsWithinOneGame) {
    // Hamari -> LowProb -> HighProb, where HighProb stays: the first game
    // takes three mode draws, each later game one.
    auto d = Rigged(Suika_A, EndToNormal);
    d->rows[Suika_A].modeNext.fill(Modes(LowProb, HighProb, HighProb));
    const LoopState start = BBState(Red7);
    const LoopState h = PlayBB(*d, start);
    EXPECT_EQ(h.mode, HighProb);
    std::uint64_t s = start.s;
    for (int i = 0; i < 1 + 6 + 1 + 1 + 6 + 3 + 5; ++i) s = s * Random::kMul + 1;
    EXPECT_EQ(h.s, s);
}

TEST(BB, ContinuesUntilAnEndingIsDrawn) {
    // Continue on every draw but the rigged values' last few: use a table
    // that continues for draws below 1000 and ends otherwise, and count sets
    // against the draw stream by hand.
    auto d = Rigged(Bell, Continue);
    for (auto& row : d->keizokuOf)
        for (int a = 1000; a < kKeizokuModulus; ++a) row[static_cast<std::size_t>(a)] = EndToRed7;
    const LoopState start = BBState(Blue7);
    const LoopState h = PlayBB(*d, start);
    // Replay the stream: kmode, then per set (after the first) an outcome
    // draw, and six small-win draws per set.
    std::uint64_t s = start.s;
    auto next = [&s] {
        s = s * Random::kMul + 1;
        return Random::Output(s);
    };
    next();  // kmode
    for (int g = 0; g < 6; ++g) next();
    int sets = 1;
    while ((next() & 1023) < 1000) {
        for (int g = 0; g < 6; ++g) next();
        ++sets;
    }
    for (int g = 0; g < 6; ++g) next();
    EXPECT_EQ(h.bbSets, sets);
    EXPECT_EQ(h.mode, Red7);
    EXPECT_EQ(h.s, s);
    EXPECT_EQ(h.medalBalance, 1000 + 6 * (sets + 1) * 7 + 108 * sets);
}

}  // namespace
}  // namespace morvane
