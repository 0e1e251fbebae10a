#include "run/history.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace morvane {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void PlayHistory::Free::operator()(GameRecord* p) const {
    if (mappedBytes)
        ::munmap(p, mappedBytes);
    else
        std::free(p);
}

namespace {
bool Mapped(std::size_t bytes) { return bytes >= 2 * kHugePage; }
std::size_t RoundedToHugePages(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
}  // namespace

PlayHistory::Storage PlayHistory::Allocate(std::size_t games) {
    if (games > (SIZE_MAX - kHugePage) / sizeof(GameRecord) / 2) throw std::bad_alloc();
    const std::size_t bytes = games * sizeof(GameRecord);
    if (!Mapped(bytes)) {
        void* p = std::malloc(bytes ? bytes : 1);
        if (!p) throw std::bad_alloc();
        return Storage(static_cast<GameRecord*>(p));
    }
    // Mapped a huge page too long, then trimmed to start on one.
    const std::size_t rounded = RoundedToHugePages(bytes);
    void* raw = ::mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto at = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (at + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > at) ::munmap(raw, aligned - at);
    ::munmap(reinterpret_cast<void*>(aligned + rounded), at + kHugePage - aligned);
    void* p = reinterpret_cast<void*>(aligned);
    ::madvise(p, rounded, MADV_HUGEPAGE);
    return Storage(static_cast<GameRecord*>(p), Free{rounded});
}

void PlayHistory::Grow(std::size_t games) {
    const std::size_t mapped = data_.get_deleter().mappedBytes;
    if (mapped && games <= (SIZE_MAX - kHugePage) / sizeof(GameRecord) / 2) {
        const std::size_t rounded = RoundedToHugePages(games * sizeof(GameRecord));
        void* p = ::mremap(data_.get(), mapped, rounded, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        static_cast<void>(data_.release());
        ::madvise(p, rounded, MADV_HUGEPAGE);
        data_ = Storage(static_cast<GameRecord*>(p), Free{rounded});
        return;
    }
    Storage p = Allocate(games);
    if (size_) std::memcpy(static_cast<void*>(p.get()), data_.get(), size_ * sizeof(GameRecord));
    data_ = std::move(p);
}

PlayHistory& PlayHistory::operator=(const PlayHistory& o) {
    if (this != &o) {
        clear();
        reserve(o.size_);
        if (o.size_) std::memcpy(data_.get(), o.data_.get(), o.size_ * sizeof(GameRecord));
        size_ = o.size_;
    }
    return *this;
}

PlayHistory& PlayHistory::operator=(PlayHistory&& o) noexcept {
    if (this != &o) {
        data_ = std::move(o.data_);
        size_ = std::exchange(o.size_, 0);
        capacity_ = std::exchange(o.capacity_, 0);
    }
    return *this;
}

std::array<Column, kHistoryColumns> PlayHistory::Columns() const {
    return {PlayNum2Log(), MedalLog(), KeizokuNumLog(), PlayNumLog(), BBLog(), KModeLog(), ModeLog(), KoyakuLog()};
}

void PlayHistory::reserve(std::size_t games) {
    if (games <= capacity_) return;
    Grow(games);
    capacity_ = games;
}

void PlayHistory::release() { *this = PlayHistory{}; }

void PlayHistory::push_back(const GameRecord& r) { *extend(1) = r; }

GameRecord* PlayHistory::extend(std::size_t n) {
    if (n > capacity_ - size_) reserve(std::max({std::size_t{16}, size_ + n, 2 * size_}));
    GameRecord* first = data_.get() + size_;
    size_ += n;
    return first;
}

GameRecord PlayHistory::at(std::size_t i) const {
    if (i >= size_) throw std::out_of_range("history index out of range");
    return data_[i];
}

bool operator==(const PlayHistory& a, const PlayHistory& b) {
    return a.size_ == b.size_ &&
           (a.size_ == 0 || std::memcmp(a.data_.get(), b.data_.get(), a.size_ * sizeof(GameRecord)) == 0);
}

}  // namespace morvane
