// morvane-sim estimate: which setting a saved run, or hall data noted by
// hand, was played at.
#include <atomic>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "app/hall_input.h"
#include "app/input.h"
#include "app/job.h"
#include "app/more_games_job.h"
#include "app/run_file.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/long_work.h"
#include "cli/options.h"
#include "cli/prior_option.h"
#include "cli/quoted.h"
#include "cli/report_format.h"
#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/more_games.h"
#include "estimation/purchases_ahead.h"
#include "model/likelihood.h"
#include "sessions/spread_play.h"
#include "system/printable.h"

namespace morvane {
namespace {

using Stop = const std::atomic<bool>&;
using Done = std::atomic<std::int64_t>&;

struct NowRequest {
    std::int32_t horizon = kNowHorizon;
    std::uint32_t seed = 0;  // of the best rule's spread
    int threads = 0;
};

std::string WhatIsWrong(const HallBBReading& r) {
    switch (r.wrong) {
    case HallBBPart::Games:
        return r.text.empty() || r.text.front() < '0' || r.text.front() > '9'
                   ? "it does not start with its games"
                   : "its games " + Quoted(r.text) + " are not a 32-bit integer of at least 1";
    case HallBBPart::Colour: return "its colour " + Quoted(r.text) + " is not b, r or ?";
    case HallBBPart::Sets: return "its sets " + Quoted(r.text) + " are not a 32-bit integer of at least 1";
    case HallBBPart::None: break;
    }
    return "it cannot be read";
}

class EstimateCommand : public Command {
public:
    const char* Name() const override { return "estimate"; }
    const char* Description() const override { return "Judges the setting of a saved run or of hall data"; }
    std::string Usage() const override {
        return "morvane-sim estimate [--counts] FILE.sim [--format tsv|csv|json]\n"
               "morvane-sim estimate FILE.sim [--prior W1,...,W6] [--horizon K] [--now] [--format tsv|csv|json]\n"
               "                     [--more K [--threshold P] [--sessions N]] [--seed X] [--threads T]\n"
               "morvane-sim estimate --games G [--bb LIST] [--count NAME=K ...] [--prior W1,...,W6] [--horizon K]\n"
               "                     [--now] [--more K ...] [--format tsv|csv|json]\n"
               "  with --horizon, --now or --more: [--exchange N] [--lend L] [--held M|all] [--games-per-hour N]\n";
    }

    void Register(CLI::App& app) override {
        file_ = AddWords(app, "FILE.sim", true, "the saved run to judge by its exact posterior");
        counts_ =
            AddFlag(app, "--counts", "judges FILE.sim from the counts of small wins and first hits alone instead");
        games_ = AddValueOption(app, "--games", "G", "",
                                "hall data, required: all games since the data counter's start, BB games included");
        bbs_ = AddValueOption(app, "--bb", "LIST", "no BB",
                              "hall data: the counter's BB history, oldest first, such as 312b5,45r,1200?3,88");
        counted_ = AddRepeatedOption(app, "--count", "NAME=K", "none counted",
                                     "hall data, repeatable: K of a small win counted over the games without a BB");
        formatOption_ = AddFormatOption(app);
        prior_ = AddValueOption(app, "--prior", "W1,...,W6", "1,1,1,1,1,1",
                                "the hall's weights of settings 1 to 6, normalised: the posterior's prior");
        horizon_ = AddValueOption(app, "--horizon", "K", "",
                                  "adds the expected net medals of the next K games and of playing until the next "
                                  "BB's sets are over to each setting's line, and a line of both mixed");
        now_ = AddFlag(app, "--now",
                       "adds the machine now as the window shows it, over the K games of --horizon (1000 when "
                       "not given, at most 20000): the games until the next BB's sets are over, each hidden mode's "
                       "chance, and keep or quit: the best stopping rule, its advice and its net's spread over 2000 "
                       "sessions simulated");
        more_ = AddValueOption(app, "--more", "K", "",
                               "adds the chance that after K more games watched the posterior of settings 5 and 6 "
                               "together, and that of the most probable setting, reach --threshold (by simulation)");
        threshold_ = AddValueOption(app, "--threshold", "P", "0.8",
                                    "with --more: the posterior to reach, above 0 and at most 1");
        sessions_ = AddValueOption(app, "--sessions", "N", "2000", "with --more: the continuations simulated");
        seed_ = AddValueOption(app, "--seed", "X", "the clock's seconds",
                               "with --more or --now: the simulation's seed, from 0 to 4294967295");
        threads_ = AddValueOption(app, "--threads", "T", "every core",
                                  "with --more or --now: threads to simulate on; the output is the same for any");
        money_ = AddMoneyOptions(app,
                                 "for the yen beside the medals of --horizon and --now (with --held M, --lend or "
                                 "--games-per-hour also the purchases and the yen an hour)");
    }

