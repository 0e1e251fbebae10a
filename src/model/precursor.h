#pragma once
// The precursor's draws as the random source makes them. A step begun at
// count c ends when Rand31 mod (32 - c) gives 0, which ceil(2^31 / n) of the
// 2^31 values do: a shade more than 1 / (32 - c) wherever 32 - c does not
// divide 2^31.
#include <array>
#include <cstddef>
#include <cstdint>

#include "machine/vocabulary.h"

namespace morvane {

// The red share of a precursor's end: a draw of 0..511 at or below 64.
inline constexpr double kPrecursorRedShare = 65.0 / 512.0;

namespace precursor_detail {
inline constexpr std::int64_t kDraws = std::int64_t{1} << 31;
constexpr std::int64_t Zeros(int count) {
    const std::int64_t n = kPrecursorSpan - count;
    return kDraws / n + (kDraws % n != 0);
}
}  // namespace precursor_detail

// By count: the chance that the step ends the precursor, and that it goes
// on. Each is its own count of draws over 2^31, so the two sum to 1 exactly.
inline constexpr std::array<double, kPrecursorSpan> kPrecursorEnd = [] {
    std::array<double, kPrecursorSpan> p{};
    for (int c = 0; c < kPrecursorSpan; ++c)
        p[static_cast<std::size_t>(c)] =
            static_cast<double>(precursor_detail::Zeros(c)) / static_cast<double>(precursor_detail::kDraws);
    return p;
}();
inline constexpr std::array<double, kPrecursorSpan> kPrecursorStay = [] {
    std::array<double, kPrecursorSpan> p{};
    for (int c = 0; c < kPrecursorSpan; ++c)
        p[static_cast<std::size_t>(c)] = static_cast<double>(precursor_detail::kDraws - precursor_detail::Zeros(c)) /
                                         static_cast<double>(precursor_detail::kDraws);
    return p;
}();

// One game of the precursor at every count: the mass at count c goes on
// into next[c + 1] (added to) or ends; returns the mass that ended.
inline double StepPrecursor(const double* pre, double* next) {
    double ended = 0;
    for (int c = 0; c < kPrecursorSpan; ++c) ended += pre[c] * kPrecursorEnd[static_cast<std::size_t>(c)];
    for (int c = 0; c + 1 < kPrecursorSpan; ++c) next[c + 1] += pre[c] * kPrecursorStay[static_cast<std::size_t>(c)];
    return ended;
}

// An ended precursor decides a BB, red or blue, played next game.
inline void AddPrecursorEnd(double ended, double& blue7, double& red7) {
    red7 += ended * kPrecursorRedShare;
    blue7 += ended * (1.0 - kPrecursorRedShare);
}

}  // namespace morvane
