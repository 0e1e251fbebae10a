// Setting estimation: what is observed of a run, the count model of the first
// hits, and how the posterior behaves on runs the machine plays.
#include "estimation/estimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "machine/slot.h"
#include "run/single_run.h"

namespace morvane {
namespace {

const std::vector<SettingTheory>& Theories() {
    static const std::vector<SettingTheory> all = AllSettingTheories();
    return all;
}

GameRecord Game(std::int32_t bbKind, std::int32_t koyaku) {
    GameRecord r{};
    r.bbKind = bbKind;
    r.bbSets = bbKind ? 3 : 0;
    r.koyaku = bbKind ? BBGame : koyaku;
    return r;
}

TEST(Observe, CountsSmallWinsOfGamesWithoutABB) {
    PlayHistory h;
    for (std::int32_t k : {Cherry2, Cherry2, Chance, Bell, Miss, Blank, ReplayB}) h.push_back(Game(NoBB, k));
    h.push_back(Game(BlueBB, 0));
    h.push_back(Game(RedBB, 0));
    h.push_back(Game(NoBB, 42));  // a damaged file: counted with Miss and Blank
    const Observations seen = ObserveHistory(h);
    EXPECT_EQ(seen.games, 10);
    EXPECT_EQ(seen.bbGames, 2);
    const std::array<std::int64_t, kObservedWins> wins = {2, 0, 0, 0, 0, 1, 1, 1, 3};
    EXPECT_EQ(seen.smallWins, wins);
    EXPECT_EQ(ObserveHistory(PlayHistory{}), Observations{});
    // From the records' tallies, the same counts.
    EXPECT_EQ(ObserveRecords(HistoryRecords(h, 4)), seen);
    EXPECT_EQ(ObserveRecords(HistoryRecords(PlayHistory{})), Observations{});
}

TEST(Observe, TakesWhatTheRunRecorded) {
    Slot slot(31);
    PlayHistory h;
    SimulateRun(slot, h, {false, 3}, 20'000);
    const Observations seen = ObserveHistory(h);
    std::int64_t wins = 0, bbs = 0;
    for (std::int64_t c : seen.smallWins) wins += c;
    for (std::size_t i = 0; i < h.size(); ++i) bbs += h.BBLog().at(i) != 0;
    EXPECT_EQ(seen.games, 20'000);
    EXPECT_EQ(seen.bbGames, bbs);
    EXPECT_GT(bbs, 0);
    EXPECT_EQ(wins + seen.bbGames, seen.games);
}

// The count model is a distribution with the mean and variance it is given.
TEST(CountModel, HasTheGivenMeanAndVariance) {
    for (double mean : {0.9, 11.0, 300.0}) {
        for (double dispersion : {0.96, 1.0, 1.04, 1.5}) {
            double total = 0, m1 = 0, m2 = 0;
            for (std::int64_t h = 0; h < 2000; ++h) {
                const double p = std::exp(CountLogProbability(h, mean, mean * dispersion));
                total += p;
                m1 += p * static_cast<double>(h);
                m2 += p * static_cast<double>(h) * static_cast<double>(h);
            }
            const std::string where = "mean " + std::to_string(mean) + " dispersion " + std::to_string(dispersion);
            EXPECT_NEAR(total, 1.0, 1e-9) << where;
            EXPECT_NEAR(m1, mean, 1e-6 * mean) << where;
            // The binomial's whole number of trials rounds its variance.
            EXPECT_NEAR((m2 - m1 * m1) / mean, dispersion, 0.01 * dispersion + 0.05 / mean) << where;
        }
    }
    EXPECT_EQ(CountLogProbability(0, 0.0, 0.0), 0.0);
    EXPECT_TRUE(std::isinf(CountLogProbability(1, 0.0, 0.0)));
    // A count beyond what the underdispersed model holds stays finite.
    EXPECT_TRUE(std::isfinite(CountLogProbability(500, 2.0, 1.9)));
}

Observations PlayAndObserve(int setting, std::int64_t games, std::uint32_t seed) {
    Slot slot(seed);
    slot.SetFlevel(setting);
    Observations seen;
    seen.games = games;
    slot.PlayGames(games, [&](const GameRecord& r) {
        if (r.bbKind != 0)
            ++seen.bbGames;
        else
            ++seen.smallWins[static_cast<std::size_t>(std::min<std::int32_t>(r.koyaku, kOtherWins))];
    });
    return seen;
}

std::string Describe(const SettingPosterior& p) {
    std::string s;
    for (double v : p.probability) s += std::to_string(v) + " ";
    return s;
}

// With a million games, the small-win tables alone tell settings 1, 2 and 3
// apart from everything else. Settings 4, 5 and 6 differ in the small wins
// by 20 in 2^20 of one ReplayA weight (4 against 5 and 6) or not at all (5
// against 6), so only the first hits separate them, by about two standard
// deviations (4 from 5) and one (5 from 6) per million games: the posterior
// stays on the three together.
TEST(Estimate, MillionGameRunsPointAtTheirSetting) {
    for (int setting = 1; setting <= 6; ++setting) {
        const SettingPosterior p = EstimateSetting(Theories(), PlayAndObserve(setting, 1'000'000, 500u + setting));
        double sum = 0;
        for (double v : p.probability) sum += v;
        EXPECT_NEAR(sum, 1.0, 1e-12);
        if (setting <= 3) {
            EXPECT_GT(p.probability[setting - 1], 0.9) << "setting " << setting << ": " << Describe(p);
        } else {
            EXPECT_GT(p.probability[3] + p.probability[4] + p.probability[5], 0.99)
                << "setting " << setting << ": " << Describe(p);
        }
    }
}

// A hundred million games bring 5 and 6 about ten standard deviations apart.
TEST(Estimate, FirstHitsSeparateTheTwinTablesSlow) {
    for (int setting : {4, 5, 6}) {
        const SettingPosterior p = EstimateSetting(Theories(), PlayAndObserve(setting, 100'000'000, 900u + setting));
        EXPECT_GT(p.probability[setting - 1], 0.9) << "setting " << setting << ": " << Describe(p);
    }
}

TEST(Estimate, ShortRunsLeaveTheQuestionOpen) {
    for (int setting = 1; setting <= 6; ++setting) {
        for (std::uint32_t seed : {1u, 2u, 3u}) {
            const SettingPosterior p = EstimateSetting(Theories(), PlayAndObserve(setting, 300, seed * 100 + setting));
            EXPECT_LT(*std::max_element(p.probability.begin(), p.probability.end()), 0.9)
                << "setting " << setting << " seed " << seed << ": " << Describe(p);
        }
    }
}

TEST(Estimate, FirstHitsAloneSplitSettingsFiveAndSix) {
    // Same small wins: the posterior ratio of 5 to 6 is the ratio of the
    // first-hit likelihoods, and more hits favour the setting that hits more.
    Observations seen = PlayAndObserve(5, 200'000, 77);
    const auto low = EstimateSetting(Theories(), seen);
    seen.bbGames += 60;
    const auto high = EstimateSetting(Theories(), seen);
    EXPECT_LT(low.probability[5] / low.probability[4], high.probability[5] / high.probability[4]);
    const RunExpectation five = Theories()[4].ExpectedRun(seen.games), six = Theories()[5].ExpectedRun(seen.games);
    EXPECT_NEAR(high.logLikelihood[5] - high.logLikelihood[4],
                CountLogProbability(seen.bbGames, six.bbGames, six.bbGamesVariance) -
                    CountLogProbability(seen.bbGames, five.bbGames, five.bbGamesVariance),
                1e-6);
}

}  // namespace
}  // namespace morvane
