// The exact likelihood of a visible record: against an independent
// implementation's values, against a walk over every draw of the machine's
// rules, against the fact that all records of a length are a distribution,
// and against the frequencies of records the machine itself plays.
#include "model/likelihood.h"
#include "app/hall_input.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "machine/slot.h"
#include "machine/tables.h"
#include "run/single_run.h"

namespace morvane {
namespace {

GameRecord Win(std::int32_t k) {
    GameRecord r{};
    r.koyaku = k;
    return r;
}

GameRecord BB(std::int32_t kind, std::int32_t sets) {
    GameRecord r{};
    r.koyaku = BBGame;
    r.bbKind = kind;
    r.bbSets = sets;
    return r;
}

std::vector<GameRecord> Repeat(std::int32_t k, int n) {
    return std::vector<GameRecord>(static_cast<std::size_t>(n), Win(k));
}

std::vector<GameRecord> Join(std::initializer_list<std::vector<GameRecord>> parts) {
    std::vector<GameRecord> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Test vectors: tests/reference/independent_results.md ("Exact log-likelihoods of the visible
// record"), from an independent implementation checked by brute force and a
// 50-digit recomputation. The files are the ones of its "One run" (seed 1,
// setting 1, 100 000 games) and the first file of its hidden-setting batch
// (seed 12345, 8000 games: setting 5).
TEST(LikelihoodVectors, MatchTheIndependentImplementation) {
    const std::array<double, 6> longRun = {-168349.137454150, -168353.712281037, -168362.095829544,
                                           -168375.554174675, -168378.768598824, -168383.917989287};
    const std::array<double, 6> batchRun = {-13692.328978494, -13690.001978532, -13688.625560950,
                                            -13687.938329990, -13686.827226761, -13686.746710458};
    PlayHistory one, batch;
    {
        Slot slot(1);
        SimulateRun(slot, one, {false, 1}, 100'000);
    }
    {
        Slot slot(12345);
        ASSERT_EQ(SimulateRun(slot, batch, {true, 1}, 8000), 5);
    }
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        const auto s = static_cast<std::size_t>(f.Setting() - 1);
        const RecordLikelihood a = f.Evaluate(one.records());
        const RecordLikelihood b = f.Evaluate(batch.records());
        EXPECT_FALSE(a.impossibleAt.has_value());
        EXPECT_NEAR(a.logLikelihood, longRun[s], 1e-6) << "setting " << f.Setting();
        EXPECT_NEAR(b.logLikelihood, batchRun[s], 1e-6) << "setting " << f.Setting();
    }
}

// A reference walk over the machine's draws, written straight from its
// rules with the weight tables: every outcome of every draw is a branch, in
// the machine's order, with no matrices and no renormalising. Branches that
// meet again in the same game and state are merged (memo on game, mode and
// precursor count), which keeps records of a few thousand games tractable;
// long double keeps their tiny probabilities from underflowing. A BB's six
// EndToNormal games are walked into a law of the end mode the same way.
class ReferenceWalk {
public:
    ReferenceWalk(int setting, std::vector<GameRecord> record) : s_(setting), rec_(std::move(record)) {
        gamesSince_.resize(rec_.size());
        int since = 0;
        for (std::size_t j = 0; j < rec_.size(); ++j) {
            since = j > 0 && rec_[j - 1].bbKind != 0 ? 1 : since + 1;
            gamesSince_[j] = since;
        }
    }

    long double Probability() {
        long double p = 0;
        for (int m = 0; m < kOrdinaryModes; ++m) p += Chance(InitModeTable(s_), m) * Game(0, m, 0);
        return p;
    }

private:
    static long double Chance(int table, int outcome) {
        const auto w = TableWeights(table);
        const long double modulus = TableModulus(table);
        long double rest = modulus;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (static_cast<int>(i) == outcome) return w[i] / modulus;
            rest -= w[i];
        }
        return static_cast<std::size_t>(outcome) == w.size() ? rest / modulus : 0;
    }

    long double Game(std::size_t j, int mode, int count) {
        if (j == rec_.size()) return 1;
        const auto key = std::make_tuple(j, mode, count);
        if (const auto it = memo_.find(key); it != memo_.end()) return it->second;
        long double p;
        const bool afterBB = j > 0 && rec_[j - 1].bbKind != 0;
        if (!afterBB && gamesSince_[j] == kCeilingGames)
            p = 0.5L * Play(j, Precursor, count) + 0.5L * Play(j, Blue7, count);
        else
            p = Play(j, mode, count);
        memo_[key] = p;
        return p;
    }

    // From the small win on.
    long double Play(std::size_t j, int mode, int count) {
        const GameRecord& seen = rec_[j];
        long double p = 0;
        for (int k = 0; k < kKoyakuKinds; ++k) {
            const long double pk = Chance(KoyakuTable(s_), k);
            if (mode == Blue7 || mode == Red7) {
                if (seen.koyaku != BBGame || seen.bbKind != (mode == Blue7 ? 1 : 2) || seen.bbSets < 1) return 0;
                p += pk * BonusGame(j, mode == Blue7 ? 1 : 2, count);
                continue;
            }
            if (seen.koyaku != k || seen.bbKind != 0) continue;
            if (mode == Precursor) {
                const long double n = kPrecursorSpan - count;
                const long double zeros = std::ceil(2147483648.0L / n);
                const long double end = zeros / 2147483648.0L;
                const long double stays = end < 1 ? (1 - end) * Game(j + 1, Precursor, count + 1) : 0;
                p += pk * (stays + end * (65.0L / 512 * Game(j + 1, Red7, 0) + 447.0L / 512 * Game(j + 1, Blue7, 0)));
                continue;
            }
            const int table = ModeChangeTable(mode, k, s_);
            if (table == kNoTable) {
                p += pk * Game(j + 1, mode, count);
                continue;
            }
            for (int to = 0; to < kModes; ++to) p += pk * Chance(table, to) * Game(j + 1, to, count);
        }
        return p;
    }

    long double BonusGame(std::size_t j, int kind, int count) {
        const int sets = rec_[j].bbSets;
        long double p = 0;
        for (int km = 0; km < kKModes; ++km) {
            long double path = Chance(KModeTable(kind), km);
            for (int set = 2; set <= sets; ++set) path *= Chance(KeizokuTable(km), Continue);
            long double after = 0;
            for (int m = 0; m < kOrdinaryModes; ++m) {
                const auto law = EndOfNormalSet(m);
                for (int to = 0; to < kModes; ++to)
                    after += Chance(KeizokuTable(km), EndToNormal) * Chance(InitModeTable(s_), m) *
                             law[static_cast<std::size_t>(to)] * Game(j + 1, to, count);
            }
            after += Chance(KeizokuTable(km), EndToPrecursor) * Game(j + 1, Precursor, count);
            after += Chance(KeizokuTable(km), EndToBlue7) * Game(j + 1, Blue7, count);
            after += Chance(KeizokuTable(km), EndToRed7) * Game(j + 1, Red7, count);
            p += path * after;
        }
        return p;
    }

    // Six games of an EndToNormal set from `mode`: the law of the mode after.
    std::array<long double, kModes> EndOfNormalSet(int mode) { return Inner(kGamesPerSet, mode); }

    std::array<long double, kModes> Inner(int left, int mode) {
        std::array<long double, kModes> law{};
        if (left == 0 || mode >= kOrdinaryModes) {
            law[static_cast<std::size_t>(mode)] = 1;
            return law;
        }
        const auto key = std::make_pair(left, mode);
        if (const auto it = innerMemo_.find(key); it != innerMemo_.end()) return it->second;
        for (int k = 0; k < kKoyakuKinds; ++k) {
            const long double pk = Chance(KoyakuTable(s_), k);
            Cascade(mode, k, Hamari, pk, left, law);
        }
        innerMemo_[key] = law;
        return law;
    }

    // The upward cascade of one inner game: a draw in Hamari, then in
    // LowProb, then in HighProb, each only if the mode is that one by then.
    void Cascade(int mode, int k, int stage, long double p, int left, std::array<long double, kModes>& law) {
        if (stage > HighProb) {
            const auto rest = Inner(left - 1, mode);
            for (std::size_t to = 0; to < kModes; ++to) law[to] += p * rest[to];
            return;
        }
        if (mode != stage) {
            Cascade(mode, k, stage + 1, p, left, law);
            return;
        }
        const int table = ModeChangeTable(mode, k, s_);
        if (table == kNoTable) {
            Cascade(mode, k, stage + 1, p, left, law);
            return;
        }
        for (int to = 0; to < kModes; ++to) {
            const long double c = Chance(table, to);
            if (c > 0) Cascade(to, k, stage + 1, p * c, left, law);
        }
    }

    int s_;
    std::vector<GameRecord> rec_;
    std::vector<int> gamesSince_;
    std::map<std::tuple<std::size_t, int, int>, long double> memo_;
    std::map<std::pair<int, int>, std::array<long double, kModes>> innerMemo_;
};

struct WalkCase {
    const char* name;
    std::vector<GameRecord> record;
};

std::vector<WalkCase> WalkCases() {
    return {
        {"three small wins", {Win(Cherry2), Win(ReplayA), Win(Suika_B)}},
        {"mode draw to Blue7, then its BB", {Win(Cherry2), BB(BlueBB, 2), Win(Bell), Win(Chance)}},
        {"precursor, red BB", {Win(Suika_B), Win(Miss), Win(Blank), BB(RedBB, 1), Win(ReplayA)}},
        {"BB straight after a BB", {Win(Cherry2), BB(BlueBB, 1), BB(BlueBB, 3), Win(Cherry4)}},
        {"red BB after a Chance game", {Win(Suika_A), BB(RedBB, 7), Win(Cherry2), Win(Blank)}},
        {"first game a BB", {BB(BlueBB, 1)}},
        {"ceiling's Blue7", Join({Repeat(Miss, 1499), {BB(BlueBB, 2), Win(Bell)}})},
        {"ceiling's precursor", Join({Repeat(Blank, 1499), Repeat(Miss, 4), {BB(RedBB, 1), Win(Cherry2)}})},
        // A precursor cut off by the ceiling keeps its count through the BB
        // and into the next precursor.
        {"count carried past the ceiling", Join({Repeat(Miss, 1489),
                                                 {Win(Cherry2)},
                                                 Repeat(Miss, 9),
                                                 {BB(BlueBB, 1), Win(Cherry2)},
                                                 Repeat(Bell, 30),
                                                 {BB(BlueBB, 2), Win(ReplayB)}})},
        {"no BB for 1533 games", Repeat(Miss, 1533)},
    };
}

TEST(LikelihoodBruteForce, AgreesWithAWalkOverEveryDraw) {
    for (const WalkCase& c : WalkCases()) {
        for (int s : {1, 4, 6}) {
            const long double expected = ReferenceWalk(s, c.record).Probability();
            const RecordLikelihood got = ExactLikelihood(s).Evaluate(c.record);
            const std::string where = std::string(c.name) + ", setting " + std::to_string(s);
            if (expected == 0) {
                EXPECT_EQ(got.logLikelihood, kImpossible) << where;
                EXPECT_TRUE(got.impossibleAt.has_value()) << where;
                continue;
            }
            ASSERT_FALSE(got.impossibleAt.has_value()) << where;
            EXPECT_NEAR(got.logLikelihood, static_cast<double>(std::log(expected)), 1e-9) << where;
        }
    }
}

// Every visible record of one game and of two games, BBs up to 700 sets
// (the rest of the geometric tail is below 1e-30).
TEST(LikelihoodSums, RecordsOfOneAndTwoGamesAreADistribution) {
    std::vector<GameRecord> games = {};
    for (int k = 0; k < kKoyakuKinds; ++k) games.push_back(Win(k));
    for (int kind : {1, 2})
        for (int n = 1; n <= 700; ++n) games.push_back(BB(kind, n));
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        double one = 0, two = 0;
        for (const GameRecord& a : games) {
            const std::array<GameRecord, 1> r1 = {a};
            const double p1 = std::exp(f.Evaluate(r1).logLikelihood);
            one += p1;
            if (p1 == 0) continue;
            for (const GameRecord& b : games) {
                const std::array<GameRecord, 2> r2 = {a, b};
                two += std::exp(f.Evaluate(r2).logLikelihood);
            }
        }
        EXPECT_NEAR(one, 1.0, 1e-12) << "setting " << f.Setting();
        EXPECT_NEAR(two, 1.0, 1e-12) << "setting " << f.Setting();
    }
}

// Three games per fresh run: the commonest records' frequencies against
// their exact probabilities, within four standard errors.
TEST(LikelihoodFrequencies, ShortRecordsOfFreshRunsOccurAsOften) {
    constexpr int kRuns = 200'000;
    for (int s : {2, 6}) {
        Slot slot(4000u + static_cast<unsigned>(s));
        std::map<std::vector<std::int32_t>, int> seen;
        for (int run = 0; run < kRuns; ++run) {
            slot.precursorCount = 0;
            slot.bbKind = 0;
            slot.SetFlevel(s);
            slot.Reset();
            std::vector<std::int32_t> key;
            slot.PlayGames(3, [&](const GameRecord& r) {
                key.push_back(r.koyaku);
                key.push_back(r.bbKind);
                key.push_back(r.bbSets);
            });
            ++seen[key];
        }
        std::vector<std::pair<int, std::vector<std::int32_t>>> common;
        for (const auto& [key, n] : seen) common.emplace_back(n, key);
        std::sort(common.rbegin(), common.rend());
        ASSERT_GE(common.size(), 20u);
        for (std::size_t i = 0; i < 20; ++i) {
            const auto& key = common[i].second;
            std::vector<GameRecord> rec;
            for (std::size_t g = 0; g < key.size(); g += 3) {
                GameRecord r{};
                r.koyaku = key[g];
                r.bbKind = key[g + 1];
                r.bbSets = key[g + 2];
                rec.push_back(r);
            }
            const double p = std::exp(ExactLikelihood(s).Evaluate(rec).logLikelihood);
            const double freq = static_cast<double>(common[i].first) / kRuns;
            EXPECT_NEAR(freq, p, 4 * std::sqrt(p * (1 - p) / kRuns)) << "setting " << s << " record " << i;
        }
    }
}

TEST(LikelihoodRecords, CodesNoMachineRecordsAreRefused) {
    GameRecord noSets = BB(BlueBB, 0), wrongWin = BB(RedBB, 2), kindThree = BB(3, 2), setsWithoutBB = Win(Bell);
    wrongWin.koyaku = Bell;
    setsWithoutBB.bbSets = 2;
    for (const GameRecord& bad : {Win(10), Win(-1), Win(BBGame), noSets, wrongWin, kindThree, setsWithoutBB}) {
        EXPECT_FALSE(IsRecordableGame(bad)) << bad.koyaku << " " << bad.bbKind << " " << bad.bbSets;
        const std::vector<GameRecord> rec = {Win(Miss), bad, Win(Miss)};
        EXPECT_EQ(FirstUnrecordableGame(rec), 1u);
        const ExactEstimate e = EstimateSettingExactly(rec);
        ASSERT_TRUE(e.problem.has_value());
        EXPECT_NE(e.problem->find("game 2 "), std::string::npos) << *e.problem;
    }
    // Well-formed but unplayable: a BB in the first game, a stretch past 1532.
    for (const auto& rec : {std::vector<GameRecord>{BB(RedBB, 1), Win(Miss)}, Repeat(Miss, 1533)}) {
        const ExactEstimate e = EstimateSettingExactly(rec);
        ASSERT_TRUE(e.problem.has_value());
        EXPECT_NE(e.problem->find("no setting"), std::string::npos) << *e.problem;
    }
    const ExactEstimate none = EstimateSettingExactly({});
    EXPECT_FALSE(none.problem.has_value());
    for (double p : none.posterior.probability) EXPECT_NEAR(p, 1.0 / 6, 1e-15);
}

TEST(LikelihoodRecords, CompensatedSumKeepsSmallTerms) {
    CompensatedSum s;
    s.Add(1e16);
    for (int i = 0; i < 1000; ++i) s.Add(1.0);
    s.Add(-1e16);
    EXPECT_EQ(s.Value(), 1000.0);
}

double StretchChance(const ExactLikelihood& f, std::int32_t games, std::int32_t kind, std::int32_t sets) {
    const std::array<HallBB, 1> one = {HallBB{games, kind, sets}};
    return std::exp(f.EvaluateStretches(one, 0).logLikelihood);
}

// From the long-run state after a BB, the next BB's distance and colour are
// a distribution; sets not seen are the sum over the sets, a colour not seen
// the sum over the colours.
// A record and hall data go through the one step of a game whichever way
// they come in: the whole record at once, game by game through the filter,
// or as stretches. The figures agree to the bit, and so does the game at
// which a record turns impossible; the ceiling at game 1500 is where the
// ways could part.
TEST(LikelihoodSteps, EveryWayInTakesTheSameStep) {
    PlayHistory played;
    Slot slot(11);
    SimulateRun(slot, played, {false, 4}, 30'000);
    const std::vector<GameRecord> run(played.records().begin(), played.records().end());
    const std::vector<std::vector<GameRecord>> records = {
        run,
        // A BB at the ceiling, one just after it, and one a precursor past it.
        Join({Repeat(Bell, 1499),
              {BB(BlueBB, 3)},
              Repeat(Miss, 1499),
              {BB(BlueBB, 1)},
              Repeat(Blank, 1510),
              {BB(RedBB, 2)},
              Repeat(Bell, 40)}),
        // No BB by game 1532 (index 1531): impossible there, not before.
        Repeat(Blank, 1600),
        Join({Repeat(Miss, 5), {Win(12)}, Repeat(Miss, 5)}),
    };
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const ExactLikelihood& f = AllExactLikelihoods()[static_cast<std::size_t>(s - 1)];
        for (std::size_t r = 0; r < records.size(); ++r) {
            const RecordLikelihood whole = f.Evaluate(records[r]);
            RecordFilter filter(f);
            std::optional<std::size_t> failed;
            for (std::size_t i = 0; i < records[r].size() && !failed; ++i)
                if (!filter.Add(records[r][i])) failed = i;
            EXPECT_EQ(failed, whole.impossibleAt) << "setting " << s << " record " << r;
            EXPECT_EQ(filter.LogLikelihood(), whole.logLikelihood) << "setting " << s << " record " << r;
            if (failed) continue;
            std::int32_t since = 0;
            for (const GameRecord& g : records[r]) since = g.bbKind == NoBB ? since + 1 : 0;
            EXPECT_EQ(filter.GamesSinceBB(), since) << "setting " << s << " record " << r;
        }
        EXPECT_EQ(f.Evaluate(records[2]).impossibleAt, std::optional<std::size_t>(kMaxGamesSinceBB - 1)) << s;
        EXPECT_EQ(f.Evaluate(records[3]).impossibleAt, std::optional<std::size_t>(5)) << s;

        // Hall data: the same stretches through the filter from the long-run law.
        const std::vector<std::pair<std::vector<HallBB>, std::int64_t>> halls = {
            {{{1500, 1, 3}, {1500, 0, 0}, {1517, 2, 0}, {1, 1, 2}, {300, 0, 4}}, 700},
            {{{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}}, 355},
            {{{1500, 1, 3}}, kMaxGamesSinceBB + 1},
        };
        for (std::size_t h = 0; h < halls.size(); ++h) {
            const auto& [bbs, tail] = halls[h];
            const RecordLikelihood whole = f.EvaluateStretches(bbs, tail);
            RecordFilter filter(f, LongRunStateAfterBB(s), 0);
            bool ok = true;
            for (const HallBB& bb : bbs) {
                for (std::int32_t g = 1; g < bb.games; ++g) ok = filter.AddUnseenGame() && ok;
                ok = filter.AddBB(bb.kind, bb.sets) && ok;
            }
            for (std::int64_t g = 0; g < tail; ++g) ok = filter.AddUnseenGame() && ok;
            EXPECT_EQ(ok, !whole.impossibleAt) << "setting " << s << " hall " << h;
            EXPECT_EQ(filter.LogLikelihood(), whole.logLikelihood) << "setting " << s << " hall " << h;
            if (ok) {
                EXPECT_EQ(filter.GamesSinceBB(), tail) << "setting " << s << " hall " << h;
            }
        }
    }
}

TEST(LikelihoodHall, NextBBLawsAddUp) {
    for (int s : {1, 4, 6}) {
        const ExactLikelihood f(s);
        double total = 0;
        for (std::int32_t games = 1; games <= kMaxGamesSinceBB + 1; ++games) total += StretchChance(f, games, 0, 0);
        EXPECT_NEAR(total, 1.0, 1e-12) << "setting " << s;
        for (std::int32_t games : {1, 7, 300, 1500}) {
            const double blue = StretchChance(f, games, 1, 0), red = StretchChance(f, games, 2, 0);
            EXPECT_NEAR(StretchChance(f, games, 0, 0), blue + red, 1e-14) << games;
            if (games > 300) continue;
            double bySets = 0;
            for (std::int32_t sets = 1; sets <= 400; ++sets) bySets += StretchChance(f, games, 2, sets);
            EXPECT_NEAR(bySets, red, 1e-12 * red) << games;
        }
    }
}

// Past the ceiling every precursor count carries mass into the BB and the
// stretch after it: the next stretch's law still adds up to one, and 300
// stretches at the ceiling give what the walk over all 32 counts one by one
// gave (its figures, setting 1 to 6, before it was made linear).
TEST(LikelihoodHall, StretchesAfterTheCeilingKeepEveryPrecursorCount) {
    const ExactLikelihood f(3);
    for (const std::int32_t first : {1500, 1517}) {
        const std::array<HallBB, 1> one = {HallBB{first, 1, 3}};
        const double alone = std::exp(f.EvaluateStretches(one, 0).logLikelihood);
        double then = 0;
        for (std::int32_t games = 1; games <= kMaxGamesSinceBB; ++games) {
            const std::array<HallBB, 2> two = {HallBB{first, 1, 3}, HallBB{games, 0, 0}};
            then += std::exp(f.EvaluateStretches(two, 0).logLikelihood);
        }
        EXPECT_NEAR(then / alone, 1.0, 1e-12) << first;
    }
    HallData d;
    d.bbs.assign(300, HallBB{1500, 1, 3});
    d.games = 1500 * 300 + 700;
    const std::array<double, kMaxSetting> before = {-2139.8523763922781, -2257.4878424161629, -2297.4440512566212,
                                                    -2352.841401533904,  -2408.1042605901812, -2432.2527598415313};
    const HallEstimate e = EstimateSettingFromHallData(d);
    for (std::size_t s = 0; s < kMaxSetting; ++s)
        EXPECT_NEAR(e.bbLogLikelihood[s], before[s], 1e-12 * std::abs(before[s])) << "setting " << s + 1;
}

// Stretches of one long run against the chain's law: the distance to the
// next BB in bands, and the share of red BBs, within four standard errors
// (successive stretches are nearly independent).
TEST(LikelihoodHall, StretchesOfALongRunFollowTheLaw) {
    const std::vector<std::pair<std::int32_t, std::int32_t>> bands = {{1, 1},     {2, 32},     {33, 150},
                                                                      {151, 400}, {401, 1499}, {1500, 1532}};
    for (int s : {1, 6}) {
        Slot slot(70u + static_cast<unsigned>(s));
        PlayHistory h;
        SimulateRun(slot, h, {false, s}, 4'000'000);
        std::vector<double> seen(bands.size());
        double bbs = 0, reds = 0;
        bool started = false;
        for (const GameRecord& g : h.records()) {
            if (g.bbKind == 0) continue;
            if (started) {
                for (std::size_t b = 0; b < bands.size(); ++b)
                    seen[b] += g.gamesSinceBB >= bands[b].first && g.gamesSinceBB <= bands[b].second;
                ++bbs;
                reds += g.bbKind == RedBB;
            }
            started = true;  // the first stretch starts from the reset
        }
        const ExactLikelihood f(s);
        double red = 0;
        for (std::size_t b = 0; b < bands.size(); ++b) {
            double p = 0;
            for (std::int32_t games = bands[b].first; games <= bands[b].second; ++games) {
                p += StretchChance(f, games, 0, 0);
                if (b == 0 || games <= kMaxGamesSinceBB) red += StretchChance(f, games, 2, 0);
            }
            EXPECT_NEAR(seen[b] / bbs, p, 4 * std::sqrt(p * (1 - p) / bbs)) << "setting " << s << " band " << b;
        }
        EXPECT_NEAR(reds / bbs, red, 4 * std::sqrt(red * (1 - red) / bbs)) << "setting " << s;
    }
}

TEST(LikelihoodHall, RefusesDataNoMachineGives) {
    const auto problem = [](const HallData& d) { return EstimateSettingFromHallData(d).problem; };
    HallData ok{2000, {{300, 1, 4}, {12, 2, 0}, {800, 0, 0}}, {{*CountedWinKinds("cherry"), 20}}};
    EXPECT_EQ(problem(ok), HallProblem::None);
    HallData d = ok;
    d.games = 0;
    EXPECT_EQ(problem(d), HallProblem::NoGames);
    d = ok;
    d.bbs[1].kind = 3;
    EXPECT_EQ(problem(d), HallProblem::BadBB);
    EXPECT_EQ(EstimateSettingFromHallData(d).problemIndex, 1u);
    d = ok;
    d.games = 1111;
    EXPECT_EQ(problem(d), HallProblem::BBsPastGames);
    d = ok;
    d.counted.push_back({*CountedWinKinds("cherry2"), 3});
    EXPECT_EQ(problem(d), HallProblem::CountsOverlap);
    d = ok;
    d.counted[0].count = 1998;
    EXPECT_EQ(problem(d), HallProblem::CountsPastGames);
    d = ok;
    d.games = 1112 + kMaxGamesSinceBB;  // the games after the last BB are one too many
    EXPECT_EQ(problem(d), HallProblem::NoSetting);
    d.games -= 1;
    EXPECT_EQ(problem(d), HallProblem::None);
    EXPECT_EQ(CountedWinKinds("melon"), std::nullopt);
    EXPECT_EQ(CountedWinKinds("suika"), (1u << Suika_A) | (1u << Suika_B));
}

// The two kinds of evidence add as log-likelihoods, and the counted small
// wins alone are the multinomial: with no counts they say nothing.
TEST(LikelihoodHall, EvidenceAddsUp) {
    const HallData noCounts{1200, {{300, 1, 4}, {12, 2, 0}, {800, 0, 0}}, {}};
    const HallEstimate a = EstimateSettingFromHallData(noCounts);
    ASSERT_EQ(a.problem, HallProblem::None);
    for (double p : a.winsPosterior) EXPECT_NEAR(p, 1.0 / 6, 1e-12);
    HallData counted = noCounts;
    counted.counted = {{*CountedWinKinds("cherry2"), 9}, {*CountedWinKinds("suika"), 11}};
    const HallEstimate b = EstimateSettingFromHallData(counted);
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        EXPECT_EQ(b.bbLogLikelihood[s], a.bbLogLikelihood[s]);
        EXPECT_NEAR(b.posterior.logLikelihood[s], b.bbLogLikelihood[s] + b.winsLogLikelihood[s], 1e-9);
    }
    // Cherry2 and watermelons are commonest at setting 6: many of them favour it.
    EXPECT_GT(b.winsPosterior[5], b.winsPosterior[0]);
}

}  // namespace
}  // namespace morvane
