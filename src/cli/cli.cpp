#include "cli/cli.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>

#include "analysis/estimate.h"
#include "analysis/likelihood.h"
#include "analysis/hall_estimate.h"
#include "analysis/shard_file.h"
#include "analysis/shard_merge.h"
#include "analysis/spread_report.h"
#include "app/hall_input.h"
#include "app/spread_job.h"
#include "analysis/theory.h"
#include "cli/fd_output.h"
#include "cli/fnv.h"
#include "present/presentation.h"
#include "present/show.h"
#include "app/input.h"
#include "run/history_room.h"
#include "system/memory_room.h"
#include "system/printable.h"
#include "app/session.h"
#include "system/read_pieces.h"
#include "simfile/simfile.h"

namespace morvane {
namespace {

constexpr const char* kUsage =
    "usage: morvane-sim run [--seed S] [--setting 1..6|?] [--games N] [--runs R] [--out PATH]\n"
    "       morvane-sim show FILE.sim [--plays]\n"
    "       morvane-sim theory [--games N]\n"
    "       morvane-sim estimate [--counts] FILE.sim\n"
    "       morvane-sim estimate --games G [--bb LIST] [--count NAME=K ...]\n"
    "       morvane-sim bench [--games N]\n"
    "       morvane-sim spread --setting 1..6 --games N --sessions R [--seed X] [--threads T]\n"
    "                          [--shard I/K --out FILE]\n"
    "       morvane-sim merge FILE...\n"
    "       morvane-sim [COMMAND] --help\n";

struct UsageError {
    std::string message;
};

// --help or -h where an option may stand.
struct HelpRequested {};

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

// A value as it may stand in a one-line message, quoted.
std::string Quoted(const std::string& value) { return "'" + Printable(value) + "'"; }

using Options = std::map<std::string, std::string>;

Options ParseOptions(const std::vector<std::string>& args, std::size_t first,
                     std::initializer_list<const char*> known) {
    Options opts;
    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (IsHelp(a)) throw HelpRequested{};
        bool ok = false;
        for (const char* k : known) ok = ok || a == k;
        if (!ok) throw UsageError{"unknown option " + Quoted(a)};
        if (i + 1 >= args.size()) throw UsageError{"option " + a + " needs a value"};
        if (opts.count(a)) throw UsageError{"option " + a + " given twice"};
        opts[a] = args[++i];
    }
    return opts;
}

std::int32_t PositiveOption(const Options& opts, const std::string& name, std::int32_t fallback,
                            const char* what) {
    const auto it = opts.find(name);
    if (it == opts.end()) return fallback;
    const auto v = ParseInt32(it->second);
    if (!v) throw UsageError{std::string(what) + " " + Quoted(it->second) + " is not a 32-bit integer"};
    if (*v < 1) throw UsageError{std::string(what) + " must be at least 1, not " + Quoted(it->second)};
    return *v;
}

std::uint32_t SeedOption(const Options& opts) {
    const auto it = opts.find("--seed");
    if (it == opts.end()) return static_cast<std::uint32_t>(std::time(nullptr));
    const std::string& s = it->second;
    // Leading zeros are taken as for every other number: "007" is 7.
    std::uint64_t v = 0;
    bool ok = !s.empty();
    for (char c : s) {
        ok = ok && c >= '0' && c <= '9';
        if (ok) v = v * 10 + static_cast<std::uint64_t>(c - '0');
        ok = ok && v <= UINT32_MAX;
    }
    if (!ok) throw UsageError{"seed " + Quoted(s) + " is not a number from 0 to 4294967295"};
    return static_cast<std::uint32_t>(v);
}

void CheckMemory(std::int32_t games) {
    const std::uint64_t available = AvailableMemoryBytes();
    if (!HistoryFits(games, 0, available))
        throw UsageError{std::to_string(games) + " games need " + std::to_string(ExtraHistoryBytes(games, 0)) +
                         " bytes of history, more than the " + std::to_string(UsableHistoryBytes(available)) +
                         " bytes that " + std::to_string(available) + " bytes of available memory leave for it"};
}

int CmdRun(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Options opts = ParseOptions(args, 1, {"--seed", "--setting", "--games", "--runs", "--out"});
    const std::uint32_t seed = SeedOption(opts);
    const std::string settingText = opts.count("--setting") ? opts.at("--setting") : "1";
    const auto setting = ParseSetting(settingText);
    if (!setting) throw UsageError{"setting " + Quoted(settingText) + " must be 1 to 6 or ?"};
    const std::int32_t games = PositiveOption(opts, "--games", 1, "games");
    const std::int32_t runs = PositiveOption(opts, "--runs", 1, "runs");
    const auto outIt = opts.find("--out");
    if (runs > 1 && outIt == opts.end()) throw UsageError{"--out is required when --runs is above 1"};
    if (outIt != opts.end() && outIt->second.empty()) throw UsageError{"--out needs a file name"};
    // The batch prints one path per line.
    if (runs > 1 && HasControlCharacter(outIt->second))
        throw UsageError{"the batch's base name " + Quoted(outIt->second) + " holds a control character"};
    CheckMemory(games);

    RunSession session(seed);
    const RunRequest request{*setting, games};
    if (runs == 1) {
        session.SimulateRun(request);
        if (outIt != opts.end()) session.Save(outIt->second);
        Presentation p;
        p.Present(session.Current());
        out << p.ResultLabel() << "\n";
        return kExitOk;
    }
    BatchHooks hooks;
    // A path list nobody receives is no use: the batch stops with it.
    hooks.stopRequested = [&] { return !out; };
    hooks.saved = [&](int, const std::string& path) { out << path << "\n" << std::flush; };
    const BatchResult r = session.SimulateBatch(outIt->second, runs, request, hooks);
    if (r.end == BatchEnd::WriteFailed) {
        err << "morvane-sim: " << r.error << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

// Reads a simulation file for show and estimate; on failure reports it and
// gives the exit code.
std::optional<int> LoadForCommand(const std::string& path, PlayHistory& history, std::ostream& err) {
    SimReadResult r;
    try {
        r = LoadSimFile(path, history);
    } catch (const FileError& e) {
        err << "morvane-sim: " << e.what() << "\n";
        return kExitUsage;
    }
    const std::string shown = Printable(path);
    switch (r.status) {
    case SimStatus::NotSimulation:
        err << "morvane-sim: " << shown << ": not a Morvane simulation file\n";
        return kExitUsage;
    case SimStatus::ShortHeader:
        err << "morvane-sim: " << shown << ": the file ends inside its 12-byte header\n";
        return kExitUsage;
    case SimStatus::TooLarge:
        err << "morvane-sim: " << shown << ": the file's history does not fit in the available memory\n";
        return kExitUsage;
    case SimStatus::Ok: break;
    }
    return std::nullopt;
}

int CmdShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string path;
    bool plays = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--plays") {
            plays = true;
        } else if (IsHelp(args[i])) {
            throw HelpRequested{};
        } else if (args[i].rfind("--", 0) == 0 || !path.empty()) {
            throw UsageError{"unexpected argument " + Quoted(args[i])};
        } else {
            path = args[i];
        }
    }
    if (path.empty()) throw UsageError{"show needs a file"};
    PlayHistory history;
    if (const auto failed = LoadForCommand(path, history, err)) return *failed;
    Presentation p;
    p.Present(history);
    WritePresentation(p, plays, out);
    return kExitOk;
}

