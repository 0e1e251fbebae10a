// A prior over the settings changes the posterior exactly as Bayes' rule
// says and nothing else; the uniform prior leaves every estimate as it was,
// to the bit.
#include "model/setting_prior.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "app/hall_input.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "machine/slot.h"
#include "model/likelihood.h"
#include "run/single_run.h"

namespace morvane {
namespace {

bool SameBits(const std::array<double, kMaxSetting>& a, const std::array<double, kMaxSetting>& b) {
    return std::memcmp(a.data(), b.data(), sizeof(double) * kMaxSetting) == 0;
}

TEST(SettingPrior, WeightsAreNormalisedAndChecked) {
    const SettingPrior uniform;
    EXPECT_TRUE(uniform.IsUniform());
    for (double p : uniform.Probabilities()) EXPECT_EQ(p, 1.0 / 6);
    EXPECT_TRUE(SettingPrior({3, 3, 3, 3, 3, 3}).IsUniform());
    EXPECT_EQ(SettingPrior({3, 3, 3, 3, 3, 3}), uniform);
    const SettingPrior hall({50, 30, 10, 5, 3, 2});
    EXPECT_FALSE(hall.IsUniform());
    EXPECT_DOUBLE_EQ(hall.Of(1), 0.5);
    EXPECT_DOUBLE_EQ(hall.Of(6), 0.02);
    EXPECT_THROW(SettingPrior({0, 0, 0, 0, 0, 0}), std::invalid_argument);
    EXPECT_THROW(SettingPrior({1, 1, -1, 1, 1, 1}), std::invalid_argument);
    EXPECT_THROW(SettingPrior({1, 1, NAN, 1, 1, 1}), std::invalid_argument);
    EXPECT_THROW(SettingPrior({1, 1, INFINITY, 1, 1, 1}), std::invalid_argument);

    EXPECT_EQ(ParseSettingPrior("50,30,10,5,3,2"), hall);
    EXPECT_EQ(ParseSettingPrior("0.5,0.3,0.1,0.05,0.03,0.02")->Of(1), 0.5 / (0.5 + 0.3 + 0.1 + 0.05 + 0.03 + 0.02));
    EXPECT_EQ(ParseSettingPrior("1,1,1,1,1,1"), uniform);
    for (const char* bad : {"", "1,1,1,1,1", "1,1,1,1,1,1,1", "1,1,,1,1,1", "1,1,1,1,1,x", "-1,1,1,1,1,1",
                            "+1,1,1,1,1,1", "0,0,0,0,0,0", "1,1,1,1,1,inf", "1, 1,1,1,1,1", "1,1,1,1,1,1 "})
        EXPECT_FALSE(ParseSettingPrior(bad).has_value()) << bad;
}

// The named shapes every front end offers: uniform first (the default, so
// nothing changes unless asked), each a valid prior found by either name,
// and each shaped as its name says.
TEST(SettingPrior, NamedShapesAreValidAndShapedAsNamed) {
    const auto shapes = PriorShapes();
    ASSERT_GE(shapes.size(), 3u);
    EXPECT_EQ(shapes[0].key, "uniform");
    EXPECT_EQ(shapes[0].label, "均等");
    EXPECT_TRUE(SettingPrior(shapes[0].weights).IsUniform());
    for (const PriorShape& s : shapes) {
        EXPECT_EQ(FindPriorShape(s.key), &s) << s.key;
        EXPECT_EQ(FindPriorShape(s.label), &s) << s.key;
        EXPECT_EQ(PriorShapeOf(SettingPrior(s.weights)), &s) << s.key;
        // Scaled weights are the same prior, so the same shape.
        std::array<double, kMaxSetting> doubled = s.weights;
        for (double& w : doubled) w *= 2;
        EXPECT_EQ(PriorShapeOf(SettingPrior(doubled)), &s) << s.key;
        for (const PriorShape& t : shapes) {
            if (&t != &s) {
                EXPECT_NE(SettingPrior(t.weights), SettingPrior(s.weights)) << s.key << " " << t.key;
            }
        }
    }
    EXPECT_EQ(FindPriorShape("Uniform"), nullptr);
    EXPECT_EQ(FindPriorShape(""), nullptr);
    EXPECT_EQ(PriorShapeOf(SettingPrior({50, 30, 10, 5, 3, 2})), nullptr);
    const SettingPrior regular(FindPriorShape("regular")->weights), event(FindPriorShape("event")->weights);
    // An ordinary day falls off from setting 1; an event day has more 5 and 6
    // than a uniform hall, and far more than an ordinary day.
    for (int s = 2; s <= kMaxSetting; ++s) EXPECT_LT(regular.Of(s), regular.Of(s - 1)) << s;
    EXPECT_GT(event.Of(5) + event.Of(6), 2.0 / 6);
    EXPECT_GT(event.Of(5) + event.Of(6), 3 * (regular.Of(5) + regular.Of(6)));
    EXPECT_GT(event.Of(1), event.Of(4));
}

TEST(SettingPrior, IsBayesRuleOnTheLikelihoods) {
    const std::array<double, kMaxSetting> ll = {-1000.5, -1001.25, -999.75, -1003.0, -1002.0, -1000.0};
    const auto flat = ApplyPrior(SettingPrior(), ll);
    ASSERT_TRUE(flat);
    EXPECT_TRUE(SameBits(*flat, *UniformPosterior(ll)));
    const SettingPrior hall({50, 30, 10, 5, 3, 2});
    const auto p = ApplyPrior(hall, ll);
    ASSERT_TRUE(p);
    double z = 0;
    for (std::size_t s = 0; s < kMaxSetting; ++s) z += hall.Probabilities()[s] * (*flat)[s];
    for (std::size_t s = 0; s < kMaxSetting; ++s)
        EXPECT_NEAR((*p)[s], hall.Probabilities()[s] * (*flat)[s] / z, 1e-14 * (*p)[s]);
    // Odds of two settings move by the prior's odds alone.
    EXPECT_NEAR((*p)[0] / (*p)[5], 25 * (*flat)[0] / (*flat)[5], 1e-14 * (*p)[0] / (*p)[5]);
    // A setting the prior rules out stays out; when it is the only one the
    // record allows, there is no posterior.
    const auto noSix = ApplyPrior(SettingPrior({1, 1, 1, 1, 1, 0}), ll);
    EXPECT_EQ((*noSix)[5], 0.0);
    const std::array<double, kMaxSetting> onlySix = {kImpossible, kImpossible, kImpossible,
                                                     kImpossible, kImpossible, -5};
    EXPECT_FALSE(ApplyPrior(SettingPrior({1, 1, 1, 1, 1, 0}), onlySix));
    EXPECT_EQ((*ApplyPrior(hall, onlySix))[5], 1.0);
    // Likelihoods far below each other do not vanish before the prior acts.
    const std::array<double, kMaxSetting> apart = {0, -800, -800, -800, -800, -800};
    const auto tilt = ApplyPrior(SettingPrior({1e-300, 1, 1, 1, 1, 1}), apart);
    EXPECT_GT((*tilt)[0], 0.0);
}

// The exact and the hall estimates: the likelihoods stay; the posterior is
// the prior times the uniform posterior, renormalised; uniform changes no bit.
TEST(SettingPrior, EstimatesTakeItAndChangeNothingElse) {
    PlayHistory h;
    Slot slot(31);
    SimulateRun(slot, h, {false, 4}, 3000);
    const SettingPrior hall({50, 30, 10, 5, 3, 2});
    const ExactEstimate flat = EstimateSettingExactly(h.records());
    const ExactEstimate same = EstimateSettingExactly(h.records(), SettingPrior({2, 2, 2, 2, 2, 2}));
    const ExactEstimate tilted = EstimateSettingExactly(h.records(), hall);
    EXPECT_TRUE(SameBits(flat.posterior.probability, same.posterior.probability));
    EXPECT_TRUE(SameBits(flat.posterior.logLikelihood, tilted.posterior.logLikelihood));
    EXPECT_EQ(tilted.prior, hall.Probabilities());
    double z = 0;
    for (std::size_t s = 0; s < kMaxSetting; ++s) z += hall.Probabilities()[s] * flat.posterior.probability[s];
    for (std::size_t s = 0; s < kMaxSetting; ++s)
        EXPECT_NEAR(tilted.posterior.probability[s], hall.Probabilities()[s] * flat.posterior.probability[s] / z,
                    1e-14 * tilted.posterior.probability[s]);
    // A prior that rules out every setting the record allows is a problem
    // of its own, not the record's.
    const ExactEstimate none = EstimateSettingExactly(std::vector<GameRecord>(1533), SettingPrior({1, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(none.problem);
    EXPECT_NE(none.problem->find("no setting can play"), std::string::npos);

    HallData data{2400, {{300, 1, 4}, {120, 2, 0}, {800, 0, 0}}, {{*CountedWinKinds("cherry"), 25}}};
    const HallEstimate hf = EstimateSettingFromHallData(data);
    const HallEstimate hs = EstimateSettingFromHallData(data, SettingPrior({7, 7, 7, 7, 7, 7}));
    const HallEstimate ht = EstimateSettingFromHallData(data, hall);
    EXPECT_TRUE(SameBits(hf.posterior.probability, hs.posterior.probability));
    EXPECT_TRUE(SameBits(hf.bbPosterior, hs.bbPosterior));
    EXPECT_TRUE(SameBits(hf.posterior.logLikelihood, ht.posterior.logLikelihood));
    EXPECT_TRUE(SameBits(hf.bbLogLikelihood, ht.bbLogLikelihood));
    EXPECT_TRUE(SameBits(hf.winsLogLikelihood, ht.winsLogLikelihood));
    const std::array<const std::array<double, kMaxSetting>*, 3> before = {&hf.posterior.probability, &hf.bbPosterior,
                                                                          &hf.winsPosterior};
    const std::array<const std::array<double, kMaxSetting>*, 3> after = {&ht.posterior.probability, &ht.bbPosterior,
                                                                         &ht.winsPosterior};
    for (std::size_t i = 0; i < before.size(); ++i) {
        double zz = 0;
        for (std::size_t s = 0; s < kMaxSetting; ++s) zz += hall.Probabilities()[s] * (*before[i])[s];
        for (std::size_t s = 0; s < kMaxSetting; ++s)
            EXPECT_NEAR((*after[i])[s], hall.Probabilities()[s] * (*before[i])[s] / zz, 1e-14 * (*after[i])[s]) << i;
    }
    EXPECT_EQ(ht.prior, hall.Probabilities());
}

}  // namespace
}  // namespace morvane
