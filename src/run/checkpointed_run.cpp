#include "run/checkpointed_run.h"

#include <algorithm>
#include <stdexcept>

namespace morvane {

namespace {
// Records played again are handed over in pieces of this many.
constexpr std::size_t kPieceGames = 4096;
}  // namespace

CheckpointedRun::CheckpointedRun(std::size_t blockGames) : RunRecords(blockGames) {}

int CheckpointedRun::Simulate(Slot& slot, SettingChoice setting, std::int32_t games,
                              const std::function<void()>& beforeGames, const SliceHook& afterSlice) {
    if (games < 1) throw std::invalid_argument("games must be at least 1");
    if (!setting.hidden && !ValidSetting(setting.setting)) throw std::out_of_range("setting must be 1 to 6");
    const std::size_t k = index_.BlockGames();
    index_ = RunIndex(k);
    if (keepBars_) index_.KeepBars();
    checkpoints_.clear();
    const std::size_t blocks = (static_cast<std::size_t>(games) + k - 1) / k;
    checkpoints_.reserve(blocks);
    index_.Reserve(blocks);

    const int s = setting.hidden ? slot.Rand31() % kMaxSetting + 1 : setting.setting;
    slot.SetFlevel(s);
    if (beforeGames) beforeGames();
    slot.Reset();

    // Blocks and slices need not line up: a block's scan carries on across
    // the slices it spans, as the machine does.
    const auto n = static_cast<std::int64_t>(games);
    std::int64_t played = 0;
    std::int64_t sliceEnd = afterSlice ? std::min<std::int64_t>(kSliceGames, n) : n;
    bool stopped = false;
    while (played < n && !stopped) {
        const std::int64_t blockEnd = std::min<std::int64_t>(n, played + static_cast<std::int64_t>(k));
        checkpoints_.push_back(slot.Save());
        RunIndex::Scan scan = index_.Open(slot.playCount + 1);
        while (played < blockEnd) {
            const std::int64_t piece = std::min(blockEnd, sliceEnd) - played;
            scan = slot.PlayGames(piece, scan);
            played += piece;
            if (played == sliceEnd && afterSlice) {
                if (!afterSlice(played)) {
                    stopped = true;
                    break;
                }
                sliceEnd = std::min<std::int64_t>(sliceEnd + kSliceGames, n);
            }
        }
        index_.Close(scan, slot.playCount, slot.medalBalance);
    }
    end_ = slot.Save();
    return s;
}

void CheckpointedRun::Pieces(std::size_t a, std::size_t b, const Piece& piece) const {
    const std::size_t k = index_.BlockGames();
    const std::size_t block = a / k;
    replay_.Restore(checkpoints_[block]);
    if (const std::size_t skip = a - block * k)
        replay_.PlayGames(static_cast<std::int64_t>(skip), [](const GameRecord&) {});
    std::vector<GameRecord> buffer(std::min(b - a, kPieceGames));
    for (std::size_t at = a; at < b;) {
        const std::size_t n = std::min(buffer.size(), b - at);
        GameRecord* out = buffer.data();
        replay_.PlayGames(static_cast<std::int64_t>(n), [&out](const GameRecord& r) { *out++ = r; });
        if (!piece(at, {buffer.data(), n})) return;
        at += n;
    }
}

std::size_t CheckpointedRun::Bytes() const { return index_.Bytes() + checkpoints_.capacity() * sizeof(MachineState); }

}  // namespace morvane