std::string Fixed6(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", v);
    return text;
}

int CmdTheory(const std::vector<std::string>& args, std::ostream& out) {
    const Options opts = ParseOptions(args, 1, {"--games"});
    const std::int32_t games = PositiveOption(opts, "--games", 0, "games");
    const std::vector<SettingTheory> all = AllSettingTheories();
    out << "setting\tpayout_percent\tgames_per_bb\tsets_per_bb\n";
    for (const SettingTheory& t : all) {
        const LongRunFigures& f = t.LongRun();
        out << t.Setting() << '\t' << Fixed6(f.payoutPercent) << '\t' << Fixed6(f.gamesPerBB) << '\t'
            << Fixed6(f.setsPerBB) << '\n';
    }
    if (games > 0) {
        out << "setting\texpected_balance\texpected_bb_games\n";
        for (const SettingTheory& t : all) {
            const RunExpectation r = t.ExpectedRun(games);
            out << t.Setting() << '\t' << Fixed6(r.balance) << '\t' << Fixed6(r.bbGames) << '\n';
        }
    }
    return kExitOk;
}

std::string LogText(double v) {
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", v);
    return text;
}

void PrintPosterior(const SettingPosterior& p, std::ostream& out) {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto i = static_cast<std::size_t>(s - 1);
        out << s << '\t' << Fixed6(p.probability[i]) << '\t' << LogText(p.logLikelihood[i]) << '\n';
    }
}

