#include "analysis/setting_prior.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "analysis/likelihood.h"

namespace morvane {

SettingPrior::SettingPrior() { p_.fill(1.0 / kMaxSetting); }

SettingPrior::SettingPrior(const std::array<double, kMaxSetting>& weights) {
    double sum = 0;
    for (double w : weights) {
        if (!std::isfinite(w) || w < 0) throw std::invalid_argument("a setting's weight must be a non-negative number");
        sum += w;
    }
    if (!(sum > 0) || !std::isfinite(sum)) throw std::invalid_argument("the settings' weights must not all be 0");
    uniform_ = std::all_of(weights.begin(), weights.end(), [&](double w) { return w == weights[0]; });
    if (uniform_) {
        p_.fill(1.0 / kMaxSetting);
        return;
    }
    for (std::size_t s = 0; s < kMaxSetting; ++s) p_[s] = weights[s] / sum;
}

std::optional<SettingPrior> ParseSettingPrior(std::string_view text) {
    std::array<double, kMaxSetting> w{};
    std::size_t start = 0;
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        const std::size_t comma = s + 1 < kMaxSetting ? text.find(',', start) : text.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const std::string_view item = text.substr(start, comma - start);
        if (item.empty() || item.front() == '+' || item.front() == '-') return std::nullopt;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), w[s]);
        if (ec != std::errc{} || end != item.data() + item.size()) return std::nullopt;
        start = comma + 1;
    }
    try {
        return SettingPrior(w);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

std::optional<std::array<double, kMaxSetting>> ApplyPrior(const SettingPrior& prior,
                                                          const std::array<double, kMaxSetting>& logLikelihood) {
    if (prior.IsUniform()) return UniformPosterior(logLikelihood);
    // In logs, so that likelihoods far below the top do not vanish before
    // the prior's weight is put on them; taken from the top likelihood
    // first, so that the prior's log is added to small numbers.
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    double best = kNone;
    for (std::size_t s = 0; s < kMaxSetting; ++s)
        if (prior.Probabilities()[s] > 0) best = std::max(best, logLikelihood[s]);
    if (!std::isfinite(best)) return std::nullopt;
    std::array<double, kMaxSetting> a{};
    double top = kNone;
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        const double w = prior.Probabilities()[s];
        a[s] = w > 0 ? (logLikelihood[s] - best) + std::log(w) : kNone;
        top = std::max(top, a[s]);
    }
    std::array<double, kMaxSetting> p{};
    double sum = 0;
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        p[s] = std::exp(a[s] - top);
        sum += p[s];
    }
    for (double& v : p) v /= sum;
    return p;
}

}  // namespace morvane
