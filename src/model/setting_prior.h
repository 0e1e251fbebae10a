#pragma once
// The hall's distribution of settings: the prior of every setting estimate.
// Uniform unless the user knows better (a hall that seldom uses 4-6).
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "machine/vocabulary.h"

namespace morvane {

class SettingPrior {
public:
    SettingPrior();  // uniform
    // Six non-negative finite weights, not all 0, for settings 1..6; they are
    // normalised. Throws std::invalid_argument otherwise.
    explicit SettingPrior(const std::array<double, kMaxSetting>& weights);

    // Settings 1..6 at 0..5, summing to 1.
    const std::array<double, kMaxSetting>& Probabilities() const { return p_; }
    double Of(int setting) const { return p_[static_cast<std::size_t>(setting - 1)]; }
    // All six weights equal.
    bool IsUniform() const { return uniform_; }

    friend bool operator==(const SettingPrior&, const SettingPrior&) = default;

private:
    std::array<double, kMaxSetting> p_;
    bool uniform_ = true;
};

// A shape of a hall's distribution a player can start from, named alike in
// every front end; the player edits the weights from there.
struct PriorShape {
    std::string_view key;    // the command line's name
    std::string_view label;  // the window's (UTF-8)
    std::array<double, kMaxSetting> weights;
};
// Uniform first, the default.
std::span<const PriorShape> PriorShapes();
// By key or label; nullptr when no shape is so named.
const PriorShape* FindPriorShape(std::string_view name);
// The shape whose weights give this prior (after normalising); nullptr when none does.
const PriorShape* PriorShapeOf(const SettingPrior& prior);

// "W1,W2,W3,W4,W5,W6": six non-negative decimal weights, not all 0.
std::optional<SettingPrior> ParseSettingPrior(std::string_view text);

// Bayes' rule from six natural-log likelihoods: the posterior is the prior
// times the likelihood, normalised. nullopt when every setting the prior
// allows is impossible. A uniform prior gives exactly what the likelihoods
// alone give, to the last bit.
// Posterior with a uniform prior from six log-likelihoods (or any six log
// weights): the top taken out before the exponentials, so that none
// overflows or vanishes for being far from 0. nullopt when all six are
// impossible. Every posterior of the program comes out of this.
std::optional<std::array<double, kMaxSetting>> UniformPosterior(const std::array<double, kMaxSetting>& logLikelihood);

std::optional<std::array<double, kMaxSetting>> ApplyPrior(const SettingPrior& prior,
                                                          const std::array<double, kMaxSetting>& logLikelihood);

}  // namespace morvane
