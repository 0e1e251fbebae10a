#include "present/presentation.h"

#include <algorithm>
#include <stdexcept>

#include "machine/medals.h"
#include "machine/vocabulary.h"
#include "present/names.h"
#include "present/number_format.h"

namespace morvane {
namespace {

constexpr Rgb kMarkerColours[kMarkerCount] = {0xFF00FF, 0x00FF00, 0x008000, 0xFFFFFF, 0xFF0000};
constexpr std::string_view kMarkerNames[kMarkerCount] = {"Cherry4", "Suika_A", "Suika_B", "Chance", "Cherry2"};

// The small win of each marker series, in Marker's order.
constexpr std::int32_t kKoyakuOfMarker[kMarkerCount] = {Cherry4, Suika_A, Suika_B, Chance, Cherry2};

constexpr Rgb kKoyakuSliceColours[8] = {0xFF0000, 0xFF00FF, 0x00FF00, 0x008000, 0x0000FF, 0x00FFFF, 0xFFFF00, 0xFFFFFF};
constexpr Rgb kModeSliceColours[6] = {0x000080, 0xFF00FF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFFFFFF};
constexpr Rgb kKModeSliceColours[4] = {0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00};

}  // namespace

std::string_view MarkerName(Marker m) { return kMarkerNames[static_cast<int>(m)]; }
Rgb MarkerColour(Marker m) { return kMarkerColours[static_cast<int>(m)]; }
std::int32_t MarkerKoyaku(Marker m) { return kKoyakuOfMarker[static_cast<int>(m)]; }

int PlayProgress(std::size_t j, std::size_t n) {
    return n ? static_cast<int>(static_cast<double>(j + 1) / static_cast<double>(n) * 100.0) : 0;
}

void Presentation::Clear() {
    records_ = nullptr;
    held_.reset();
    n_ = 0;
    tallies_ = {};
    figures_ = {};
    block_ = {};
}

void Presentation::Present(const PlayHistory& history, const Progress& progress) {
    auto held = std::make_unique<HistoryRecords>(history);
    Present(*held, progress);
    held_ = std::move(held);
}

void Presentation::Present(const RunRecords& records, const Progress& progress) {
    Clear();
    if (records.empty()) return;
    records_ = &records;
    n_ = records.size();
    // The records counted everything as they were played or read.
    const RunTallies& r = records.Tallies();
    Tallies& t = tallies_;
    std::copy_n(r.smallWins.begin(), t.koyaku.size(), t.koyaku.begin());
    std::copy(r.modeGames.begin(), r.modeGames.end(), t.modeStay.begin());
    std::copy(r.kmodes.begin(), r.kmodes.end(), t.kmode.begin());
    t.firstHits = r.bbGames;
    t.bbCount = r.bbSets;
    figures_ = FiguresOf(static_cast<std::int64_t>(n_), t.firstHits, t.bbCount, r.finalBalance);
    if (progress) progress(100);
}

const Presentation::Block& Presentation::ReadBlock(std::size_t b) const {
    if (block_.index == b) return block_;
    const RunIndex& index = records_->Index();
    const std::size_t k = index.BlockGames();
    const std::size_t first = b * k, end = std::min(n_, first + k);
    block_.index = Block::kNone;  // until it is whole
    block_.records.resize(end - first);
    records_->Read(first, end, block_.records.data());
    block_.first = first;
    block_.balanceBefore = b ? index.Blocks()[b - 1].balanceLast : 0;
    block_.bbRows.clear();
    block_.modeChangeRows.clear();
    std::int32_t mode = b ? index.ModeBefore(b) : kNoMode;
    for (std::size_t i = 0; i < block_.records.size(); ++i) {
        const GameRecord& g = block_.records[i];
        if (g.bbKind != NoBB) block_.bbRows.push_back(static_cast<std::uint32_t>(i));
        if (IsModeChangeRow(mode, g.mode)) block_.modeChangeRows.push_back(static_cast<std::uint32_t>(i));
        mode = g.mode;
    }
    block_.index = b;
    return block_;
}

const GameRecord& Presentation::Record(std::size_t j) const {
    const Block& b = ReadBlock(j / records_->Index().BlockGames());
    return b.records[j - b.first];
}

std::size_t Presentation::BBPlay(std::size_t row) const {
    const auto [b, before] = records_->Index().BlockOfBBRow(row);
    const Block& block = ReadBlock(b);
    return block.first + block.bbRows[row - before];
}

std::size_t Presentation::ModeChangePlay(std::size_t row) const {
    const auto [b, before] = records_->Index().BlockOfModeChangeRow(row);
    const Block& block = ReadBlock(b);
    return block.first + block.modeChangeRows[row - before];
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
    case Page::BB: return static_cast<std::size_t>(records_->Tallies().bbGames);
    case Page::ModeChange: return static_cast<std::size_t>(records_->Tallies().modeChangeRows);
    case Page::Koyaku: return 8;
    case Page::ModeStay: return 6;
    case Page::KeizokuSelect: return 4;
    }
    return 0;
}

