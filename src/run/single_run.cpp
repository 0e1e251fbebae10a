#include "run/single_run.h"

#include <stdexcept>

namespace morvane {

void RecordGames(Slot& slot, PlayHistory& history, std::int32_t games) {
    if (games <= 0) return;
    GameRecord* out = history.Extend(static_cast<std::size_t>(games));
    slot.PlayGames(games, [&out](const GameRecord& r) { *out++ = r; });
}

int SimulateRun(Slot& slot, PlayHistory& history, SettingChoice setting, std::int32_t games,
                const std::function<void()>& beforeGames) {
    if (games < 1) throw std::invalid_argument("games must be at least 1");
    if (!setting.hidden && !ValidSetting(setting.setting)) throw std::out_of_range("setting must be 1 to 6");
    history.clear();
    history.reserve(static_cast<std::size_t>(games));
    const int s = setting.hidden ? slot.Rand31() % kMaxSetting + 1 : setting.setting;
    slot.SetFlevel(s);
    if (beforeGames) beforeGames();
    slot.Reset();
    RecordGames(slot, history, games);
    return s;
}

}  // namespace morvane
