#include "run/history.h"

#include <algorithm>
#include <stdexcept>

namespace morvane {

std::int32_t Column::at(std::size_t i) const {
    if (i >= size_) throw std::out_of_range("history index out of range");
    return data_[i];
}

std::size_t PlayHistory::capacity() const {
    std::size_t c = PlayNum2Log.capacity();
    for (const Column* col : Columns()) c = std::min(c, col->capacity());
    return c;
}

void PlayHistory::clear() {
    for (Column* c : Columns()) c->clear();
}

void PlayHistory::reserve(std::size_t games) {
    for (Column* c : Columns()) c->reserve(games);
}

void PlayHistory::Append(const GameRecord& r) {
    // Grow every column before writing any, so a failed allocation cannot
    // leave the columns at different lengths.
    if (size() >= capacity()) reserve(std::max<std::size_t>(16, 2 * size()));
    PlayNum2Log.push_back(r.gamesSinceBB);
    MedalLog.push_back(r.medalBalance);
    KeizokuNumLog.push_back(r.bbSets);
    PlayNumLog.push_back(r.playCount);
    BBLog.push_back(r.bbKind);
    KModeLog.push_back(r.kmode);
    ModeLog.push_back(r.mode);
    KoyakuLog.push_back(r.koyaku);
}

GameRecord PlayHistory::At(std::size_t i) const {
    return {PlayNum2Log.at(i), MedalLog.at(i), KeizokuNumLog.at(i), PlayNumLog.at(i),
            BBLog.at(i),       KModeLog.at(i), ModeLog.at(i),       KoyakuLog.at(i)};
}

bool PlayHistory::Consistent() const {
    for (const Column* c : Columns())
        if (c->size() != size()) return false;
    return true;
}

}  // namespace morvane
