#pragma once
// The machine's random source: a 64-bit linear congruential generator whose
// 31-bit output decides every draw. Bit-exact; stored runs depend on it.
#include <cstdint>

namespace morvane {

class Random {
public:
    static constexpr std::uint64_t kMul = 0x0000015A00004E35ULL;
    static constexpr std::uint32_t kSeedMul = 0x015A4E35U;

    // Seeding advances the low word once with the 32-bit generator and
    // drops that result; the high word starts at zero.
    void SeedRandom(std::uint32_t seed) {
        state_ = seed;
        Rand15();
    }

    std::int32_t Rand31() {
        state_ = state_ * kMul + 1;
        return static_cast<std::int32_t>((state_ >> 32) & 0x7FFFFFFFU);
    }

    // Only used by seeding: advances the low word alone.
    std::int32_t Rand15() {
        std::uint32_t low = static_cast<std::uint32_t>(state_) * kSeedMul + 1;
        state_ = (state_ & 0xFFFFFFFF00000000ULL) | low;
        return static_cast<std::int32_t>((low >> 16) & 0x7FFF);
    }

    std::uint64_t State() const { return state_; }
    void SetState(std::uint64_t s) { state_ = s; }

    static constexpr std::int32_t Output(std::uint64_t s) { return static_cast<std::int32_t>((s >> 32) & 0x7FFFFFFFU); }

private:
    std::uint64_t state_ = 0;
};

// Affine jump of the generator by n steps, s_n = s * mul + add, so draws
// further on can be computed from one state in parallel.
struct Jump {
    std::uint64_t mul = 1, add = 0;
};
constexpr Jump JumpBy(int n) {
    Jump j;
    for (int i = 0; i < n; ++i) {
        j.mul *= Random::kMul;
        j.add = j.add * Random::kMul + 1;
    }
    return j;
}
// The two draws of an ordinary game, and two such games.
inline constexpr std::uint64_t kMul2 = JumpBy(2).mul;
inline constexpr std::uint64_t kAdd2 = JumpBy(2).add;
inline constexpr std::uint64_t kMul4 = JumpBy(4).mul;
inline constexpr std::uint64_t kAdd4 = JumpBy(4).add;
static_assert(kMul2 == Random::kMul * Random::kMul && kAdd2 == Random::kMul + 1);

}  // namespace morvane
