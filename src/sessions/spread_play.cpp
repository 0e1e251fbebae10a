#include "sessions/spread_play.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>

#include "machine/vocabulary.h"

namespace morvane {

std::uint32_t SessionSeed(std::uint32_t seed, std::uint32_t index) {
    std::uint64_t z = (std::uint64_t{seed} << 32 | index) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 32);
}

std::int32_t ShardSessions(const SpreadRequest& r) {
    if (r.shardIndex >= r.sessions) return 0;
    return (r.sessions - 1 - r.shardIndex) / r.shardCount + 1;
}

namespace {

// The tallies live in the callback itself, so the loop keeps them in
// registers, and BBs are counted only in BB games. The deepest dip is found
// per climb: the lowest balance since the last new peak, closed off when
// the balance passes that peak. New peaks are rare in a machine that pays
// less than it takes, so that branch is well predicted.
//
// The balance is read as the record's first word, gamesSinceBB below the
// balance: comparing whole words orders them by balance. The peak's low
// half is all ones, so a word is above it only when its balance is.
struct SessionWatch {
    static constexpr std::int64_t kLowHalf = 0xFFFFFFFF;
    std::int32_t bbGames = 0, bbs = 0;
    std::int64_t peak = kLowHalf, low = 0, dip = 0;
    template <bool kBBGame>
    void operator()(const GameRecord& r, std::bool_constant<kBBGame>) {
        if constexpr (kBBGame) {
            ++bbGames;
            bbs += r.bbSets;
        }
        static_assert(offsetof(GameRecord, gamesSinceBB) == 0 && offsetof(GameRecord, medalBalance) == 4);
        std::int64_t word;
        std::memcpy(&word, &r, sizeof word);
        if (word > peak) [[unlikely]] {
            dip = std::max(dip, (peak >> 32) - (low >> 32));
            peak = word | kLowHalf;
            low = word;
        }
        low = std::min(low, word);
    }
    std::int64_t DeepestDip() const { return std::max(dip, (peak >> 32) - (low >> 32)); }
};
}  // namespace

std::optional<SessionTally> SessionPlayer::Play(int setting, std::int32_t games, std::uint32_t seed,
                                                const std::atomic<bool>* stop) {
    // What a machine built with this seed holds before its first run.
    slot_.Rng().SeedRandom(seed);
    slot_.precursorCount = slot_.gamesSinceBB = slot_.playCount = slot_.medalBalance = 0;
    slot_.bbKind = slot_.kmode = slot_.bbSets = slot_.mode = slot_.koyaku = 0;
    slot_.SetFlevel(setting);
    slot_.Reset();
    // The machine carries its state from slice to slice, so the games are
    // the same as in one piece.
    SessionWatch w;
    for (std::int32_t played = 0; played < games;) {
        if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
        const std::int32_t slice = std::min(kSpreadSliceGames, games - played);
        w = slot_.PlayGames(slice, w);
        played += slice;
    }
    return SessionTally{slot_.medalBalance, w.bbGames, w.bbs, w.DeepestDip()};
}

bool PlaySpread(const SpreadRequest& request, int threads, std::span<SessionTally> out, std::atomic<std::int64_t>* done,
                const std::atomic<bool>* stop) {
    if (!ValidSetting(request.setting)) throw std::out_of_range("setting must be 1 to 6");
    const std::int32_t count = ShardSessions(request);
    if (out.size() != static_cast<std::size_t>(count)) throw std::invalid_argument("wrong number of tallies");
    // Grabs of about 100,000 games keep the shared counter out of the way.
    const std::int32_t chunk = std::clamp<std::int32_t>(100'000 / request.games, 1, 256);
    return ForEachIndex(
        count, threads, {chunk, stop, done}, [] { return SessionPlayer{}; },
        [&](std::int64_t k, SessionPlayer& player) {
            const auto index = static_cast<std::uint32_t>(ShardSessionIndex(request, static_cast<std::int32_t>(k)));
            const std::optional<SessionTally> t =
                player.Play(request.setting, request.games, SessionSeed(request.seed, index), stop);
            if (!t) return false;
            out[static_cast<std::size_t>(k)] = *t;
            return true;
        });
}

}  // namespace morvane
