#include "app/more_games_job.h"

#include <utility>

namespace morvane {

MoreGamesJob::MoreGamesJob()
    : job_([](const Input& in, const std::atomic<bool>& cancel,
              std::atomic<std::int64_t>& done) -> std::optional<MoreGames> {
          MoreGames figures;
          if (!ValueOfMoreGames(in.belief, in.request, figures, &cancel, &done)) return std::nullopt;
          return figures;
      }) {}

std::optional<MoreGamesJob::Finished> MoreGamesJob::Take() {
    auto done = job_.Take();
    if (!done) return std::nullopt;
    return Finished{done->submission, std::move(done->output)};
}

}  // namespace morvane
