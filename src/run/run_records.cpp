#include "run/run_records.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace morvane {

namespace {
bool InRange(std::int32_t v, int n) { return static_cast<std::uint32_t>(v) < static_cast<std::uint32_t>(n); }

// The block holding row k, from the rows before each block.
std::pair<std::size_t, std::uint64_t> BlockOfRow(const std::vector<std::uint64_t>& before, std::uint64_t k) {
    if (k >= before.back()) throw std::out_of_range("row index out of range");
    // The last block whose rows before it are at most k.
    const auto it = std::upper_bound(before.begin(), before.end(), k) - 1;
    return {static_cast<std::size_t>(it - before.begin()), *it};
}
}  // namespace

void RunIndex::Scan::operator()(const GameRecord& r) {
    // A record's mode may be any value, even the one the scan starts with.
    if (!o->started) mode = o->Start(r);
    if (r.bbKind != NoBB) {
        (*this)(r, std::true_type{});
    } else if (InRange(r.koyaku, kKoyakuKinds)) {
        (*this)(r, std::false_type{});
    } else {
        // Counted as no small win of the machine's.
        GameRecord other = r;
        other.koyaku = kOtherWin;
        (*this)(other, std::false_type{});
    }
}

RunIndex::RunIndex(std::size_t blockGames) : blockGames_(blockGames) {
    if (blockGames == 0 || blockGames > kMostBlockGames) throw std::invalid_argument("block size out of range");
}

void RunIndex::KeepBars() {
    keepsBars_ = open_.keepsBars = true;
    open_.bars.resize(blockGames_);
}

RunIndex::Scan RunIndex::Open(std::int32_t firstGame) {
    OpenBlock& o = open_;
    o.s = {};
    o.started = false;
    o.before = lastMode_;
    o.firstGame = o.modeFrom = static_cast<std::uint32_t>(firstGame);
    o.bar = o.bars.data();
    Scan scan{&o};
    while (scan.scale < static_cast<double>(blockGames_)) scan.scale *= 2;
    return scan;
}

void RunIndex::Close(Scan scan, std::int32_t lastGame, std::int32_t lastBalance) {
    OpenBlock& o = open_;
    const std::uint32_t end = static_cast<std::uint32_t>(lastGame) + 1;
    const std::uint32_t games = end - o.firstGame;
    if (games == 0) return;
    BlockSummary s = o.s;
    // The balance's ends and their places from the scan's sums: a place is
    // less than the scale.
    const double first = o.firstGame, low = std::floor((scan.low - first) / scan.scale),
                 high = std::ceil((scan.high + first) / scan.scale);
    s.balanceLow = static_cast<std::int32_t>(low);
    s.balanceHigh = static_cast<std::int32_t>(high);
    s.balanceLowAt = static_cast<std::uint32_t>(scan.low - first - low * scan.scale);
    s.balanceHighAt = static_cast<std::uint32_t>(high * scan.scale - (scan.high + first));
    s.balanceLast = lastBalance;
    s.modeLast = scan.mode;
    // Places from game numbers to games after the block's first.
    for (std::uint32_t* at : {&s.modeLowAt, &s.modeHighAt}) *at -= o.firstGame;
    if (InRange(scan.mode, kModes)) s.modeGames[static_cast<std::size_t>(scan.mode)] += end - o.modeFrom;
    blocks_.push_back(s);
    modeBefore_.push_back(lastMode_);
    lastMode_ = scan.mode;
    games_ += games;
    bbBefore_.push_back(bbBefore_.back() + s.bbRows);
    modeChangesBefore_.push_back(modeChangesBefore_.back() + s.modeChangeRows);
    if (keepsBars_) bars_.insert(bars_.end(), o.bars.data(), o.bar);

    RunTallies& t = tallies_;
    t.games = static_cast<std::int64_t>(games_);
    t.finalBalance = s.balanceLast;
    for (std::size_t m = 0; m < t.modeGames.size(); ++m) t.modeGames[m] += s.modeGames[m];
    for (std::size_t k = 0; k < t.smallWins.size(); ++k) t.smallWins[k] += s.smallWins[k];
    for (std::size_t k = 0; k < t.kmodes.size(); ++k) t.kmodes[k] += s.kmodes[k];
    t.bbGames += s.bbRows;
    t.bbSets += s.bbSets;
    t.modeChangeRows += s.modeChangeRows;
}

