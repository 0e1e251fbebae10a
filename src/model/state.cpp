#include "model/state.h"

namespace morvane {

double StateLaw::Total() const {
    double t = 0;
    for (double p : v) t += p;
    return t;
}

double StateLaw::ModeTotal(int mode) const {
    double t = 0;
    for (int c = 0; c < kLawCounts; ++c) t += At(mode, c);
    return t;
}

void StateLaw::Scale(double f) {
    for (double& p : v) p *= f;
}

void StateLaw::Add(const StateLaw& o, double f) {
    for (std::size_t i = 0; i < v.size(); ++i) v[i] += f * o.v[i];
}

}  // namespace morvane
