#include "app/run_file.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "model/likelihood.h"
#include "simfile/sim_records.h"
#include "system/printable.h"

namespace morvane {

RunFileRead ReadRunFile(const std::string& path, PlayHistory& out) {
    RunFileRead r;
    static_cast<SimReadResult&>(r) = LoadSimFile(path, out);
    if (r.status == SimStatus::Ok) r.unrecordableGame = FirstUnrecordableGame(out.records());
    return r;
}

namespace {
std::optional<std::string> StatusProblem(const std::string& shown, SimStatus status) {
    switch (status) {
    case SimStatus::NotSimulation: return shown + ": not a Morvane simulation file";
    case SimStatus::ShortHeader: return shown + ": the file ends inside its 12-byte header";
    case SimStatus::TooLarge: return shown + ": the file's history does not fit in the available memory";
    case SimStatus::Ok: break;
    }
    return std::nullopt;
}
}  // namespace

RunFileEstimate EstimateRunFile(const std::string& path, bool exact, const std::atomic<bool>* stop,
                                std::atomic<std::int64_t>* done) {
    RunFileEstimate out;
    std::vector<RecordFilter> filters;
    if (exact)
        for (const ExactLikelihood& f : AllExactLikelihoods()) filters.emplace_back(f);
    Observations& seen = out.seen;
    SimReadResult r;
    try {
        r = ReadSimFileInPieces(path, [&](std::uint64_t first, std::span<const GameRecord> piece) {
            for (std::size_t i = 0; i < piece.size(); ++i) {
                const GameRecord& g = piece[i];
                if (g.bbKind != 0) {
                    ++seen.bbGames;
                } else {
                    ++seen.smallWins[g.koyaku >= 0 && g.koyaku < kOtherWins ? static_cast<std::size_t>(g.koyaku)
                                                                            : std::size_t{kOtherWins}];
                }
                if (!out.unrecordableGame && !IsRecordableGame(g)) {
                    out.unrecordableGame = first + i;
                    out.unrecordable = g;
                }
                // A game no machine records decides the exact estimate's
                // answer, whatever follows.
                if (out.unrecordableGame) continue;
                for (std::size_t s = 0; s < filters.size(); ++s)
                    if (!out.impossibleAt[s] && !filters[s].Add(g)) out.impossibleAt[s] = first + i;
            }
            seen.games += static_cast<std::int64_t>(piece.size());
            if (done) done->fetch_add(static_cast<std::int64_t>(piece.size()), std::memory_order_relaxed);
            if (stop && stop->load(std::memory_order_relaxed)) {
                out.stopped = true;
                return false;
            }
            return true;
        });
    } catch (const FileError& e) {
        out.problem = e.what();
        return out;
    }
    if (out.stopped) return out;
    out.problem = StatusProblem(Printable(path), r.status);
    for (std::size_t s = 0; s < filters.size(); ++s) {
        out.logLikelihood[s] = out.impossibleAt[s] ? kImpossible : filters[s].LogLikelihood();
        if (!out.impossibleAt[s] && !out.unrecordableGame) out.after[s] = std::move(filters[s]);
    }
    return out;
}

std::optional<MachineBelief> BeliefOf(const RunFileEstimate& read, const SettingPrior& prior) {
    if (ExactEstimateOf(read, prior).problem) return std::nullopt;
    std::array<const RecordFilter*, kMaxSetting> after{};
    for (std::size_t s = 0; s < after.size(); ++s) after[s] = read.after[s] ? &*read.after[s] : nullptr;
    return BeliefAfterRecord(prior, after);
}

ExactEstimate ExactEstimateOf(const RunFileEstimate& read, const SettingPrior& prior) {
    // As EstimateSettingExactly words and decides it.
    const auto n = static_cast<std::size_t>(read.seen.games);
    if (read.unrecordableGame)
        return UnrecordableGameEstimate(prior, static_cast<std::size_t>(*read.unrecordableGame), read.unrecordable);
    std::size_t lastPossible = 0;
    for (const auto& at : read.impossibleAt)
        lastPossible = std::max(lastPossible, at ? static_cast<std::size_t>(*at) : n);
    return EstimateFromLikelihoods(prior, read.logLikelihood, n, lastPossible);
}

OpenedRunFile OpenRunFileRecords(const std::string& path) {
    OpenedRunFile out;
    RunFileRead& r = out.read;
    auto file = SimFileRecords::Open(path, [&](std::size_t first, std::span<const GameRecord> piece) {
        if (!r.unrecordableGame)
            if (const auto bad = FirstUnrecordableGame(piece)) r.unrecordableGame = first + *bad;
        return true;
    });
    if (file) {
        static_cast<SimReadResult&>(r) = file->Result();
        out.records = std::move(file);
    } else {
        out.held = std::make_unique<PlayHistory>();
        r = ReadRunFile(path, *out.held);
        out.records = std::make_unique<HistoryRecords>(*out.held);
    }
    if (r.status != SimStatus::Ok || r.unrecordableGame) {
        out.records.reset();
        out.held.reset();
    }
    return out;
}

OpenedRunFile OpenRunFile(const std::string& path) {
    OpenedRunFile out;
    try {
        out = OpenRunFileRecords(path);
    } catch (const FileError& e) {
        out.problem = e.what();
        return out;
    }
    const std::string shown = Printable(path);
    out.problem = StatusProblem(shown, out.read.status);
    if (!out.problem && out.read.unrecordableGame)
        out.problem = shown + ": game " + std::to_string(*out.read.unrecordableGame + 1) +
                      " holds a value this machine never records";
    return out;
}

}  // namespace morvane
