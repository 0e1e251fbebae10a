#include "run/history.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace morvane {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void Column::Free::operator()(std::int32_t* p) const { std::free(p); }

Column::Storage Column::Allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(std::int32_t)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(std::int32_t);
    void* p = nullptr;
    if (bytes >= 2 * kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        p = std::aligned_alloc(kHugePage, rounded);
        if (p) ::madvise(p, rounded, MADV_HUGEPAGE);
    } else {
        p = std::malloc(bytes ? bytes : 1);
    }
    if (!p) throw std::bad_alloc();
    return Storage(static_cast<std::int32_t*>(p));
}

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
