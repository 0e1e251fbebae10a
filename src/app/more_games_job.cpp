#include "app/more_games_job.h"

namespace morvane {

bool MoreGamesSimulation::Run() { return ValueOfMoreGames(belief_, request_, figures_, &StopFlag(), &DoneCounter()); }

std::optional<MoreGamesJob::Finished> MoreGamesJob::Take() {
    const auto ended = thread_.Take();
    if (!ended || !ended->completed) return std::nullopt;
    return Finished{ended->number, static_cast<const MoreGamesSimulation&>(*ended->job).Figures()};
}

std::int64_t MoreGamesJob::Done() const {
    const auto job = thread_.Current();
    return job ? job->Done() : 0;
}

}  // namespace morvane
