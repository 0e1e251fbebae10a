#include "present/presentation.h"

#include <algorithm>

#include "machine/medals.h"
#include "machine/vocabulary.h"
#include "present/names.h"
#include "present/number_format.h"

namespace morvane {
namespace {

constexpr Rgb kMarkerColours[kMarkerCount] = {0xFF00FF, 0x00FF00, 0x008000, 0xFFFFFF, 0xFF0000};
constexpr std::string_view kMarkerNames[kMarkerCount] = {"Cherry4", "Suika_A", "Suika_B", "Chance", "Cherry2"};

// Marker series of a small win, or -1 for none.
constexpr int kMarkerOfKoyaku[8] = {static_cast<int>(Marker::Cherry2),
                                    static_cast<int>(Marker::Cherry4),
                                    static_cast<int>(Marker::Suika_A),
                                    static_cast<int>(Marker::Suika_B),
                                    -1,
                                    -1,
                                    -1,
                                    static_cast<int>(Marker::Chance)};

constexpr Rgb kKoyakuSliceColours[8] = {0xFF0000, 0xFF00FF, 0x00FF00, 0x008000, 0x0000FF, 0x00FFFF, 0xFFFF00, 0xFFFFFF};
constexpr Rgb kModeSliceColours[6] = {0x000080, 0xFF00FF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFFFFFF};
constexpr Rgb kKModeSliceColours[4] = {0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00};

constexpr std::size_t kProgressChunk = 1 << 14;

inline bool InRange(std::int32_t v, int n) { return static_cast<std::uint32_t>(v) < static_cast<std::uint32_t>(n); }

}  // namespace

std::string_view MarkerName(Marker m) { return kMarkerNames[static_cast<int>(m)]; }
Rgb MarkerColour(Marker m) { return kMarkerColours[static_cast<int>(m)]; }

int PlayProgress(std::size_t j, std::size_t n) {
    return n ? static_cast<int>(static_cast<double>(j + 1) / static_cast<double>(n) * 100.0) : 0;
}

void Presentation::Clear() {
    history_ = nullptr;
    n_ = 0;
    tallies_ = {};
    figures_ = {};
    bbPlays_.clear();
    modeChangePlays_.clear();
    for (auto& m : markerPlays_) m.clear();
}

void Presentation::Present(const PlayHistory& history, const Progress& progress) {
    Clear();
    if (history.empty()) return;
    history_ = &history;
    n_ = history.size();

    const GameRecord* games = history.records().data();
    Tallies& t = tallies_;
    std::int32_t previousMode = games[0].mode;
    int shown = -1;
    for (std::size_t start = 0; start < n_; start += kProgressChunk) {
        const std::size_t end = std::min(n_, start + kProgressChunk);
        for (std::size_t j = start; j < end; ++j) {
            const GameRecord& g = games[j];
            const std::int32_t m = g.mode;
            if (InRange(m, kModes)) ++t.modeStay[static_cast<std::size_t>(m)];
            if (g.bbKind != 0) {
                if (InRange(g.kmode, kKModes)) ++t.kmode[static_cast<std::size_t>(g.kmode)];
                ++t.firstHits;
                t.bbCount += g.bbSets;
                bbPlays_.push_back(static_cast<std::uint32_t>(j));
            } else if (InRange(g.koyaku, 8)) {
                const auto k = static_cast<std::size_t>(g.koyaku);
                ++t.koyaku[k];
                if (kMarkerOfKoyaku[k] >= 0)
                    markerPlays_[static_cast<std::size_t>(kMarkerOfKoyaku[k])].push_back(static_cast<std::uint32_t>(j));
            }
            // A change out of a pending 7 (the BB that follows) is no row.
            if (previousMode != Blue7 && previousMode != Red7 && m != previousMode)
                modeChangePlays_.push_back(static_cast<std::uint32_t>(j));
            previousMode = m;
        }
        const int p = PlayProgress(end - 1, n_);
        if (progress && p != shown) progress(shown = p);
    }

    figures_ = FiguresOf(n_, t.firstHits, t.bbCount, history.MedalLog()[n_ - 1]);
}

SummaryFigures FiguresOf(std::int64_t games, std::int64_t firstHits, std::int64_t bbSets, std::int32_t balance) {
    // Each figure's whole expression in double, rounded to float once.
    SummaryFigures f;
    if (bbSets != 0) {
        f.bbProbability = static_cast<float>(static_cast<double>(games) / static_cast<double>(firstHits));
        f.keizokuAverage = static_cast<float>(static_cast<double>(bbSets) / static_cast<double>(firstHits));
    }
    f.payoutRate = static_cast<float>(PayoutPercent(static_cast<double>(balance), kBet * static_cast<double>(games)));
    f.balanceYen = static_cast<std::int64_t>(static_cast<double>(balance) * Exchange{}.YenPerMedal());
    return f;
}

namespace {
std::string Label(std::int64_t firstHits, std::int64_t bbSets, const SummaryFigures& f) {
    return "BB初当り数:" + IntText(firstHits) + "\u3000" + "BB数:" + IntText(bbSets) + "\n" + "BB確率:1/" +
           FormatFixed(f.bbProbability) + "  " + "機械割:" + FormatFixed(f.payoutRate) + "%\n" +
           "継続数平均:" + FormatFixed(f.keizokuAverage) + "\n" + "収支:" + IntText(f.balanceYen) + "円";
}
}  // namespace

std::string Presentation::ResultLabel() const {
    if (n_ == 0) return {};
    return Label(tallies_.firstHits, tallies_.bbCount, figures_);
}

std::string ResultLabel(const RunTallies& t) {
    if (t.games == 0) return {};
    return Label(t.bbGames, t.bbSets, FiguresOf(t.games, t.bbGames, t.bbSets, t.finalBalance));
}

std::size_t Presentation::RowCount(Page page) const {
    if (n_ == 0) return 0;
    switch (page) {
    case Page::Play: return n_;
    case Page::BB: return bbPlays_.size();
    case Page::ModeChange: return modeChangePlays_.size();
    case Page::Koyaku: return 8;
    case Page::ModeStay: return 6;
    case Page::KeizokuSelect: return 4;
    }
    return 0;
}

std::string Presentation::Cell(Page page, std::size_t row, int column) const {
    if (row >= RowCount(page) || column < 0 || column >= ColumnCount(page)) return {};
    if (page != Page::Play && page != Page::BB && page != Page::ModeChange) return RateCell(page, row, column);
    const PlayHistory& h = *history_;
    const std::size_t j = page == Page::Play ? row : page == Page::BB ? bbPlays_[row] : modeChangePlays_[row];
    // The three play lists start alike: game number, games since the BB,
    // the pattern.
    switch (column) {
    case 0: return IntText(h.PlayNumLog()[j]);
    case 1: return IntText(h.PlayNum2Log()[j]);
    case 2: return PatternText(h.BBLog()[j], h.KeizokuNumLog()[j], h.KoyakuLog()[j]);
    default: break;
    }
    if (page == Page::Play) return column == 3 ? std::string(ModeName(h.ModeLog()[j])) : IntText(h.MedalLog()[j]);
    if (page == Page::ModeChange) return std::string(ModeName(h.ModeLog()[j]));
    if (column == 3) return std::string(KModeName(h.KModeLog()[j]));
    if (column == 4) return std::string(ModeName(h.ModeLog()[j]));
    // A BB at the first play of a loaded file counts from the run's starting
    // balance of 0.
    const std::int64_t before = j ? h.MedalLog()[j - 1] : 0;
    return IntText(std::int64_t{h.MedalLog()[j]} - before);
}

std::string Presentation::RateCell(Page page, std::size_t row, int column) const {
    const auto r = static_cast<std::int32_t>(row);
    std::string_view name;
    std::int64_t count = 0;
    std::int64_t base = static_cast<std::int64_t>(n_);
    switch (page) {
    case Page::Koyaku:
        name = KoyakuRateName(r);
        count = tallies_.koyaku[row];
        break;
    case Page::ModeStay:
        name = ModeName(r);
        count = tallies_.modeStay[row];
        break;
    default:
        name = KModeName(r);
        count = tallies_.kmode[row];
        base = tallies_.firstHits;
    }
    switch (column) {
    case 0: return std::string(name);
    case 1: return IntText(count);
    case 2: return RateText(count, base);
    default: return OneInText(count, base);
    }
}

std::vector<std::string> Presentation::Row(Page page, std::size_t row) const {
    std::vector<std::string> cells;
    for (int c = 0; c < ColumnCount(page); ++c) cells.push_back(Cell(page, row, c));
    return cells;
}

std::size_t Presentation::MarkerPointCount(Marker m) const { return markerPlays_[static_cast<std::size_t>(m)].size(); }

ChartPoint Presentation::MarkerPoint(Marker m, std::size_t k) const {
    const std::size_t j = markerPlays_[static_cast<std::size_t>(m)][k];
    return {static_cast<double>(history_->PlayNumLog()[j]), static_cast<double>(history_->MedalLog()[j]),
            MarkerColour(m)};
}

ChartPoint Presentation::Bar(std::size_t k) const {
    return {static_cast<double>(k + 1), static_cast<double>(history_->PlayNum2Log()[bbPlays_[k]]), kBarColour};
}

namespace {
template <std::size_t N>
std::array<PieSlice, N> Slices(std::string_view (*name)(std::int32_t), const std::array<std::int64_t, N>& counts,
                               const Rgb (&colours)[N]) {
    std::array<PieSlice, N> s;
    for (std::size_t i = 0; i < N; ++i) s[i] = {name(static_cast<std::int32_t>(i)), counts[i], colours[i]};
    return s;
}
}  // namespace

std::array<PieSlice, 8> Presentation::KoyakuSlices() const {
    return Slices(KoyakuPieName, tallies_.koyaku, kKoyakuSliceColours);
}
std::array<PieSlice, 6> Presentation::ModeStaySlices() const {
    return Slices(ModeName, tallies_.modeStay, kModeSliceColours);
}
std::array<PieSlice, 4> Presentation::KModeSlices() const {
    return Slices(KModeName, tallies_.kmode, kKModeSliceColours);
}

std::size_t Presentation::IndexBytes() const {
    std::size_t bytes = (bbPlays_.capacity() + modeChangePlays_.capacity()) * sizeof(std::uint32_t);
    for (const auto& m : markerPlays_) bytes += m.capacity() * sizeof(std::uint32_t);
    return bytes;
}

}  // namespace morvane
