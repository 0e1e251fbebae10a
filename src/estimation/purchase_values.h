#pragma once
// The expected purchases of the games ahead from every hidden state, by
// the games left, for a count of medals held at the start: one pass
// backward over the medals held and the games left, which hangs on the
// setting and the hall's money alone. A machine now then costs a sum over
// its state law, however often its record changes.
//
// The values by games hold where the stretch begun meets no ceiling
// within the games (the ceiling is the one thing that hangs on the games
// since the BB), for the states without a precursor count a ceiling left:
// those few are followed forward (ExpectedPurchasesAhead), purchases being
// linear in the law.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/dynamics.h"

namespace morvane {

class PurchaseValues {
public:
    // The states kept: every mode at count 0, the precursor at every count.
    static constexpr std::size_t kLive = kModes + kLawCounts - 1;

    // Kept for the last few settings, lending rates, medals held and games
    // asked; empty when stopped. With mostBBs, also until the n-th BB's
    // sets are over or the games are played, n = 1 .. mostBBs.
    static std::shared_ptr<const PurchaseValues> For(int setting, int lend, std::int64_t held, std::int32_t games,
                                                     int mostBBs = 0, const std::atomic<bool>* stop = nullptr);

    // The same until the next BB game, by the games since the last: kept
    // likewise, and found only when asked a second time for the money
    // (empty the first). Of(law, since) is then the purchases from there.
    static std::shared_ptr<const PurchaseValues> UntilBB(int setting, int lend, std::int64_t held,
                                                         const std::atomic<bool>* stop = nullptr);

    // Lets go of every value kept, so that the next are found afresh.
    static void Forget();

    // Whether the values by games hold for a law `since` games into its
    // stretch.
    static bool Apply(std::int32_t since, std::int32_t games);
    // The law's mass that carries a count, the law without it, and the
    // mass alone: Of and OfBBs sum over the others.
    static double Carried(const StateLaw& law);
    static StateLaw Uncarried(const StateLaw& law);
    static StateLaw CarriedPart(const StateLaw& law);

    std::int32_t Games() const { return static_cast<std::int32_t>(byLeft_.size()) - 1; }
    int MostBBs() const { return static_cast<int>(byBBs_.size()) - 1; }
    // Over the next k games from the law, k = 0 .. Games().
    double Of(const StateLaw& law, std::int32_t k) const;
    // Until the n-th BB's sets are over or Games() are played, n = 0 .. MostBBs().
    double OfBBs(const StateLaw& law, int n) const;

    // From scratch, not kept; empty when stopped.
    static std::unique_ptr<PurchaseValues> Find(const StateDynamics& d, int lend, std::int64_t held, std::int32_t games,
                                                int mostBBs = 0, const std::atomic<bool>* stop = nullptr);
    static std::unique_ptr<PurchaseValues> FindUntilBB(const StateDynamics& d, int lend, std::int64_t held,
                                                       const std::atomic<bool>* stop = nullptr);

private:
    std::vector<std::array<double, kLive>> byLeft_;  // [k][live state], at the medals held
    std::vector<std::array<double, kLive>> byBBs_;   // [n][live state], at Games()
};

}  // namespace morvane