// estimate --games G [--bb LIST] [--count NAME=K ...]: hall data entered by hand.
int CmdEstimateHall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    HallData data;
    bool haveGames = false, haveBBs = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--games" && a != "--bb" && a != "--count")
            throw UsageError{a.rfind("--", 0) == 0 ? "unknown option '" + a + "'"
                                                   : "a file and --games do not go together"};
        if (i + 1 >= args.size()) throw UsageError{"option " + a + " needs a value"};
        const std::string& v = args[++i];
        if (a == "--games") {
            if (haveGames) throw UsageError{"option --games given twice"};
            haveGames = true;
            const auto g = ParseInt32(v);
            if (!g || *g < 1) throw UsageError{"games '" + v + "' must be a 32-bit integer of at least 1"};
            data.games = *g;
        } else if (a == "--bb") {
            if (haveBBs) throw UsageError{"option --bb given twice"};
            haveBBs = true;
            std::size_t start = 0;
            while (start <= v.size()) {
                const std::size_t comma = std::min(v.find(',', start), v.size());
                const std::string item = v.substr(start, comma - start);
                const auto bb = ParseHallBB(item);
                if (!bb) throw UsageError{"BB '" + item + "' is not GAMES[b|r|?[SETS]], for example 312b5"};
                data.bbs.push_back(*bb);
                start = comma + 1;
            }
        } else {
            const std::size_t eq = v.find('=');
            const auto kinds = CountedWinKinds(v.substr(0, eq == std::string::npos ? v.size() : eq));
            const auto k = eq == std::string::npos ? std::nullopt : ParseInt32(v.substr(eq + 1));
            if (!kinds || !k || *k < 0)
                throw UsageError{"count '" + v + "' is not NAME=K with NAME one of cherry2 cherry4 cherry suika_a "
                                 "suika_b suika replay_a replay_b replay bell chance"};
            data.counted.push_back({*kinds, *k});
        }
    }
    if (!haveGames) throw UsageError{"--bb and --count need --games"};
    const HallEstimate e = EstimateSettingFromHallData(data);
    switch (e.problem) {
    case HallProblem::None: break;
    case HallProblem::NoGames:
    case HallProblem::BadBB: throw UsageError{"the BB list or the games are out of range"};
    case HallProblem::BBsPastGames: throw UsageError{"the BBs' games add up to more than --games"};
    case HallProblem::CountsOverlap:
        throw UsageError{"count " + std::to_string(e.problemIndex + 1) + " names a small win counted before"};
    case HallProblem::CountsPastGames: throw UsageError{"more small wins counted than games without a BB"};
    case HallProblem::NoSetting:
        err << "morvane-sim: no setting can play this BB history: a stretch runs past 1532 games without a BB\n";
        return kExitUsage;
    }
    PrintPosterior(e.posterior, out);
    return kExitOk;
}

