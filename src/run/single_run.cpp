#include "run/single_run.h"

#include <algorithm>
#include <stdexcept>

namespace morvane {

bool RecordGames(Slot& slot, PlayHistory& history, std::int32_t games, const SliceHook& afterSlice) {
    if (games <= 0) return true;
    if (!afterSlice) {
        GameRecord* out = history.extend(static_cast<std::size_t>(games));
        slot.PlayGames(games, [&out](const GameRecord& r) { *out++ = r; });
        return true;
    }
    // The machine carries its state from slice to slice, so the games are
    // the same as in one piece.
    history.reserve(history.size() + static_cast<std::size_t>(games));
    for (std::int64_t played = 0; played < games;) {
        const auto slice = static_cast<std::int32_t>(std::min<std::int64_t>(kSliceGames, games - played));
        GameRecord* out = history.extend(static_cast<std::size_t>(slice));
        slot.PlayGames(slice, [&out](const GameRecord& r) { *out++ = r; });
        played += slice;
        if (!afterSlice(played)) return played == games;
    }
    return true;
}

int SimulateRun(Slot& slot, PlayHistory& history, SettingChoice setting, std::int32_t games,
                const std::function<void()>& beforeGames, const SliceHook& afterSlice) {
    if (games < 1) throw std::invalid_argument("games must be at least 1");
    if (!setting.hidden && !ValidSetting(setting.setting)) throw std::out_of_range("setting must be 1 to 6");
    history.clear();
    history.reserve(static_cast<std::size_t>(games));
    const int s = setting.hidden ? slot.Rand31() % kMaxSetting + 1 : setting.setting;
    slot.SetFlevel(s);
    if (beforeGames) beforeGames();
    slot.Reset();
    RecordGames(slot, history, games, afterSlice);
    return s;
}

}  // namespace morvane
