#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "machine/vocabulary.h"
#include "present/presentation.h"
#include "run/checkpointed_run.h"
#include "run/single_run.h"

namespace morvane {
namespace {

// A history of plain games (ReplayB, Hamari) with the medal balance given
// per game; tests then overwrite the plays they care about.
PlayHistory Plain(std::size_t n) {
    PlayHistory h;
    for (std::size_t i = 0; i < n; ++i)
        h.push_back({static_cast<std::int32_t>(i + 1), -3 * static_cast<std::int32_t>(i + 1), 0,
                     static_cast<std::int32_t>(i + 1), 0, 0, Hamari, ReplayB});
    return h;
}

void MakeBB(PlayHistory& h, std::size_t j, std::int32_t kind, std::int32_t sets, std::int32_t kmode,
            std::int32_t modeAfter) {
    h.BBLog()[j] = kind;
    h.KeizokuNumLog()[j] = sets;
    h.KModeLog()[j] = kmode;
    h.ModeLog()[j] = modeAfter;
    h.KoyakuLog()[j] = BBGame;
}

std::vector<std::string> V(std::initializer_list<const char*> cells) { return {cells.begin(), cells.end()}; }

TEST(Summary, WorkedExample) {
    PlayHistory h = Plain(8000);
    for (std::size_t k = 0; k < 27; ++k) MakeBB(h, 100 + k * 250, BlueBB, 3, 0, Hamari);
    h.MedalLog()[7999] = 1234;
    Presentation p;
    p.Present(h);
    EXPECT_EQ(p.ResultLabel(),
              "BB初当り数:27\u3000BB数:81\nBB確率:1/296.30  機械割:105.14%\n継続数平均:3.00\n収支:24680円");
}

// The labels of tests/reference/independent_results.md ("One run", "A batch at the hidden setting").
TEST(Summary, MatchesIndependentRuns) {
    Slot slot(1);
    PlayHistory h;
    Presentation p;
    SimulateRun(slot, h, {false, 1}, 100000);
    p.Present(h);
    EXPECT_EQ(p.ResultLabel(),
              "BB初当り数:312\u3000BB数:1583\nBB確率:1/320.51  機械割:97.31%\n継続数平均:5.07\n収支:-161320円");

    Slot batch(12345);
    for (int run = 0; run < 3; ++run) SimulateRun(batch, h, {true, 0}, 8000);
    p.Present(h);
    EXPECT_EQ(p.ResultLabel(),
              "BB初当り数:20\u3000BB数:82\nBB確率:1/400.00  機械割:79.60%\n継続数平均:4.10\n収支:-97940円");
}

TEST(Summary, OneGameWithoutBB) {
    PlayHistory h = Plain(1);
    Presentation p;
    p.Present(h);
    EXPECT_EQ(p.ResultLabel(), "BB初当り数:0\u3000BB数:0\nBB確率:1/0.00  機械割:0.00%\n継続数平均:0.00\n収支:-60円");
    h.MedalLog()[0] = -1;  // a 2-medal cherry
    p.Present(h);
    EXPECT_EQ(p.ResultLabel(), "BB初当り数:0\u3000BB数:0\nBB確率:1/0.00  機械割:66.67%\n継続数平均:0.00\n収支:-20円");
}

TEST(Summary, LargeAndNegativeFigures) {
    PlayHistory h = Plain(100000);
    MakeBB(h, 500, RedBB, 1, 3, Hamari);
    h.MedalLog()[99999] = -617;
    Presentation p;
    p.Present(h);
    const std::string label = p.ResultLabel();
    EXPECT_NE(label.find("BB確率:1/1E5  "), std::string::npos) << label;
    EXPECT_NE(label.find("\n収支:-12340円"), std::string::npos) << label;
    // Past the 32-bit yen range the balance still shows its true value.
    h.MedalLog()[99999] = 200'000'000;
    p.Present(h);
    EXPECT_EQ(p.Figures().balanceYen, 4'000'000'000);
    EXPECT_NE(p.ResultLabel().find("収支:4000000000円"), std::string::npos);
}

TEST(RateLists, RowsAndEmptyCounts) {
    PlayHistory h = Plain(1000);
    for (std::size_t j = 0; j < 37; ++j) h.KoyakuLog()[j * 20] = Cherry2;
    h.KoyakuLog()[3] = Miss;
    h.KoyakuLog()[4] = Blank;
    Presentation p;
    p.Present(h);
    ASSERT_EQ(p.RowCount(Page::Koyaku), 8u);
    EXPECT_EQ(p.Row(Page::Koyaku, 0), V({"2枚チェリー", "37", "0.037", "1/27.027027027027"}));
    EXPECT_EQ(p.Row(Page::Koyaku, 1), V({"4チェリー", "0", "0", "0"}));
    EXPECT_EQ(p.Row(Page::Koyaku, 4), V({"リプレイA", "0", "0", "0"}));
    EXPECT_EQ(p.Row(Page::Koyaku, 5), V({"リプレイB", "961", "0.961", "1/1.04058272632674"}));
    // Miss and Blank show an empty pattern and are counted nowhere.
    EXPECT_EQ(p.Cell(Page::Play, 3, 2), "");
    EXPECT_EQ(p.Cell(Page::Play, 4, 2), "");
    EXPECT_EQ(p.Row(Page::ModeStay, 0), V({"ハマリ", "1000", "1", "1/1"}));
    // Without a BB the continuation rows have a zero base.
    ASSERT_EQ(p.RowCount(Page::KeizokuSelect), 4u);
    for (std::size_t r = 0; r < 4; ++r) EXPECT_EQ(p.Row(Page::KeizokuSelect, r)[1], "0");
    EXPECT_EQ(p.Row(Page::KeizokuSelect, 3), V({"継続D(88%)", "0", "0", "0"}));
    EXPECT_EQ(p.RowCount(Page::BB), 0u);
}

TEST(PlayLists, ModeChangesAndBBRows) {
    // Plays 0..10 with modes 0,0,0,0,0,2,2,2,2,4,1 and a blue BB at play 10.
    PlayHistory h = Plain(11);
    const std::int32_t modes[11] = {0, 0, 0, 0, 0, 2, 2, 2, 2, 4, 1};
    for (std::size_t j = 0; j < 11; ++j) h.ModeLog()[j] = modes[j];
    h.KoyakuLog()[5] = Suika_A;
    MakeBB(h, 10, BlueBB, 3, 1, LowProb);
    h.MedalLog()[10] = h.MedalLog()[9] + 250;
    Presentation p;
    p.Present(h);
    ASSERT_EQ(p.RowCount(Page::ModeChange), 2u);
    EXPECT_EQ(p.Row(Page::ModeChange, 0), V({"6", "6", "スイカA", "高確"}));
    EXPECT_EQ(p.Row(Page::ModeChange, 1), V({"10", "10", "ReplayB", "青7揃い"}));
    ASSERT_EQ(p.RowCount(Page::BB), 1u);
    EXPECT_EQ(p.Row(Page::BB, 0), V({"11", "11", "青777×3", "継続B(79%)", "低確", "250"}));
    const std::vector<std::string> play10 = {"11", "11", "青777×3", "低確", std::to_string(h.MedalLog()[10])};
    EXPECT_EQ(p.Row(Page::Play, 10), play10);
}

TEST(PlayLists, CeilingBBFromAnOrdinaryModeMakesAModeChangeRow) {
    // The ceiling fires a BB straight from Hamari: the BB play changes the
    // mode, so it makes a row whose pattern is the BB text.
    PlayHistory h = Plain(3);
    MakeBB(h, 1, BlueBB, 2, 0, LowProb);
    Presentation p;
    p.Present(h);
    ASSERT_EQ(p.RowCount(Page::ModeChange), 2u);
    EXPECT_EQ(p.Row(Page::ModeChange, 0), V({"2", "2", "青777×2", "低確"}));
    EXPECT_EQ(p.ModeChangePlay(0), 1u);
    EXPECT_EQ(p.Row(Page::ModeChange, 1), V({"3", "3", "ReplayB", "ハマリ"}));
}

TEST(PlayLists, OutOfRangeCodesFromAFileShowEmptyNames) {
    PlayHistory h = Plain(4);
    h.ModeLog()[0] = 7;
    h.ModeLog()[1] = 6;
    h.KoyakuLog()[0] = 10;
    h.KoyakuLog()[1] = 42;
    MakeBB(h, 2, 3, 5, 9, -1);  // an unknown BB kind
    h.ModeLog()[3] = INT32_MIN;
    h.KoyakuLog()[3] = -1;
    Presentation p;
    p.Present(h);
    EXPECT_EQ(p.Cell(Page::Play, 0, 3), "");
    EXPECT_EQ(p.Cell(Page::Play, 1, 2), "");
    ASSERT_EQ(p.RowCount(Page::BB), 1u);
    EXPECT_EQ(p.Row(Page::BB, 0), V({"3", "3", "", "", "", "-3"}));
    std::int64_t counted = 0;
    for (auto c : p.Counts().koyaku) counted += c;
    for (auto c : p.Counts().modeStay) counted += c;
    for (auto c : p.Counts().kmode) counted += c;
    EXPECT_EQ(counted, 0) << "out-of-range values are counted nowhere";
    EXPECT_EQ(p.Counts().firstHits, 1);
    EXPECT_EQ(p.Counts().bbCount, 5);
    EXPECT_EQ(p.Cell(Page::Play, 99, 0), "") << "rows past the end are empty, not a crash";
}

TEST(PlayLists, BBAtTheFirstPlayOfAFileCountsFromZero) {
    PlayHistory h = Plain(2);
    MakeBB(h, 0, RedBB, 4, 2, HighProb);
    h.MedalLog()[0] = 400;
    Presentation p;
    p.Present(h);
    EXPECT_EQ(p.Row(Page::BB, 0), V({"1", "1", "赤777×4", "継続C(84%)", "高確", "400"}));
    EXPECT_EQ(p.RowCount(Page::ModeChange), 1u);  // out of HighProb at play 1
}

TEST(Presentation, EmptyHistoryShowsNothing) {
    PlayHistory h = Plain(5);
    Presentation p;
    p.Present(h);
    PlayHistory empty;
    p.Present(empty);
    EXPECT_EQ(p.ResultLabel(), "");
    for (Page page : kAllPages) EXPECT_EQ(p.RowCount(page), 0u);
    EXPECT_EQ(p.BarCount(), 0u);
    for (Marker m : kAllMarkers) EXPECT_EQ(p.MarkerPointCount(m), 0u);
}

TEST(Presentation, PresentingAgainReplacesEverything) {
    Slot slot(8);
    PlayHistory a, b;
    SimulateRun(slot, a, {false, 6}, 20000);
    SimulateRun(slot, b, {false, 6}, 3000);
    Presentation once, twice;
    once.Present(a);
    twice.Present(b);
    twice.Present(a);
    EXPECT_EQ(once.ResultLabel(), twice.ResultLabel());
    for (Page page : kAllPages) {
        ASSERT_EQ(once.RowCount(page), twice.RowCount(page));
        for (std::size_t r = 0; r < once.RowCount(page); r += 97) EXPECT_EQ(once.Row(page, r), twice.Row(page, r));
    }
    twice.Present(b);
    EXPECT_EQ(twice.RowCount(Page::Play), 3000u);
    EXPECT_EQ(twice.Cell(Page::Play, 2999, 0), "3000");
}

TEST(Charts, MarkersBarsAndPies) {
    PlayHistory h = Plain(12);
    h.KoyakuLog()[1] = Cherry2;
    h.KoyakuLog()[2] = Cherry4;
    h.KoyakuLog()[3] = Suika_A;
    h.KoyakuLog()[4] = Suika_B;
    h.KoyakuLog()[5] = Chance;
    h.KoyakuLog()[6] = Bell;
    h.KoyakuLog()[8] = Cherry2;
    MakeBB(h, 7, BlueBB, 2, 0, Hamari);
    h.PlayNum2Log()[7] = 8;
    MakeBB(h, 10, RedBB, 1, 2, Precursor);
    h.PlayNum2Log()[10] = 3;
    Presentation p;
    p.Present(h);
    ASSERT_EQ(p.MarkerPointCount(Marker::Cherry2), 2u);
    const ChartPoint c = p.MarkerPoint(Marker::Cherry2, 1);
    EXPECT_EQ(c.x, 9);  // PlayNumLog of play 8
    EXPECT_EQ(c.y, -27);
    EXPECT_EQ(c.colour, 0xFF0000u);
    EXPECT_EQ(p.MarkerPoint(Marker::Chance, 0).colour, 0xFFFFFFu);
    EXPECT_EQ(p.MarkerPoint(Marker::Suika_B, 0).x, 5);
    for (Marker m : {Marker::Cherry4, Marker::Suika_A, Marker::Suika_B, Marker::Chance})
        EXPECT_EQ(p.MarkerPointCount(m), 1u) << MarkerName(m);
    ASSERT_EQ(p.BarCount(), 2u);
    EXPECT_EQ(p.Bar(0).x, 1);
    EXPECT_EQ(p.Bar(0).y, 8);
    EXPECT_EQ(p.Bar(1).x, 2);
    EXPECT_EQ(p.Bar(1).y, 3);

    const auto koyaku = p.KoyakuSlices();
    EXPECT_EQ(koyaku[1].name, "4枚チェリー");
    EXPECT_EQ(koyaku[0].value, 2);
    EXPECT_EQ(koyaku[4].value, 0);  // zero slices stay
    EXPECT_EQ(koyaku[5].value, 3);
    EXPECT_EQ(koyaku[7].colour, 0xFFFFFFu);
    const auto modes = p.ModeStaySlices();
    EXPECT_EQ(modes[0].name, "ハマリ");
    EXPECT_EQ(modes[0].value, 11);
    EXPECT_EQ(modes[3].value, 1);
    EXPECT_EQ(modes[0].colour, 0x000080u);
    const auto kmodes = p.KModeSlices();
    EXPECT_EQ(kmodes[0].value, 1);
    EXPECT_EQ(kmodes[1].value, 0);
    EXPECT_EQ(kmodes[2].value, 1);
    EXPECT_EQ(kmodes[3].name, "継続D(88%)");
}

TEST(Presentation, ProgressClimbsToOneHundred) {
    PlayHistory h = Plain(100000);
    std::vector<int> seen;
    Presentation p;
    p.Present(h, [&](int v) { seen.push_back(v); });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(PlayProgress(0, 3), 33);
    EXPECT_EQ(PlayProgress(1, 3), 66);
    EXPECT_EQ(PlayProgress(2, 3), 100);
    EXPECT_EQ(PlayProgress(0, 1), 100);
}

TEST(Presentation, IndexStaysSmall) {
    Slot slot(5);
    PlayHistory h;
    SimulateRun(slot, h, {false, 6}, 500000);
    Presentation p;
    p.Present(h);
    EXPECT_LT(p.IndexBytes(), 2 * h.size()) << "more than two bytes a game beside the history";
}

// The rows a list shows, found the plain way: every BB game, and every
// change of mode except out of a pending 7 and at the first game.
// Whether `wide` takes at least the room of `cell` in a font whose digits
// are of one width: the same text before their last digits, and as many
// digits or more.
bool Covers(const std::string& wide, const std::string& cell) {
    const auto split = [](const std::string& s) {
        std::size_t digits = 0;
        while (digits < s.size() && std::isdigit(static_cast<unsigned char>(s[s.size() - 1 - digits]))) ++digits;
        return std::pair{s.substr(0, s.size() - digits), digits};
    };
    const auto [wideText, wideDigits] = split(wide);
    const auto [cellText, cellDigits] = split(cell);
    return wideText == cellText && cellDigits <= wideDigits;
}

// Every cell of the play lists is covered by a text the list may be sized
// by; the rows checked are those `checked` picks.
void ExpectWidestCover(const Presentation& p, const std::function<bool(std::size_t rows, std::size_t r)>& checked) {
    for (Page page : {Page::Play, Page::BB, Page::ModeChange})
        for (int c = 0; c < p.ColumnCount(page); ++c) {
            const std::vector<std::string> widest = p.WidestCells(page, c);
            for (std::size_t r = 0; r < p.RowCount(page); ++r) {
                if (!checked(p.RowCount(page), r)) continue;
                const std::string cell = p.Cell(page, r, c);
                if (cell.empty()) continue;
                EXPECT_TRUE(std::any_of(widest.begin(), widest.end(),
                                        [&cell](const std::string& w) { return Covers(w, cell); }))
                    << PageInfo(page).caption << " row " << r << " column " << c << ": " << cell;
            }
        }
}

struct PlainRows {
    std::vector<std::size_t> bb, modeChange;
};
PlainRows RowsOf(const PlayHistory& h) {
    PlainRows rows;
    for (std::size_t j = 0; j < h.size(); ++j) {
        if (h.BBLog()[j] != NoBB) rows.bb.push_back(j);
        const std::int32_t before = j ? h.ModeLog()[j - 1] : h.ModeLog()[0];
        if (before != Blue7 && before != Red7 && h.ModeLog()[j] != before) rows.modeChange.push_back(j);
    }
    return rows;
}

// Every cell of the three lists and the rate pages, the same whether the
// run is held in memory or kept as checkpoints, whatever the block size,
// and each row the game the plain search finds.
void ExpectSamePresentation(const PlayHistory& h, const RunRecords& records) {
    Presentation held, kept;
    held.Present(h);
    kept.Present(records);
    ASSERT_EQ(kept.Plays(), h.size());
    EXPECT_EQ(kept.ResultLabel(), held.ResultLabel());
    const PlainRows plain = RowsOf(h);
    ASSERT_EQ(kept.RowCount(Page::BB), plain.bb.size());
    ASSERT_EQ(kept.RowCount(Page::ModeChange), plain.modeChange.size());
    for (std::size_t k = 0; k < plain.bb.size(); ++k) EXPECT_EQ(kept.BBPlay(k), plain.bb[k]) << k;
    for (std::size_t k = 0; k < plain.modeChange.size(); ++k)
        EXPECT_EQ(kept.ModeChangePlay(k), plain.modeChange[k]) << k;
    for (Page page : kAllPages) {
        ASSERT_EQ(kept.RowCount(page), held.RowCount(page));
        // Every row of a short run; of a long one, both ends of each block
        // and a stride between.
        for (std::size_t r = 0; r < kept.RowCount(page); ++r) {
            const bool edge = r % 64 <= 1 || r % 64 == 63;
            if (kept.RowCount(page) > 5000 && !edge && r % 997 != 0) continue;
            EXPECT_EQ(kept.Row(page, r), held.Row(page, r)) << PageInfo(page).caption << " row " << r;
        }
    }
    ExpectWidestCover(kept, [](std::size_t rows, std::size_t r) { return rows <= 5000 || r % 61 == 0; });
    EXPECT_EQ(kept.BarCount(), plain.bb.size());
    for (std::size_t k = 0; k < kept.BarCount(); k += 7) EXPECT_EQ(kept.Bar(k).y, h.PlayNum2Log()[plain.bb[k]]);
    for (Marker m : kAllMarkers) {
        const std::size_t n = kept.MarkerPointCount(m);
        std::vector<std::size_t> games;
        for (std::size_t j = 0; j < h.size(); ++j)
            if (h.BBLog()[j] == NoBB && h.KoyakuLog()[j] == MarkerKoyaku(m)) games.push_back(j);
        ASSERT_EQ(n, games.size()) << MarkerName(m);
        for (std::size_t k = 0; k < n; k += 1 + n / 5) {
            EXPECT_EQ(kept.MarkerPoint(m, k).x, h.PlayNumLog()[games[k]]) << MarkerName(m) << " " << k;
            EXPECT_EQ(kept.MarkerPoint(m, k).y, h.MedalLog()[games[k]]) << MarkerName(m) << " " << k;
        }
    }
}

TEST(RunRecordsPresented, CheckpointsShowWhatTheHistoryShows) {
    struct Case {
        std::uint32_t seed;
        SettingChoice setting;
        std::int32_t games;
        std::size_t blockGames;
    } cases[] = {
        {3, {false, 6}, 1, 16},              // a run of one game
        {5, {false, 6}, 20000, 64},          // hundreds of blocks, BBs at their edges
        {8, {false, 1}, 5000, 1000},         // a short last block
        {12345, {true, 0}, 70000, 1 << 14},  // the window's block size, a last block of 4464
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.games) + " games in blocks of " + std::to_string(c.blockGames));
        Slot a(c.seed), b(c.seed);
        PlayHistory h;
        SimulateRun(a, h, c.setting, c.games);
        CheckpointedRun kept(c.blockGames);
        kept.Simulate(b, c.setting, c.games);
        ExpectSamePresentation(h, kept);
        ExpectSamePresentation(h, HistoryRecords(h, c.blockGames));
    }
}

TEST(RunRecordsPresented, BBsAtTheEdgesOfBlocks) {
    // Blocks of 16: BBs at the first and last game of blocks, one at the
    // run's first game, and one that changes the mode at a block's start.
    PlayHistory h = Plain(64);
    for (std::size_t j : {0u, 15u, 16u, 31u, 47u, 48u, 63u}) {
        MakeBB(h, j, j % 2 ? BlueBB : RedBB, 2, 1, j == 48 ? LowProb : Hamari);
        h.MedalLog()[j] += 300;
    }
    ExpectSamePresentation(h, HistoryRecords(h, 16));
    Presentation p;
    const HistoryRecords records(h, 16);
    p.Present(records);
    // Gained at the first game of block 1: from the balance after game 15
    // (252, itself a BB game), not from 0.
    EXPECT_EQ(p.Row(Page::BB, 2), V({"17", "17", "赤777×2", "継続B(79%)", "ハマリ", "-3"}));
    EXPECT_EQ(p.Row(Page::BB, 0), V({"1", "1", "赤777×2", "継続B(79%)", "ハマリ", "297"}));
    // The columns' widest texts: a BB's loss counts as well as its gain.
    EXPECT_EQ(p.WidestCells(Page::BB, 5).front().front(), '-');
    EXPECT_EQ(p.WidestCells(Page::Play, 0), V({"64"}));
    EXPECT_TRUE(p.WidestCells(Page::Koyaku, 1).empty());

    // A BB at a block's first game gains more than the block's own range:
    // the gain counts from the block before.
    PlayHistory step = Plain(32);
    MakeBB(step, 16, BlueBB, 1, 0, Hamari);
    for (std::size_t j = 16; j < 32; ++j) step.MedalLog()[j] += 300;
    const HistoryRecords stepRecords(step, 16);
    Presentation q;
    q.Present(stepRecords);
    EXPECT_EQ(q.Cell(Page::BB, 0, 5), "297");
    ExpectWidestCover(q, [](std::size_t, std::size_t) { return true; });
}

TEST(RunRecordsPresented, AStoppedRunShowsTheGamesItPlayed) {
    Slot a(21), b(21);
    CheckpointedRun stopped;
    stopped.Simulate(a, {false, 4}, 3 * kSliceGames, {}, [](std::int64_t) { return false; });
    ASSERT_EQ(stopped.size(), static_cast<std::size_t>(kSliceGames));
    PlayHistory h;
    SimulateRun(b, h, {false, 4}, kSliceGames);
    ExpectSamePresentation(h, stopped);
}

// A list of the most rows a run can have reads one block for a screen, so
// the presentation holds one block whatever the run's length.
TEST(RunRecordsPresented, AScreenOfRowsReadsOneBlock) {
    Slot slot(2);
    CheckpointedRun kept;
    kept.Simulate(slot, {false, 6}, 200000);
    Presentation p;
    p.Present(kept);
    for (std::size_t r = 150000; r < 150030; ++r) p.Row(Page::Play, r);
    for (std::size_t r = 0; r < 30 && r < p.RowCount(Page::BB); ++r) p.Row(Page::BB, r);
    EXPECT_LE(p.IndexBytes(), kDefaultBlockGames * (sizeof(GameRecord) + 2 * sizeof(std::uint32_t)));
}

}  // namespace
}  // namespace morvane