std::pair<std::size_t, std::uint64_t> RunIndex::BlockOfBBRow(std::uint64_t k) const { return BlockOfRow(bbBefore_, k); }

std::pair<std::size_t, std::uint64_t> RunIndex::BlockOfModeChangeRow(std::uint64_t k) const {
    return BlockOfRow(modeChangesBefore_, k);
}

void RunIndex::Reserve(std::size_t blocks) {
    blocks_.reserve(blocks);
    modeBefore_.reserve(blocks);
    bbBefore_.reserve(blocks + 1);
    modeChangesBefore_.reserve(blocks + 1);
}

std::size_t RunIndex::Bytes() const {
    return blocks_.capacity() * sizeof(BlockSummary) + modeBefore_.capacity() * sizeof(std::int32_t) +
           (bbBefore_.capacity() + modeChangesBefore_.capacity()) * sizeof(std::uint64_t) +
           bars_.capacity() * sizeof(std::int32_t);
}

namespace {
void CheckStretch(std::size_t a, std::size_t b, std::size_t n) {
    if (a > b || b > n) throw std::out_of_range("history stretch out of range");
}
}  // namespace

GameRecord RunRecords::at(std::size_t i) const {
    if (i >= size()) throw std::out_of_range("history index out of range");
    GameRecord r;
    Pieces(i, i + 1, [&r](std::size_t, std::span<const GameRecord> p) {
        r = p.front();
        return false;
    });
    return r;
}

void RunRecords::Read(std::size_t a, std::size_t b, GameRecord* out) const {
    CheckStretch(a, b, size());
    if (a == b) return;
    Pieces(a, b, [&out](std::size_t, std::span<const GameRecord> p) {
        out = std::copy(p.begin(), p.end(), out);
        return true;
    });
}

void RunRecords::ForEach(std::size_t a, std::size_t b, const Piece& piece) const {
    CheckStretch(a, b, size());
    if (a < b) Pieces(a, b, piece);
}

std::size_t RunRecords::BBRow(std::uint64_t k) const {
    const auto [block, before] = index_.BlockOfBBRow(k);
    const std::size_t first = block * index_.BlockGames();
    std::uint64_t left = k - before;
    std::size_t found = 0;
    Pieces(first, std::min(size(), first + index_.BlockGames()), [&](std::size_t at, std::span<const GameRecord> p) {
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (p[i].bbKind != NoBB && left-- == 0) {
                found = at + i;
                return false;
            }
        }
        return true;
    });
    return found;
}

std::size_t RunRecords::ModeChangeRow(std::uint64_t k) const {
    const auto [block, before] = index_.BlockOfModeChangeRow(k);
    const std::size_t first = block * index_.BlockGames();
    std::uint64_t left = k - before;
    std::int32_t mode = index_.ModeBefore(block);
    std::size_t found = 0;
    Pieces(first, std::min(size(), first + index_.BlockGames()), [&](std::size_t at, std::span<const GameRecord> p) {
        for (std::size_t i = 0; i < p.size(); ++i) {
            const bool row = IsModeChangeRow(mode, p[i].mode);
            mode = p[i].mode;
            if (row && left-- == 0) {
                found = at + i;
                return false;
            }
        }
        return true;
    });
    return found;
}

HistoryRecords::HistoryRecords(const PlayHistory& history, std::size_t blockGames)
    : RunRecords(blockGames), history_(history) {
    const std::span<const GameRecord> all = history.records();
    // Numbered here: a file's own game numbers need not go up by one.
    for (std::size_t first = 0; first < all.size(); first += blockGames) {
        const std::size_t end = std::min(first + blockGames, all.size());
        RunIndex::Scan scan = index_.Open(static_cast<std::int32_t>(first + 1));
        for (std::size_t i = first; i < end; ++i) {
            GameRecord r = all[i];
            r.playCount = static_cast<std::int32_t>(i + 1);
            scan(r);
        }
        index_.Close(scan, static_cast<std::int32_t>(end), all[end - 1].medalBalance);
    }
}

void HistoryRecords::Pieces(std::size_t a, std::size_t b, const Piece& piece) const {
    piece(a, history_.records().subspan(a, b - a));
}

}  // namespace morvane
