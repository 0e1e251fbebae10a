#pragma once
// A chance found by simulation: how many of how many trials passed, the
// share and its binomial standard error. When none or all passed, the
// standard error is 0 and would read as certainty; the one-sided 95 %
// bound says instead how far the chance can be from 0 (or 1).
#include <cmath>
#include <cstdint>

namespace morvane {

// The chance p with (1 - p)^n = 0.05: below it for 95 % confidence when
// none of n trials passed (about 3 / n). 1 for no trials.
inline double NoneSeenBound(std::int64_t n) {
    return n > 0 ? -std::expm1(std::log(0.05) / static_cast<double>(n)) : 1.0;
}

struct ShareWithError {
    double share = 0, se = 0;
    std::int64_t passed = 0, trials = 0;

    static ShareWithError Of(std::int64_t passed, std::int64_t trials) {
        ShareWithError s;
        s.passed = passed;
        s.trials = trials;
        if (trials > 0) {
            const double n = static_cast<double>(trials);
            s.share = static_cast<double>(passed) / n;
            s.se = std::sqrt(s.share * (1 - s.share) / n);
        }
        return s;
    }
    bool None() const { return trials > 0 && passed == 0; }
    bool All() const { return trials > 0 && passed == trials; }
    // The chance lies below Bound() when None(), above 1 - Bound() when All().
    double Bound() const { return NoneSeenBound(trials); }
};

}  // namespace morvane