std::string Presentation::Cell(Page page, std::size_t row, int column) const {
    if (row >= RowCount(page) || column < 0 || column >= ColumnCount(page)) return {};
    if (page != Page::Play && page != Page::BB && page != Page::ModeChange) return RateCell(page, row, column);
    const std::size_t j = page == Page::Play ? row : page == Page::BB ? BBPlay(row) : ModeChangePlay(row);
    const GameRecord& g = Record(j);
    // The three play lists start alike: game number, games since the BB,
    // the pattern.
    switch (column) {
    case 0: return IntText(g.playCount);
    case 1: return IntText(g.gamesSinceBB);
    case 2: return PatternText(g.bbKind, g.bbSets, g.koyaku);
    default: break;
    }
    if (page == Page::Play) return column == 3 ? std::string(ModeName(g.mode)) : IntText(g.medalBalance);
    if (page == Page::ModeChange) return std::string(ModeName(g.mode));
    if (column == 3) return std::string(KModeName(g.kmode));
    if (column == 4) return std::string(ModeName(g.mode));
    // A BB at the first play of a loaded file counts from the run's starting
    // balance of 0.
    const Block& b = ReadBlock(j / records_->Index().BlockGames());
    const std::int64_t before = j == b.first ? b.balanceBefore : b.records[j - b.first - 1].medalBalance;
    return IntText(std::int64_t{g.medalBalance} - before);
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

std::vector<std::string> Presentation::WidestCells(Page page, int column) const {
    if (n_ == 0 || column < 0 || column >= ColumnCount(page)) return {};
    if (page != Page::Play && page != Page::BB && page != Page::ModeChange) return {};
    std::vector<std::string> texts;
    const auto names = [&texts](auto name, int count) {
        for (std::int32_t v = 0; v < count; ++v) texts.emplace_back(name(v));
    };
    const auto blocks = records_->Index().Blocks();
    // Read apart from the block kept for the rows in sight.
    const GameRecord last = records_->at(n_ - 1);
    switch (column) {
    case 0: return {IntText(last.playCount)};
    case 1: {
        // The games since a BB grow until the next BB: the longest stretch
        // ends at a BB game, or runs on to the run's last game.
        std::int32_t longest = last.gamesSinceBB;
        for (const BlockSummary& b : blocks) longest = std::max(longest, b.longestStretch);
        return {IntText(longest)};
    }
    case 2: {
        std::int64_t sets = 0;  // a block's sets added up bound any one BB's
        for (const BlockSummary& b : blocks) sets = std::max(sets, b.bbSets);
        if (page == Page::Play || page == Page::ModeChange) names(KoyakuPlayName, kKoyakuKinds);
        texts.push_back("青777×" + IntText(sets));
        texts.push_back("赤777×" + IntText(sets));
        return texts;
    }
    default: break;
    }
    if (page == Page::Play && column == 4) {
        std::int32_t low = 0, high = 0;
        for (const BlockSummary& b : blocks) low = std::min(low, b.balanceLow), high = std::max(high, b.balanceHigh);
        return {IntText(low), IntText(high)};
    }
    if (page == Page::BB && column == 3) {
        names(KModeName, kKModes);
        return texts;
    }
    if (page == Page::BB && column == 5) {
        // A game's gain lies between its block's extremes less the balance
        // before it, which is in the block or the last of the block before.
        std::int64_t most = 0, least = 0, before = 0;
        for (const BlockSummary& b : blocks) {
            most = std::max(most, std::int64_t{b.balanceHigh} - std::min<std::int64_t>(b.balanceLow, before));
            least = std::min(least, std::int64_t{b.balanceLow} - std::max<std::int64_t>(b.balanceHigh, before));
            before = b.balanceLast;
        }
        return {IntText(least), IntText(most)};
    }
    names(ModeName, kModes);
    return texts;
}

std::vector<std::string> Presentation::Row(Page page, std::size_t row) const {
    std::vector<std::string> cells;
    for (int c = 0; c < ColumnCount(page); ++c) cells.push_back(Cell(page, row, c));
    return cells;
}

std::size_t Presentation::MarkerPointCount(Marker m) const {
    if (n_ == 0) return 0;
    return static_cast<std::size_t>(
        records_->Tallies().smallWins[static_cast<std::size_t>(kKoyakuOfMarker[static_cast<int>(m)])]);
}

ChartPoint Presentation::MarkerPoint(Marker m, std::size_t k) const {
    if (k >= MarkerPointCount(m)) throw std::out_of_range("marker point out of range");
    const auto koyaku = kKoyakuOfMarker[static_cast<int>(m)];
    const std::span<const BlockSummary> blocks = records_->Index().Blocks();
    std::size_t b = 0;
    for (; k >= blocks[b].smallWins[static_cast<std::size_t>(koyaku)]; ++b)
        k -= blocks[b].smallWins[static_cast<std::size_t>(koyaku)];
    for (const GameRecord& g : ReadBlock(b).records) {
        if (g.bbKind != NoBB || g.koyaku != koyaku || k-- != 0) continue;
        return {static_cast<double>(g.playCount), static_cast<double>(g.medalBalance), MarkerColour(m)};
    }
    throw std::logic_error("block counts disagree with its records");
}

ChartPoint Presentation::Bar(std::size_t k) const {
    return {static_cast<double>(k + 1), static_cast<double>(Record(BBPlay(k)).gamesSinceBB), kBarColour};
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
    return block_.records.capacity() * sizeof(GameRecord) +
           (block_.bbRows.capacity() + block_.modeChangeRows.capacity()) * sizeof(std::uint32_t);
}

}  // namespace morvane