int CmdEstimate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (std::any_of(args.begin() + 1, args.end(), IsHelp)) throw HelpRequested{};
    for (std::size_t i = 1; i < args.size(); ++i)
        if (args[i] == "--games" || args[i] == "--bb" || args[i] == "--count") return CmdEstimateHall(args, out, err);
    std::string path;
    bool counts = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--counts") {
            counts = true;
        } else if (args[i].rfind("--", 0) == 0) {
            throw UsageError{"unknown option '" + args[i] + "'"};
        } else if (!path.empty()) {
            throw UsageError{"estimate takes exactly one file"};
        } else {
            path = args[i];
        }
    }
    if (path.empty()) throw UsageError{"estimate needs a file"};
    PlayHistory history;
    if (const auto failed = LoadForCommand(path, history, err)) return *failed;
    if (history.empty()) {
        err << "morvane-sim: " << Printable(path) << ": the file holds no games to estimate from\n";
        return kExitUsage;
    }
    if (counts) {
        const SettingPosterior p = EstimateSetting(AllSettingTheories(), ObserveHistory(history));
        for (int s = kMinSetting; s <= kMaxSetting; ++s)
            out << s << '\t' << Fixed6(p.probability[static_cast<std::size_t>(s - 1)]) << '\n';
        return kExitOk;
    }
    const ExactEstimate e = EstimateSettingExactly(history.records());
    if (e.problem) {
        err << "morvane-sim: " << path << ": " << *e.problem << "\n";
        return kExitUsage;
    }
    PrintPosterior(e.posterior, out);
    return kExitOk;
}

int CmdBench(const std::vector<std::string>& args, std::ostream& out) {
    const Options opts = ParseOptions(args, 1, {"--games"});
    const std::int32_t games = PositiveOption(opts, "--games", 10'000'000, "games");
    CheckMemory(games);
    RunSession session(1);
    const RunRequest one{{false, 1}, games};
    session.SimulateRun(one);
    const auto t0 = std::chrono::steady_clock::now();
    session.SimulateRun(one);
    const auto t1 = std::chrono::steady_clock::now();
    Fnv1a hash;
    EncodeSim(session.CurrentHeader(), session.Current(), [&](const char* p, std::size_t n) { hash.Update(p, n); });
    const double secs = std::chrono::duration<double>(t1 - t0).count();
    char line[96];
    std::snprintf(line, sizeof line, "signature %016" PRIx64 "\n", hash.Value());
    out << line;
    std::snprintf(line, sizeof line, "games/s %.0f\n", secs > 0 ? games / secs : 0.0);
    out << line;
    return kExitOk;
}

// "I/K" with 0 <= I < K.
std::pair<std::int32_t, std::int32_t> ShardOption(const std::string& text) {
    const std::size_t slash = text.find('/');
    const auto i = ParseInt32(text.substr(0, slash));
    const auto k = slash == std::string::npos ? std::nullopt : ParseInt32(text.substr(slash + 1));
    if (!i || !k || *k < 1 || *i < 0 || *i >= *k)
        throw UsageError{"shard " + Quoted(text) + " must be I/K with 0 <= I < K"};
    return {*i, *k};
}

int CmdSpread(const std::vector<std::string>& args, std::ostream& out) {
    const Options opts =
        ParseOptions(args, 1, {"--seed", "--setting", "--games", "--sessions", "--threads", "--shard", "--out"});
    SpreadRequest request;
    const std::string settingText = opts.count("--setting") ? opts.at("--setting") : "1";
    const auto setting = ParseSetting(settingText);
    if (!setting || setting->hidden) throw UsageError{"setting " + Quoted(settingText) + " must be 1 to 6"};
    request.setting = setting->setting;
    request.games = PositiveOption(opts, "--games", 1, "games");
    request.sessions = PositiveOption(opts, "--sessions", 1, "sessions");
    request.seed = SeedOption(opts);
    const int threads = PositiveOption(opts, "--threads", DefaultThreads(), "threads");
    const auto outIt = opts.find("--out");
    if (opts.count("--shard")) {
        if (outIt == opts.end()) throw UsageError{"--shard needs --out"};
        std::tie(request.shardIndex, request.shardCount) = ShardOption(opts.at("--shard"));
    }
    if (outIt != opts.end() && outIt->second.empty()) throw UsageError{"--out needs a file name"};
    const std::uint64_t need = SpreadBytes(ShardSessions(request), outIt != opts.end());
    const std::uint64_t available = AvailableMemoryBytes();
    if (available != 0 && need > UsableHistoryBytes(available))
        throw UsageError{std::to_string(request.sessions) + " sessions need more than the " +
                         std::to_string(UsableHistoryBytes(available)) + " bytes of memory left for them"};

    std::vector<SessionTally> tallies(static_cast<std::size_t>(ShardSessions(request)));
    PlaySpread(request, threads, tallies);
    if (outIt != opts.end()) {
        const std::string text = EncodeShard(request, tallies);
        SaveFileSafely(outIt->second, [&](const ByteSink& sink) { sink(text.data(), text.size()); });
        return kExitOk;
    }
    out << SpreadText(Summarise(request, tallies));
    return kExitOk;
}