    int Run(std::ostream& out, std::ostream& err) override {
        format_ = FormatValue(formatOption_);
        yen_ = YenGiven(Given(horizon_) || Given(now_) || Given(more_));
        if (Given(games_) || Given(bbs_) || Given(counted_)) return RunHallData(out, err);
        if (ValuesOf(file_).empty()) throw UsageError{"estimate needs a file"};
        if (ValuesOf(file_).size() > 1) throw UsageError{"estimate takes exactly one file"};
        const std::string path = ValuesOf(file_).front();
        return RunFile(path, out, err);
    }

private:
    // A saved run is judged as it is read, a piece at a time, its records
    // never held: any length fits, the machine after it included.
    int RunFile(const std::string& path, std::ostream& out, std::ostream& err) const {
        RunFileEstimate read;
        std::error_code ec;
        const std::int64_t total = std::filesystem::is_regular_file(path, ec)
                                       ? static_cast<std::int64_t>(SimRecordsIn(std::filesystem::file_size(path, ec)))
                                       : 0;
        if (!RunLongJob("games", ec ? 0 : total, err, [&](Stop stop, Done done) {
                read = EstimateRunFile(path, !Given(counts_), &stop, &done);
                return !read.stopped;
            }))
            return kExitInterrupted;
        if (read.problem) {
            err << "morvane-sim: " << *read.problem << "\n";
            return kExitUsage;
        }
        if (read.seen.games == 0) {
            err << "morvane-sim: " << Printable(path) << ": the file holds no games to estimate from\n";
            return kExitUsage;
        }
        if (Given(counts_)) {
            if (Given(prior_) || Given(horizon_) || Given(now_) || Given(more_) || MoneyGiven_().any)
                throw UsageError{"--counts goes without --prior, --horizon, --now, --more and the money options"};
            out << ReportText(PosteriorReport(EstimateSetting(AllSettingTheories(), read.seen), false), format_);
            return kExitOk;
        }
        const SettingPrior prior = PriorGiven();
        const std::optional<std::int32_t> horizon = HorizonGiven();
        const std::optional<MoreGamesRequest> more = MoreGiven();
        const std::optional<NowRequest> now = NowGiven(horizon, more);
        const ExactEstimate e = ExactEstimateOf(read, prior);
        if (e.problem) {
            err << "morvane-sim: " << Printable(path) << ": " << *e.problem << "\n";
            return kExitUsage;
        }
        if (!horizon && !more && !now) {
            out << ReportText(PosteriorReport(e.posterior, true), format_);
            return kExitOk;
        }
        // The filter ran once, for the posterior and the state it leaves.
        return PrintWithBelief(e.posterior, *BeliefOf(read, prior), horizon, now, more, out, err);
    }

    int RunHallData(std::ostream& out, std::ostream& err) const {
        const HallData data = HallDataGiven();
        const SettingPrior prior = PriorGiven();
        const std::optional<std::int32_t> horizon = HorizonGiven();
        const HallEstimate e = EstimateSettingFromHallData(data, prior);
        switch (e.problem) {
        case HallProblem::None: break;
        case HallProblem::NoGames:
        case HallProblem::BadBB: throw UsageError{"the BB list or the games are out of range"};
        case HallProblem::BBsPastGames: throw UsageError{"the BBs' games add up to more than --games"};
        case HallProblem::CountsOverlap:
            throw UsageError{"count " + std::to_string(e.problemIndex + 1) + " names a small win counted before"};
        case HallProblem::CountsPastGames: throw UsageError{"more small wins counted than games without a BB"};
        case HallProblem::NoSetting:
            // The BB comes by game 1532 of a stretch at the latest.
            err << "morvane-sim: no setting can play this BB history: a stretch runs 1532 games or more without a "
                   "BB\n";
            return kExitUsage;
        }
        const std::optional<MoreGamesRequest> more = MoreGiven();
        const std::optional<NowRequest> now = NowGiven(horizon, more);
        if (!horizon && !more && !now) {
            out << ReportText(PosteriorReport(e.posterior, true), format_);
            return kExitOk;
        }
        const BeliefResult b = BeliefFromHallData(data, e, prior);
        return PrintWithBelief(e.posterior, *b.belief, horizon, now, more, out, err);
    }

