#pragma once
// A run that keeps the machine's state every few games instead of its
// records: the one pass that plays it also builds the run's tallies and
// block summaries (RunIndex), and a record is read by playing its block
// again from the state at the block's start. Its memory grows with the
// number of blocks, not of games.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "machine/slot.h"
#include "run/run_records.h"
#include "run/setting_choice.h"
#include "run/single_run.h"

namespace morvane {

class CheckpointedRun final : public RunRecords {
public:
    explicit CheckpointedRun(std::size_t blockGames = kDefaultBlockGames);

    // Plays a run as SimulateRun does, with the same draws and the same
    // games, and keeps it here in place of the last one. A stopped run keeps
    // the games played so far.
    int Simulate(Slot& slot, SettingChoice setting, std::int32_t games, const std::function<void()>& beforeGames = {},
                 const SliceHook& afterSlice = {});

    // Every run played from now on keeps its BB games' bars for a chart
    // (RunIndex::KeepBars), as it is played.
    void KeepBars() { keepBars_ = true; }

    // The machine before block b's first game, and after the last game.
    const MachineState& Checkpoint(std::size_t b) const { return checkpoints_[b]; }
    const MachineState& End() const { return end_; }

    // Memory it holds, for benchmarks.
    std::size_t Bytes() const;

private:
    void Pieces(std::size_t a, std::size_t b, const Piece& piece) const override;

    std::vector<MachineState> checkpoints_;
    MachineState end_;
    bool keepBars_ = false;
    // Reading plays on a machine of its own: one reader at a time.
    mutable Slot replay_{0};
};

}  // namespace morvane
