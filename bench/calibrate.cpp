// Calibration of the setting estimates: many simulated sessions per setting,
// each judged three ways (the exact posterior of the whole visible record,
// the count-based estimate, and hall data: the BB history with counted
// cherries and watermelons). Prints, per setting and method, the mean natural
// log of the probability given to the true setting and the share of sessions
// whose most probable setting is the true one.
//
//   morvane_calibrate [SESSIONS [GAMES]]   (defaults 1000 and 8000)
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/hall_input.h"
#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "machine/slot.h"
#include "model/likelihood.h"
#include "run/single_run.h"
#include "system/progress_line.h"

namespace {

using namespace morvane;

// Log of the posterior of setting `truth` from six log-likelihoods.
double LogPosterior(const std::array<double, kMaxSetting>& ll, int truth) {
    const double top = *std::max_element(ll.begin(), ll.end());
    double sum = 0;
    for (double v : ll) sum += std::exp(v - top);
    return ll[static_cast<std::size_t>(truth - 1)] - top - std::log(sum);
}

bool Picks(const std::array<double, kMaxSetting>& ll, int truth) {
    return std::max_element(ll.begin(), ll.end()) - ll.begin() == truth - 1;
}

HallData HallView(const PlayHistory& h) {
    HallData d;
    d.games = static_cast<std::int64_t>(h.size());
    std::int64_t cherries = 0, suika = 0;
    for (const GameRecord& g : h.records()) {
        if (g.bbKind != 0) {
            d.bbs.push_back({g.gamesSinceBB, g.bbKind, g.bbSets});
            continue;
        }
        cherries += g.koyaku == Cherry2 || g.koyaku == Cherry4;
        suika += g.koyaku == Suika_A || g.koyaku == Suika_B;
    }
    d.counted = {{*CountedWinKinds("cherry"), cherries}, {*CountedWinKinds("suika"), suika}};
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    const int sessions = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int games = argc > 2 ? std::atoi(argv[2]) : 8000;
    if (sessions < 1 || games < 1) {
        std::fprintf(stderr, "usage: morvane_calibrate [SESSIONS [GAMES]]\n");
        return 2;
    }
    const std::vector<SettingTheory> theories = AllSettingTheories();
    std::array<RunExpectation, kMaxSetting> runs;
    for (std::size_t s = 0; s < kMaxSetting; ++s) runs[s] = theories[s].ExpectedRun(games);

    std::printf("%d sessions of %d games per setting\n", sessions, games);
    std::printf("setting\texact_mean_log_p\texact_hit\tcounts_mean_log_p\tcounts_hit\thall_mean_log_p\thall_hit\n");
    std::array<double, 6> total{};
    // On a terminal, stderr shows how far the sessions have come.
    ProgressLine progress(STDERR_FILENO, "sessions", std::int64_t{sessions} * kMaxSetting);
    std::int64_t judged = 0;
    for (int truth = kMinSetting; truth <= kMaxSetting; ++truth) {
        std::array<double, 6> sum{};  // log p and hits for exact, counts, hall
        for (int i = 0; i < sessions; ++i) {
            Slot slot(static_cast<std::uint32_t>(truth * 1'000'003 + i));
            PlayHistory h;
            SimulateRun(slot, h, {false, truth}, games);
            const ExactEstimate exact = EstimateSettingExactly(h.records());
            const SettingPosterior counts = EstimateSetting(theories, ObserveHistory(h), runs);
            const HallEstimate hall = EstimateSettingFromHallData(HallView(h));
            const std::array<const std::array<double, kMaxSetting>*, 3> ll = {
                &exact.posterior.logLikelihood, &counts.logLikelihood, &hall.posterior.logLikelihood};
            for (std::size_t m = 0; m < 3; ++m) {
                sum[2 * m] += LogPosterior(*ll[m], truth);
                sum[2 * m + 1] += Picks(*ll[m], truth);
            }
            progress.Update(++judged);
        }
        progress.Clear();
        std::printf("%d", truth);
        for (std::size_t j = 0; j < sum.size(); ++j) {
            std::printf("\t%.4f", sum[j] / sessions);
            total[j] += sum[j] / sessions / kMaxSetting;
        }
        std::printf("\n");
    }
    std::printf("all");
    for (double v : total) std::printf("\t%.4f", v);
    std::printf("\n(a uniform guess gives mean log p %.4f and hit share %.4f)\n", std::log(1.0 / 6), 1.0 / 6);
    return 0;
}