    // The posterior, with --horizon's columns, --now's lines and --more's.
    int PrintWithBelief(const SettingPosterior& posterior, const MachineBelief& belief,
                        std::optional<std::int32_t> horizon, const std::optional<NowRequest>& now,
                        const std::optional<MoreGamesRequest>& more, std::ostream& out, std::ostream& err) const {
        if (now) horizon = now->horizon;
        MoreGames m;
        // The continuations play on their own threads; nothing is printed
        // until they end.
        if (more) {
            const auto simulation = std::make_shared<MoreGamesSimulation>(belief, *more);
            if (!RunLongJob("sessions", simulation, err)) return kExitInterrupted;
            m = simulation->Figures();
        }
        std::optional<MachineNow> figures;
        if (horizon && !RunLongJob("settings", kMaxSetting, err, [&](Stop stop, Done done) {
                figures = NowFigures(belief, *horizon, stop, &done, nowMoney_,
                                     now    ? now->threads
                                     : more ? more->threads
                                            : 0);
                return figures.has_value();
            }))
            return kExitInterrupted;
        NowDecision decision;
        if (now && !Decide(belief, *now, decision, err)) return kExitInterrupted;
        Report report =
            horizon ? PosteriorNowReport(posterior, *figures, now.has_value(), yen_) : PosteriorReport(posterior, true);
        if (now)
            for (auto& line : NowDecisionReport(*figures, decision, yen_).parts)
                report.parts.push_back(std::move(line));
        if (more)
            for (auto& line : MoreGamesReport(m).parts) report.parts.push_back(std::move(line));
        out << ReportText(report, format_);
        return kExitOk;
    }

    // Keep or quit as the window decides it: the exact rules, then the
    // best one's spread from the belief, and the advice of both. False
    // when Ctrl+C stopped it.
    bool Decide(const MachineBelief& belief, const NowRequest& r, NowDecision& d, std::ostream& err) const {
        const HallMoney& money = nowMoney_.money;
        d.seed = r.seed;
        if (!RunLongJob("games", r.horizon, err, [&](Stop stop, Done) {
                d.keep = DecideKeepOrQuit(belief, {r.horizon, kNowMostBBs, 0, r.seed, r.threads, money}, &stop);
                return !stop;
            }))
            return false;
        if (d.keep.best.kind != StopRule::Kind::Now) {
            RuleSpread s;
            if (!RunLongJob("sessions", kNowSpreadSessions, err, [&](Stop stop, Done done) {
                    return SpreadOfRule(belief, d.keep.best, r.horizon, kNowSpreadSessions, r.seed, r.threads, s, &stop,
                                        &done, money);
                }))
                return false;
            d.spread = s;
        }
        d.advice =
            Advise(d.keep.best, d.spread ? &*d.spread : nullptr, PrecursorShare(belief), d.keep.money.held.has_value());
        return true;
    }

    std::optional<MoreGamesRequest> MoreGiven() const {
        if (!Given(more_)) {
            if (Given(now_)) {
                if (Given(threshold_) || Given(sessions_))
                    throw UsageError{"--threshold and --sessions go with --more"};
            } else if (Given(threshold_) || Given(sessions_) || Given(seed_) || Given(threads_)) {
                throw UsageError{"--threshold, --sessions, --seed and --threads go with --more"};
            }
            return std::nullopt;
        }
        MoreGamesRequest r;
        r.games = PositiveValue(more_, 1000, "more");
        if (const auto t = ValueOf(threshold_)) {
            double v = 0;
            const char* end = t->data() + t->size();
            const auto [p, ec] = std::from_chars(t->data(), end, v, std::chars_format::fixed);
            if (t->empty() || ec != std::errc() || p != end || !std::isfinite(v) || v <= 0 || v > 1)
                throw UsageError{"threshold " + Quoted(*t) + " must be a decimal above 0 and at most 1, such as 0.8"};
            r.highThreshold = r.topThreshold = v;
        }
        r.sessions = PositiveValue(sessions_, 2000, "sessions");
        r.seed = SeedValue(seed_);
        r.threads = PositiveValue(threads_, DefaultThreads(), "threads");
        return r;
    }

    // With --more, the seed and threads it read: the clock is read once.
    std::optional<NowRequest> NowGiven(const std::optional<std::int32_t>& horizon,
                                       const std::optional<MoreGamesRequest>& more) const {
        if (!Given(now_)) return std::nullopt;
        NowRequest r;
        r.horizon = horizon.value_or(kNowHorizon);
        if (r.horizon > kMostNowHorizon)
            throw UsageError{"--now goes with a --horizon of at most " + std::to_string(kMostNowHorizon) + " games"};
        r.seed = more ? more->seed : SeedValue(seed_);
        r.threads = more ? more->threads : PositiveValue(threads_, DefaultThreads(), "threads");
        return r;
    }

