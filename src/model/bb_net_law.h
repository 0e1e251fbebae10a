#pragma once
// The net medals of a BB of one kind: its game's own small win and all its
// continued sets, whose law depends on the BB's kind alone. The law of the
// net to the next BB is the pre-BB sum convolved with these.
#include <array>
#include <cstdint>
#include <vector>

#include "model/game_model.h"

namespace morvane {

// What a BB's net is made of, at a setting: N >= 1 continued sets, N
// geometric with the chance q of the continuation mode drawn at the BB's
// start, then the last set and the BB game's own small win (the tail). A
// pass that must keep the continuation mode (the mode a BB ends in hangs on
// it) convolves with these rather than with the mixed law.
struct BBNetParts {
    std::int64_t setLo = 0;   // the lowest net of a continued set
    std::vector<double> set;  // its law from setLo
    std::int64_t tailLo = 0;
    std::vector<double> tail;
    std::array<double, kKModes> continueChance{};
    std::array<std::array<double, kKModes>, kBBKinds> kmode{};  // by kind
};

// P(net <= y) of a BB of one kind: its game's own small win and all its
// sets. Exact up to a tail below 1e-18.
class BBNetLaw {
public:
    BBNetLaw() = default;  // empty; ForSetting fills them
    // Blue and red at a setting, built once.
    static const std::array<BBNetLaw, kBBKinds>& ForSetting(int setting);
    static const BBNetParts& PartsFor(int setting);

    double Cdf(std::int64_t y) const {
        if (y < lo_) return 0.0;
        const std::int64_t i = y - lo_;
        const auto n = static_cast<std::int64_t>(reversed_.size());
        return i < n ? reversed_[static_cast<std::size_t>(n - 1 - i)] : 1.0;
    }
    std::int64_t Lowest() const { return lo_; }
    // Nets from Lowest() up to here have their CDF kept; above, it is 1.
    std::int64_t Highest() const { return lo_ + static_cast<std::int64_t>(reversed_.size()) - 1; }
    // The CDF from Highest() down to Lowest().
    const std::vector<double>& Reversed() const { return reversed_; }
    double Mean() const { return mean_; }

private:
    struct Built;
    static const Built& Build(int setting);

    std::int64_t lo_ = 0;
    std::vector<double> reversed_;
    double mean_ = 0;
};

}  // namespace morvane
