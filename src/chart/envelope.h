#pragma once
// Reduces a long series to what a chart of a given pixel width can show:
// per pixel column the first, lowest, highest and last point, in their
// original order, so every peak and trough stays. Few visible points pass
// through unchanged. Qt-free, so it is tested and timed on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace morvane::chart {

struct XY {
    double x;
    double y;
    friend bool operator==(const XY&, const XY&) = default;
};

// 32-bit values a fixed number of bytes apart: a plain array, or one field
// of an array of records (a column of the play history).
class Samples {
public:
    Samples() = default;
    Samples(const std::int32_t* first, std::size_t size, std::size_t strideBytes = sizeof(std::int32_t))
        : base_(reinterpret_cast<const unsigned char*>(first)), size_(size), stride_(strideBytes) {}
    Samples(std::span<const std::int32_t> v) : Samples(v.data(), v.size()) {}
    Samples(const std::vector<std::int32_t>& v) : Samples(v.data(), v.size()) {}

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::int32_t operator[](std::size_t i) const {
        std::int32_t v;
        std::memcpy(&v, base_ + i * stride_, sizeof v);
        return v;
    }
    Samples first(std::size_t n) const { return {base_, n < size_ ? n : size_, stride_}; }

private:
    Samples(const unsigned char* base, std::size_t size, std::size_t stride)
        : base_(base), size_(size), stride_(stride) {}
    const unsigned char* base_ = nullptr;
    std::size_t size_ = 0;
    std::size_t stride_ = sizeof(std::int32_t);
};

// Built once per series, so that a refit after a zoom or scroll reads only
// the edges of each pixel column: whether x ascends, and y's lowest and
// highest value per block of kBlock values.
class SeriesIndex {
public:
    static constexpr std::size_t kBlock = 512;

    SeriesIndex() = default;
    SeriesIndex(Samples x, Samples y);

    bool Sorted() const { return sorted_; }
    // The lowest and highest y in [lo, hi), lo < hi.
    void Extremes(Samples y, std::size_t lo, std::size_t hi, std::int32_t& mn, std::int32_t& mx) const;
    // The first i in [lo, hi) with y[i] == v, where v is the lowest (or the
    // highest) y of that stretch.
    std::size_t FirstOf(Samples y, std::size_t lo, std::size_t hi, std::int32_t v, bool lowest) const;

private:
    bool sorted_ = false;
    std::vector<std::int32_t> min_, max_;
};

// Points of (x[i], y[i]) with xmin <= x <= xmax, reduced to `columns`
// columns. x is normally ascending (game numbers); the search for the
// visible stretch relies on it, and unordered x still gives a correct, if
// slower, result. An index built from the same x and y makes it fast.
std::vector<XY> Envelope(Samples x, Samples y, double xmin, double xmax, int columns,
                         const SeriesIndex* index = nullptr);

// For series of small whole numbers (the machine's mode): per block of
// kBlock values, how many take each level 0 .. kLevels - 1; other values
// count for none.
class LevelIndex {
public:
    static constexpr int kLevels = 8;
    static constexpr std::size_t kBlock = 512;
    using Counts = std::array<std::uint32_t, kLevels>;

    LevelIndex() = default;
    explicit LevelIndex(Samples y);
    // Adds the levels of y[lo, hi) to counts.
    void Count(Samples y, std::size_t lo, std::size_t hi, Counts& counts) const;

private:
    std::vector<std::array<std::uint16_t, kLevels>> blocks_;
};

// Per pixel column the level most of its values take (the lower one on a
// tie), drawn as a step from the column's first to its last point; where
// the values take no level, the column's first value. A band from the
// lowest to the highest value would fill the plot once every column holds
// every level. Few visible points pass through unchanged; unordered x falls
// back to Envelope.
std::vector<XY> Prevailing(Samples x, Samples y, double xmin, double xmax, int columns, const SeriesIndex* index,
                           const LevelIndex* levels);

// Markers: at most one per cell of `columns` x `rows` within the range.
std::vector<XY> Thin(std::span<const XY> points, double xmin, double xmax, double ymin, double ymax, int columns,
                     int rows);

// The y range of the points with xmin <= x <= xmax (min > max when none).
struct Range {
    double min;
    double max;
};
Range YRange(Samples x, Samples y, double xmin, double xmax, const SeriesIndex* index = nullptr);

// How many x lie in [xmin, xmax]: ascending x (as an index built from it
// tells) is searched, other x counted one by one.
std::size_t CountIn(Samples x, double xmin, double xmax, const SeriesIndex* index = nullptr);

}  // namespace morvane::chart