    MoneyGiven MoneyGiven_() const { return MoneyValue(money_); }

    // The yen beside the medals, when a money option is given: at the
    // exchange alone while all medals are held and nothing else is said,
    // else with the purchases and the yen an hour. Keeps the money.
    std::optional<YenShown> YenGiven(bool withFigures) {
        const MoneyGiven m = MoneyGiven_();
        nowMoney_ = {m.money, m.gamesPerHour};
        if (!m.any) return std::nullopt;
        if (!withFigures)
            throw UsageError{"--exchange, --lend, --held and --games-per-hour go with --horizon, --now or --more"};
        if (!PurchasesFollowed(m.money))
            throw UsageError{"with --held, --lend is a whole number of medals per 1000 yen"};
        if (m.money.held || Given(money_.lend) || Given(money_.gamesPerHour)) return YenShown::WithPurchases;
        return YenShown::AtExchange;
    }

    SettingPrior PriorGiven() const {
        const auto text = ValueOf(prior_);
        return text ? PriorValue(*text) : SettingPrior();
    }

    std::optional<std::int32_t> HorizonGiven() const {
        if (!Given(horizon_)) return std::nullopt;
        const std::int32_t k = PositiveValue(horizon_, 1, "horizon");
        if (nowMoney_.money.held && k > kMostPurchaseGames)
            throw UsageError{"--held M follows the purchases over a --horizon of at most " +
                             std::to_string(kMostPurchaseGames) + " games (--held all over any)"};
        return k;
    }

    HallData HallDataGiven() const {
        if (!ValuesOf(file_).empty()) throw UsageError{"a file and --games do not go together"};
        if (Given(counts_)) throw UsageError{"--counts goes with a file, not with --games"};
        HallData data;
        if (const auto g = ValueOf(games_)) {
            const auto games = ParseInt32(*g);
            if (!games || *games < 1)
                throw UsageError{"games " + Quoted(*g) + " must be a 32-bit integer of at least 1"};
            data.games = *games;
        }
        if (const auto list = ValueOf(bbs_)) {
            for (std::size_t start = 0; start <= list->size();) {
                const std::size_t comma = std::min(list->find(',', start), list->size());
                const std::string item = list->substr(start, comma - start);
                const HallBBReading bb = ParseHallBBEntries(item);
                if (!bb.bb)
                    throw UsageError{"BB " + Quoted(item) +
                                     " is not GAMES[b|r|?[SETS]], for example 312b5: " + WhatIsWrong(bb)};
                data.bbs.push_back(*bb.bb);
                start = comma + 1;
            }
        }
        for (const std::string& v : ValuesOf(counted_)) {
            const std::size_t eq = v.find('=');
            const auto kinds = CountedWinKinds(v.substr(0, eq == std::string::npos ? v.size() : eq));
            const auto k = eq == std::string::npos ? std::nullopt : ParseInt32(v.substr(eq + 1));
            if (!kinds || !k || *k < 0)
                throw UsageError{"count " + Quoted(v) +
                                 " is not NAME=K with NAME one of cherry2 cherry4 cherry "
                                 "suika_a suika_b suika replay_a replay_b replay bell chance"};
            data.counted.push_back({*kinds, *k});
        }
        if (!Given(games_)) throw UsageError{"--bb and --count need --games"};
        return data;
    }

    CLI::Option* file_ = nullptr;
    CLI::Option* counts_ = nullptr;
    CLI::Option* games_ = nullptr;
    CLI::Option* bbs_ = nullptr;
    CLI::Option* counted_ = nullptr;
    CLI::Option* formatOption_ = nullptr;
    ReportFormat format_ = ReportFormat::Tsv;
    CLI::Option* prior_ = nullptr;
    CLI::Option* horizon_ = nullptr;
    CLI::Option* now_ = nullptr;
    CLI::Option* more_ = nullptr;
    CLI::Option* threshold_ = nullptr;
    CLI::Option* sessions_ = nullptr;
    CLI::Option* seed_ = nullptr;
    CLI::Option* threads_ = nullptr;
    MoneyOptions money_;
    NowMoney nowMoney_;
    std::optional<YenShown> yen_;
};

}  // namespace

std::unique_ptr<Command> MakeEstimateCommand() { return std::make_unique<EstimateCommand>(); }

}  // namespace morvane