int CmdMerge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<ShardFile> shards;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (IsHelp(args[i])) throw HelpRequested{};
        if (args[i].rfind("--", 0) == 0) throw UsageError{"unexpected argument " + Quoted(args[i])};
    }
    if (args.size() < 2) throw UsageError{"merge needs the shard files"};
    const std::uint64_t available = AvailableMemoryBytes();
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string shown = Printable(args[i]);
        // The shards' tallies, then all of them in order and the summary's
        // sorted copy: refused at the first header that would not fit.
        ShardReader reader([&](const SpreadRequest& r) {
            const std::uint64_t need = SpreadBytes(r.sessions, false) + std::uint64_t(r.sessions) * sizeof(SessionTally);
            if (available != 0 && need > UsableHistoryBytes(available))
                throw std::runtime_error("its spread of " + std::to_string(r.sessions) + " sessions needs more than the " +
                                         std::to_string(UsableHistoryBytes(available)) + " bytes of memory left");
        });
        try {
            ReadInPieces(args[i], std::size_t{1} << 16, {}, [&](std::string_view piece) {
                reader.Feed(piece);
                return true;
            });
            shards.push_back(reader.Finish());
        } catch (const FileError& e) {
            err << "morvane-sim: " << e.what() << "\n";
            return kExitUsage;
        } catch (const std::runtime_error& e) {
            err << "morvane-sim: " << shown << ": " << e.what() << "\n";
            return kExitUsage;
        }
    }
    SpreadRequest whole;
    std::vector<SessionTally> tallies;
    try {
        tallies = MergeShards(shards, whole);
    } catch (const std::runtime_error& e) {
        err << "morvane-sim: " << e.what() << "\n";
        return kExitUsage;
    }
    out << SpreadText(Summarise(whole, tallies));
    return kExitOk;
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty()) throw UsageError{"no command given"};
        if (args[0] == "run") return CmdRun(args, out, err);
        if (args[0] == "bench") return CmdBench(args, out);
        if (args[0] == "show") return CmdShow(args, out, err);
        if (args[0] == "theory") return CmdTheory(args, out);
        if (args[0] == "estimate") return CmdEstimate(args, out, err);
        if (args[0] == "spread") return CmdSpread(args, out);
        if (args[0] == "merge") return CmdMerge(args, out, err);
        if (IsHelp(args[0]) || args[0] == "help") throw HelpRequested{};
        throw UsageError{"unknown command " + Quoted(args[0])};
    } catch (const HelpRequested&) {
        out << kUsage;
        return kExitOk;
    } catch (const UsageError& e) {
        err << "morvane-sim: " << e.message << " (morvane-sim --help shows the usage)\n";
        return kExitUsage;
    } catch (const FileError& e) {
        err << "morvane-sim: " << e.what() << "\n";
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        // What the checks before could not foresee is refused as they refuse.
        err << "morvane-sim: this does not fit in the available memory (" << AvailableMemoryBytes()
            << " bytes available)\n";
        return kExitUsage;
    }
}

}  // namespace

int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int code = RunCommand(args, out, err);
    // Output that never arrived is a failure whatever the command did.
    out.flush();
    if (!out) {
        const std::string reason = OutputFailureReason(out);
        err << "morvane-sim: cannot write to standard output" << (reason.empty() ? "" : ": " + reason) << "\n";
        if (code == kExitOk) code = kExitFailure;
    }
    return code;
}

}  // namespace morvane
