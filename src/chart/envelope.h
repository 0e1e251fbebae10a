#pragma once
// Reduces a long series to what a chart of a given pixel width can show:
// per pixel column the first, lowest, highest and last point, in their
// original order, so every peak and trough stays. Few visible points pass
// through unchanged. Qt-free, so it is tested and timed on its own.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvane::chart {

struct XY {
    double x;
    double y;
    friend bool operator==(const XY&, const XY&) = default;
};

// Points of (x[i], y[i]) with xmin <= x <= xmax, reduced to `columns`
// columns. x is normally ascending (game numbers); the search for the
// visible stretch relies on it, and unordered x still gives a correct, if
// slower, result.
std::vector<XY> Envelope(std::span<const std::int32_t> x, std::span<const std::int32_t> y, double xmin, double xmax,
                         int columns);

// Markers: at most one per cell of `columns` x `rows` within the range.
std::vector<XY> Thin(std::span<const XY> points, double xmin, double xmax, double ymin, double ymax, int columns,
                     int rows);

// The y range of the points with xmin <= x <= xmax (min > max when none).
struct Range {
    double min;
    double max;
};
Range YRange(std::span<const std::int32_t> x, std::span<const std::int32_t> y, double xmin, double xmax);

}  // namespace morvane::chart
