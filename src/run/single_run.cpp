#include "run/single_run.h"

#include <stdexcept>

namespace morvane {

void RecordGames(Slot& slot, PlayHistory& history, std::int32_t games) {
    if (games <= 0) return;
    const std::size_t start = history.size();
    for (Column* c : history.Columns()) c->resize_for_overwrite(start + static_cast<std::size_t>(games));
    std::int32_t* p0 = history.PlayNum2Log.data() + start;
    std::int32_t* p1 = history.MedalLog.data() + start;
    std::int32_t* p2 = history.KeizokuNumLog.data() + start;
    std::int32_t* p3 = history.PlayNumLog.data() + start;
    std::int32_t* p4 = history.BBLog.data() + start;
    std::int32_t* p5 = history.KModeLog.data() + start;
    std::int32_t* p6 = history.ModeLog.data() + start;
    std::int32_t* p7 = history.KoyakuLog.data() + start;
    std::size_t i = 0;
    slot.PlayGames(games, [&](const GameRecord& r) {
        p0[i] = r.gamesSinceBB;
        p1[i] = r.medalBalance;
        p2[i] = r.bbSets;
        p3[i] = r.playCount;
        p4[i] = r.bbKind;
        p5[i] = r.kmode;
        p6[i] = r.mode;
        p7[i] = r.koyaku;
        ++i;
    });
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
