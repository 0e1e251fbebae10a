#pragma once
// Estimates with honest standard errors from independent samples or from
// batches of one long run, for holding the exact figures against the machine.
#include <cmath>
#include <cstddef>
#include <vector>

namespace morvane::test {

struct Estimate {
    double value = 0;
    double se = 0;
};

// Mean of independent samples.
inline Estimate MeanOf(const std::vector<double>& x) {
    const double n = static_cast<double>(x.size());
    double s = 0;
    for (double v : x) s += v;
    const double mean = s / n;
    double ss = 0;
    for (double v : x) ss += (v - mean) * (v - mean);
    return {mean, std::sqrt(ss / (n - 1) / n)};
}

// Variance of independent samples, with the standard error of the estimate.
inline Estimate VarianceOf(const std::vector<double>& x) {
    const double n = static_cast<double>(x.size());
    const double mean = MeanOf(x).value;
    double ss = 0;
    for (double v : x) ss += (v - mean) * (v - mean);
    const double var = ss / (n - 1);
    double spread = 0;
    for (double v : x) {
        const double d = (v - mean) * (v - mean) - var;
        spread += d * d;
    }
    return {var, std::sqrt(spread / (n - 1) / n)};
}

// sum(num) / sum(den) over batches, with the linearised standard error.
inline Estimate RatioOf(const std::vector<double>& num, const std::vector<double>& den) {
    double sn = 0, sd = 0;
    for (std::size_t i = 0; i < num.size(); ++i) {
        sn += num[i];
        sd += den[i];
    }
    const double r = sn / sd;
    const double n = static_cast<double>(num.size());
    double ss = 0;
    for (std::size_t i = 0; i < num.size(); ++i) ss += (num[i] - r * den[i]) * (num[i] - r * den[i]);
    const double meanDen = sd / n;
    return {r, std::sqrt(ss / (n - 1) / n) / meanDen};
}

}  // namespace morvane::test
