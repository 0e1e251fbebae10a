#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "machine/draw_tables.h"
#include "machine/rate_tbl.h"
#include "machine/slot.h"
#include "machine/tables.h"

namespace morvane {
namespace {

TEST(RateTbl, LookupFollowsCumulativeWeights) {
    const Rate_TBL<int> t{0, 374, 8, 128, 1, 1};
    EXPECT_EQ(t.Lookup(0), 1);  // a zero weight never matches
    EXPECT_EQ(t.Lookup(373), 1);
    EXPECT_EQ(t.Lookup(374), 2);
    EXPECT_EQ(t.Lookup(382), 3);
    EXPECT_EQ(t.Lookup(510), 4);
    EXPECT_EQ(t.Lookup(511), 5);
    for (int a = 0; a < 512; ++a) EXPECT_NE(t.Lookup(a), 0);
    EXPECT_EQ(Rate_TBL<int>{}.Lookup(0), 0);
    EXPECT_EQ(t.Lookup(512), 6);  // past every entry
    EXPECT_EQ(t.Lookup(-1), 6);
}

TEST(Tables, SumsMatchTheirDraws) {
    const std::int32_t koyakuSums[6] = {851170, 850910, 850618, 850179, 850159, 850159};
    Slot slot(1);
    for (int id = 0; id < kTableCount; ++id) {
        const Rate_TBL<int>& t = slot.Table(id);
        EXPECT_EQ(t.Size(), static_cast<int>(TableWeights(id).size()));
        if (id <= KoyakuRate6) {
            EXPECT_EQ(t.Size(), 9);
            EXPECT_EQ(t.Sum(), koyakuSums[id]) << id;
        } else {
            EXPECT_EQ(t.Sum(), TableModulus(id)) << "table " << id;
        }
    }
    EXPECT_EQ(slot.Table(KoyakuRate4)[ReplayA], 143996);
    EXPECT_EQ(slot.Table(KoyakuRate5)[ReplayA], 143976);
    EXPECT_EQ(slot.Table(KoyakuRate1).Lookup(851169), Miss);
    EXPECT_EQ(slot.Table(KoyakuRate1).Lookup(851170), Blank);
    EXPECT_EQ(slot.Table(KoyakuRate1).Lookup(kKoyakuModulus - 1), Blank);
}

TEST(Tables, ModeChangeSelectionBySettingGroup) {
    // Chance splits the settings 1-4/5/6 in Hamari, 1-5/6 in LowProb and
    // 1/2-3/4-5/6 in HighProb.
    const int hamari[6] = {Mode0Rate13, Mode0Rate13, Mode0Rate13, Mode0Rate13, Mode0Rate14, Mode0Rate15};
    const int low[6] = {Mode1Rate10, Mode1Rate10, Mode1Rate10, Mode1Rate10, Mode1Rate10, Mode1Rate11};
    const int high[6] = {Mode2Rate9, Mode2Rate10, Mode2Rate10, Mode2Rate11, Mode2Rate11, Mode2Rate12};
    for (int s = 1; s <= 6; ++s) {
        EXPECT_EQ(ModeChangeTable(Hamari, Chance, s), hamari[s - 1]);
        EXPECT_EQ(ModeChangeTable(LowProb, Chance, s), low[s - 1]);
        EXPECT_EQ(ModeChangeTable(HighProb, Chance, s), high[s - 1]);
        EXPECT_EQ(ModeChangeTable(Hamari, Suika_B, s), Mode0Rate8 + s - 1 - (s >= 3 ? 1 : 0));
        EXPECT_EQ(ModeChangeTable(LowProb, Cherry4, s), s <= 2 ? Mode1Rate2 : s == 3 ? Mode1Rate3 : Mode1Rate4);
        for (int k : {ReplayB, Bell, Miss, Blank})
            for (int m = 0; m < 3; ++m) EXPECT_EQ(ModeChangeTable(m, k, s), kNoTable);
        EXPECT_EQ(ModeChangeTable(Hamari, ReplayA, s), kNoTable);
        EXPECT_EQ(ModeChangeTable(LowProb, ReplayA, s), Mode1Rate9);
        EXPECT_EQ(ModeChangeTable(HighProb, ReplayA, s), Mode2Rate8);
    }
    EXPECT_EQ(ModeChangeTable(3, Cherry2, 1), kNoTable);
    EXPECT_EQ(ModeChangeTable(Hamari, Cherry2, 7), kNoTable);
}

TEST(Tables, MachineFacts) {
    Slot slot(1);
    for (int s = 1; s <= 6; ++s) {
        // Hamari never stays on Cherry2 or Suika_B, Cherry4 never jumps to a 7.
        for (int k : {Cherry2, Suika_B}) EXPECT_EQ(slot.Table(ModeChangeTable(Hamari, k, s))[Hamari], 0);
        EXPECT_EQ(slot.Table(ModeChangeTable(Hamari, Cherry4, s))[Blue7], 0);
        EXPECT_EQ(slot.Table(ModeChangeTable(Hamari, Cherry4, s))[Red7], 0);
        // Chance never leads straight to Red7.
        for (int m = 0; m < 3; ++m) EXPECT_EQ(slot.Table(ModeChangeTable(m, Chance, s))[Red7], 0);
        // The initial mode is an ordinary mode.
        EXPECT_EQ(slot.Table(InitModeTable(s)).Size(), 3);
    }
    EXPECT_EQ(slot.Table(KModeRateRed)[0] + slot.Table(KModeRateRed)[1], 2);
    const int continueWeights[4] = {765, 811, 867, 911};
    for (int km = 0; km < 4; ++km) EXPECT_EQ(slot.Table(KeizokuTable(km))[Continue], continueWeights[km]);
}

// The derived lookups must give exactly what Rate_TBL::Lookup gives, for
// every value every draw can produce, at every setting.
TEST(DrawTables, AgreeWithLookupEverywhere) {
    Slot slot(1);
    WeightTables tables;
    for (int id = 0; id < kTableCount; ++id) tables[static_cast<std::size_t>(id)] = slot.Table(id);
    auto d = std::make_unique<DrawTables>();
    for (int s = 1; s <= 6; ++s) {
        d->Build(tables, s);
        const Rate_TBL<int>& ky = tables[static_cast<std::size_t>(KoyakuTable(s))];
        for (std::int32_t a = 0; a < kKoyakuModulus; ++a) {
            const int want = ky.Lookup(a);
            ASSERT_EQ(d->Koyaku(a), want) << s << " " << a;
            // The loop's word carries the generator's other bits below the value.
            const std::uint64_t top = static_cast<std::uint64_t>(a) << DrawTables::kKoyakuValueShift;
            const std::uint64_t below = (std::uint64_t{1} << DrawTables::kKoyakuValueShift) - 1;
            ASSERT_EQ(d->KoyakuOfTop(top | below), want) << s << " " << a;
            ASSERT_EQ(d->KoyakuOfTop(top | (0x5A5A5A5A5A5Au & below)), want) << s << " " << a;
        }
        for (int m = 0; m < 3; ++m)
            for (int k = 0; k < kKoyakuKinds; ++k) {
                const int id = ModeChangeTable(m, k, s);
                for (std::int32_t r = 0; r < kModeModulus; ++r)
                    ASSERT_EQ(d->NextMode(m, k, r),
                              id == kNoTable ? m : tables[static_cast<std::size_t>(id)].Lookup(r));
            }
        for (std::int32_t a = 0; a < kInitModeModulus; ++a)
            ASSERT_EQ(d->InitMode(a), tables[static_cast<std::size_t>(InitModeTable(s))].Lookup(a));
    }
    for (int kind = 1; kind <= 2; ++kind)
        for (std::int32_t a = 0; a < kKModeModulus; ++a)
            ASSERT_EQ(d->KMode(kind, a), tables[static_cast<std::size_t>(KModeTable(kind))].Lookup(a));
    for (int km = 0; km < 4; ++km)
        for (std::int32_t a = 0; a < kKeizokuModulus; ++a)
            ASSERT_EQ(d->Keizoku(km, a), tables[static_cast<std::size_t>(KeizokuTable(km))].Lookup(a));
}

// A small-win weight narrower than a bucket would need a second compare:
// the tables refuse it instead of drawing wrong. Suika_B starts at 18298:
// 100 ends it in the same bucket, 134 exactly where the next one starts.
TEST(DrawTables, RefuseSmallWinsNarrowerThanABucket) {
    Slot slot(1);
    WeightTables tables;
    for (int id = 0; id < kTableCount; ++id) tables[static_cast<std::size_t>(id)] = slot.Table(id);
    auto d = std::make_unique<DrawTables>();
    for (std::int32_t narrow : {100, 134, 1000}) {
        Rate_TBL<int>& ky = tables[static_cast<std::size_t>(KoyakuRate1)];
        ky.Clear();
        for (int i = 0; i < 9; ++i)
            ky.Add(i == Suika_B ? narrow : TableWeights(KoyakuRate1)[static_cast<std::size_t>(i)]);
        if (narrow == 1000) {
            d->Build(tables, 1);  // ends well inside the next bucket: fine
            for (std::int32_t a = 17000; a < 20000; ++a) ASSERT_EQ(d->Koyaku(a), ky.Lookup(a)) << a;
        } else {
            EXPECT_THROW(d->Build(tables, 1), std::logic_error) << narrow;
        }
    }
    // More small wins than the machine has.
    tables[static_cast<std::size_t>(KoyakuRate2)].Add(1);
    EXPECT_THROW(d->Build(tables, 2), std::logic_error);
}

// The precursor's step draw x % (32 - count) != 0 by multiply and compare:
// every modulus, all small values, the top of the 31-bit range, and a spread
// between, including multiples of every modulus.
TEST(DrawTables, PrecursorStepAgreesWithRemainder) {
    Random r;
    r.SeedRandom(3);
    for (std::int32_t count = 0; count < kPrecursorSpan; ++count) {
        const std::int32_t m = kPrecursorSpan - count;
        auto check = [&](std::int32_t x) {
            ASSERT_EQ(DrawTables::PrecursorGoesOn(count, x), x % m != 0) << "count " << count << " x " << x;
        };
        for (std::int32_t x = 0; x < (1 << 20); ++x) check(x);
        for (std::int32_t x = 0x7FFFFFFF; x > 0x7FFFFFFF - (1 << 20); --x) check(x);
        for (int i = 0; i < 200000; ++i) {
            const std::int32_t x = r.Rand31();
            check(x);
            check(x / m * m);
        }
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace morvane
