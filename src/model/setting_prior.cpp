#include "model/setting_prior.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "model/likelihood.h"

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

namespace {

// Percent-like weights, meant as starting points rather than knowledge of a
// hall. An ordinary day: the hall earns its margin on 1 and 2 and leaves a
// few 4 and up to keep the floor hopeful, so settings fall off steeply. An
// event day: the hall advertises high settings and puts in visibly more 5
// and 6, while most machines still stay low to pay for them.
constexpr PriorShape kShapes[] = {
    {"uniform", "均等", {1, 1, 1, 1, 1, 1}},
    {"regular", "通常営業", {40, 30, 15, 8, 4, 3}},
    {"event", "イベント日", {25, 15, 10, 10, 20, 20}},
};

}  // namespace

std::span<const PriorShape> PriorShapes() { return kShapes; }

const PriorShape* FindPriorShape(std::string_view name) {
    for (const PriorShape& s : kShapes)
        if (s.key == name || s.label == name) return &s;
    return nullptr;
}

const PriorShape* PriorShapeOf(const SettingPrior& prior) {
    for (const PriorShape& s : kShapes)
        if (SettingPrior(s.weights) == prior) return &s;
    return nullptr;
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

std::optional<std::array<double, kMaxSetting>> UniformPosterior(const std::array<double, kMaxSetting>& logLikelihood) {
    const double top = *std::max_element(logLikelihood.begin(), logLikelihood.end());
    if (!std::isfinite(top)) return std::nullopt;
    std::array<double, kMaxSetting> p{};
    double sum = 0;
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        p[s] = std::exp(logLikelihood[s] - top);
        sum += p[s];
    }
    for (double& v : p) v /= sum;
    return p;
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
    for (std::size_t s = 0; s < kMaxSetting; ++s) {
        const double w = prior.Probabilities()[s];
        a[s] = w > 0 ? (logLikelihood[s] - best) + std::log(w) : kNone;
    }
    return UniformPosterior(a);
}

}  // namespace morvane
